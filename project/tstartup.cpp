#include "project/tstartup.h"

#include "project/dputext.h"
#include "project/tconfiguration.h"
#include "project/tglyphsource.h"
#include "project/tliftstatedefaults.h"
#include "project/tproject.h"
#include "project/tuserworkspace.h"
#include "util/eygeneral.h"
#include "util/fileaccess.h"
#include "util/prompts.h"

namespace DpuProject {

namespace {

// Nothing at all at Path (not a file that cannot be read, nor a folder).
bool IsMissing(const std::string& Path) {
    YVclUtil::TFileStatus status;
    std::string reason;
    return YVclUtil::QueryFileStatus(Path, status, reason) &&
           status.Kind == YVclUtil::TFileKind::Missing;
}

} // namespace

std::string TStartup::GridHeader(int Column) {
    static const char* const kHeaders[5] = {"bit [ 5..0 ]", "HEX (DEC)", "CTBL0", "CTBL1", "CTBL2"};
    return Column >= 0 && Column < 5 ? kHeaders[Column] : "";
}

TStartupResult TStartup::Run(TConfiguration& Config, TGlyphSource& Library, TProject& Project,
                             YVclUtil::Prompts& Prompts, YVclUtil::MessageSink& Sink) {
    TStartupResult result;
    result.Caption = DesignCaption;
    Sink.SetStatus(2, StartErrorStatus);

    // The slots always get their stock paths, also when start-up stops early,
    // so a build never silently goes without its lift-state messages.
    TLiftStateDefaults::FillDefaults(Project, Config.ProgramDir);

    const bool configMissing = !Config.Read(Prompts, &Sink) && IsMissing(Config.IniPath());
    Sink.SetStatus(1, "Version: " + Config.SelectedVersion);
    // Started outside a workspace (a desktop menu, a terminal at home): after
    // the boxes, the log says where the installed files are and how to get a
    // workspace.
    const auto hint = [&Config] { return TUserWorkspace::NoWorkspaceHint(Config.ProgramDir); };

    if (!Library.Load(Config.GlbPath())) {
        Config.GlbDate = "000000";
        // The box keeps its words; the log says which file and why (it may
        // be there but unreadable, or a folder).
        Sink.AppendLog("[Error] " + Library.LoadError());
        Prompts.MessageBox("Error", Library.LoadFailureText());
        if (configMissing || IsMissing(Config.GlbPath())) Sink.AppendLog(hint());
        return result;
    }
    Config.GlbDate = Library.Date();

    if (!DpuText::Trim(Config.UbfGlbName).empty()) {
        const std::string ubf = Config.UbfGlbPath();
        if (!DpuText::FileExists(ubf)) {
            YVclUtil::TFileStatus status;
            std::string reason;
            if (!YVclUtil::QueryFileStatus(ubf, status, reason) ||
                status.Kind != YVclUtil::TFileKind::Missing)
                Sink.AppendLog("[Error] User glyph library \"" + ubf + "\": " +
                               (reason.empty() ? YVclUtil::InputKindReason(status.Kind) : reason));
            Prompts.MessageBox("Error", "User define BMP file not found!!\n\n");
            Config.UbfGlbName.clear();
            Config.UbfGlbDate = "000000";
            if (configMissing) Sink.AppendLog(hint());
            return result;
        }
        Config.UbfGlbDate = DpuText::FileDateText(ubf);
    } else {
        Config.UbfGlbDate.clear();
    }

    result.Caption =
        std::string(DesignCaption) + "  [ " + Config.GlbDate + " / " + Config.UbfGlbDate + " ]";
    Sink.ClearLog();
    if (configMissing) Sink.AppendLog(hint());
    // Only a regular file of that name is a stale working file; a link, FIFO
    // or folder there is left alone and said.
    const std::string stale = DpuText::JoinPath(Config.StartupDir, TGlyphSource::WorkFileName);
    std::string staleReason;
    if (!YVclUtil::RemoveRegularFile(stale, staleReason))
        Sink.AppendLog("[Error] Working file \"" + stale + "\" left alone: " + staleReason +
                       " !!!");

    for (int k = 0; k < 4; ++k)
        Library.ExtractImage(1 + k, 48, result.FlStylePreviews[k]);
    for (int s = 0; s < 5; ++s)
        Library.ExtractImage(0, 50 + 20 * s, result.DirStylePreviews[s]);
    for (int p = 0; p < 3; ++p)
        Library.ExtractImage(0, 30 + p, result.MsgPosPreviews[p]);

    Sink.SetStatus(0, "Project file:");
    Sink.SetStatus(2, Config.GlbName + " / " + Config.UbfGlbName);
    result.Completed = true;
    return result;
}

} // namespace DpuProject
