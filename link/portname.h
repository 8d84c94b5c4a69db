#pragma once

#include "serial/comports.h"

#include <string>

namespace DpuLink {

// A port as the person names it, in the window and in the tool alike:
// "COMn" or "COM n" (any case, one to three digits) is the serial
// component's port number n; anything else is a device path (/dev/ttyUSB0,
// a pseudo-terminal, a per-user port link).
class TPortName {
public:
    // "COM 1" to "COM kComPortCount" can be opened; the window's list offers more.
    static constexpr unsigned kComPortCount = YVclCtrl::kComPortCount;

    // Reads Name; every text is one or the other, so nothing fails here.
    explicit TPortName(const std::string& Name);

    // True for a "COMn" name (whatever n), false for a device path.
    bool IsComName() const { return ComName; }
    // n of a "COMn" name (0 for "COM0" and for a device path).
    unsigned Number() const { return PortNumber; }
    // The name as given (the device path of a path).
    const std::string& Text() const { return Name; }

    // False for a "COMn" name whose n the component does not open, with
    // "port number n is out of range (COM1 to COM16)" in Reason; a device
    // path is always usable here (opening it says whether it works).
    bool Usable(std::string& Reason) const;

    // The device "COM Number" stands for, as the component would open it:
    // empty when the number is outside 1..kComPortCount or names no device.
    static std::string ComDevice(unsigned Number);

private:
    std::string Name;
    std::string Digits;
    bool ComName = false;
    unsigned PortNumber = 0;
};

} // namespace DpuLink
