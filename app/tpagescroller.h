#pragma once

#include <QScrollArea>
#include <QSize>

// Holds a tab's page: below the page's own size it scrolls the page instead
// of squeezing its controls over each other. Its size hint is the whole page,
// so a window sized to its hint shows every control without scroll bars.
class TPageScroller : public QScrollArea {
    Q_OBJECT
public:
    // Takes Page (named after it: "<page name>Scroll"); Parent owns the scroller.
    TPageScroller(QWidget* Page, QWidget* Parent = nullptr);

    QSize sizeHint() const override;
};
