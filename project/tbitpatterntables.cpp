#include "project/tbitpatterntables.h"

#include <array>

namespace DpuProject {

namespace {
struct Tables {
    std::array<std::string, 64> Plain;
    std::array<std::string, 64> Gray;
    Tables() {
        for (int n = 0; n < 64; ++n) {
            const int m = n & 31;
            const int gray = (n & 32) | (m ^ (m >> 1));
            Plain[n] = Bits(n);
            Gray[n] = Bits(gray);
        }
    }
    static std::string Bits(int v) {
        std::string s(6, '0');
        for (int bit = 0; bit < 6; ++bit)
            if (v & (1 << bit)) s[5 - bit] = '1';
        return s;
    }
};

const Tables& TheTables() {
    static const Tables kTables;
    return kTables;
}

const std::string kEmpty;
} // namespace

const std::string& TBitPatternTables::Plain(int Code) {
    return Code >= 0 && Code < 64 ? TheTables().Plain[Code] : kEmpty;
}

const std::string& TBitPatternTables::Gray(int Code) {
    return Code >= 0 && Code < 64 ? TheTables().Gray[Code] : kEmpty;
}

const std::string& TBitPatternTables::ForVersion(const std::string& Version, int Code) {
    return Version == GrayVersionName ? Gray(Code) : Plain(Code);
}

} // namespace DpuProject
