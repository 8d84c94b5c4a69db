#include "testsupport.h"

#include <QBuffer>
#include <QDir>
#include <QImage>

#include <fstream>
#include <iterator>
#include <sstream>

void ScriptedPrompts::MessageBox(const std::string& Caption, const std::string& Text) {
    Messages.emplace_back(Caption, Text);
}

bool ScriptedPrompts::AskYesNo(const std::string& Caption, const std::string& Text) {
    Questions.emplace_back(Caption, Text);
    if (YesNoAnswers.empty()) return false;
    const bool answer = YesNoAnswers.front();
    YesNoAnswers.pop_front();
    return answer;
}

bool ScriptedPrompts::NextFile(std::string& FileName) {
    if (FileAnswers.empty()) return false;
    FileName = FileAnswers.front();
    FileAnswers.pop_front();
    return true;
}

bool ScriptedPrompts::OpenFileDialog(const std::string&, const std::string&,
                                     std::string& FileName) {
    return NextFile(FileName);
}

bool ScriptedPrompts::SaveFileDialog(const std::string&, const std::string&,
                                     std::string& FileName) {
    return NextFile(FileName);
}

bool ScriptedPrompts::OpenPictureDialog(const std::string&, std::string& FileName) {
    return NextFile(FileName);
}

void ScriptedPrompts::SetBusyCursor(bool Busy) {
    CursorCalls.push_back(Busy);
}

bool ScriptedPrompts::CursorBalanced() const {
    int depth = 0;
    for (bool busy : CursorCalls)
        depth += busy ? 1 : -1;
    return depth == 0;
}

TempWorkDir::TempWorkDir() {
    Previous = QDir::currentPath().toStdString();
    QDir::setCurrent(Dir.path());
}

TempWorkDir::~TempWorkDir() {
    QDir::setCurrent(QString::fromStdString(Previous));
}

std::string TempWorkDir::Path() const {
    return Dir.path().toStdString();
}

std::string TempWorkDir::File(const std::string& Name) const {
    return Path() + "/" + Name;
}

static void PutBE32(std::vector<uint8_t>& Image, size_t At, uint32_t Value) {
    Image[At] = uint8_t(Value >> 24);
    Image[At + 1] = uint8_t(Value >> 16);
    Image[At + 2] = uint8_t(Value >> 8);
    Image[At + 3] = uint8_t(Value);
}

std::vector<uint8_t> MakeGlb(const std::vector<GlbEntry>& Entries, int Groups) {
    std::vector<uint8_t> image(8 + 2048 * size_t(Groups), 0);
    for (int i = 0; i < 8; ++i)
        image[i] = uint8_t('H' + i);
    for (const GlbEntry& e : Entries) {
        const uint32_t offset = uint32_t(image.size());
        image.insert(image.end(), e.Payload.begin(), e.Payload.end());
        PokeDirectory(image, e.Group, e.Index, offset, uint32_t(e.Payload.size()));
    }
    return image;
}

void PokeDirectory(std::vector<uint8_t>& Image, int Group, int Index, uint32_t Offset,
                   uint32_t Length) {
    const size_t at = 8 + 2048 * size_t(Group) + 8 * size_t(Index);
    PutBE32(Image, at, Offset);
    PutBE32(Image, at + 4, Length);
}

std::vector<uint8_t> MakeBmp(int Width, int Height, uint32_t Fill) {
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Fill);
    image.setPixel(0, 0, 0xFFFF0000u);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes) {
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
}

void WriteText(const std::string& Path, const std::string& Text) {
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out << Text;
}

std::string ReadText(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
