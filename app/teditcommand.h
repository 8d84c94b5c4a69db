#pragma once

#include <QUndoCommand>

#include <functional>

// One step of the window's undo history: two actions that put the record
// (and the controls showing it) into the state after and before the edit.
// Both must be idempotent: QUndoStack::push runs Redo once although the edit
// itself is usually already done by then.
class TEditCommand : public QUndoCommand {
public:
    using TStep = std::function<void()>;
    TEditCommand(const QString& Text, TStep Redo, TStep Undo);

    void redo() override;
    void undo() override;

private:
    TStep FRedo;
    TStep FUndo;
};
