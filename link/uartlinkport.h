#pragma once

#include "link/linkport.h"

namespace YVclCtrl {
class TCustomUart;
}

namespace DpuLink {

class TDeviceLink;

// The device link's port on the serial component (the main window's PcUart1,
// or the command-line tool's port). Bind() routes the component's received
// bytes and its lost-device event to a link.
class TUartLinkPort : public TLinkPort {
public:
    explicit TUartLinkPort(YVclCtrl::TCustomUart& Uart);
    // After Bind: closes the component if it is still open, then leaves its
    // events unassigned again.
    ~TUartLinkPort() override;

    // Sets the component up as the link needs it: 115200 baud, 8N1, no flow
    // control, every read one delivery.
    static void ApplyLinkSettings(YVclCtrl::TCustomUart& Uart);

    // OnRxdDatas and OnDeviceLost of the component go to Link from now on.
    // Call it while the component is closed.
    void Bind(TDeviceLink& Link);

    bool IsOpened() const override;
    bool Open() override;
    bool Close() override;
    int SendData(unsigned Bytes, const void* Data) override;
    std::string LastErrMsg() const override;
    void SetBaud(unsigned Baud) override;
    std::string PortLabel() const override;

private:
    YVclCtrl::TCustomUart& Uart;
    bool Bound = false;
};

} // namespace DpuLink
