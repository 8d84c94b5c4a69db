#pragma once

#include <string>

namespace DpuLink {

// The serial port as the device link sees it. The editor and the command-line
// tool hand it the serial component; unit tests hand it a recorder. Received
// bytes travel the other way: whoever owns the port feeds them to
// TDeviceLink::OnRxdDatas on the link's thread.
class TLinkPort {
public:
    virtual ~TLinkPort() = default;

    // True while the port is open.
    virtual bool IsOpened() const = 0;
    // Opens the port with its current settings; true when open (also when it
    // already was). On failure the reason is in LastErrMsg().
    virtual bool Open() = 0;
    // Closes the port; always true.
    virtual bool Close() = 0;
    // Writes Bytes bytes and returns when they are handed to the driver.
    // 0 done, 1 write failed, 2 port not open, 4 short write (time-out); the
    // reason of 1 and 4 is in LastErrMsg().
    virtual int SendData(unsigned Bytes, const void* Data) = 0;
    // The reason of the most recent failure of Open or SendData ("" if none).
    virtual std::string LastErrMsg() const = 0;

    // Applies a line speed for the next Open; the component refuses what it
    // cannot do.
    virtual void SetBaud(unsigned Baud) = 0;
    // How the log names the port: "COM 3", or a device path when the port was
    // given as one.
    virtual std::string PortLabel() const = 0;
};

} // namespace DpuLink
