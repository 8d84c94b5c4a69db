#include "app/tlabelchecker.h"

#include "app/qtext.h"
#include "app/tsetuppage.h"
#include "project/dputext.h"
#include "project/tlabelpreview.h"

#include <QFileInfo>

namespace DpuText = DpuProject::DpuText;
using DpuProject::TLabelPreview;
using DpuProject::TProject;

TLabelChecker::TLabelChecker(const TProject& Project, const DpuProject::TConfiguration& Config,
                             const DpuRom::GlyphLibrary& Library, TSetupPage* Page)
    : FProject(Project), FConfig(Config), FLibrary(Library), FPage(Page) {}

QString TLabelChecker::Problem(const std::string& Text) const {
    const TLabelPreview::TPlan plan =
        TLabelPreview::Plan(Text, FProject.DEF_FL, FConfig.UserFloorStylePrefix());
    if (plan.Kind == TLabelPreview::TKind::None) return QString();
    const QString style = QStringLiteral("FL Style %1").arg(FProject.DEF_FL);
    // The display's glyphs are single bytes; nothing beyond ASCII has one,
    // whatever the label's length.
    for (const QChar c : ToQ(DpuText::Trim(Text)).toUpper())
        if (c.unicode() > 0x7E) return QStringLiteral("No glyph for \"%1\" in %2").arg(c, style);
    if (plan.Kind == TLabelPreview::TKind::Glyphs) {
        if (!FLibrary.IsLoaded()) return QString();
        uint32_t offset = 0, length = 0;
        for (const unsigned char c : plan.Chars)
            if (!FLibrary.FindEntry(FProject.DEF_FL + 1, c, offset, length))
                return QStringLiteral("No glyph for \"%1\" in %2").arg(QChar(c), style);
        return QString();
    }
    if (DpuText::FileExists(plan.BitmapPath)) return QString();
    const QFileInfo bitmap(ToQ(plan.BitmapPath));
    return QStringLiteral("No user bitmap \"%1\" in %2")
        .arg(bitmap.fileName(), bitmap.absolutePath());
}

void TLabelChecker::CheckCell(int Table, int Code) {
    if (Table < 0 || Table >= TProject::TableCount || Code < 0 || Code >= TProject::CodeCount)
        return;
    FPage->ShowLabelProblem(Table, Code, Problem(FProject.Label(Table, Code)));
}

void TLabelChecker::CheckAll() {
    for (int t = 0; t < TProject::TableCount; ++t)
        for (int n = 0; n < TProject::CodeCount; ++n)
            CheckCell(t, n);
}
