#include "serial/tposixuartport_unix.h"

#include "serial/custombaud_unix.h"
#include "serial/fdwait_unix.h"
#include "serial/uartevents.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace YVclCtrl {

namespace {

speed_t StandardSpeed(unsigned baud) {
    switch (baud) {
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    default:
        return B0;
    }
}

} // namespace

std::unique_ptr<TUartPort> CreatePlatformUartPort() {
    return std::make_unique<TPosixUartPort>();
}

TPosixUartPort::~TPosixUartPort() {
    Close();
}

const char* TPosixUartPort::KindOf(unsigned Mode) {
    if (S_ISREG(Mode)) return "a regular file";
    if (S_ISDIR(Mode)) return "a folder";
    if (S_ISFIFO(Mode)) return "a FIFO";
    if (S_ISSOCK(Mode)) return "a socket";
    if (S_ISBLK(Mode)) return "a block device";
    return "not a device";
}

TPortFailure TPosixUartPort::ReasonOf(int Err) {
    switch (Err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return TPortFailure::NotFound;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
        return TPortFailure::AccessDenied;
    case ENOTTY:
        return TPortFailure::NotADevice;
    default:
        return TPortFailure::Other;
    }
}

bool TPosixUartPort::NotSupported(int Err) {
    return Err == ENOTTY || Err == EINVAL;
}

bool TPosixUartPort::Fail(int Err) {
    Errno = Err;
    return false;
}

bool TPosixUartPort::Open(const std::string& Device, bool WriteThroughFlag) {
    Failure = TPortFailure::None;
    FailureDetail.clear();
    Errno = 0;
    if (Fd >= 0) return true;
    // Only a character device can be a serial port. A regular file or a FIFO
    // opens and even takes the lock, a folder fails with a reason that hides
    // the real mistake: each is refused here, named.
    struct stat st {};
    const bool exists = ::stat(Device.c_str(), &st) == 0;
    if (exists && !S_ISCHR(st.st_mode)) {
        Errno = ENOTTY;
        Failure = ReasonOf(Errno);
        FailureDetail = std::string("not a serial port (") + KindOf(st.st_mode) + ")";
        return false;
    }
    const int fd = ::open(Device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Errno = errno;
        Failure = ReasonOf(Errno);
        // A device node that is there but answers "no such device" (/dev/tty
        // without a controlling terminal) does exist: say what the system said.
        if (exists && Failure == TPortFailure::NotFound) {
            Failure = TPortFailure::Other;
            FailureDetail = std::strerror(Errno);
        }
        return false;
    }
    // A second opener (even root, whom TIOCEXCL does not stop) finds the lock.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        Errno = errno;
        Failure = ReasonOf(Errno);
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    // Bytes that arrived for an earlier opener (a reply it never read) are no
    // answer to this one: a stale ACK would end the next transfer as done.
    ::tcflush(fd, TCIFLUSH);
    Fd = fd;
    WriteThrough = WriteThroughFlag;

    // Adapters hold received bytes up to their latency timer; ask for low
    // latency and live with a refusal.
    serial_struct ss{};
    if (::ioctl(Fd, TIOCGSERIAL, &ss) == 0 && !(ss.flags & ASYNC_LOW_LATENCY)) {
        ss.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(Fd, TIOCSSERIAL, &ss);
    }
    serial_icounter_struct ic{};
    HaveCounters = ::ioctl(Fd, TIOCGICOUNT, &ic) == 0;
    if (HaveCounters) {
        LastCounts[0] = ic.frame;
        LastCounts[1] = ic.parity;
        LastCounts[2] = ic.brk;
        LastCounts[3] = ic.overrun;
        LastCounts[4] = ic.buf_overrun;
    }
    return true;
}

bool TPosixUartPort::SetQueues(unsigned, unsigned) {
    // The kernel sizes its own queues; the component bounds each read by its
    // receive buffer instead.
    return Fd >= 0 ? true : Fail(EBADF);
}

