#pragma once

#include <QString>

#include <array>
#include <functional>

class QStatusBar;
class TStatusPanel;

// The main window's status bar: four panels ("StatusPanel0".."3") of the
// given widths, the last taking the room left over and showing Maker never
// cut short, then whatever AddBeside puts in the bar, then a note about the
// last action ("StatusNote"), hidden while empty, which takes only the room
// the panels leave. The widgets belong to the bar.
class TStatusPanels {
public:
    TStatusPanels(QStatusBar* Bar, const int (&Widths)[4], const QString& Maker,
                  const std::function<void(QStatusBar*)>& AddBeside);

    // Panel 0..3; another index is ignored ("" when read).
    void SetText(int Panel, const QString& Text);
    QString Text(int Panel) const;
    // "" hides the note.
    void ShowNote(const QString& Text);
    QString Note() const;

private:
    std::array<TStatusPanel*, 4> FPanels{};
    TStatusPanel* FNote = nullptr;
};
