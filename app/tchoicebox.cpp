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
        // A bare number ("1") says nothing on its own to a screen reader:
        // it is read with the box's title ("Massage position 1").
        bool number = false;
        Captions[k].toInt(&number);
        const QString title = QString(Title).remove(QLatin1Char(':')).trimmed();
        if (number) radio->setAccessibleName(title + QLatin1Char(' ') + Captions[k]);
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

void TChoiceBox::Check(int Index) {
    if (Index >= 0 && Index < Count()) Radio(Index)->setChecked(true);
}
