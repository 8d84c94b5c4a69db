// Feeds arbitrary bytes to the INI loader as a file, then checks that what it
// kept reads back through the typed readers, saves in the normalised layout and
// loads again to the same content.

#include "util/errmsgbox.h"
#include "util/eyconverterror.h"
#include "util/eygeneral.h"
#include "util/tyinifile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using namespace YVclUtil;

namespace {

std::string g_dir;

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

std::string ReadFile(const std::string& path) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) std::abort();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    std::fclose(f);
    return out;
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
    char dirTemplate[] = "/dev/shm/fuzz_ini.XXXXXX";
    char fallback[] = "/tmp/fuzz_ini.XXXXXX";
    const char* dir = mkdtemp(dirTemplate);
    if (!dir) dir = mkdtemp(fallback);
    if (!dir) std::abort();
    g_dir = dir;
    SetErrMsgBoxHandler([](const std::string&, const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string in = g_dir + "/in.ini";
    const std::string first = g_dir + "/first.ini";
    const std::string second = g_dir + "/second.ini";
    WriteFile(in, data, size);

    std::string saved;
    try {
        {
            TYIniFile ini(in);
            if (ini.pr_Modified()) std::abort();
            ini.pw_FileName(first);
            if (!ini.UpdateFile()) std::abort();
            saved = ReadFile(first);
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
            ini.pw_FileName(second);
        }
        // A key that begins with '#' reads back as a comment; otherwise the
        // normalised file loads to the same content, less the sections
        // without keys (left by pairs whose key was too long).
        if (saved.rfind("#", 0) != 0 && saved.find("\r\n#") == std::string::npos) {
            {
                TYIniFile again(first);
                again.pw_FileName(second);
            }
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
            if (ReadFile(second) != expected) std::abort();
        }
    } catch (const EYGeneral&) {
        std::abort(); // an existing, readable file must always load
    }
    unlink(in.c_str());
    unlink(first.c_str());
    unlink(second.c_str());
    return 0;
}
