#include "app/twindowplacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

TWindowPlacement::TWindowPlacement(QWidget* Window, QSize DesignMinimum, bool HasSavedPlace)
    : QObject(Window), FWindow(Window) {
    PlaceFirstTime(DesignMinimum, HasSavedPlace);
}

void TWindowPlacement::PlaceFirstTime(QSize DesignMinimum, bool HasSavedPlace) {
    QScreen* screen = FWindow->screen() ? FWindow->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect avail = screen->availableGeometry();
    // Made now, the platform window may already know its frame (Windows does).
    FWindow->winId();
    QWindow* handle = FWindow->windowHandle();
    QMargins frame = handle ? handle->frameMargins() : QMargins();
    // Under X11 the window manager draws the frame once the window is up: a
    // title bar and borders are assumed until then, and the window manager
    // places the window (a position given now would be taken for the inner
    // area's and put the title bar above the screen). The real frame is
    // fitted after the first show.
    const bool frameLater =
        frame.isNull() && QGuiApplication::platformName() != QLatin1String("offscreen");
    if (frameLater) {
        const int border = 4;
        frame = QMargins(border, FWindow->style()->pixelMetric(QStyle::PM_TitleBarHeight) + border,
                         border, border);
    }
    const QSize room = avail.size().shrunkBy(frame).expandedTo(QSize(1, 1));
    FWindow->setMinimumSize(DesignMinimum.boundedTo(room));
    FWindow->ensurePolished();
    const QSize size = FWindow->sizeHint().expandedTo(FWindow->minimumSize()).boundedTo(room);
    FWindow->resize(size);
    // A place remembered from the last run is kept as restored.
    if (frameLater && !HasSavedPlace) {
        FFrameWait = new QTimer(this);
        FFrameWait->setInterval(50);
        connect(FFrameWait, &QTimer::timeout, this, [this] {
            // Fitted as soon as the frame is known; a window manager that
            // draws none has had five seconds to say so.
            const bool known =
                FWindow->windowHandle() && !FWindow->windowHandle()->frameMargins().isNull();
            if (!known && ++FFrameWaitTicks < 100) return;
            FFrameWait->stop();
            FitFrameToScreen();
        });
        FWindow->installEventFilter(this);
        return;
    }
    const QSize outer = size.grownBy(frame);
    FWindow->move(avail.topLeft() + QPoint((avail.width() - outer.width()) / 2,
                                           (avail.height() - outer.height()) / 2));
}

bool TWindowPlacement::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == FWindow && Event->type() == QEvent::Show && FFrameWait && FFrameWaitTicks == 0 &&
        !FFrameWait->isActive())
        FFrameWait->start();
    return QObject::eventFilter(Watched, Event);
}

void TWindowPlacement::FitFrameToScreen() {
    QWindow* handle = FWindow->windowHandle();
    if (!handle || (FWindow->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) return;
    QScreen* screen = FWindow->screen() ? FWindow->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect avail = screen->availableGeometry();
    const QMargins frame = handle->frameMargins();
    const QSize room = avail.size().shrunkBy(frame).expandedTo(QSize(1, 1));
    FWindow->setMinimumSize(FWindow->minimumSize().boundedTo(room));
    const QSize size = FWindow->size().boundedTo(room);
    if (size != FWindow->size()) FWindow->resize(size);
    const QSize outer = size.grownBy(frame);
    const QPoint now = FWindow->geometry().topLeft() - QPoint(frame.left(), frame.top());
    const QPoint at(
        std::clamp(now.x(), avail.left(), avail.left() + avail.width() - outer.width()),
        std::clamp(now.y(), avail.top(), avail.top() + avail.height() - outer.height()));
    // For a window, the position moved to is the frame's.
    if (at != now) FWindow->move(at);
}
