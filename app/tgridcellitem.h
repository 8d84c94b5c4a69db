#pragma once

#include <QString>
#include <QTableWidgetItem>
#include <QVariant>

// A cell of the code-table grid that knows its place, so a screen reader
// hears which code and table it belongs to: "CTBL1, code 0A (10): LOBBY".
// The name follows the cell's text as it is edited.
class TGridCellItem : public QTableWidgetItem {
public:
    // Col is the grid column (0 bits, 1 code, 2..4 tables CTBL0..CTBL2),
    // Code the row's code 0..255.
    TGridCellItem(int Col, int Code);

    // The spoken name of cell (Col, Code) holding Text; "" for a column
    // outside the grid.
    static QString AccessibleName(int Col, int Code, const QString& Text);

    QVariant data(int Role) const override;
    QTableWidgetItem* clone() const override;

private:
    int FCol;
    int FCode;
};
