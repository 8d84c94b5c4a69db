#pragma once

#include "app/tpicturebox.h"

#include <QGroupBox>
#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <vector>

class QButtonGroup;
class QRadioButton;

// A captioned box with a row of radio buttons, each above its picture: the
// "FL Style:" and "DIR Style:" pickers and the message positions. The buttons
// are named RadioName + k and the pictures ImageName + k; button k has id k in
// Group(). The first button is checked.
class TChoiceBox : public QGroupBox {
    Q_OBJECT
public:
    TChoiceBox(const QString& Title, const QStringList& Captions, const QString& RadioName,
               const QString& ImageName, QSize Picture, QWidget* Parent = nullptr);

    int Count() const { return static_cast<int>(FRadio.size()); }
    QRadioButton* Radio(int Index) const { return FRadio.at(static_cast<size_t>(Index)); }
    TPictureBox* Image(int Index) const { return FImage.at(static_cast<size_t>(Index)); }
    QButtonGroup* Group() const { return FGroup; }
    // What a screen reader calls a button: the box's title and the caption,
    // a word that ends the one and starts the other said once ("FL Style" and
    // "Style 0" make "FL Style 0"). Never fails.
    static QString TitledName(const QString& Title, const QString& Caption);
    // Checks button Index; out of range, the box keeps its choice.
    void Check(int Index);
    // Picture k shows Images[k] (a null image leaves it blank).
    template <size_t N> void ShowPictures(const std::array<QImage, N>& Images) {
        for (size_t k = 0; k < N && k < FImage.size(); ++k)
            FImage[k]->SetPicture(Images[k]);
    }

private:
    std::vector<QRadioButton*> FRadio;
    std::vector<TPictureBox*> FImage;
    QButtonGroup* FGroup = nullptr;
};
