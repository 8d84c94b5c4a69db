#include "app/tgridcellitem.h"

#include "app/qtext.h"
#include "project/dputext.h"

TGridCellItem::TGridCellItem(int Col, int Code)
    : QTableWidgetItem(QTableWidgetItem::UserType), FCol(Col), FCode(Code) {}

QString TGridCellItem::AccessibleName(int Col, int Code, const QString& Text) {
    // "0A (10 )" as the grid shows it; spoken without the blank before ')'.
    const QString code =
        ToQ(DpuProject::DpuText::CodeText(Code)).replace(QStringLiteral(" )"), QStringLiteral(")"));
    const QString text = Text.trimmed();
    switch (Col) {
    case 0:
        return QStringLiteral("Bits of code %1: %2")
            .arg(code, text.isEmpty() ? QStringLiteral("none") : text);
    case 1:
        return QStringLiteral("Code %1").arg(code);
    case 2:
    case 3:
    case 4:
        return QStringLiteral("CTBL%1, code %2: %3")
            .arg(Col - 2)
            .arg(code, text.isEmpty() ? QStringLiteral("empty") : text);
    default:
        return QString();
    }
}

QVariant TGridCellItem::data(int Role) const {
    if (Role == Qt::AccessibleTextRole)
        return AccessibleName(FCol, FCode, QTableWidgetItem::data(Qt::DisplayRole).toString());
    return QTableWidgetItem::data(Role);
}

QTableWidgetItem* TGridCellItem::clone() const {
    return new TGridCellItem(*this);
}
