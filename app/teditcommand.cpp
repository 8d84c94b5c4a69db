#include "app/teditcommand.h"

#include <utility>

TEditCommand::TEditCommand(const QString& Text, TStep Redo, TStep Undo)
    : QUndoCommand(Text), FRedo(std::move(Redo)), FUndo(std::move(Undo)) {}

void TEditCommand::redo() {
    if (FRedo) FRedo();
}

void TEditCommand::undo() {
    if (FUndo) FUndo();
}
