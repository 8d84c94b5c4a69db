#pragma once

#include "serial/tcustomuart.h"

#include <memory>
#include <vector>

// Wraps the receive and device-lost handlers that are bound to a serial
// component, and notes, at the moment the last of them is dropped, whether the
// component was still open. Handlers may change only while it is closed, so a
// sound tear-down leaves exactly one "false" in OpenWhenDetached.
class TDetachProbe {
public:
    // Call while the component is closed, after the link has bound it.
    static void Wrap(YVclCtrl::TCustomUart& Uart, std::vector<bool>& OpenWhenDetached) {
        auto probe = std::make_shared<TDetachProbe>(Uart, OpenWhenDetached);
        auto rx = Uart.OnRxdDatas;
        auto lost = Uart.OnDeviceLost;
        Uart.OnRxdDatas = [rx, probe](QObject* Sender, int Bytes, char* Datas) {
            if (rx) rx(Sender, Bytes, Datas);
        };
        Uart.OnDeviceLost = [lost, probe](QObject* Sender) {
            if (lost) lost(Sender);
        };
    }

    TDetachProbe(YVclCtrl::TCustomUart& Uart, std::vector<bool>& Out) : Uart(Uart), Out(Out) {}
    ~TDetachProbe() { Out.push_back(Uart.pr_IsOpened()); }
    TDetachProbe(const TDetachProbe&) = delete;
    TDetachProbe& operator=(const TDetachProbe&) = delete;

private:
    YVclCtrl::TCustomUart& Uart;
    std::vector<bool>& Out;
};
