#include "filehelpers.h"

#include <chrono>
#include <filesystem>
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

void MakeOld(const std::string& Path, int Seconds) {
    namespace fs = std::filesystem;
    const fs::path path(std::u8string(Path.begin(), Path.end()));
    std::error_code ec;
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(Seconds), ec);
}
