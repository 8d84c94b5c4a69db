#include "rom/tromrecovery.h"

#include "project/dputext.h"
#include "project/tconfiguration.h"
#include "project/tproject.h"
#include "project/tprojectfile.h"
#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"
#include "rom/glyphlibrary.h"
#include "rom/tmonobmpwriter.h"
#include "rom/tromimagetext.h"
#include "rom/trombuilder.h"
#include "util/eygeneral.h"
#include "util/fileaccess.h"
#include "util/silentprompts.h"

#include "util/qstringconv.h"
#include "util/scratchfolder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace DpuRom {

using DpuProject::TConfiguration;
using DpuProject::TProject;
using DpuProject::TProjectFile;
namespace DpuText = DpuProject::DpuText;

namespace {

std::string FolderOf(const std::string& Path) {
    return QFileInfo(QString::fromStdString(Path)).absolutePath().toStdString();
}

} // namespace

TRomRecovery::TRomRecovery(const TRomImage& Image, TConfiguration& Config)
    : Image(Image), Config(Config) {}

std::string TRomRecovery::ClashWithInput(const std::string& Path) const {
    for (const auto& [what, input] : Inputs)
        if (!input.empty() && YVclUtil::SameFile(Path, input))
            return "Cannot write \"" + Path + "\": it is the same file as " + what + " \"" + input +
                   "\", which recover reads";
    return {};
}

bool TRomRecovery::IsPlanned(const std::string& Path) const {
    for (const TPlannedFile& f : Planned)
        if (f.Path == Path) return true;
    return false;
}

bool TRomRecovery::PlanPicture(const TRomPicture& Picture, const std::string& Path) {
    if (IsPlanned(Path)) return true;
    LastErrMsg = ClashWithInput(Path);
    if (!LastErrMsg.empty()) return false;
    std::string reason;
    std::vector<uint8_t> bytes = TMonoBmpWriter::Encode(
        Picture.Width, Picture.Height, [&Picture](int X, int Y) { return Picture.Lit(X, Y); });
    if (bytes.empty())
        reason = "the picture is empty";
    else
        YVclUtil::CanWriteChosenFile(Path, reason);
    if (!reason.empty()) {
        LastErrMsg = "Cannot write \"" + Path + "\": " + reason;
        return false;
    }
    Planned.push_back({Path, std::move(bytes)});
    return true;
}

