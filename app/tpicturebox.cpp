#include "app/tpicturebox.h"
#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

using DpuRom::ERomBuild;

TPictureBox::TPictureBox(int Width, int Height, QWidget* Parent)
    : QWidget(Parent), FArea(Width, Height) {
    // One extra pixel each side for the frame, so the picture itself keeps its size.
    setFixedSize(sizeHint());
}

void TPictureBox::SetZoom(int Zoom) {
    Zoom = std::clamp(Zoom, 1, 4);
    if (Zoom == FZoom) return;
    FZoom = Zoom;
    setFixedSize(sizeHint());
    update();
    emit ZoomChanged(FZoom);
}

int TPictureBox::DevicePixels(int Zoom, qreal Ratio) {
    // Rounded to the nearest whole number (halves up): at 150 % a picture
    // pixel is 2 x 2 screen pixels, at 125 % it stays 1 x 1.
    return std::max(1, static_cast<int>(std::floor(Zoom * Ratio + 0.5 + 1e-6)));
}

void TPictureBox::wheelEvent(QWheelEvent* Event) {
    if (!(Event->modifiers() & Qt::ControlModifier)) {
        QWidget::wheelEvent(Event);
        return;
    }
    SetZoom(FZoom + (Event->angleDelta().y() > 0 ? 1 : -1));
    Event->accept();
}

void TPictureBox::contextMenuEvent(QContextMenuEvent* Event) {
    QMenu menu(this);
    for (int z = 1; z <= 4; ++z) {
        QAction* a = menu.addAction(QStringLiteral("Zoom %1x").arg(z));
        a->setCheckable(true);
        a->setChecked(z == FZoom);
        connect(a, &QAction::triggered, this, [this, z] { SetZoom(z); });
    }
    menu.exec(Event->globalPos());
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

QSize TPictureBox::sizeHint() const {
    // The area the whole-number scaling covers, in the widget's own units.
    const qreal ratio = devicePixelRatioF();
    const int k = DevicePixels(FZoom, ratio);
    return QSize(static_cast<int>(std::ceil(FArea.width() * k / ratio - 1e-6)),
                 static_cast<int>(std::ceil(FArea.height() * k / ratio - 1e-6))) +
           QSize(2, 2);
}
QSize TPictureBox::minimumSizeHint() const {
    return sizeHint();
}

void TPictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (FFramed) {
        // One device pixel wide and half a device pixel inside the edge, so
        // no side of the frame is rounded away at 125 % or 150 %.
        const qreal half = 0.5 / devicePixelRatioF();
        painter.setPen(QPen(palette().color(QPalette::Mid), 0));
        painter.drawRect(QRectF(rect()).adjusted(half, half, -half, -half));
    }
    if (FPicture.isNull()) return;
    const QRect zoomed(QPoint(1, 1), sizeHint() - QSize(2, 2));
    painter.setClipRect(zoomed);
    if (FStretch) {
        painter.drawImage(zoomed, FPicture);
        return;
    }
    // Scaled here by a whole number of device pixels, nearest neighbour, and
    // drawn at the device's ratio: no pixel of the picture is split between
    // screen pixels, so strokes keep an even width at 125 % or 150 %.
    const int k = DevicePixelsPerPixel();
    QImage scaled = k == 1 ? FPicture
                           : FPicture.scaled(FPicture.width() * k, FPicture.height() * k,
                                             Qt::IgnoreAspectRatio, Qt::FastTransformation);
    scaled.setDevicePixelRatio(devicePixelRatioF());
    painter.drawImage(zoomed.topLeft(), scaled);
}

void TPictureBox::mouseReleaseEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()))
        emit Clicked();
    QWidget::mouseReleaseEvent(Event);
}

void TPictureBox::mouseDoubleClickEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton) emit DoubleClicked();
    QWidget::mouseDoubleClickEvent(Event);
}
