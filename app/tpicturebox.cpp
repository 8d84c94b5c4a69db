#include "app/tpicturebox.h"
#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"

#include <QMouseEvent>
#include <QPainter>

using DpuRom::ERomBuild;

TPictureBox::TPictureBox(int Width, int Height, QWidget* Parent)
    : QWidget(Parent), FArea(Width, Height) {
    // One extra pixel each side for the frame, so the picture itself keeps its size.
    setFixedSize(Width + 2, Height + 2);
}

bool TPictureBox::LoadFromFile(const QString& Path) {
    // The build's own reader, so the window never shows a picture that
    // "MAKE ROM" would refuse.
    QImage image;
    FLastError.clear();
    if (Path.trimmed().isEmpty()) {
        FLastError = QStringLiteral("no picture file");
    } else {
        try {
            image = DpuRom::LoadPicture(Path.toLocal8Bit().toStdString());
        } catch (const ERomBuild& e) {
            FLastError = QString::fromLocal8Bit(e.Message.c_str());
        }
    }
    FPicture = image;
    update();
    return !FPicture.isNull();
}

void TPictureBox::SetPicture(const QImage& Image) {
    FPicture = Image;
    update();
}

void TPictureBox::ClearPicture() {
    FPicture = QImage();
    update();
}

void TPictureBox::SetStretch(bool Stretch) {
    FStretch = Stretch;
    update();
}

void TPictureBox::SetFramed(bool Framed) {
    FFramed = Framed;
    update();
}

QSize TPictureBox::sizeHint() const { return FArea + QSize(2, 2); }
QSize TPictureBox::minimumSizeHint() const { return sizeHint(); }

void TPictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area(1, 1, FArea.width(), FArea.height());
    if (FFramed) {
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (FPicture.isNull())
        return;
    painter.setClipRect(area);
    if (FStretch)
        painter.drawImage(area, FPicture);
    else
        painter.drawImage(area.topLeft(), FPicture);
}

void TPictureBox::mouseReleaseEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()))
        emit Clicked();
    QWidget::mouseReleaseEvent(Event);
}

void TPictureBox::mouseDoubleClickEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton)
        emit DoubleClicked();
    QWidget::mouseDoubleClickEvent(Event);
}
