#pragma once

#include <string>
#include <vector>

namespace YVclCtrl {

// How "COM n" of the component finds its device; one file per platform.

// The component opens "COM 1" to "COM kComPortCount"; its port-number setter
// refuses any other number, and so does every place that reads a port name.
inline constexpr unsigned kComPortCount = 16;

// The folder of per-user "COMn" symlinks: $XDG_CONFIG_HOME/dpu510tk3/ports/
// (default ~/.config/dpu510tk3/ports/), with a trailing '/'. Empty on
// Windows, which names its ports itself.
std::string ComPortsFolder();

// The serial devices that really exist, in a stable order: USB adapters
// (ttyUSB*, ttyACM*) first, then ttyS* ports backed by hardware, each group
// in numeric order. Full paths under /dev. On Windows the ports entered
// under the SERIALCOMM registry key, as \\.\COMn in numeric order.
std::vector<std::string> ListSerialDevices();

// The device "COM n" stands for: the symlink COMn in ComPortsFolder() when it
// exists, else the n-th entry (1-based) of ListSerialDevices(); empty when
// there is none. On Windows simply \\.\COMn (empty for 0).
std::string ResolveComPort(unsigned PortNumber);

} // namespace YVclCtrl
