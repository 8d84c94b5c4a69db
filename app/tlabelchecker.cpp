#include "app/tlabelchecker.h"

#include "app/qtext.h"
#include "project/dputext.h"
#include "project/tlabelpreview.h"

#include <QBrush>
#include <QColor>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QTableWidget>

#include <utility>

namespace DpuText = DpuProject::DpuText;
using DpuProject::TLabelPreview;
using DpuProject::TProject;

TLabelChecker::TLabelChecker(const TProject& Project, const DpuProject::TConfiguration& Config,
                             const DpuRom::GlyphLibrary& Library, QTableWidget* Grid)
    : FProject(Project), FConfig(Config), FLibrary(Library), FGrid(Grid) {}

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
    QTableWidgetItem* item = FGrid->item(Code, 2 + Table);
    if (!item) return;
    const QString why = Problem(FProject.Label(Table, Code));
    const QSignalBlocker block(FGrid);
    item->setData(Qt::BackgroundRole,
                  why.isEmpty() ? QVariant() : QVariant(QBrush(QColor(255, 214, 196))));
    item->setToolTip(why);
}

void TLabelChecker::CheckAll() {
    for (int t = 0; t < TProject::TableCount; ++t)
        for (int n = 0; n < TProject::CodeCount; ++n)
            CheckCell(t, n);
}