bool TPosixUartPort::Configure(const TUartLineSettings& s) {
    termios tio{};
    if (::tcgetattr(Fd, &tio) != 0) {
        const int err = errno;
        FailureDetail =
            err == ENOTTY ? "not a serial port (a device that is no terminal)" : std::strerror(err);
        return Fail(err);
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= s.DataBits == 7 ? CS7 : CS8;
    tio.c_iflag &= ~(INPCK | IGNPAR | PARMRK | ISTRIP | IXON | IXOFF | IXANY);
    if (s.Parity != 0) {
        tio.c_cflag |= PARENB;
        if (s.Parity == 1) tio.c_cflag |= PARODD;
        // Marked so that a damaged byte can be told from a good one and
        // replaced by a line feed.
        tio.c_iflag |= INPCK | PARMRK;
    }
    ParityMarks = s.Parity != 0;
    Marks.Reset();
    if (s.StopBits == 2) tio.c_cflag |= CSTOPB;
    // The driver knows one hardware handshake: CTS gates output and RTS is
    // driven by the input queue, both together.
    if (s.CtsOutFlow || s.Rts == TUartLineSettings::lm_Handshake) tio.c_cflag |= CRTSCTS;
    DsrOutFlow = s.DsrOutFlow;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    const speed_t speed = StandardSpeed(s.Baud);
    if (speed != B0) {
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
    }
    if (::tcsetattr(Fd, TCSANOW, &tio) != 0) return Fail(errno);
    if (speed == B0 && !SetCustomBaud(Fd, s.Baud)) return Fail(errno);
    SetCharacterTime(s.Baud, 1 + s.DataBits + (s.Parity != 0 ? 1 : 0) + s.StopBits);
    return true;
}

bool TPosixUartPort::SetTimeouts(const TUartTimeouts& t) {
    if (Fd < 0) return Fail(EBADF);
    Timeouts = t;
    return true;
}

bool TPosixUartPort::SetModemLine(TModemLine Line, bool On) {
    if (Fd < 0) return Fail(EBADF);
    int bits = Line == ml_Dtr ? TIOCM_DTR : TIOCM_RTS;
    if (::ioctl(Fd, On ? TIOCMBIS : TIOCMBIC, &bits) != 0 && !NotSupported(errno))
        return Fail(errno);
    return true;
}

bool TPosixUartPort::Close() {
    if (Fd < 0) return true;
    ::ioctl(Fd, TIOCNXCL);
    const int rc = ::close(Fd); // also drops the flock
    Fd = -1;
    if (rc != 0 && errno != EINTR) return Fail(errno);
    return true;
}

bool TPosixUartPort::WaitWriteAllowed(const TDeadline& Deadline, int CancelFd) {
    // The driver has no DSR handshake: hold the data back ourselves while the
    // peer lowers DSR. Drivers without modem lines never hold.
    if (!DsrOutFlow) return true;
    for (;;) {
        unsigned bits = 0;
        if (!ModemStatus(bits) || (bits & MS_DSR_ON)) return true;
        if (Deadline.Expired()) return false;
        if (CancelFd >= 0) {
            pollfd p{CancelFd, POLLIN, 0};
            if (::poll(&p, 1, 1) > 0) return false;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

long TPosixUartPort::Write(const void* Data, size_t Bytes, TWriteCancel Cancel) {
    if (Fd < 0) {
        Errno = EBADF;
        return -1;
    }
    const int cancelFd = Cancel == TWriteCancel::OnInterrupt ? InterruptFd() : -1;
    const TDeadline deadline(Timeouts.WriteTotalMs);
    const char* p = static_cast<const char*>(Data);
    size_t done = 0;
    while (done < Bytes) {
        if (!WaitWriteAllowed(deadline, cancelFd)) return static_cast<long>(done);
        const ssize_t n = ::write(Fd, p + done, Bytes - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            Errno = errno;
            return -1;
        }
        const TDeadline::TWaitResult w = WaitFd(deadline, Fd, POLLOUT, cancelFd);
        if (w == TDeadline::wr_Timeout || w == TDeadline::wr_Cancelled)
            return static_cast<long>(done);
        if (w == TDeadline::wr_Failed) {
            Errno = errno;
            return -1;
        }
    }
    if (WriteThrough) {
        // Written through: back only when the transmitter has sent it all.
        for (;;) {
            const long q = OutQueue();
            if (q <= 0) break;
            if (deadline.Expired())
                return q >= static_cast<long>(Bytes) ? 0 : static_cast<long>(Bytes) - q;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }
    return static_cast<long>(done);
}

long TPosixUartPort::Read(void* Data, size_t Bytes) {
    if (Fd < 0) {
        Errno = EBADF;
        return -1;
    }
    char* buffer = static_cast<char*>(Data);
    // Room for the part of a marker left over from the previous read.
    const bool marks = ParityMarks && Bytes > 2;
    const size_t carried = marks ? Marks.Prepare(buffer) : 0;
    const size_t room = marks ? Bytes - 2 : Bytes;
    for (;;) {
        const ssize_t n = ::read(Fd, buffer + carried, room);
        if (n > 0) {
            if (!marks) return static_cast<long>(n);
            return static_cast<long>(Marks.Decode(buffer, carried + static_cast<size_t>(n)));
        }
        if (n == 0) {
            if (Bytes == 0) return 0;
            // End of file on a terminal: the other side has gone.
            Errno = EIO;
            return -1;
        }
        if (errno == EINTR) continue;
        if (carried) Marks.Decode(buffer, carried); // keep the carried bytes for later
        if (errno == EAGAIN) return 0;
        Errno = errno;
        return -1;
    }
}

long TPosixUartPort::OutQueue() {
    int n = 0;
    if (::ioctl(Fd, TIOCOUTQ, &n) != 0) {
        if (NotSupported(errno)) return 0;
        Errno = errno;
        return -1;
    }
    return n;
}

bool TPosixUartPort::ModemStatus(unsigned& Bits) {
    Bits = 0;
    int m = 0;
    if (Fd < 0 || ::ioctl(Fd, TIOCMGET, &m) != 0) return false;
    if (m & TIOCM_CTS) Bits |= MS_CTS_ON;
    if (m & TIOCM_DSR) Bits |= MS_DSR_ON;
    if (m & TIOCM_RI) Bits |= MS_RING_ON;
    if (m & TIOCM_CD) Bits |= MS_RLSD_ON;
    return true;
}

bool TPosixUartPort::LineErrors(unsigned long& Flags) {
    Flags = 0;
    if (!HaveCounters || Fd < 0) return false;
    serial_icounter_struct ic{};
    if (::ioctl(Fd, TIOCGICOUNT, &ic) != 0) return false;
    const unsigned now[5] = {static_cast<unsigned>(ic.frame), static_cast<unsigned>(ic.parity),
                             static_cast<unsigned>(ic.brk), static_cast<unsigned>(ic.overrun),
                             static_cast<unsigned>(ic.buf_overrun)};
    static const unsigned long flag[5] = {CE_FRAME, CE_RXPARITY, CE_BREAK, CE_OVERRUN, CE_RXOVER};
    for (int i = 0; i < 5; ++i) {
        if (now[i] != LastCounts[i]) Flags |= flag[i];
        LastCounts[i] = now[i];
    }
    return true;
}

bool TPosixUartPort::Gone() const {
    return Errno == EIO || Errno == ENXIO || Errno == ENODEV;
}

} // namespace YVclCtrl
