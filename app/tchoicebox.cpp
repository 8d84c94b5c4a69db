#include "app/tchoicebox.h"

#include "app/tpicturebox.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

TChoiceBox::TChoiceBox(const QString& Title, const QStringList& Captions, const QString& RadioName,
                       const QString& ImageName, QSize Picture, QWidget* Parent)
    : QGroupBox(Title, Parent) {
    auto* grid = new QGridLayout(this);
    FGroup = new QButtonGroup(this);
    for (int k = 0; k < Captions.size(); ++k) {
        auto* radio = new QRadioButton(Captions[k], this);
        radio->setObjectName(RadioName + QString::number(k));
        // A caption says little on its own to a screen reader ("1", "Style 0"
        // in two boxes): it is read with the box's title ("Massage position
        // 1", "FL Style 0"), a word the two share said once.
        const QString title = QString(Title).remove(QLatin1Char(':')).trimmed();
        radio->setAccessibleName(TitledName(title, Captions[k]));
        auto* image = new TPictureBox(Picture.width(), Picture.height(), this);
        image->setObjectName(ImageName + QString::number(k));
        image->setAccessibleName(QStringLiteral("%1, %2").arg(title, Captions[k]));
        FGroup->addButton(radio, k);
        grid->addWidget(radio, 0, k, Qt::AlignHCenter);
        grid->addWidget(image, 1, k, Qt::AlignHCenter);
        FRadio.push_back(radio);
        FImage.push_back(image);
    }
    Check(0);
}

QString TChoiceBox::TitledName(const QString& Title, const QString& Caption) {
    const QString first = Caption.section(QLatin1Char(' '), 0, 0);
    if (!first.isEmpty() && Caption.contains(QLatin1Char(' ')) &&
        Title.endsWith(QLatin1Char(' ') + first, Qt::CaseInsensitive))
        return Title + Caption.mid(first.size());
    return Title + QLatin1Char(' ') + Caption;
}

void TChoiceBox::Check(int Index) {
    if (Index >= 0 && Index < Count()) Radio(Index)->setChecked(true);
}
