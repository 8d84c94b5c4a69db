#include "app/tgrideditor.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTableWidget>

#include <algorithm>

TGridEditor::TGridEditor(QTableWidget* Grid, int FirstLabelCol, TEditHandler OnEdit)
    : QObject(Grid), FGrid(Grid), FFirst(FirstLabelCol), FOnEdit(std::move(OnEdit)) {
    // Tab is handled here; at the grid's edges it must move the focus on.
    FGrid->setTabKeyNavigation(false);
    FGrid->installEventFilter(this);
    // Enter in the in-place editor commits the label and goes on to the cell
    // below, as in a spreadsheet. The delegate closes the editor with
    // SubmitModelCache only for Enter (Escape reverts, leaving the cell does
    // neither).
    connect(FGrid->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget*, QAbstractItemDelegate::EndEditHint Hint) {
                if (Hint == QAbstractItemDelegate::SubmitModelCache) MoveDown(false);
            });
    FGrid->setContextMenuPolicy(Qt::ActionsContextMenu);
    AddAction(QStringLiteral("Cut"), QKeySequence::Cut, &TGridEditor::Cut);
    AddAction(QStringLiteral("Copy"), QKeySequence::Copy, &TGridEditor::Copy);
    AddAction(QStringLiteral("Paste"), QKeySequence::Paste, &TGridEditor::Paste);
    AddAction(QStringLiteral("Delete"), QKeySequence::Delete, &TGridEditor::DeleteSelection);
    AddAction(QStringLiteral("Fill down"), QKeySequence(Qt::CTRL | Qt::Key_D),
              &TGridEditor::FillDown);
    AddAction(QStringLiteral("Fill series"), QKeySequence(Qt::CTRL | Qt::Key_L),
              &TGridEditor::FillSeries);
}

QAction* TGridEditor::AddAction(const QString& Text, const QKeySequence& Keys,
                                void (TGridEditor::*Slot)()) {
    auto* action = new QAction(Text, FGrid);
    action->setObjectName(QStringLiteral("Grid") + QString(Text).remove(' ') +
                          QStringLiteral("Action"));
    // With the grid focused the key runs the action; the event filter below
    // catches the same keys when they reach the grid some other way.
    action->setShortcut(Keys);
    action->setShortcutContext(Qt::WidgetShortcut);
    action->setShortcutVisibleInContextMenu(true);
    connect(action, &QAction::triggered, this, Slot);
    FGrid->addAction(action);
    return action;
}

TGridEditor::TRect TGridEditor::Selection() const {
    TRect r;
    const QList<QTableWidgetSelectionRange> ranges = FGrid->selectedRanges();
    if (ranges.isEmpty()) {
        if (FGrid->currentRow() < 0 || FGrid->currentColumn() < FFirst) return r;
        r.Top = r.Bottom = FGrid->currentRow();
        r.Left = r.Right = FGrid->currentColumn();
        return r;
    }
    r.Top = r.Left = 1 << 30;
    r.Bottom = r.Right = -1;
    for (const QTableWidgetSelectionRange& s : ranges) {
        r.Top = std::min(r.Top, s.topRow());
        r.Left = std::min(r.Left, s.leftColumn());
        r.Bottom = std::max(r.Bottom, s.bottomRow());
        r.Right = std::max(r.Right, s.rightColumn());
    }
    r.Left = std::max(r.Left, FFirst);
    return r;
}

QString TGridEditor::SelectionText() const {
    const TRect r = Selection();
    if (r.Empty()) return QString();
    QStringList lines;
    for (int row = r.Top; row <= r.Bottom; ++row) {
        QStringList fields;
        for (int col = r.Left; col <= r.Right; ++col) {
            const QTableWidgetItem* item = FGrid->item(row, col);
            fields << (item ? item->text() : QString());
        }
        lines << fields.join('\t');
    }
    return lines.join('\n') + '\n';
}