bool TRomRecovery::WritePlanned(const std::string& ProjectPath,
                                const std::vector<uint8_t>& ProjectBytes) {
    namespace fs = std::filesystem;
    struct TMoved {
        std::string Path;
        bool Existed = false;
        std::vector<uint8_t> Old;
        fs::perms Mode = fs::perms::none;
    };
    std::vector<std::string> madeFolders, staged;
    std::vector<TMoved> moved;
    std::string reason;
    // Whatever stops the run puts back what was there.
    const auto fail = [&](const std::string& Message) {
        LastErrMsg = Message;
        std::string ignored;
        for (const std::string& temp : staged)
            YVclUtil::RemoveRegularFile(temp, ignored);
        for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
            if (!it->Existed) {
                YVclUtil::RemoveRegularFile(it->Path, ignored);
                continue;
            }
            if (YVclUtil::WriteChosenFile(it->Path, it->Old.data(), it->Old.size(), ignored)) {
                std::error_code ec;
                fs::permissions(fs::path(std::u8string(it->Path.begin(), it->Path.end())), it->Mode,
                                ec);
            }
        }
        YVclUtil::RemoveMadeFolders(madeFolders);
        Written.clear();
        return false;
    };
    static std::atomic<unsigned> counter{0};
    const long pid = static_cast<long>(QCoreApplication::applicationPid());
    const auto temporaryBeside = [&](const std::string& Path) {
        const std::string folder = FolderOf(Path) + "/";
        return folder + YVclUtil::TemporaryName(DpuText::ExtractFileNameAny(Path), pid,
                                                counter.fetch_add(1));
    };

    // The folders, then a trial file where the project goes: nothing is
    // moved into place before the project's folder has shown it takes a file.
    for (const TPlannedFile& f : Planned)
        if (!YVclUtil::MakeFolders(FolderOf(f.Path), reason, madeFolders))
            return fail("Cannot write \"" + f.Path + "\": cannot make its folder: " + reason);
    if (!ProjectPath.empty()) {
        std::string target;
        if (!YVclUtil::ResolveOutputTarget(ProjectPath, target, reason) ||
            !YVclUtil::MakeFolders(FolderOf(target), reason, madeFolders))
            return fail("Cannot write project \"" + ProjectPath + "\": " + reason);
        const std::string trial = temporaryBeside(target);
        if (!YVclUtil::CreateNewFile(trial, nullptr, 0, reason))
            return fail("Cannot write project \"" + ProjectPath + "\": " + reason);
        YVclUtil::RemoveRegularFile(trial, reason);
    }
    // Each picture beside its name under a temporary one.
    for (const TPlannedFile& f : Planned) {
        const std::string temp = temporaryBeside(f.Path);
        const bool ok =
            Durable ? YVclUtil::WriteChosenFile(temp, f.Bytes.data(), f.Bytes.size(), reason)
                    : YVclUtil::CreateNewFile(temp, f.Bytes.data(), f.Bytes.size(), reason);
        if (!ok) return fail("Cannot write \"" + f.Path + "\": " + reason);
        staged.push_back(temp);
    }
    // Moved in, what they replace kept to put back.
    for (size_t i = 0; i < Planned.size(); ++i) {
        const std::string& path = Planned[i].Path;
        TMoved m;
        m.Path = path;
        const fs::path name(std::u8string(path.begin(), path.end()));
        if (!YVclUtil::CanWriteChosenFile(path, reason))
            return fail("Cannot write \"" + path + "\": " + reason);
        uint64_t size = 0;
        m.Existed = YVclUtil::IsRegularFile(path, &size);
        if (m.Existed) {
            if (!YVclUtil::ReadWholeFile(path, m.Old, reason))
                return fail("Cannot write \"" + path + "\": " + reason);
            std::error_code ec;
            m.Mode = fs::status(name, ec).permissions();
        }
        std::error_code ec;
        fs::rename(fs::path(std::u8string(staged[i].begin(), staged[i].end())), name, ec);
        if (ec)
            return fail("Cannot write \"" + path + "\": " +
                        (ec.category() == std::generic_category()
                             ? YVclUtil::SystemReason(ec.value())
                             : ec.message()));
        staged[i].clear();
        moved.push_back(std::move(m));
        Written.push_back(path);
    }
    staged.clear();
    if (!ProjectPath.empty() && !YVclUtil::WriteFileAtomically(ProjectPath, ProjectBytes.data(),
                                                               ProjectBytes.size(), reason))
        return fail("Cannot write project \"" + ProjectPath + "\": " + reason);
    return true;
}

bool TRomRecovery::PacksTo(const std::string& Path, const TRomPicture& Picture) const {
    if (!DpuText::FileExists(Path)) return false;
    try {
        const std::vector<uint8_t> packed = ConvertPictureFile(Path, Image.Settings.DispHv);
        return packed.size() >= 4 && packed.size() - 4 == Picture.Bytes.size() &&
               std::equal(Picture.Bytes.begin(), Picture.Bytes.end(), packed.begin() + 4);
    } catch (const ERomBuild&) {
        return false;
    }
}

