#include "link/qtlinktimer.h"

namespace DpuLink {

TQtLinkTimer::TQtLinkTimer(int IntervalMs, QObject* Parent) {
    // The QTimer is a member: a parent would delete it a second time.
    if (Parent) Timer.moveToThread(Parent->thread());
    Timer.setSingleShot(false);
    Timer.setInterval(IntervalMs);
    QObject::connect(&Timer, &QTimer::timeout, [this] {
        if (OnExpired) OnExpired();
    });
}

void TQtLinkTimer::Start() {
    Timer.start();
}
void TQtLinkTimer::Stop() {
    Timer.stop();
}
bool TQtLinkTimer::IsActive() const {
    return Timer.isActive();
}
void TQtLinkTimer::SetInterval(int IntervalMs) {
    Timer.setInterval(IntervalMs);
}
int TQtLinkTimer::Interval() const {
    return Timer.interval();
}

} // namespace DpuLink
