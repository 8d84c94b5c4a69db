#include "app/ttextdialog.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TTextDialog::TTextDialog(const QString& Title, const QString& Name, QWidget* Parent)
    : QDialog(Parent) {
    setObjectName(Name);
    setWindowTitle(Title);
    auto* layout = new QVBoxLayout(this);
    FBody = new QVBoxLayout;
    layout->addLayout(FBody);
    FButtons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    // Close, Esc and the title bar's cross all only hide the dialog: the help
    // window is kept and shown again.
    connect(FButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(FButtons);
}

QPlainTextEdit* TTextDialog::AddText(const QString& Text, const QString& Name, QSize Minimum) {
    auto* text = new QPlainTextEdit(Text, this);
    text->setObjectName(Name);
    text->setReadOnly(true);
    text->setMinimumSize(Minimum);
    FBody->addWidget(text);
    return text;
}
