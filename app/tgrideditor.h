#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

class QAction;
class QTableWidget;

// The code-table grid as a spreadsheet: copy, cut and paste of rectangular
// selections as tab-separated text, Delete to empty the selection, fill down,
// fill a series, Enter committing a cell and moving down (Shift+Enter up),
// Tab/Shift+Tab moving between label cells and leaving the grid at its first
// and last cell, and Ctrl+Tab/Ctrl+Shift+Tab leaving it from any cell. Only the label columns (from
// FirstLabelCol on) are ever written; the grid itself is changed only
// through OnEdit, so the window records every change for undo.
class TGridEditor : public QObject {
    Q_OBJECT
public:
    struct TCellEdit {
        int Row; // 0-based item row of the grid
        int Col; // grid column, >= FirstLabelCol
        QString Text;
    };
    using TEditHandler =
        std::function<void(const QString& What, const std::vector<TCellEdit>& Edits)>;

    TGridEditor(QTableWidget* Grid, int FirstLabelCol, TEditHandler OnEdit);

    // The selection as tab-separated text (rows by '\n'); "" with no selection.
    QString SelectionText() const;
    // The actions of the grid's context menu (they hold the shortcuts' names).
    void Copy();
    void Cut();
    void Paste();
    void DeleteSelection();
    void FillDown();
    void FillSeries();

    // The label column the keyboard lands on when it comes into the grid on a
    // cell of the fixed columns (or on none): Column() is asked each time.
    void SetEntryColumn(std::function<int()> Column) { FEntryColumn = std::move(Column); }

    // Tab-separated text as rows of fields; a trailing line end adds no row.
    static std::vector<QStringList> ParseTable(const QString& Text);
    // The label after Label in a floor series: B3 -> B2, B1 -> G, G -> 1,
    // 9 -> 10, P07 -> P08; a label with no number is repeated.
    static QString NextInSeries(const QString& Label);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    struct TRect {
        int Top = 0, Left = 0, Bottom = -1, Right = -1;
        bool Empty() const { return Bottom < Top || Right < Left; }
    };
    // The bounding rectangle of the selection, clipped to the label columns
    // (the current cell when nothing is selected).
    TRect Selection() const;
    void Emit(const QString& What, const std::vector<TCellEdit>& Edits);
    bool MoveByTab(bool Back);
    // To the cell below (above when Back) in the same label column, if any.
    void MoveDown(bool Back);
    // Moves the focus to the next (previous when Back) control after the grid.
    void LeaveGrid(bool Back);
    QAction* AddAction(const QString& Text, const QKeySequence& Keys, void (TGridEditor::*Slot)());

    QTableWidget* FGrid;
    int FFirst;
    TEditHandler FOnEdit;
    std::function<int()> FEntryColumn;
    bool FLeaving = false;
};