std::string TRomRecovery::UserBitmapLabel(size_t Number) {
    const TRomPicture& p = Image.UserBitmaps[Number];
    const int style = Image.Settings.DEF_FL;
    const std::string stock =
        Number < Image.UserBitmapLabels.size() ? Image.UserBitmapLabels[Number] : "";
    if (!stock.empty()) {
        const std::string path = TRomBuilder::UserBitmapPath(UserRoot, style, stock);
        // Already where make-rom looks first (the reader matched it there).
        if (IsPlanned(path) || DpuText::FileExists(path)) return stock;
        // The installation's own bitmap, which make-rom finds when nothing of
        // that name stands in the workspace: a copy there would hide every
        // later fix of it, so none is made.
        if (!Config.ProgramDir.empty() &&
            PacksTo(TRomBuilder::UserBitmapPath(Config.ProgramDir, style, stock), p))
            return stock;
        return PlanPicture(p, path) ? stock : std::string();
    }
    for (int k = 0;; ++k) {
        const std::string label = k == 0 ? YVclUtil::Format("UBF%03zu", Number)
                                         : YVclUtil::Format("UBF%03zu_%d", Number, k);
        const std::string path = TRomBuilder::UserBitmapPath(UserRoot, style, label);
        if (!DpuText::FileExists(path)) return PlanPicture(p, path) ? label : std::string();
        // A file of that name that packs to these bytes is this bitmap.
        if (PacksTo(path, p)) return label;
    }
}

void TRomRecovery::SelectVersion() {
    // The version whose ENCODE (and DISPHV, when the image told it) fit.
    const TRomSettings& s = Image.Settings;
    const bool turnKnown = Image.DispHvSource != TRomImage::TSource::Assumed;
    for (int i = 0; i < static_cast<int>(Config.VersionList.size()); ++i) {
        TConfiguration probe = Config;
        if (!probe.SelectVersion(i)) continue;
        if (probe.ENCODE == s.Encode && (!turnKnown || probe.DISPHV == s.DispHv)) {
            Config.SelectVersion(i);
            return;
        }
    }
    Warnings.push_back(
        YVclUtil::Format("[Warning] No version of %s has ENCODE %d%s; CODEVER stays \"%s\"",
                         TConfiguration::FileName, s.Encode,
                         turnKnown ? YVclUtil::Format(" and DISPHV %d", s.DispHv).c_str() : "",
                         Config.CodeVerToSave().c_str()));
}

