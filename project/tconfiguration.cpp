#include "project/tconfiguration.h"

#include "project/dputext.h"
#include "project/tbitpatterntables.h"
#include "project/tlabelrule.h"
#include "util/eyinifileerror.h"
#include "util/fileaccess.h"
#include "util/programdir.h"
#include "util/prompts.h"
#include "util/qstringconv.h"
#include "util/tyinifile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>

namespace DpuProject {

namespace {
constexpr auto& FromQ = YVclUtil::FromQString;
constexpr auto& ToQ = YVclUtil::ToQString;

struct TVersionValues {
    int CFI, IFI, DISPHV, ENCODE;
};
constexpr TVersionValues kBuiltInValues{48, 41, 1, 1};
constexpr int kMaxVersionItems = 4096;

// Why the configuration at Path cannot be read as the text it was written
// as ("\"<path>\" is UTF-16 text ..."); empty when it can, or when it cannot be
// read at all (the engine then says why).
std::string EncodingFault(const std::string& Path) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!YVclUtil::ReadWholeFile(Path, bytes, reason)) return {};
    const std::string fault = YVclUtil::TYIniFile::TextFault(bytes);
    return fault.empty() ? fault : "\"" + Path + "\" " + fault + ", not read";
}

// A name from the configuration: a path from a root ("/...", "\\...", or a
// drive, "C:...") stands for itself on every platform, anything else is
// taken in the start-up directory.
std::string ConfiguredPath(const std::string& StartupDir, const std::string& Name) {
    const bool rooted =
        !Name.empty() &&
        (Name[0] == '/' || Name[0] == '\\' ||
         (Name.size() >= 2 && Name[1] == ':' && std::isalpha(static_cast<unsigned char>(Name[0]))));
    return rooted ? Name : DpuText::JoinPath(StartupDir, Name);
}

// "Can not read "<path>": <reason>" for a file the engine could not load.
std::string ReadFailure(const std::string& Path, const std::exception& Error) {
    const auto* file = dynamic_cast<const YVclUtil::EYIniFileError*>(&Error);
    return "Can not read \"" + Path +
           "\": " + (file && !file->Reason.empty() ? file->Reason : Error.what());
}
} // namespace

std::string TConfiguration::StockRoot(const std::string& ExecutableDir) {
    std::string beside = ExecutableDir;
    if (beside.empty() || beside.back() != '/') beside += '/';
    // The lift-state folder, not DefaultImage2 alone: a user's own bitmaps
    // left in the program folder by an older installation keep an otherwise
    // empty DefaultImage2 there, which must not hide the installed one.
    const auto holdsStock = [](const std::string& Root) {
        return QFileInfo(ToQ(Root + "DefaultImage2/LiftState")).isDir();
    };
    if (holdsStock(beside)) return beside;
    const std::string installed = FromQ(QDir::cleanPath(ToQ(beside + InstalledDataFolder))) + '/';
    return holdsStock(installed) ? installed : beside;
}

void TConfiguration::SetDirectoriesFromProcess() {
    ProgramDir =
        StockRoot(QCoreApplication::instance() ? FromQ(QCoreApplication::applicationDirPath())
                                               : YVclUtil::ExecutableFolder());
    StartupDir = FromQ(QDir::currentPath());
    while (StartupDir.size() > 1 && StartupDir.back() == '/')
        StartupDir.pop_back();
}

std::string TConfiguration::IniPath() const {
    return DpuText::JoinPath(StartupDir, FileName);
}

std::string TConfiguration::GlbPath() const {
    return ConfiguredPath(StartupDir, GlbName);
}

std::string TConfiguration::UbfGlbPath() const {
    return ConfiguredPath(StartupDir, DpuText::Trim(UbfGlbName));
}

std::string TConfiguration::BlankLogoPath() const {
    return DpuText::JoinPath(StartupDir, "SPACE_240x240.bmp");
}

std::string TConfiguration::UserFloorStylePrefix() const {
    return DpuText::JoinPath(ProgramDir, "DefaultImage2/UserDefine/Floor/Style");
}

std::vector<std::string> TConfiguration::UserBitmapFolders(int Style) const {
    return TLabelRule::UserBitmapFolders(StartupDir, ProgramDir, Style);
}