void TGridEditor::Emit(const QString& What, const std::vector<TCellEdit>& Edits) {
    if (!Edits.empty() && FOnEdit) FOnEdit(What, Edits);
}

void TGridEditor::Copy() {
    const QString text = SelectionText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void TGridEditor::Cut() {
    Copy();
    DeleteSelection();
}

std::vector<QStringList> TGridEditor::ParseTable(const QString& Text) {
    QString text = Text;
    text.remove('\r');
    if (text.endsWith('\n')) text.chop(1);
    std::vector<QStringList> rows;
    if (text.isEmpty()) return rows;
    for (const QString& line : text.split('\n'))
        rows.push_back(line.split('\t'));
    return rows;
}

void TGridEditor::Paste() {
    const TRect r = Selection();
    const std::vector<QStringList> table = ParseTable(QApplication::clipboard()->text());
    if (r.Empty() || table.empty()) return;
    std::vector<TCellEdit> edits;
    const int rows = FGrid->rowCount();
    const int cols = FGrid->columnCount();
    if (table.size() == 1 && table[0].size() == 1) {
        // One value pasted over a selection fills all of it, as spreadsheets do.
        for (int row = r.Top; row <= r.Bottom; ++row)
            for (int col = r.Left; col <= r.Right; ++col)
                edits.push_back({row, col, table[0][0]});
    } else {
        for (size_t i = 0; i < table.size(); ++i)
            for (qsizetype j = 0; j < table[i].size(); ++j) {
                const int row = r.Top + static_cast<int>(i);
                const int col = r.Left + static_cast<int>(j);
                if (row < rows && col < cols) edits.push_back({row, col, table[i][j]});
            }
    }
    Emit(QStringLiteral("Paste"), edits);
}

void TGridEditor::DeleteSelection() {
    const TRect r = Selection();
    std::vector<TCellEdit> edits;
    for (int row = r.Top; row <= r.Bottom; ++row)
        for (int col = r.Left; col <= r.Right; ++col)
            edits.push_back({row, col, QString()});
    Emit(QStringLiteral("Delete"), edits);
}

void TGridEditor::FillDown() {
    const TRect r = Selection();
    std::vector<TCellEdit> edits;
    for (int col = r.Left; col <= r.Right; ++col) {
        const QString top = FGrid->item(r.Top, col)->text();
        for (int row = r.Top + 1; row <= r.Bottom; ++row)
            edits.push_back({row, col, top});
    }
    Emit(QStringLiteral("Fill down"), edits);
}

void TGridEditor::FillSeries() {
    const TRect r = Selection();
    std::vector<TCellEdit> edits;
    for (int col = r.Left; col <= r.Right; ++col) {
        QString value = FGrid->item(r.Top, col)->text();
        for (int row = r.Top + 1; row <= r.Bottom; ++row) {
            value = NextInSeries(value);
            edits.push_back({row, col, value});
        }
    }
    Emit(QStringLiteral("Fill series"), edits);
}

QString TGridEditor::NextInSeries(const QString& Label) {
    const QString text = Label.trimmed();
    static const QRegularExpression basement(QStringLiteral("^([Bb])(\\d+)$"));
    static const QRegularExpression numbered(QStringLiteral("^(.*?)(\\d+)$"));
    // Basements count up towards the ground floor.
    if (const auto m = basement.match(text); m.hasMatch()) {
        const int n = m.captured(2).toInt();
        return n > 1 ? m.captured(1) + QString::number(n - 1) : QStringLiteral("G");
    }
    if (text.compare(QStringLiteral("G"), Qt::CaseInsensitive) == 0) return QStringLiteral("1");
    if (const auto m = numbered.match(text); m.hasMatch()) {
        const QString digits = m.captured(2);
        // A leading zero ("07") keeps the width.
        const QString next = QString::number(digits.toLongLong() + 1);
        return m.captured(1) +
               (digits.startsWith('0') ? next.rightJustified(digits.size(), '0') : next);
    }
    return Label;
}

bool TGridEditor::MoveByTab(bool Back) {
    const int labelCols = FGrid->columnCount() - FFirst;
    const int row = FGrid->currentRow();
    const int col = FGrid->currentColumn();
    if (row < 0 || col < FFirst) return false;
    int index = row * labelCols + (col - FFirst) + (Back ? -1 : 1);
    if (index < 0 || index >= FGrid->rowCount() * labelCols)
        return false; // the focus leaves the grid
    FGrid->setCurrentCell(index / labelCols, FFirst + index % labelCols);
    return true;
}

void TGridEditor::MoveDown(bool Back) {
    const int row = FGrid->currentRow() + (Back ? -1 : 1);
    if (FGrid->currentColumn() < FFirst || row < 0 || row >= FGrid->rowCount()) return;
    FGrid->setCurrentCell(row, FGrid->currentColumn());
}

void TGridEditor::LeaveGrid(bool Back) {
    // The grid does not take Tab for itself (tab-key navigation is off), so a
    // plain Tab that passes this filter moves the focus as anywhere else.
    FLeaving = true;
    QKeyEvent tab(QEvent::KeyPress, Back ? Qt::Key_Backtab : Qt::Key_Tab,
                  Back ? Qt::ShiftModifier : Qt::NoModifier);
    QCoreApplication::sendEvent(FGrid, &tab);
    FLeaving = false;
}

bool TGridEditor::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == FGrid && Event->type() == QEvent::FocusIn) {
        // Tab or a mnemonic bring the keyboard in: onto a label cell, never
        // the fixed columns where typing does nothing. (A click chooses its cell.)
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(Event)->reason();
        const bool byKeyboard = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                                reason == Qt::ShortcutFocusReason;
        if (byKeyboard && FGrid->currentColumn() < FFirst) {
            const int col = FEntryColumn ? FEntryColumn() : FFirst;
            FGrid->setCurrentCell(std::max(FGrid->currentRow(), 0),
                                  std::clamp(col, FFirst, FGrid->columnCount() - 1));
        }
        return QObject::eventFilter(Watched, Event);
    }
    if (Watched != FGrid || Event->type() != QEvent::KeyPress || FLeaving)
        return QObject::eventFilter(Watched, Event);
    auto* key = static_cast<QKeyEvent*>(Event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    // Ctrl+Tab and Ctrl+Shift+Tab leave the grid at once, wherever the cell.
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (tab && (mods & Qt::ControlModifier)) {
        LeaveGrid(key->key() == Qt::Key_Backtab || (mods & Qt::ShiftModifier));
        return true;
    }
    if (key->key() == Qt::Key_Tab && !(mods & (Qt::ControlModifier | Qt::AltModifier)))
        return MoveByTab(false);
    if (key->key() == Qt::Key_Backtab) return MoveByTab(true);
    // Enter on a cell that is not being edited moves down too, Shift+Enter
    // up. (The in-place editor passes its Enter on to the grid as well; that
    // one is the editor's, which moves when it closes.)
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        (mods == Qt::NoModifier || mods == Qt::ShiftModifier) &&
        QApplication::focusWidget() == FGrid) {
        MoveDown(mods == Qt::ShiftModifier);
        return true;
    }
    struct TBinding {
        bool Match;
        void (TGridEditor::*Run)();
    };
    const TBinding bindings[] = {
        {key->matches(QKeySequence::Copy), &TGridEditor::Copy},
        {key->matches(QKeySequence::Cut), &TGridEditor::Cut},
        {key->matches(QKeySequence::Paste), &TGridEditor::Paste},
        {key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace,
         &TGridEditor::DeleteSelection},
        {key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_D),
         &TGridEditor::FillDown},
        {key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_L),
         &TGridEditor::FillSeries},
    };
    for (const TBinding& b : bindings)
        if (b.Match) {
            (this->*b.Run)();
            return true;
        }
    return QObject::eventFilter(Watched, Event);
}