bool TRomRecovery::Plan(TProject& Project) {
    Written.clear();
    Planned.clear();
    Warnings.clear();
    LastErrMsg.clear();
    const TRomSettings& s = Image.Settings;
    if (BitmapDir.empty()) BitmapDir = ".";
    std::string folderReason;
    YVclUtil::TFileStatus folder;
    if (YVclUtil::QueryFileStatus(BitmapDir, folder, folderReason) &&
        folder.Kind != YVclUtil::TFileKind::Missing &&
        folder.Kind != YVclUtil::TFileKind::Directory)
        folderReason = YVclUtil::SystemReason(ENOTDIR);
    if (!folderReason.empty()) {
        LastErrMsg = "Cannot make the folder \"" + BitmapDir + "\": " + folderReason;
        return false;
    }

    Project.ClearCodeTables();
    std::vector<std::string> userLabels(Image.UserBitmaps.size());
    for (size_t u = 0; u < userLabels.size(); ++u) {
        userLabels[u] = UserBitmapLabel(u);
        if (userLabels[u].empty()) return false;
    }
    for (int t = 0; t < TRomImage::TableCount; ++t)
        for (int n = 0; n < TRomImage::CodeCount; ++n) {
            const TRomCode& c = Image.Codes[static_cast<size_t>(t)][static_cast<size_t>(n)];
            if (c.Kind == TRomCode::TKind::Glyphs)
                Project.SetLabel(t, n, c.Label);
            else if (c.Kind == TRomCode::TKind::UserBitmap)
                Project.SetLabel(t, n, userLabels[static_cast<size_t>(c.UserBitmap)]);
        }

    // Every integer setting as the image holds it (DEF_FL as the reader found it).
    static_cast<DpuProject::TSettingValues&>(Project) = s;
    Project.CUSIDCODE = s.CusIdCode;
    Project.SetMsgBoxesFromMask(s.DEF_MSG);
    if (TProject::NormaliseMsgMask(s.DEF_MSG) != s.DEF_MSG)
        Warnings.push_back(YVclUtil::Format(
            "[Warning] DEF_MSG %d names no pair of message columns; saving makes it %d", s.DEF_MSG,
            TProject::NormaliseMsgMask(s.DEF_MSG)));
    if (Image.DefFlSource == TRomImage::TSource::Assumed && !Image.UserBitmaps.empty())
        Warnings.push_back(
            YVclUtil::Format("[Warning] Floor style not found without the glyph library: DEF_FL %d "
                             "assumed",
                             s.DEF_FL));
    Project.ROMFILENAME = RomFileName.empty() ? TProject::DefaultRomFileName : RomFileName;

    for (int i = 0; i < TRomImage::MessageCount; ++i) {
        int state = 0, slot = 0;
        TRomImageText::MessageSlot(i, state, slot);
        const TRomPicture& p = Image.Messages[static_cast<size_t>(i)];
        if (!p.Present()) {
            Project.SetSlot(state, slot, NoPicture);
            continue;
        }
        const std::string path = BitmapDir + "/" + TRomImageText::StateName(state) + "_" +
                                 std::string(1, static_cast<char>('A' + slot)) + ".bmp";
        if (!PlanPicture(p, path)) return false;
        Project.SetSlot(state, slot,
                        QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString());
    }

    Project.TITLEFILENAME_C.clear();
    if (s.CUSLOGOENABLE != 0 || Image.LogoZoneSet) {
        const std::string path = BitmapDir + "/LOGO.bmp";
        if (!PlanPicture(Image.Logo, path)) return false;
        Project.TITLEFILENAME_C =
            QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
        if (s.CUSLOGOENABLE == 0)
            Warnings.push_back(
                "[Warning] The logo zone holds a picture while the logo is off: written to " +
                path + ", but the project cannot point to it");
    }
    if (s.CUSLOGOENABLE == 0 && s.SWAPTIME != 0)
        Warnings.push_back(YVclUtil::Format(
            "[Warning] Logo time %d s is kept only while the logo is on: the project "
            "file cannot carry it",
            s.SWAPTIME + 1));
    SelectVersion();
    return true;
}

bool TRomRecovery::Recover(TProject& Project) {
    return Plan(Project) && WritePlanned(std::string(), {});
}

bool TRomRecovery::RecoverTo(const std::string& Path) {
    LastErrMsg = ClashWithInput(Path);
    if (!LastErrMsg.empty()) return false;
    // The project's place first: a folder or a write-protected file there
    // stops the run before anything is written.
    std::string target, reason;
    if (!YVclUtil::ResolveOutputTarget(Path, target, reason)) {
        LastErrMsg = "Cannot write project \"" + Path + "\": " + reason;
        return false;
    }
    TProject project;
    if (!Plan(project)) return false;
    // Saved into a scratch folder first, so no section of a file already at
    // Path survives, then put in place whole.
    QTemporaryDir scratch(YVclUtil::ToQString(YVclUtil::ScratchFolderTemplate("recover")));
    GlyphLibrary unused;
    // Recovery asks nothing and shows nothing: reasons come back as text.
    YVclUtil::SilentPrompts quiet(true);
    TProjectFile file(project, Config, unused, quiet, quiet);
    std::vector<uint8_t> bytes;
    const std::string draft = scratch.filePath("PROJECT.dcf").toStdString();
    bool ok = scratch.isValid();
    if (!ok) reason = scratch.errorString().toStdString();
    if (ok && !file.SaveTo(draft)) {
        ok = false;
        reason = file.LastError.empty() ? quiet.LastText() : file.LastError;
    }
    ok = ok && YVclUtil::ReadWholeFile(draft, bytes, reason);
    if (!ok) {
        LastErrMsg = "Cannot write project \"" + Path + "\": " + reason;
        return false;
    }
    if (!WritePlanned(Path, bytes)) return false;
    Written.push_back(Path);
    return true;
}

} // namespace DpuRom
