#include "ttestworkspace.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <vector>

namespace {

QByteArray BmpBytes(const QImage& Image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Image.save(&buffer, "BMP");
    return bytes;
}

void PutBe32(std::vector<uint8_t>& Out, size_t At, uint32_t Value) {
    Out[At] = static_cast<uint8_t>(Value >> 24);
    Out[At + 1] = static_cast<uint8_t>(Value >> 16);
    Out[At + 2] = static_cast<uint8_t>(Value >> 8);
    Out[At + 3] = static_cast<uint8_t>(Value);
}

// A library in the display's layout: 8 header bytes, 8 groups of 256
// directory entries (big-endian offset and length), then the payloads.
class TLibraryWriter {
public:
    TLibraryWriter() : Bytes(8 + 8 * 2048, 0) {
        const char header[8] = {'D', 'P', 'U', 'G', 'L', 'B', '0', '1'};
        std::copy(header, header + 8, Bytes.begin());
    }
    void Add(int Group, int Index, const QByteArray& Payload) {
        const size_t entry = 8 + 2048 * static_cast<size_t>(Group) + 8 * static_cast<size_t>(Index);
        PutBe32(Bytes, entry, static_cast<uint32_t>(Bytes.size()));
        PutBe32(Bytes, entry + 4, static_cast<uint32_t>(Payload.size()));
        Bytes.insert(Bytes.end(), Payload.begin(), Payload.end());
    }
    std::vector<uint8_t> Bytes;
};

bool WriteFile(const std::string& Path, const QByteArray& Data) {
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
    return WriteFile(Path, BmpBytes(Image));
}

TTestWorkspace::TTestWorkspace() : TTestWorkspace(TOptions()) {}

TTestWorkspace::TTestWorkspace(const TOptions& Options) {
    OldCwd = QDir::currentPath();
    Build(Options);
    QDir::setCurrent(Dir.path());
}

TTestWorkspace::~TTestWorkspace() {
    QDir::setCurrent(OldCwd);
}

std::string TTestWorkspace::File(const std::string& Name) const {
    return (Dir.path() + '/' + QString::fromStdString(Name)).toStdString();
}

void TTestWorkspace::Build(const TOptions& Options) {
    if (Options.WithIni)
        WriteFile(File("ORVDVE510TK3.INI"), QByteArray::fromStdString(Options.IniText));
    if (Options.WithBlankLogo) {
        QImage blank(240, 240, QImage::Format_RGB32);
        blank.fill(Qt::white);
        SaveBmp(blank, File("SPACE_240x240.bmp"));
    }
    if (!Options.WithGlb) return;
    TLibraryWriter lib;
    for (int p = 0; p < 3; ++p)
        lib.Add(0, 30 + p, BmpBytes(Mark(64, 128, p)));
    lib.Add(0, 40, BmpBytes(Mark(64, 32, 40)));
    QByteArray charBlock(7168, 0);
    for (int i = 0; i < charBlock.size(); ++i)
        charBlock[i] = static_cast<char>(i * 13 + 5);
    lib.Add(0, 48, charBlock);
    lib.Add(0, 41, QByteArray(1792, '\x5A'));
    for (int s = 0; s < 5; ++s)
        for (int f = 0; f < 12; ++f)
            lib.Add(0, 50 + 20 * s + f, BmpBytes(Mark(48, 48, s * 12 + f)));
    for (int k = 0; k < 4; ++k)
        for (int c = 32; c < 127; ++c)
            lib.Add(1 + k, c, BmpBytes(Glyph(k, c)));
    for (int i = 0; i < 39; ++i)
        lib.Add(7, i, BmpBytes(Mark(8, 8, i)));
    WriteFile(File("D510TK3.GLB"), QByteArray(reinterpret_cast<const char*>(lib.Bytes.data()),
                                              static_cast<qsizetype>(lib.Bytes.size())));
}
