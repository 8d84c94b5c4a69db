#pragma once

// Event-mask bits of the port and the line-error flags, with the values the
// component has always used on the wire of its events (FireUartErrEvent,
// FireModemSignalEvent take these bits).

namespace YVclCtrl {

constexpr unsigned long EV_RXCHAR = 0x0001;
constexpr unsigned long EV_TXEMPTY = 0x0004;
constexpr unsigned long EV_CTS = 0x0008;
constexpr unsigned long EV_DSR = 0x0010;
constexpr unsigned long EV_RLSD = 0x0020;
constexpr unsigned long EV_ERR = 0x0080;
constexpr unsigned long EV_RING = 0x0100;

constexpr unsigned long CE_RXOVER = 0x0001;
constexpr unsigned long CE_OVERRUN = 0x0002;
constexpr unsigned long CE_RXPARITY = 0x0004;
constexpr unsigned long CE_FRAME = 0x0008;
constexpr unsigned long CE_BREAK = 0x0010;
constexpr unsigned long CE_TXFULL = 0x0100;

// Modem-status bits as reported by TUartPort::ModemStatus.
constexpr unsigned MS_CTS_ON = 0x0010;
constexpr unsigned MS_DSR_ON = 0x0020;
constexpr unsigned MS_RING_ON = 0x0040;
constexpr unsigned MS_RLSD_ON = 0x0080;

} // namespace YVclCtrl