bool TConfiguration::Read(YVclUtil::Prompts& Prompts, YVclUtil::MessageSink* Log) {
    LastError.clear();
    const std::string path = IniPath();
    YVclUtil::TFileStatus status;
    std::string reason;
    if (YVclUtil::QueryFileStatus(path, status, reason) &&
        status.Kind == YVclUtil::TFileKind::Missing) {
        LastError = std::string(FileName) + " file not found";
        Prompts.MessageBox("Error", std::string(FileName) + " file not found!!\n\n");
        return false;
    }
    // Wide text or lines the engine would join read as a file of other keys
    // or none: the built-in values would then be used without a word.
    if (const std::string fault = EncodingFault(path); !fault.empty()) {
        LastError = fault;
        Prompts.MessageBox("Error", std::string(FileName) + ": " + fault + "\n\n");
        return false;
    }
    // Anything else that is there goes to the engine, which reads it without
    // asking for write access and refuses a folder or a FIFO with its reason.
    std::unique_ptr<YVclUtil::TYIniFile> ini;
    try {
        ini = std::make_unique<YVclUtil::TYIniFile>(path);
    } catch (const std::exception& e) {
        // The engine has shown its box naming the file; the reason goes to the log.
        LastError = ReadFailure(path, e);
        if (Log) Log->AppendLog("[Error] " + LastError);
        return false;
    }
    try {
        GlbName = ini->ReadString("GLOBAL", "GLB", "D510TK3.GLB");
        UbfGlbName = ini->ReadString("GLOBAL", "UBFGLB", "");
        // A version count in the millions is no list anyone keeps; it would
        // only make start-up spin on keys that are not there.
        const int count = std::min(ini->ReadInteger("GLOBAL", "VCN", 0), kMaxVersionItems);
        VersionList.clear();
        VersionIndex = -1;
        for (int i = 1; i <= count; ++i) {
            const std::string item = ini->ReadString("GLOBAL", "ITEM" + std::to_string(i), "");
            if (!DpuText::Trim(item).empty()) VersionList.push_back(item);
        }
        if (VersionList.empty()) {
            // No usable entry (VCN 0, absent, negative, or only blank ITEM
            // keys): the two built-in versions, none selected.
            VersionList = {BuiltInVersion0, BuiltInVersion1};
            VersionIndex = -1;
            CFI = kBuiltInValues.CFI;
            IFI = kBuiltInValues.IFI;
            DISPHV = kBuiltInValues.DISPHV;
            ENCODE = kBuiltInValues.ENCODE;
            SelectedVersion = BuiltInVersion0;
        } else {
            VersionIndex = 0;
            ini.reset();
            if (!ReadVersionSection(DpuText::Trim(VersionList[0]))) {
                Prompts.MessageBox("Error", std::string(FileName) + ": " + LastError + "\n\n");
                return false;
            }
        }
    } catch (const std::exception& e) {
        LastError = e.what();
        Prompts.MessageBox("Error", std::string(FileName) + ": " + e.what() + "\n\n");
        return false;
    }
    return true;
}

bool TConfiguration::SelectVersion(int Index, YVclUtil::MessageSink* Sink) {
    if (Index < 0 || Index >= static_cast<int>(VersionList.size())) return false;
    VersionIndex = Index;
    const bool ok = ReadVersionSection(DpuText::Trim(VersionList[Index]));
    if (Sink) Sink->SetStatus(1, "Version: " + SelectedVersion);
    return ok;
}

bool TConfiguration::ReadVersionSection(const std::string& Section) {
    LastError.clear();
    const bool builtIn = Section == BuiltInVersion0 || Section == BuiltInVersion1;
    const TVersionValues defaults = builtIn ? kBuiltInValues : TVersionValues{0, 41, 1, 1};
    // The version is in force from here on, whatever the file holds.
    SelectedVersion = Section;
    const std::string path = IniPath();
    YVclUtil::TFileStatus status;
    std::string reason;
    if (YVclUtil::QueryFileStatus(path, status, reason) &&
        status.Kind == YVclUtil::TFileKind::Missing) {
        // Opening a missing file through the engine would create it; the
        // configuration is only ever read.
        CFI = defaults.CFI;
        IFI = defaults.IFI;
        DISPHV = defaults.DISPHV;
        ENCODE = defaults.ENCODE;
        return true;
    }
    if (const std::string fault = EncodingFault(path); !fault.empty()) {
        // The values stay as they were: the file says nothing readable.
        LastError = fault;
        return false;
    }
    try {
        YVclUtil::TYIniFile ini(path);
        const TVersionValues use =
            ini.SectionExists(Section) ? TVersionValues{0, 41, 1, 1} : defaults;
        CFI = ini.ReadInteger(Section, "CFI", use.CFI);
        IFI = ini.ReadInteger(Section, "IFI", use.IFI);
        DISPHV = ini.ReadInteger(Section, "DISPHV", use.DISPHV);
        ENCODE = ini.ReadInteger(Section, "ENCODE", use.ENCODE);
    } catch (const YVclUtil::EYIniFileError& e) {
        LastError = ReadFailure(path, e);
        return false;
    } catch (const std::exception& e) {
        LastError = std::string("[") + Section + "] " + e.what();
        return false;
    }
    return true;
}

int TConfiguration::FindVersionForCodeVer(const std::string& CodeVer) const {
    if (VersionList.empty()) return -1;
    int found = 0;
    if (!DpuText::Trim(CodeVer).empty())
        for (int i = 0; i < static_cast<int>(VersionList.size()); ++i)
            if (DpuText::Trim(VersionList[i]) == CodeVer) found = i;
    return found;
}

std::string TConfiguration::CodeVerToSave() const {
    if (VersionIndex < 0 || VersionIndex >= static_cast<int>(VersionList.size())) return {};
    return DpuText::Trim(VersionList[VersionIndex]);
}

const std::string& TConfiguration::BitPattern(int Code) const {
    return TBitPatternTables::ForVersion(SelectedVersion, Code);
}

} // namespace DpuProject
