#include "app/tstatuspanel.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

TStatusPanel::TStatusPanel(int Width, Qt::TextElideMode Elide, QWidget* Parent)
    : QLabel(Parent), FWidth(Width), FElide(Elide) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    // Up to its width, not beyond: the status bar gives what is left over to
    // the last panel, as the panels always did.
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
}

void TStatusPanel::SetText(const QString& Text) {
    setText(Text);
    // The whole text is always one hover away, shortened or not.
    setToolTip(Text);
    update();
}

QSize TStatusPanel::sizeHint() const {
    const QSize text = QLabel::sizeHint();
    return QSize(FWidth, text.height());
}

QSize TStatusPanel::minimumSizeHint() const {
    // Room for "…" and a couple of characters: narrow windows shorten the
    // text instead of pushing panels over each other.
    const QMargins m = contentsMargins();
    const int least = fontMetrics().horizontalAdvance(QStringLiteral("Wm…")) + m.left() +
                      m.right() + 2 * margin() + 2 * indent();
    return QSize(std::min(FWidth, least), QLabel::minimumSizeHint().height());
}

QString TStatusPanel::ShownText() const {
    const int room = contentsRect().width() - 2 * margin() - std::max(indent(), 0);
    return fontMetrics().elidedText(text(), FElide, std::max(room, 0));
}

bool TStatusPanel::IsElided() const {
    return ShownText() != text();
}

void TStatusPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    QStyleOption option;
    option.initFrom(this);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignVCenter, option.palette,
                          isEnabled(), ShownText(), foregroundRole());
}
