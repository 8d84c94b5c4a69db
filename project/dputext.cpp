#include "project/dputext.h"

#include "util/eygeneral.h"
#include "util/qstringconv.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>

namespace DpuProject {

namespace DpuText {

std::string Trim(const std::string& Text) {
    size_t begin = 0;
    size_t end = Text.size();
    while (begin < end && static_cast<unsigned char>(Text[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(Text[end - 1]) <= 0x20)
        --end;
    return Text.substr(begin, end - begin);
}

std::string UpperCase(const std::string& Text) {
    std::string out = Text;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string ExtractFileNameAny(const std::string& Path) {
    const size_t pos = Path.find_last_of("/\\:");
    return pos == std::string::npos ? Path : Path.substr(pos + 1);
}

std::string ChangeFileExt(const std::string& Path, const std::string& NewExt) {
    const size_t sep = Path.find_last_of("/\\:");
    const size_t dot = Path.rfind('.');
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return Path + NewExt;
    return Path.substr(0, dot) + NewExt;
}

std::string JoinPath(const std::string& Folder, const std::string& Name) {
    if (Folder.empty()) return Name;
    if (Folder.back() == '/') return Folder + Name;
    return Folder + '/' + Name;
}

bool FileExists(const std::string& Path) {
    if (Path.empty()) return false;
    const QFileInfo info(YVclUtil::ToQString(Path));
    return info.exists() && info.isFile();
}

std::string AbsolutePath(const std::string& Path) {
    const QFileInfo info(YVclUtil::ToQString(Path));
    return YVclUtil::FromQString(info.absoluteFilePath());
}

std::string CodeText(int Code) {
    if (Code < 0 || Code > 255) return {};
    return YVclUtil::Format("%02X (%d )", Code, Code);
}

std::string FileDateText(const std::string& Path) {
    const QFileInfo info(YVclUtil::ToQString(Path));
    if (Path.empty() || !info.exists()) return "000000";
    const QDate date = info.lastModified().date();
    return YVclUtil::Format("%02d%02d%02d", date.year() % 100, date.month(), date.day());
}

} // namespace DpuText

} // namespace DpuProject
