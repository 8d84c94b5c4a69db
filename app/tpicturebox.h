#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

class QPainter;

// A picture control of a fixed size: shows a bitmap from its top-left corner
// at a whole-number zoom (or stretched to the control when Stretch is set)
// and reports clicks and double-clicks. A file that cannot be loaded leaves a
// blank picture. One-bit pictures stay crisp at any screen scaling: every
// picture pixel becomes the same whole number of screen pixels.
//
// A picture that opens something (Clicked or DoubleClicked is connected) is a
// control of its own for the keyboard too: it takes the focus, shows it with
// a focus frame, and Enter or Space emit the signal the mouse would.
class TPictureBox : public QWidget {
    Q_OBJECT
public:
    TPictureBox(int Width, int Height, QWidget* Parent = nullptr);

    // Loads a bitmap file through the build's picture reader; false (and a
    // blank picture) when the file is missing, not a regular file, or a
    // picture the build would refuse. The reason is kept in LastError().
    bool LoadFromFile(const QString& Path);
    const QString& LastError() const { return FLastError; }
    void SetPicture(const QImage& Image);
    void ClearPicture();
    const QImage& Picture() const { return FPicture; }
    bool HasPicture() const { return !FPicture.isNull(); }

    // Shows the picture scaled to the control's size instead of unscaled.
    void SetStretch(bool Stretch);
    // Draws a thin frame around the area so an empty slot is still visible.
    void SetFramed(bool Framed);
    // 1..4 (other values are clamped): the control grows to Zoom times its
    // area. Ctrl+wheel and the context menu change it too.
    void SetZoom(int Zoom);
    int Zoom() const { return FZoom; }
    // Screen pixels per picture pixel at the control's current scaling:
    // the zoom times the device pixel ratio, rounded down, at least 1.
    int DevicePixelsPerPixel() const { return DevicePixels(FZoom, devicePixelRatioF()); }
    static int DevicePixels(int Zoom, qreal Ratio);
    // Takes a single local file with this suffix (any case) dropped on the
    // picture and reports it through FileDropped; other drops are refused.
    void AcceptDroppedFiles(const QString& Suffix);

    // True when the picture opens something (Clicked or DoubleClicked is
    // connected): then it is a button for the keyboard and a screen reader.
    bool Opens() const { return FKeyOpens != TKeyOpens::Nothing; }
    // What Enter, Space and a screen reader's press do: emits the signal that
    // opens something; false (nothing emitted) when the picture opens nothing.
    bool Activate();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void Clicked();
    void DoubleClicked();
    void ZoomChanged(int Zoom);
    void FileDropped(const QString& File);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void contextMenuEvent(QContextMenuEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    void connectNotify(const QMetaMethod& Signal) override;

private:
    void DrawPicture(QPainter& Painter) const;

    QImage FPicture;
    QString FLastError;
    QSize FArea;
    bool FStretch = false;
    bool FFramed = true;
    int FZoom = 1;
    // What Enter and Space do: nothing until a signal that opens something is connected.
    enum class TKeyOpens { Nothing, Click, DoubleClick };
    TKeyOpens FKeyOpens = TKeyOpens::Nothing;
    QString FDropSuffix;
};
