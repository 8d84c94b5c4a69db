#include "app/tpicturebox.h"
#include "app/tdrophandler.h"
#include "app/tqtpicture.h"
#include "rom/bitmapconversion.h"
#include "rom/erombuild.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

using DpuRom::ERomBuild;

namespace {

// A picture that opens something is read as a button a screen reader can
// press; one that only shows is read as a picture.
class TPictureBoxAccessible : public QAccessibleWidget {
public:
    explicit TPictureBoxAccessible(TPictureBox* Box) : QAccessibleWidget(Box) {}
    QAccessible::Role role() const override {
        return Box()->Opens() ? QAccessible::Button : QAccessible::Graphic;
    }
    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (Box()->Opens()) names.prepend(pressAction());
        return names;
    }
    void doAction(const QString& Name) override {
        if (Name == pressAction())
            Box()->Activate();
        else
            QAccessibleWidget::doAction(Name);
    }
    QStringList keyBindingsForAction(const QString& Name) const override {
        if (Name == pressAction() && Box()->Opens())
            return {QStringLiteral("Enter"), QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(Name);
    }

private:
    TPictureBox* Box() const { return static_cast<TPictureBox*>(widget()); }
};

QAccessibleInterface* PictureBoxAccessible(const QString& ClassName, QObject* Object) {
    if (ClassName == QLatin1String("TPictureBox") && Object && Object->isWidgetType())
        return new TPictureBoxAccessible(static_cast<TPictureBox*>(Object));
    return nullptr;
}

} // namespace

TPictureBox::TPictureBox(int Width, int Height, QWidget* Parent)
    : QWidget(Parent), FArea(Width, Height) {
    static const bool accessible = [] {
        QAccessible::installFactory(&PictureBoxAccessible);
        return true;
    }();
    (void)accessible;
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
            image = TQtPicture::Image(DpuRom::LoadPicture(Path.toUtf8().toStdString()));
        } catch (const ERomBuild& e) {
            FLastError = QString::fromUtf8(e.Message.c_str());
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
    if (!FPicture.isNull()) DrawPicture(painter);
    if (hasFocus()) {
        // Drawn last and two pixels wide, so it shows over any picture: the
        // keyboard's place must never be hidden.
        painter.setClipping(false);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void TPictureBox::DrawPicture(QPainter& Painter) const {
    const QRect zoomed(QPoint(1, 1), sizeHint() - QSize(2, 2));
    Painter.save();
    Painter.setClipRect(zoomed);
    if (FStretch) {
        Painter.drawImage(zoomed, FPicture);
        Painter.restore();
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
    Painter.drawImage(zoomed.topLeft(), scaled);
    Painter.restore();
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

void TPictureBox::connectNotify(const QMetaMethod& Signal) {
    // Whoever listens to a click makes the picture a button for the keyboard
    // as well; a double click (the message pictures) wins over a click.
    if (Signal == QMetaMethod::fromSignal(&TPictureBox::DoubleClicked))
        FKeyOpens = TKeyOpens::DoubleClick;
    else if (Signal == QMetaMethod::fromSignal(&TPictureBox::Clicked) &&
             FKeyOpens == TKeyOpens::Nothing)
        FKeyOpens = TKeyOpens::Click;
    else
        return;
    setFocusPolicy(Qt::StrongFocus);
}

void TPictureBox::keyPressEvent(QKeyEvent* Event) {
    const bool opens =
        Event->modifiers() == Qt::NoModifier || Event->modifiers() == Qt::KeypadModifier;
    if (FKeyOpens != TKeyOpens::Nothing && opens &&
        (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter ||
         Event->key() == Qt::Key_Space)) {
        Event->accept();
        Activate();
        return;
    }
    QWidget::keyPressEvent(Event);
}

bool TPictureBox::Activate() {
    switch (FKeyOpens) {
    case TKeyOpens::DoubleClick:
        emit DoubleClicked();
        return true;
    case TKeyOpens::Click:
        emit Clicked();
        return true;
    case TKeyOpens::Nothing:
        break;
    }
    return false;
}

void TPictureBox::focusInEvent(QFocusEvent* Event) {
    update();
    QWidget::focusInEvent(Event);
}

void TPictureBox::focusOutEvent(QFocusEvent* Event) {
    update();
    QWidget::focusOutEvent(Event);
}

void TPictureBox::AcceptDroppedFiles(const QString& Suffix) {
    FDropSuffix = Suffix;
    setAcceptDrops(!Suffix.isEmpty());
}

void TPictureBox::dragEnterEvent(QDragEnterEvent* Event) {
    const QString file = TDropHandler::DroppedFile(Event->mimeData());
    if (!FDropSuffix.isEmpty() && TDropHandler::HasSuffix(file, FDropSuffix.toLatin1().constData()))
        Event->acceptProposedAction();
    else
        Event->ignore();
}

void TPictureBox::dropEvent(QDropEvent* Event) {
    const QString file = TDropHandler::DroppedFile(Event->mimeData());
    if (FDropSuffix.isEmpty() ||
        !TDropHandler::HasSuffix(file, FDropSuffix.toLatin1().constData())) {
        Event->ignore();
        return;
    }
    Event->acceptProposedAction();
    emit FileDropped(file);
}
