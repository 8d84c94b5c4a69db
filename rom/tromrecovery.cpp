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

#include <QDir>

#include <filesystem>
#include <system_error>
#include <QFile>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QString>

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

bool TRomRecovery::WritePicture(const TRomPicture& Picture, const std::string& Path) {
    LastErrMsg = ClashWithInput(Path);
    if (!LastErrMsg.empty()) return false;
    std::string reason;
    const bool existed = DpuText::FileExists(Path);
    const auto lit = [&Picture](int X, int Y) { return Picture.Lit(X, Y); };
    bool ok = YVclUtil::MakeFolders(FolderOf(Path), reason);
    if (!ok) {
        reason = "cannot make its folder: " + reason;
    } else if (Durable) {
        ok = TMonoBmpWriter::Save(Path, Picture.Width, Picture.Height, lit, reason);
    } else {
        const std::vector<uint8_t> bytes =
            TMonoBmpWriter::Encode(Picture.Width, Picture.Height, lit);
        QFile file(QString::fromStdString(Path));
        ok = !bytes.empty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
             file.write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
        if (!ok) reason = bytes.empty() ? "the picture is empty" : file.errorString().toStdString();
    }
    if (!ok) {
        LastErrMsg = "Cannot write \"" + Path + "\": " + reason;
        return false;
    }
    if (!existed) Created.push_back(Path);
    Written.push_back(Path);
    return true;
}

void TRomRecovery::RemoveCreated() {
    for (const std::string& path : Created)
        QFile::remove(QString::fromStdString(path));
    Created.clear();
}

std::string TRomRecovery::UserBitmapLabel(size_t Number) {
    const TRomPicture& p = Image.UserBitmaps[Number];
    const int style = Image.Settings.DEF_FL;
    const std::string stock =
        Number < Image.UserBitmapLabels.size() ? Image.UserBitmapLabels[Number] : "";
    if (!stock.empty()) {
        const std::string path = TRomBuilder::UserBitmapPath(UserRoot, style, stock);
        // Already where make-rom looks (the reader matched it there), or written now.
        if (DpuText::FileExists(path) || WritePicture(p, path)) return stock;
        return {};
    }
    for (int k = 0;; ++k) {
        const std::string label = k == 0 ? YVclUtil::Format("UBF%03zu", Number)
                                         : YVclUtil::Format("UBF%03zu_%d", Number, k);
        const std::string path = TRomBuilder::UserBitmapPath(UserRoot, style, label);
        if (!DpuText::FileExists(path)) return WritePicture(p, path) ? label : std::string();
        // A file of that name that packs to these bytes is this bitmap.
        try {
            const std::vector<uint8_t> packed = ConvertPictureFile(path, Image.Settings.DispHv);
            if (packed.size() >= 4 && packed.size() - 4 == p.Bytes.size() &&
                std::equal(p.Bytes.begin(), p.Bytes.end(), packed.begin() + 4))
                return label;
        } catch (const ERomBuild&) {
        }
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

bool TRomRecovery::Recover(TProject& Project) {
    Written.clear();
    Created.clear();
    Warnings.clear();
    LastErrMsg.clear();
    // Whatever stops the run takes back the pictures it made.
    struct TUndo {
        TRomRecovery& R;
        bool Done = false;
        ~TUndo() {
            if (!Done) R.RemoveCreated();
        }
    } undo{*this};
    const TRomSettings& s = Image.Settings;
    if (BitmapDir.empty()) BitmapDir = ".";
    std::string folderReason;
    if (!YVclUtil::MakeFolders(BitmapDir, folderReason)) {
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
        if (!WritePicture(p, path)) return false;
        Project.SetSlot(state, slot,
                        QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString());
    }

    Project.TITLEFILENAME_C.clear();
    if (s.CUSLOGOENABLE != 0 || Image.LogoZoneSet) {
        const std::string path = BitmapDir + "/LOGO.bmp";
        if (!WritePicture(Image.Logo, path)) return false;
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
    undo.Done = true;
    return true;
}

bool TRomRecovery::RecoverTo(const std::string& Path) {
    LastErrMsg = ClashWithInput(Path);
    if (!LastErrMsg.empty()) return false;
    TProject project;
    if (!Recover(project)) return false;
    // Saved into a folder of its own first, so no section of a file already
    // at Path survives, then put in place whole.
    QTemporaryDir scratch;
    GlyphLibrary unused;
    // Recovery asks nothing and shows nothing: reasons come back as text.
    YVclUtil::SilentPrompts quiet(true);
    TProjectFile file(project, Config, unused, quiet, quiet);
    std::vector<uint8_t> bytes;
    std::string reason;
    const std::string draft = scratch.filePath("PROJECT.dcf").toStdString();
    bool ok = scratch.isValid();
    if (!ok) reason = scratch.errorString().toStdString();
    if (ok && !file.SaveTo(draft)) {
        ok = false;
        reason = file.LastError.empty() ? quiet.LastText() : file.LastError;
    }
    ok = ok && YVclUtil::ReadWholeFile(draft, bytes, reason) &&
         YVclUtil::WriteFileAtomically(Path, bytes.data(), bytes.size(), reason);
    if (!ok) {
        RemoveCreated();
        LastErrMsg = "Cannot write project \"" + Path + "\": " + reason;
        return false;
    }
    Written.push_back(Path);
    return true;
}

} // namespace DpuRom
