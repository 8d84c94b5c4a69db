#include "serial/comports.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace YVclCtrl {

std::string ComPortsFolder() {
    // Windows names its serial ports itself; there is no folder of links.
    return {};
}

std::vector<std::string> ListSerialDevices() {
    // Every serial port driver enters its ports under SERIALCOMM, value data
    // "COMn", whatever the value's own name.
    std::vector<unsigned> numbers;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD nameSize = sizeof name;
            BYTE data[64] = {};
            DWORD dataSize = sizeof data - 1;
            DWORD type = 0;
            const LONG rc =
                ::RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
            const std::string text(reinterpret_cast<const char*>(data));
            if (text.size() > 3 && _strnicmp(text.c_str(), "COM", 3) == 0 &&
                text.find_first_not_of("0123456789", 3) == std::string::npos)
                numbers.push_back(
                    static_cast<unsigned>(std::strtoul(text.c_str() + 3, nullptr, 10)));
        }
        ::RegCloseKey(key);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::vector<std::string> out;
    for (unsigned n : numbers)
        out.push_back("\\\\.\\COM" + std::to_string(n));
    return out;
}

std::string ResolveComPort(unsigned PortNumber) {
    // The device namespace form reaches COM10 and above too; a port that is
    // not there fails at open as "not found".
    if (PortNumber == 0) return {};
    return "\\\\.\\COM" + std::to_string(PortNumber);
}

} // namespace YVclCtrl
