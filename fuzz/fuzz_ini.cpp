// Feeds arbitrary bytes to the INI parser directly (no file), then checks that
// what it kept reads back through the typed readers, saves in the normalised
// layout and parses again to the same content.

#include "util/errmsgbox.h"
#include "util/eyconverterror.h"
#include "util/eygeneral.h"
#include "util/tyinifile.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <utility>
#include <vector>

using namespace YVclUtil;

namespace {

std::span<const uint8_t> AsBytes(const std::string& Text) {
    return {reinterpret_cast<const uint8_t*>(Text.data()), Text.size()};
}

struct Entry {
    std::string section, key, value;
};

// Splits the normalised layout back into its entries; aborts on anything else.
std::vector<Entry> ParseSaved(const std::string& text) {
    std::vector<Entry> entries;
    std::string section;
    size_t pos = 0;
    bool inSection = false;
    while (pos < text.size()) {
        const size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) std::abort(); // every saved line ends in CR LF
        const std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        if (!inSection) {
            if (line.size() < 3 || line.front() != '[' || line.back() != ']') std::abort();
            section = line.substr(1, line.size() - 2);
            inSection = true;
        } else if (line.empty()) {
            inSection = false;
        } else {
            const size_t eq = line.find('=');
            if (eq == std::string::npos || eq == 0) std::abort();
            entries.push_back({section, line.substr(0, eq), line.substr(eq + 1)});
        }
    }
    if (inSection) std::abort(); // the last section is closed by an empty line too
    return entries;
}

void ExerciseReads(TYIniFile& ini, const Entry& e) {
    if (ini.ReadString(e.section, e.key, "\x01") != e.value) std::abort();
    if (!ini.ValueExists(e.section, e.key)) std::abort();
    try {
        (void)ini.ReadInteger(e.section, e.key, 0);
    } catch (const EYConvertError&) {
    }
    (void)ini.ReadUnsigned(e.section, e.key, 1);
    (void)ini.ReadFloat(e.section, e.key, 1.0);
    (void)ini.ReadBool(e.section, e.key, true);
    (void)ini.StrICmp(e.section, e.key, "orv");
    for (auto read : {&TYIniFile::ReadDate, &TYIniFile::ReadTime, &TYIniFile::ReadDateTime}) {
        try {
            (void)(ini.*read)(e.section, e.key, TDateTime());
        } catch (const EYConvertError&) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetErrMsgBoxHandler([](const std::string&, const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string saved;
    try {
        {
            TYIniFile ini(std::span<const uint8_t>(data, size));
            if (ini.pr_Modified()) std::abort();
            saved = ini.SaveToString();
            const std::vector<Entry> entries = ParseSaved(saved);
            for (size_t i = 0; i < entries.size() && i < 64; ++i)
                ExerciseReads(ini, entries[i]);
            // Changes on top of loaded content must not disturb it.
            if (!entries.empty()) {
                ini.DeleteValue(entries[0].section, entries[0].key);
                ini.WriteHexNum(entries.back().section, "fuzz.added", 0xBEEF);
                if (ini.ReadHexNum(entries.back().section, "fuzz.added", 0) != 0xBEEF) std::abort();
                ini.EraseSection(entries.back().section);
                if (ini.SectionExists(entries.back().section)) std::abort();
            }
            // Nothing to write to: the changes stay in memory.
            if (ini.pr_Modified() && ini.UpdateFile()) std::abort();
        }
        // A key that begins with '#' reads back as a comment; otherwise the
        // normalised file loads to the same content, less the sections
        // without keys (left by pairs whose key was too long).
        if (saved.rfind("#", 0) != 0 && saved.find("\r\n#") == std::string::npos) {
            TYIniFile again(AsBytes(saved));
            std::string expected, section;
            bool open = false;
            for (const Entry& e : ParseSaved(saved)) {
                if (!open || e.section != section) {
                    if (open) expected += "\r\n";
                    expected += "[" + e.section + "]\r\n";
                    section = e.section;
                    open = true;
                }
                expected += e.key + "=" + e.value + "\r\n";
            }
            if (open) expected += "\r\n";
            if (again.SaveToString() != expected) std::abort();
        }
    } catch (const EYGeneral&) {
        std::abort(); // any bytes must always parse
    }
    return 0;
}
