#include "ttestworkspace.h"

#include "ttestglyphs.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <map>
#include <vector>

namespace {

QByteArray BmpData(const QImage& Image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Image.save(&buffer, "BMP");
    return bytes;
}

bool WriteData(const std::string& Path, const QByteArray& Data) {
    QFile f(QString::fromStdString(Path));
    return f.open(QIODevice::WriteOnly) && f.write(Data) == Data.size();
}

} // namespace

QImage TTestWorkspace::Glyph(int Style, int C) {
    QImage image(32, 64, QImage::Format_RGB32);
    image.fill(Qt::white);
    // Width by character, height by style: every glyph differs from the others.
    const int w = 1 + (C % 31);
    const int h = 8 + 12 * Style;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(0, 0, 0));
    image.setPixel(31, 63, qRgb(0, 0, 0));
    return image;
}

QImage TTestWorkspace::Mark(int Width, int Height, int Seed) {
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            if ((x * 7 + y * 3 + Seed) % 11 == 0) image.setPixel(x, y, qRgb(0, 0, 0));
    return image;
}

bool TTestWorkspace::SaveBmp(const QImage& Image, const std::string& Path) {
    return WriteData(Path, BmpData(Image));
}

TTestWorkspace::TTestWorkspace() : TTestWorkspace(TOptions()) {}

TTestWorkspace::TOptions TTestWorkspace::Empty() {
    TOptions options;
    options.WithIni = options.WithGlb = options.WithBlankLogo = false;
    return options;
}

TTestWorkspace::TOptions TTestWorkspace::Aside() {
    TOptions options = Empty();
    options.MakeCurrent = false;
    return options;
}

TTestWorkspace::TTestWorkspace(const TOptions& Options) {
    Build(Options);
    if (!Options.MakeCurrent) return;
    OldCwd = QDir::currentPath();
    QDir::setCurrent(Dir.path());
}

TTestWorkspace::~TTestWorkspace() {
    if (!OldCwd.isEmpty()) QDir::setCurrent(OldCwd);
}

std::string TTestWorkspace::Write(const std::string& Name, const std::string& Bytes) const {
    const std::string path = File(Name);
    return WriteData(path, QByteArray::fromStdString(Bytes)) ? path : std::string();
}

std::string TTestWorkspace::File(const std::string& Name) const {
    return (Dir.path() + '/' + QString::fromStdString(Name)).toStdString();
}

void TTestWorkspace::Build(const TOptions& Options) {
    if (Options.WithIni)
        WriteData(File("ORVDVE510TK3.INI"), QByteArray::fromStdString(Options.IniText));
    if (Options.WithBlankLogo) {
        QImage blank(240, 240, QImage::Format_RGB32);
        blank.fill(Qt::white);
        SaveBmp(blank, File("SPACE_240x240.bmp"));
    }
    if (!Options.WithGlb) return;
    std::map<std::pair<int, int>, std::vector<uint8_t>> lib;
    auto add = [&](int Group, int Index, const QByteArray& Payload) {
        lib[{Group, Index}] = std::vector<uint8_t>(Payload.begin(), Payload.end());
    };
    for (int p = 0; p < 3; ++p)
        add(0, 30 + p, BmpData(Mark(64, 128, p)));
    add(0, 40, BmpData(Mark(64, 32, 40)));
    QByteArray charBlock(7168, 0);
    for (int i = 0; i < charBlock.size(); ++i)
        charBlock[i] = static_cast<char>(i * 13 + 5);
    add(0, 48, charBlock);
    add(0, 41, QByteArray(1792, '\x5A'));
    for (int s = 0; s < 5; ++s)
        for (int f = 0; f < 12; ++f)
            add(0, 50 + 20 * s + f, BmpData(Mark(48, 48, s * 12 + f)));
    for (int k = 0; k < 4; ++k)
        for (int c = 32; c < 127; ++c)
            add(1 + k, c, BmpData(Glyph(k, c)));
    for (int i = 0; i < 39; ++i)
        add(7, i, BmpData(Mark(8, 8, i)));
    WriteGlyphLibrary(File("D510TK3.GLB"), lib);
}
