#pragma once

#include <QImage>
#include <QPainterPath>

// Draws the direction-arrow animations: 48 x 48 frames, twelve per style, all
// showing travel upwards (the first frame is the style's still picture):
//   0 solid arrow scrolling up, wrapping round (4 pixels a frame)
//   1 double chevron scrolling up (2 pixels a frame)
//   2 solid arrow blinking (on for frames 0-5, off for 6-11)
//   3 outlined arrow filling from the bottom, one twelfth a frame
//   4 three stacked triangles, the filled one running upwards (4 frames each)
class TArrowRenderer {
public:
    static constexpr int StyleCount = 5;
    static constexpr int FrameCount = 12;
    static constexpr int Size = 48;

    // Frame `frame` (0..11) of arrow style `style` (0..4).
    static QImage Frame(int style, int frame);

    // A short caption for the previews.
    static QString StyleName(int style);

private:
    static QPainterPath SolidArrow(qreal top, qreal height);
    static QPainterPath Chevron(qreal top);
    static QPainterPath Triangle(qreal top, qreal height, qreal halfWidth);
};
