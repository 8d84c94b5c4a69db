#pragma once

#include <string>
#include <vector>

namespace YVclCtrl {

// The folder of per-user "COMn" symlinks: $XDG_CONFIG_HOME/dpu510tk3/ports/
// (default ~/.config/dpu510tk3/ports/), with a trailing '/'.
std::string ComPortsFolder();

// The serial devices that really exist, in a stable order: USB adapters
// (ttyUSB*, ttyACM*) first, then ttyS* ports backed by hardware, each group
// in numeric order. Full paths under /dev.
std::vector<std::string> ListSerialDevices();

// The device "COM n" stands for: the symlink COMn in ComPortsFolder() when it
// exists, else the n-th entry (1-based) of ListSerialDevices(); empty when
// there is none.
std::string ResolveComPort(unsigned PortNumber);

} // namespace YVclCtrl
