#include "project/tprojectfile.h"

#include "project/dputext.h"
#include "project/tconfiguration.h"
#include "project/tglyphsource.h"
#include "project/tlabelrule.h"
#include "project/tliftstatedefaults.h"
#include "project/tproject.h"
#include "project/tsettingstable.h"
#include "util/errmsgbox.h"
#include "util/eygeneral.h"
#include "util/eyinifileerror.h"
#include "util/fileaccess.h"
#include "util/prompts.h"
#include "util/tyinifile.h"

#include <QFileInfo>

#include <cerrno>
#include <exception>
#include <limits>
#include <memory>
#include <span>
#include <vector>

namespace DpuProject {

namespace {
const char* const kGlobal = "GLOBAL";
const char* const kLiftStateImage = "LiftStateImage";
const char kSlotLetters[4] = {'A', 'B', 'C', 'D'};

// The busy cursor for the length of a file operation; Done() puts the arrow
// back before a message box is shown.
class TBusyCursor {
public:
    explicit TBusyCursor(YVclUtil::Prompts& Prompts) : Ask(Prompts) { Ask.SetBusyCursor(true); }
    ~TBusyCursor() { Done(); }
    void Done() {
        if (Busy) {
            Busy = false;
            Ask.SetBusyCursor(false);
        }
    }

private:
    YVclUtil::Prompts& Ask;
    bool Busy = true;
};

std::string SlotKey(int State, int Slot) {
    return "LeftState_" + std::to_string(State) + "_" + kSlotLetters[Slot];
}

std::string CodeKey(int Code) {
    return "CODE_" + std::to_string(Code);
}

std::string FolderOf(const std::string& Path) {
    return QFileInfo(QString::fromUtf8(Path.c_str())).absolutePath().toUtf8().toStdString();
}

bool HasExtension(const std::string& Path) {
    const std::string name = DpuText::ExtractFileNameAny(Path);
    return name.find('.') != std::string::npos;
}

// A line break inside a value would end the value in the file and make the
// rest a line of its own (a key or a section header on the next load); each
// one becomes a blank instead.
std::string OneLine(std::string Value) {
    for (char& c : Value)
        if (c == '\r' || c == '\n') c = ' ';
    return Value;
}

// The system's words for why the engine could not load or create Path.
std::string ReasonOf(const std::exception& Error) {
    const auto* file = dynamic_cast<const YVclUtil::EYIniFileError*>(&Error);
    return file && !file->Reason.empty() ? file->Reason : std::string(Error.what());
}

// A project file is some 20 KB; one far beyond this is not one.
constexpr uint64_t kMaxProjectSize = 16ULL * 1024 * 1024;
// A project holds 5 sections and 825 keys; a save keeps the sections of
// another file it replaces. The size cap alone would let a file of tiny
// sections take gigabytes in the engine.
constexpr YVclUtil::TYIniFile::TLimits kProjectLimits{64, 4096};

// "line N holds the control byte 0xXX" for the first byte below a blank other
// than tab, CR and LF (or DEL); empty when there is none. A byte-order mark
// at the start is allowed (the engine skips it).
std::string ControlByteFault(const std::vector<uint8_t>& Bytes) {
    size_t line = 1;
    for (uint8_t b : Bytes) {
        if (b == '\n') {
            ++line;
            continue;
        }
        if ((b < 0x20 && b != '\t' && b != '\r') || b == 0x7F)
            return YVclUtil::Format("line %zu holds the control byte 0x%02X", line, b);
    }
    return {};
}

// The engine's caption and words for a file it could not read or write,
// which the person has always seen for a project file.
const char* const kEngineCaption = "TYIniFile";
const char* const kOpenFailure = "Can not open";
const char* const kCreateFailure = "Can not create";
} // namespace

TProjectFile::TProjectFile(TProject& Project, TConfiguration& Config, TGlyphSource& Library,
                           YVclUtil::Prompts& Prompts, YVclUtil::MessageSink& Sink)
    : Project(Project), Config(Config), Library(Library), Ask(Prompts), Sink(Sink) {}

bool TProjectFile::Save() {
    Project.SaveDone = false;
    LastError.clear();
    std::string name;
    if (!Ask.SaveFileDialog(Filter, DefaultExt, name) || DpuText::Trim(name).empty()) {
        LastError = "save cancelled";
        return false;
    }
    if (!HasExtension(name)) name += std::string(".") + DefaultExt;
    if (DpuText::FileExists(name) && !Ask.AskYesNo("Overlay file", "File exist!!\n\nOverlay?\n")) {
        LastError = "overwrite declined";
        return false;
    }
    return SaveTo(name);
}

bool TProjectFile::SaveTo(const std::string& Path) {
    Project.SaveDone = false;
    LastError.clear();
    TBusyCursor cursor(Ask);
    auto fail = [&](bool Opening, const std::string& Reason) {
        // The one box the person has always been shown for a project file
        // that could not be read or written, then the log says why.
        YVclUtil::ShowErrMsgBox_Printf(kEngineCaption, "Err: %s file \n \"%s\" ",
                                       Opening ? kOpenFailure : kCreateFailure, Path.c_str());
        LastError = std::string(Opening ? "can not open" : "can not write") + " project file \"" +
                    Path + "\": " + Reason;
        Sink.AppendLog("[Error] Can not write project file \"" + Path + "\": " + Reason);
        return false;
    };

    // The sections of a file saved over that are not the project's stay: the
    // file is read first and the project written over its content in memory.
    YVclUtil::TFileStatus status;
    std::string reason;
    std::vector<uint8_t> previous;
    if (!YVclUtil::QueryFileStatus(Path, status, reason)) return fail(true, reason);
    const bool existed = status.Kind != YVclUtil::TFileKind::Missing;
    if (existed && !YVclUtil::ReadWholeFile(Path, previous, reason,
                                            std::numeric_limits<uint64_t>::max(), nullptr, &status))
        return fail(true, reason);
    std::unique_ptr<YVclUtil::TYIniFile> ini;
    try {
        ini = std::make_unique<YVclUtil::TYIniFile>(std::span<const uint8_t>(previous));
    } catch (const std::exception& e) {
        return fail(true, ReasonOf(e));
    }

    if (existed)
        for (const char* section : {kGlobal, "CTBL0", "CTBL1", "CTBL2", kLiftStateImage, "USER"})
            ini->EraseSection(section);

    const std::string romName = OneLine(TProject::RomFileNameToSave(Project.ROMFILENAME));
    const int mask = TProject::NormaliseMsgMask(Project.MsgMaskFromBoxes());
    const int dispdt = Project.DISPDT != 0 ? 1 : 0;

    ini->WriteString(kGlobal, "CODENAME", CodeName);
    ini->WriteString(kGlobal, "VERSION", FileVersion);
    ini->WriteString(kGlobal, "CUSIDCODE", OneLine(DpuText::Trim(Project.CUSIDCODE)));
    ini->WriteString(kGlobal, "ROMFILENAME", romName);
    ini->WriteString(kGlobal, "TITLEFILENAME_C", OneLine(Project.TITLEFILENAME_C));
    for (const TSettingsTable::TField& f : TSettingsTable::Fields()) {
        // Files have always named the version between the two style groups.
        if (f.Member == &TSettingValues::DPSTYLE)
            ini->WriteString(kGlobal, "CODEVER", Config.CodeVerToSave());
        int value = Project.*(f.Member);
        if (f.SavedAsFlag) value = value != 0 ? 1 : 0;
        // The ticked boxes, not the value read, make the stored mask.
        if (f.Member == &TSettingValues::DEF_MSG) value = mask;
        ini->WriteInteger(kGlobal, f.Key, value);
    }

    for (int state = 0; state < TProject::StateCount; ++state)
        for (int slot = 0; slot < TProject::SlotCount; ++slot)
            ini->WriteString(kLiftStateImage, SlotKey(state, slot),
                             OneLine(Project.LiftStateSlots[state][slot]));

    for (int code = 0; code < TProject::CodeCount; ++code)
        for (int table = 0; table < TProject::TableCount; ++table)
            ini->WriteString(TProject::TableName(table), CodeKey(code),
                             OneLine(TLabelRule::BuiltText(Project.CodeTables[table][code])));

    // Written whole through a temporary file renamed over the target: a
    // failure leaves an existing file as it was and creates none.
    const std::string text = ini->SaveToString();
    ini.reset();
    if (!YVclUtil::WriteFileAtomically(Path, text.data(), text.size(), reason))
        return fail(false, reason);
    cursor.Done();

    Project.ROMFILENAME = romName;
    Project.DEF_MSG = mask;
    Project.DISPDT = dispdt;
    LastPath = DpuText::AbsolutePath(Path);
    Sink.SetStatus(0, "Project file: " + LastPath);
    Project.SaveDone = true;
    return true;
}

TProjectFile::TLoadResult TProjectFile::Load() {
    LastError.clear();
    std::string name;
    if (!Ask.OpenFileDialog(Filter, DefaultExt, name) || DpuText::Trim(name).empty()) {
        LastError = "load cancelled";
        return TLoadResult::Cancelled;
    }
    return LoadFrom(name);
}

TProjectFile::TLoadResult TProjectFile::LoadFrom(const std::string& Path) {
    LastError.clear();
    YVclUtil::TFileStatus status;
    std::string reason;
    if (YVclUtil::QueryFileStatus(Path, status, reason) &&
        status.Kind == YVclUtil::TFileKind::Missing) {
        // Only nothing at all is "not found": a folder or a FIFO there is
        // refused below with its reason.
        LastError = "project file \"" + Path + "\" not found";
        Ask.MessageBox("File error", "Project file not found!!\n\n");
        return TLoadResult::NotFound;
    }
    TBusyCursor cursor(Ask);
    // A control byte would cut or join lines inside the engine (a NUL hides
    // the rest of its line, a section header with it): the tables would shift
    // without a word. Such a file is not a project this program wrote.
    std::vector<uint8_t> bytes;
    if (!YVclUtil::ReadWholeFile(Path, bytes, reason, kMaxProjectSize)) {
        cursor.Done();
        if (reason == YVclUtil::SystemReason(EFBIG)) {
            LastError = "\"" + Path + "\" is over 16 MB, too large for a project file";
            Sink.AppendLog("[Error] Project file \"" + Path +
                           "\" is over 16 MB, too large for a project file !!!");
            Ask.MessageBox("Error", "DCF file format error!!\n\n");
            return TLoadResult::FormatError;
        }
        // There but unreadable (a folder, a FIFO, no read permission): the
        // box the person has always been shown, and the reason.
        YVclUtil::ShowErrMsgBox_Printf(kEngineCaption, "Err: %s file \n \"%s\" ", kOpenFailure,
                                       Path.c_str());
        LastError = "can not open project file \"" + Path + "\": " + reason;
        Sink.AppendLog("[Error] Can not read project file \"" + Path + "\": " + reason);
        return TLoadResult::OpenError;
    }
    const std::string fault = ControlByteFault(bytes);
    if (!fault.empty()) {
        cursor.Done();
        LastError = "\"" + Path + "\" " + fault;
        Sink.AppendLog("[Error] Project file \"" + Path + "\" " + fault + " !!!");
        Ask.MessageBox("Error", "DCF file format error!!\n\n");
        return TLoadResult::FormatError;
    }
    std::unique_ptr<YVclUtil::TYIniFile> ini;
    try {
        // Parsed within what a project holds.
        ini =
            std::make_unique<YVclUtil::TYIniFile>(std::span<const uint8_t>(bytes), kProjectLimits);
    } catch (const std::exception& e) {
        LastError = "can not open project file \"" + Path + "\": " + ReasonOf(e);
        Sink.AppendLog("[Error] Can not read project file \"" + Path + "\": " + ReasonOf(e));
        return TLoadResult::OpenError;
    }
    if (!ini->pr_OverLimit().empty()) {
        const bool sections = ini->pr_OverLimit() == "sections";
        const std::string what = YVclUtil::Format(
            "holds more than %d %s", sections ? kProjectLimits.Sections : kProjectLimits.Keys,
            sections ? "sections" : "keys");
        cursor.Done();
        ini.reset();
        LastError = "\"" + Path + "\" " + what;
        Sink.AppendLog("[Error] Project file \"" + Path + "\" " + what + " !!!");
        Ask.MessageBox("Error", "DCF file format error!!\n\n");
        return TLoadResult::FormatError;
    }

    const std::string codeName = ini->ReadString(kGlobal, "CODENAME", "");
    if (DpuText::Trim(codeName).empty() || codeName != CodeName) {
        cursor.Done();
        ini.reset();
        LastError = "\"" + Path + "\" is no project file (CODENAME)";
        Ask.MessageBox("Error", "DCF file format error!!\n\n");
        return TLoadResult::FormatError;
    }

    try {
        if (Library.Load(Config.GlbPath())) {
            Config.GlbDate = Library.Date();
        } else {
            // Never a partial image: the library is now absent, as at a
            // start-up without it.
            Config.GlbDate = "000000";
            Sink.AppendLog("[Error] " + Library.LoadError());
            Ask.MessageBox("Error", Library.LoadFailureText());
        }

        // Only the file name: the image goes where the build writes, never to a
        // folder a project file names.
        const std::string romName =
            DpuText::ExtractFileNameAny(ini->ReadString(kGlobal, "ROMFILENAME", ""));
        Project.ROMFILENAME =
            DpuText::Trim(romName).empty() ? TProject::DefaultRomFileName : romName;

        if (ini->ReadInteger(kGlobal, "CUSLOGOENABLE", 0) != 0) {
            Project.SWAPTIME = ini->ReadInteger(kGlobal, "SWAPTIME", 0);
            const std::string logo = ini->ReadString(kGlobal, "TITLEFILENAME_C", "");
            const std::string found = ResolveLogoPath(logo, Path);
            if (!found.empty()) {
                Project.TITLEFILENAME_C = found;
                Project.SetLogoOn();
            } else {
                // Switched off as always, but said: the image then has no logo.
                Project.SetLogoOff();
                Sink.AppendLog(LogoMissingLine(logo));
            }
        } else {
            Project.SetLogoOff();
        }

        for (const TSettingsTable::TField& f : TSettingsTable::Fields())
            // The logo's pair was read with the logo above: SWAPTIME only while it is on.
            if (f.Member != &TSettingValues::SWAPTIME && f.Member != &TSettingValues::CUSLOGOENABLE)
                Project.*(f.Member) = ini->ReadInteger(kGlobal, f.Key, f.Initial);
        Project.SetMsgBoxesFromMask(Project.DEF_MSG);

        for (int state = 0; state < TProject::StateCount; ++state)
            for (int slot = 0; slot < TProject::SlotCount; ++slot) {
                const std::string named =
                    ini->ReadString(kLiftStateImage, SlotKey(state, slot), "");
                // A value without a file name (a bare folder) names nothing
                // that could be found here; the slot keeps its path.
                if (DpuText::Trim(named).empty() ||
                    DpuText::Trim(DpuText::ExtractFileNameAny(named)).empty())
                    continue;
                Project.LiftStateSlots[state][slot] =
                    DpuText::FileExists(named)
                        ? named
                        : TLiftStateDefaults::FallbackPath(Config.ProgramDir, named);
            }

        for (int code = 0; code < TProject::CodeCount; ++code)
            for (int table = 0; table < TProject::TableCount; ++table)
                Project.CodeTables[table][code] =
                    DpuText::Trim(ini->ReadString(TProject::TableName(table), CodeKey(code), ""));

        Project.CUSIDCODE = ini->ReadString(kGlobal, "CUSIDCODE", "");

        const int version = Config.FindVersionForCodeVer(ini->ReadString(kGlobal, "CODEVER", ""));
        if (version >= 0 && !Config.SelectVersion(version, &Sink))
            Ask.MessageBox("Error", std::string(TConfiguration::FileName) + ": " +
                                        Config.LastError + "\n\n");
    } catch (const std::exception& e) {
        cursor.Done();
        ini.reset();
        LastError = "\"" + Path + "\": " + e.what();
        Ask.MessageBox("Error", std::string(e.what()) + "\n\n");
        return TLoadResult::ConversionError;
    }

    cursor.Done();
    ini.reset();
    LastPath = DpuText::AbsolutePath(Path);
    Sink.SetStatus(0, "Project file: " + LastPath);
    return TLoadResult::Loaded;
}

std::string TProjectFile::LogoMissingLine(const std::string& Named) {
    if (DpuText::Trim(Named).empty())
        return "[Warning] Customer logo is on but names no file --> logo off !!!";
    YVclUtil::TFileStatus status;
    std::string reason;
    if (!YVclUtil::QueryFileStatus(Named, status, reason))
        return "[Warning] Customer logo \"" + Named + "\" " + reason + " --> logo off !!!";
    return "[Warning] Customer logo \"" + Named + "\" " +
           (status.Kind == YVclUtil::TFileKind::Missing ? "not found" : "not a regular file") +
           " --> logo off !!!";
}

std::string TProjectFile::ResolveLogoPath(const std::string& Named,
                                          const std::string& ProjectPath) const {
    if (DpuText::Trim(Named).empty()) return {};
    // A FIFO or a device is no logo: taking it would stop every build later.
    if (YVclUtil::IsRegularFile(Named)) return Named;
    // A project made on another machine: look for the same file name beside
    // the project file, then in the start-up directory.
    const std::string name = DpuText::ExtractFileNameAny(Named);
    if (DpuText::Trim(name).empty()) return {};
    for (const std::string& folder : {FolderOf(ProjectPath), Config.StartupDir}) {
        const std::string candidate = DpuText::JoinPath(folder, name);
        if (YVclUtil::IsRegularFile(candidate)) return candidate;
    }
    return {};
}

void TProjectFile::ClearAll() {
    Project.ClearCodeTables();
    Sink.SetStatus(0, "Project file: ");
}

} // namespace DpuProject
