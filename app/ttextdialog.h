#pragma once

#include <QDialog>
#include <QSize>
#include <QString>

class QDialogButtonBox;
class QPlainTextEdit;
class QVBoxLayout;

// A dialog that shows text and closes with "Close": the About box and the
// help window. What a dialog shows goes into Body(), top to bottom; its own
// buttons join the Close button in Buttons().
class TTextDialog : public QDialog {
public:
    // Name is the object name tests and screen readers find the dialog by.
    TTextDialog(const QString& Title, const QString& Name, QWidget* Parent = nullptr);

protected:
    QVBoxLayout* Body() const { return FBody; }
    QDialogButtonBox* Buttons() const { return FButtons; }
    // Adds Text to the body in a read-only panel named Name, at least Minimum
    // large. Never fails.
    QPlainTextEdit* AddText(const QString& Text, const QString& Name, QSize Minimum);

private:
    QVBoxLayout* FBody = nullptr;
    QDialogButtonBox* FButtons = nullptr;
};
