#pragma once

// The BMP suite kept in tests/data/bmpsuite: g/ good pictures, b/ bad by
// design, q/ questionable, and expected/<folder>/<name>.pbm, the lit map of
// each picture another decoder reads (see the README there).

#include "support/pathhelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace BmpSuite {

inline std::string Dir() {
    return SourceDir() + "/tests/data/bmpsuite";
}

// The .bmp files of one folder, sorted. Missing files are a failure of the
// caller's count check, never a skip.
inline std::vector<std::string> Files(const std::string& Folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(Dir() + "/" + Folder, error))
        if (entry.path().extension() == ".bmp") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// The number of pictures each folder holds.
inline size_t Count(const std::string& Folder) {
    return Folder == "g" ? 27 : Folder == "b" ? 20 : 43;
}

struct TLitMap {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Lit; // row after row, 1 = lit
};

// Reads expected/<folder>/<stem>.pbm for a picture path; false when there is none.
inline bool Expected(const std::string& Picture, TLitMap& Map) {
    const std::filesystem::path p(Picture);
    const std::string pbm = Dir() + "/expected/" + p.parent_path().filename().string() + "/" +
                            p.stem().string() + ".pbm";
    std::ifstream in(pbm);
    std::string magic;
    if (!(in >> magic >> Map.Width >> Map.Height) || magic != "P1") return false;
    Map.Lit.clear();
    char c;
    while (Map.Lit.size() < static_cast<size_t>(Map.Width) * static_cast<size_t>(Map.Height) &&
           in.get(c))
        if (c == '0' || c == '1') Map.Lit.push_back(static_cast<uint8_t>(c - '0'));
    return Map.Lit.size() == static_cast<size_t>(Map.Width) * static_cast<size_t>(Map.Height);
}

inline std::vector<uint8_t> Bytes(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace BmpSuite
