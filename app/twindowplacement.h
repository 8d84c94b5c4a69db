#pragma once

#include <QObject>
#include <QSize>

class QTimer;
class QWidget;

// Where the main window first appears: sized to show its pages whole within
// the screen's free area less the window frame, and centred there. Where the
// window manager draws the frame only once the window is up (X11), the window
// manager places the window and, after the first show, the window is made
// small enough and moved just far enough for its whole frame, title bar
// included, to lie in the free area (a maximised or full-screen window is
// left alone). A place remembered from the last run is restored by the
// caller after this and is kept. Never fails: without a screen nothing moves.
class TWindowPlacement : public QObject {
public:
    // Places Window now (a child of it from then on); DesignMinimum is the
    // smallest the window gets unless the screen is smaller still.
    // HasSavedPlace tells whether a remembered place will be restored.
    TWindowPlacement(QWidget* Window, QSize DesignMinimum, bool HasSavedPlace);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void PlaceFirstTime(QSize DesignMinimum, bool HasSavedPlace);
    void FitFrameToScreen();

    QWidget* FWindow;
    // Waits, bounded, for the window manager's frame after the first show.
    QTimer* FFrameWait = nullptr;
    int FFrameWaitTicks = 0;
};
