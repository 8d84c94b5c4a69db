#include "serial/comports.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>

namespace YVclCtrl {

namespace {

struct TDeviceName {
    int Group;
    std::string Prefix;
    long Number;
    std::string Name;
};

std::string SysTtyFolder() {
    const char* root = std::getenv("DPU_SYS_TTY_DIR"); // tests only
    return root && *root ? std::string(root) : std::string("/sys/class/tty");
}

std::string DevFolder() {
    const char* root = std::getenv("DPU_DEV_DIR"); // tests only
    return root && *root ? std::string(root) : std::string("/dev");
}

// A ttyS entry exists for every possible legacy port; only those with a UART
// type other than 0 ("unknown") have hardware behind them.
bool LegacyPortHasHardware(const std::string& name) {
    std::ifstream in(SysTtyFolder() + "/" + name + "/type");
    int type = 0;
    return in >> type && type != 0;
}

} // namespace

std::string ComPortsFolder() {
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.config";
    }
    return base + "/dpu510tk3/ports/";
}

std::vector<std::string> ListSerialDevices() {
    std::vector<TDeviceName> found;
    const std::string dev = DevFolder();
    if (DIR* d = ::opendir(dev.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            static const struct {
                const char* prefix;
                int group;
            } kinds[] = {{"ttyUSB", 0}, {"ttyACM", 0}, {"ttyS", 1}};
            for (const auto& k : kinds) {
                const std::string prefix = k.prefix;
                if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
                    continue;
                const std::string digits = name.substr(prefix.size());
                if (digits.find_first_not_of("0123456789") != std::string::npos) break;
                if (k.group == 1 && !LegacyPortHasHardware(name)) break;
                found.push_back({k.group, prefix, std::strtol(digits.c_str(), nullptr, 10), name});
                break;
            }
        }
        ::closedir(d);
    }
    std::sort(found.begin(), found.end(), [](const TDeviceName& a, const TDeviceName& b) {
        if (a.Group != b.Group) return a.Group < b.Group;
        if (a.Prefix != b.Prefix) return a.Prefix > b.Prefix; // ttyUSB before ttyACM
        return a.Number < b.Number;
    });
    std::vector<std::string> out;
    for (const auto& f : found)
        out.push_back(dev + "/" + f.Name);
    return out;
}

std::string ResolveComPort(unsigned PortNumber) {
    if (PortNumber == 0) return {};
    const std::string link = ComPortsFolder() + "COM" + std::to_string(PortNumber);
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0) return link;
    const std::vector<std::string> devices = ListSerialDevices();
    if (PortNumber <= devices.size()) return devices[PortNumber - 1];
    return {};
}

} // namespace YVclCtrl
