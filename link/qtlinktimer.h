#pragma once

#include "link/linktimer.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace DpuLink {

// The response timer on a QTimer of the calling thread (of Parent's thread when
// given; Parent does not own it): repeating, IntervalMs per period (10000 in
// the editor), OnExpired called on each expiry.
class TQtLinkTimer : public TLinkTimer {
public:
    explicit TQtLinkTimer(int IntervalMs = 10000, QObject* Parent = nullptr);

    void Start() override;
    void Stop() override;
    bool IsActive() const override;
    void SetInterval(int IntervalMs);
    int Interval() const;

    // Usually bound to TDeviceLink::OnResponseTimer.
    std::function<void()> OnExpired;

private:
    QTimer Timer;
};

} // namespace DpuLink
