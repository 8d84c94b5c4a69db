#pragma once

namespace DpuLink {

// The response timer of the link: a repeating main-thread timer. Whoever owns
// it calls TDeviceLink::OnResponseTimer on each expiry while it is active.
class TLinkTimer {
public:
    virtual ~TLinkTimer() = default;
    // (Re)starts a full period.
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;
};

} // namespace DpuLink
