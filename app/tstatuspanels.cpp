#include "app/tstatuspanels.h"

#include "app/tstatuspanel.h"

#include <QStatusBar>

#include <algorithm>

TStatusPanels::TStatusPanels(QStatusBar* Bar, const int (&Widths)[4], const QString& Maker,
                             const std::function<void(QStatusBar*)>& AddBeside) {
    Bar->setObjectName("StatusBar");
    Bar->setSizeGripEnabled(true);
    // The project file's path is cut in the middle, so its start and its
    // file name stay readable; the others lose their ends.
    const Qt::TextElideMode elide[4] = {Qt::ElideMiddle, Qt::ElideRight, Qt::ElideRight,
                                        Qt::ElideRight};
    for (int i = 0; i < 4; ++i) {
        FPanels[i] = new TStatusPanel(Widths[i], elide[i], Bar);
        FPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    }
    // The last panel takes the room left over, as a status bar's last panel does.
    TStatusPanel* last = FPanels[3];
    last->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    for (int i = 0; i < 4; ++i)
        Bar->addWidget(FPanels[i], i == 3 ? 1 : 0);
    last->SetText(Maker);
    if (AddBeside) AddBeside(Bar);
    // The maker's name is never cut short, whatever else the bar shows.
    const QMargins m = last->contentsMargins();
    last->setMinimumWidth(last->fontMetrics().horizontalAdvance(last->text()) + m.left() +
                          m.right() + 2 * last->margin() + std::max(last->indent(), 0) + 2);
    // Beside the panels so their texts stay as they are; cut with "..." (whole
    // in its tool tip) when the room they leave is not enough.
    FNote = new TStatusPanel(360, Qt::ElideRight, Bar);
    FNote->setObjectName("StatusNote");
    FNote->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    FNote->setVisible(false);
    Bar->addPermanentWidget(FNote, 1);
}

void TStatusPanels::SetText(int Panel, const QString& Text) {
    if (Panel >= 0 && Panel < 4) FPanels[static_cast<size_t>(Panel)]->SetText(Text);
}

QString TStatusPanels::Text(int Panel) const {
    return Panel >= 0 && Panel < 4 ? FPanels[static_cast<size_t>(Panel)]->text() : QString();
}

void TStatusPanels::ShowNote(const QString& Text) {
    FNote->SetText(Text);
    FNote->setVisible(!Text.isEmpty());
}

QString TStatusPanels::Note() const {
    return FNote->text();
}
