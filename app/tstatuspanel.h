#pragma once

#include <QLabel>
#include <QSize>
#include <QString>

// One panel of the status bar: as wide as its given width while the window
// has room, narrower (down to a few characters) when it has not, never over
// its neighbours. Text that does not fit is shortened with "…" (in the middle
// for a path, so its start and its file name stay) and shown whole in the
// tool tip; text() keeps the whole text.
class TStatusPanel : public QLabel {
    Q_OBJECT
public:
    // Width in the window's own pixels; Elide is where text that does not fit is cut.
    TStatusPanel(int Width, Qt::TextElideMode Elide, QWidget* Parent = nullptr);

    // Sets the text and its tool tip.
    void SetText(const QString& Text);
    // True when the text is shortened at the panel's present width.
    bool IsElided() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QString ShownText() const;

    int FWidth;
    Qt::TextElideMode FElide;
};
