#include "link/portname.h"

#include <cctype>
#include <cstdlib>

namespace DpuLink {

TPortName::TPortName(const std::string& Name_) : Name(Name_) {
    if (Name.size() <= 3) return;
    for (size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(Name[i])) != "COM"[i]) return;
    std::string digits = Name.substr(3);
    if (!digits.empty() && digits[0] == ' ') digits.erase(0, 1);
    // Longer runs of digits are left to be a path: no port has such a number,
    // and "COM1234" may well be a file's name.
    if (digits.empty() || digits.size() > 3) return;
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c))) return;
    ComName = true;
    Digits = digits;
    PortNumber = static_cast<unsigned>(std::strtoul(digits.c_str(), nullptr, 10));
}

bool TPortName::Usable(std::string& Reason) const {
    if (!ComName || (PortNumber >= 1 && PortNumber <= kComPortCount)) return true;
    Reason = "port number " + Digits + " is out of range (COM1 to COM" +
             std::to_string(kComPortCount) + ")";
    return false;
}

std::string TPortName::ComDevice(unsigned Number) {
    if (Number < 1 || Number > kComPortCount) return {};
    return YVclCtrl::ResolveComPort(Number);
}

} // namespace DpuLink
