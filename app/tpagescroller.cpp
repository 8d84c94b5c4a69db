#include "app/tpagescroller.h"

#include <QScrollBar>

TPageScroller::TPageScroller(QWidget* Page, QWidget* Parent) : QScrollArea(Parent) {
    setObjectName(Page->objectName() + QStringLiteral("Scroll"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setWidget(Page);
    // A container: the page's controls take the focus (the area scrolls to
    // the one that has it), the area never does.
    setFocusPolicy(Qt::NoFocus);
}

QSize TPageScroller::sizeHint() const {
    // QScrollArea caps its hint at a few dozen lines of text; the page is
    // meant to be seen whole.
    const QWidget* page = widget();
    if (!page) return QScrollArea::sizeHint();
    const int frame = 2 * frameWidth();
    return page->sizeHint().expandedTo(page->minimumSizeHint()) + QSize(frame, frame);
}
