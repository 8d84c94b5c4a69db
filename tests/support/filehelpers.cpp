#include "filehelpers.h"

#include <fstream>
#include <sstream>

void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes) {
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
}

void WriteText(const std::string& Path, const std::string& Text) {
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out << Text;
}

std::string Utf16Text(const std::string& Ascii, bool BigEndian) {
    std::string out;
    for (const char c : Ascii) {
        out += BigEndian ? '\0' : c;
        out += BigEndian ? c : '\0';
    }
    return out;
}

std::string ReadText(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
