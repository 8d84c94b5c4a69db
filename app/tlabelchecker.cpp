#include "app/tlabelchecker.h"

#include "app/qtext.h"
#include "project/tlabelrule.h"

#include <QBrush>
#include <QColor>
#include <QSignalBlocker>
#include <QTableWidget>

#include <utility>

using DpuProject::TLabelRule;
using DpuProject::TProject;

TLabelChecker::TLabelChecker(const TProject& Project, const DpuProject::TConfiguration& Config,
                             const DpuRom::GlyphLibrary& Library, QTableWidget* Grid)
    : FProject(Project), FConfig(Config), FLibrary(Library), FGrid(Grid) {}

QString TLabelChecker::Problem(const std::string& Text) const {
    // What MAKE ROM would build of the label, by the same rule.
    const TLabelRule::TResult r = TLabelRule::Decide(Text, FProject.DEF_FL, FLibrary,
                                                     FConfig.UserBitmapFolders(FProject.DEF_FL));
    // Without a library start-up has said so once; every cell would say it again.
    if (r.NoLibrary || r.Reason.empty()) return QString();
    QString why = ToQ(r.Reason);
    for (size_t i = 0; i < r.Folders.size(); ++i)
        why += (i == 0 ? QStringLiteral("\nLooked in ") : QStringLiteral("\nthen in ")) +
               ToQ(r.Folders[i]);
    return why;
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
