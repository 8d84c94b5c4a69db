#include "fieldbus/tpcuart.h"
#include "serial/tcustomuart.h"
#include "support/terrorboxrecorder.h"
#include "support/tptypair.h"
#include "support/waithelpers.h"
#include "util/exception.h"

#include <QDir>
#include <QVariant>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace YVclCtrl;

namespace {

const char* const kInvalidSelection =
    "Invalid selection !!!\n Because FlowCtrlStyle != fcs_Hardware";

struct Uart : ::testing::Test {
    Uart() { U.setObjectName("PcUart1"); }
    TErrorBoxRecorder Errors;
    OrvCtrl::TPcUart U;

    std::string LastBoxText() const {
        auto boxes = Errors.Boxes();
        return boxes.empty() ? std::string() : boxes.back().Text;
    }
};

} // namespace

TEST_F(Uart, InitialValues) {
    EXPECT_EQ(U.pr_UartPortNumber(), 1u);
    EXPECT_EQ(U.pr_UartBaud(), 9600u);
    EXPECT_EQ(U.pr_UartBitsPerByte(), 8u);
    EXPECT_EQ(U.pr_SysUartTxdQueueSize(), 1024u);
    EXPECT_EQ(U.pr_SysUartRxdQueueSize(), 1024u);
    EXPECT_EQ(U.pr_SysUartRxdIntervalTimeout(), 3u);
    EXPECT_EQ(U.pr_RxdFilter_DelimiterChar(), '\n');
    EXPECT_EQ(U.pr_RxdFilter_BytesOfPacket(), 1u);
    EXPECT_FALSE(U.pr_IsOpened());
    EXPECT_EQ(Errors.Count(), 0u);
}

TEST_F(Uart, NumericSettersRefuseOutOfRange) {
    U.pw_UartPortNumber(5);
    U.pw_UartPortNumber(0);
    EXPECT_EQ(U.pr_UartPortNumber(), 5u);
    U.pw_UartPortNumber(17);
    EXPECT_EQ(U.pr_UartPortNumber(), 5u);
    ASSERT_EQ(Errors.Count(), 2u);
    EXPECT_EQ(Errors.Boxes()[0].Caption, "PcUart1");
    EXPECT_EQ(Errors.Boxes()[0].Text, "Invalid value !!!");

    U.pw_UartBaud(115200);
    U.pw_UartBaud(299);
    EXPECT_EQ(U.pr_UartBaud(), 9600u);
    EXPECT_EQ(LastBoxText(), "Invalid or unsupported value !!!");
    U.pw_UartBaud(921601);
    EXPECT_EQ(U.pr_UartBaud(), 9600u);
    U.pw_UartBaud(921600);
    EXPECT_EQ(U.pr_UartBaud(), 921600u);

    U.pw_UartBitsPerByte(7);
    U.pw_UartBitsPerByte(6);
    EXPECT_EQ(U.pr_UartBitsPerByte(), 7u);
    EXPECT_EQ(LastBoxText(), "Invalid value !!!");

    U.pw_SysUartTxdQueueSize(1023);
    EXPECT_EQ(U.pr_SysUartTxdQueueSize(), 1024u);
    EXPECT_EQ(LastBoxText(), "Invalid value !!!\n Because SysUartTxdQueueSize must >= 1024");
    U.pw_SysUartRxdQueueSize(100);
    EXPECT_EQ(U.pr_SysUartRxdQueueSize(), 1024u);
    EXPECT_EQ(LastBoxText(), "Invalid value !!!\n Because SysUartRxdQueueSize must >= 1024");
}

TEST_F(Uart, BytesOfPacketBoundedByReceiveQueue) {
    U.pw_BytesOfRxdPacket(1024);
    EXPECT_EQ(U.pr_RxdFilter_BytesOfPacket(), 1024u);
    EXPECT_EQ(Errors.Count(), 0u);
    U.pw_BytesOfRxdPacket(1025);
    EXPECT_EQ(U.pr_RxdFilter_BytesOfPacket(), 1024u);
    EXPECT_EQ(LastBoxText(), "Invalid value \nBecause great then SysUartRxdQueueSize");
    U.pw_BytesOfRxdPacket(0);
    EXPECT_EQ(U.pr_RxdFilter_BytesOfPacket(), 1u);
    EXPECT_EQ(LastBoxText(), "Invalid value !!!\n Because this value must >= 1");
    U.pw_SysUartRxdQueueSize(4096);
    U.pw_BytesOfRxdPacket(4096);
    EXPECT_EQ(U.pr_RxdFilter_BytesOfPacket(), 4096u);
}

TEST_F(Uart, FlowControlSelectionFollowsStyle) {
    U.pw_FlowCtrlHwTxd(fcht_DSR);
    EXPECT_EQ(U.pr_FlowCtrlHwTxd(), fcht_None);
    EXPECT_EQ(LastBoxText(), kInvalidSelection);
    U.pw_FlowCtrlHwRxd(fchr_DTR);
    EXPECT_EQ(U.pr_FlowCtrlHwRxd(), fchr_None);
    EXPECT_EQ(Errors.Count(), 2u);

    U.pw_FlowCtrlStyle(fcs_Hardware);
    EXPECT_EQ(U.pr_FlowCtrlHwRxd(), fchr_None);
    EXPECT_EQ(U.pr_FlowCtrlHwTxd(), fcht_CTS);
    U.pw_FlowCtrlHwTxd(fcht_DSR_CTS);
    U.pw_FlowCtrlHwRxd(fchr_RTS);
    EXPECT_EQ(U.pr_FlowCtrlHwTxd(), fcht_DSR_CTS);
    EXPECT_EQ(U.pr_FlowCtrlHwRxd(), fchr_RTS);
    EXPECT_EQ(Errors.Count(), 2u);

    // Back to none resets both quietly.
    U.pw_FlowCtrlStyle(fcs_None);
    EXPECT_EQ(U.pr_FlowCtrlHwTxd(), fcht_None);
    EXPECT_EQ(U.pr_FlowCtrlHwRxd(), fchr_None);
    EXPECT_EQ(Errors.Count(), 2u);
}

TEST_F(Uart, PublishedPropertiesGoThroughTheSetters) {
    EXPECT_TRUE(U.setProperty("UartBaud", 115200u));
    EXPECT_EQ(U.pr_UartBaud(), 115200u);
    U.setProperty("UartPortNumber", 40u);
    EXPECT_EQ(U.pr_UartPortNumber(), 1u);
    EXPECT_EQ(LastBoxText(), "Invalid value !!!");
    U.setProperty("RxdFilter_Style", static_cast<int>(rfs_ByBytesOfPacket));
    EXPECT_EQ(U.pr_RxdFilter_Style(), rfs_ByBytesOfPacket);
    EXPECT_EQ(U.property("RxdFilter_DelimiterChar").toInt(), 0x0A);
}

TEST_F(Uart, OpenAbsentDeviceFails) {
    U.pw_UartDevicePath("/dev/no-such-serial-device");
    EXPECT_FALSE(U.Open());
    EXPECT_EQ(U.pr_LastErrMsg(), "The comm device not exist");
    EXPECT_FALSE(U.pr_IsOpened());
    EXPECT_TRUE(U.Close());
}

TEST_F(Uart, OpenNonTerminalFailsOnConfig) {
    U.pw_UartDevicePath("/dev/null");
    EXPECT_FALSE(U.Open());
    EXPECT_EQ(U.pr_LastErrMsg(), "Can not set comm config");
    EXPECT_EQ(U.pr_LastErrDetail(), "not a serial port (a device that is no terminal)");
    EXPECT_FALSE(U.pr_IsOpened());
}

// What is no serial port gets its reason on a line of its own, and a device
// that is there but refuses is not called absent.
TEST_F(Uart, OpenOfWhatIsNoSerialPortSaysWhy) {
    const std::string dir =
        QDir::tempPath().toStdString() + "/serial_kinds_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& [path, detail] :
         {std::pair<std::string, std::string>{fifo, "(a FIFO)"}, {dir, "(a folder)"}}) {
        U.pw_UartDevicePath(path);
        EXPECT_FALSE(U.Open()) << path;
        EXPECT_EQ(U.pr_LastErrMsg(), "Can not open comm device file") << path;
        EXPECT_EQ(U.pr_LastErrDetail(), "not a serial port " + detail) << path;
    }
    std::filesystem::remove_all(dir);
    U.pw_UartDevicePath("/dev/no-such-serial-device");
    EXPECT_FALSE(U.Open());
    EXPECT_EQ(U.pr_LastErrDetail(), "");

    // /dev/tty without a controlling terminal (as under the test runner).
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_NONBLOCK);
    const int err = errno;
    if (fd >= 0) ::close(fd);
    if (fd >= 0 || err != ENXIO) GTEST_SKIP() << "this process has a controlling terminal";
    U.pw_UartDevicePath("/dev/tty");
    EXPECT_FALSE(U.Open());
    EXPECT_EQ(U.pr_LastErrMsg(), "Can not open comm device file");
    EXPECT_EQ(U.pr_LastErrDetail(), std::strerror(ENXIO));
}

TEST_F(Uart, OpenRegularFileRefusedAsNoSerialPort) {
    // Named straight, through a COM link, and read-only (which must not read
    // as "opened by another").
    const std::string dir =
        QDir::tempPath().toStdString() + "/serial_regular_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    const std::string file = dir + "/somefile";
    std::ofstream(file) << "not a port\n";
    const std::string link = dir + "/COM7";
    std::filesystem::create_symlink(file, link);
    const std::string readOnly = dir + "/readonly";
    std::ofstream(readOnly) << "x";
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    for (const std::string& path : {file, link, readOnly}) {
        U.pw_UartDevicePath(path);
        EXPECT_FALSE(U.Open()) << path;
        // The component's own text stays the fixed one; the reason is apart.
        EXPECT_EQ(U.pr_LastErrMsg(), "Can not open comm device file") << path;
        EXPECT_EQ(U.pr_LastErrDetail(), "not a serial port (a regular file)") << path;
        EXPECT_FALSE(U.pr_IsOpened());
    }
    std::ifstream in(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not a port\n");
    std::filesystem::remove_all(dir);
}

TEST_F(Uart, OpenCloseTwiceAndExclusive) {
    TPtyPair pty;
    U.pw_UartDevicePath(pty.SlavePath);
    U.pw_UartBaud(115200);
    ASSERT_TRUE(U.Open()) << U.pr_LastErrMsg();
    EXPECT_TRUE(U.pr_IsOpened());
    EXPECT_TRUE(U.Open());
    EXPECT_TRUE(U.pr_LastErrMsg().empty());

    OrvCtrl::TPcUart other;
    other.pw_UartDevicePath(pty.SlavePath);
    EXPECT_FALSE(other.Open());
    EXPECT_EQ(other.pr_LastErrMsg(), "The comm device can not access (may be opened by another)");

    EXPECT_TRUE(U.Close());
    EXPECT_FALSE(U.pr_IsOpened());
    EXPECT_TRUE(U.Close());
    EXPECT_TRUE(other.Open()) << other.pr_LastErrMsg();
    EXPECT_TRUE(other.Close());
    ASSERT_TRUE(U.Open());
}

TEST_F(Uart, LineStatesOnlyWhileOpen) {
    EXPECT_THROW(U.pr_CtsState(), YVclUtil::Exception);
    try {
        U.pr_DsrState();
        FAIL();
    } catch (const YVclUtil::Exception& e) {
        EXPECT_STREQ(e.what(),
                     "Illegal property access, because TCustomUart not in opened state !!!");
    }
    TPtyPair pty;
    U.pw_UartDevicePath(pty.SlavePath);
    ASSERT_TRUE(U.Open());
    // A pseudo-terminal has no modem lines: they read low, without failing.
    EXPECT_FALSE(U.pr_RiState());
    EXPECT_FALSE(U.pr_CdState());
    EXPECT_FALSE(U.pr_DsrState());
    EXPECT_FALSE(U.pr_CtsState());
}

TEST_F(Uart, LineSettingsReachTheDriver) {
    TPtyPair pty;
    U.pw_UartDevicePath(pty.SlavePath);
    U.pw_UartBaud(38400);
    U.pw_UartBitsPerByte(7);
    U.pw_UartParityBit(upb_Even);
    U.pw_UartStopBits(usb_2bits);
    ASSERT_TRUE(U.Open()) << U.pr_LastErrMsg();
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.Slave, &tio), 0);
    // A pseudo-terminal always keeps 8 bits without parity; the input check shows.
    EXPECT_TRUE(tio.c_iflag & INPCK);
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(tio.c_lflag & ICANON);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B38400));
    U.Close();

    // A speed without a Bnnn constant.
    U.pw_UartBaud(250000);
    U.pw_UartParityBit(upb_Odd);
    U.pw_FlowCtrlStyle(fcs_Hardware);
    ASSERT_TRUE(U.Open()) << U.pr_LastErrMsg();
    ASSERT_EQ(::tcgetattr(pty.Slave, &tio), 0);
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
    EXPECT_EQ(tio.c_cflag & CBAUD, static_cast<tcflag_t>(0010000) /* BOTHER */);
}

TEST_F(Uart, SendDataResults) {
    EXPECT_EQ(U.SendData(3, "abc"), 2);
    EXPECT_TRUE(U.pr_LastErrMsg().empty());
    EXPECT_EQ(U.SendData_printf("%d", 5), 2);

    TPtyPair pty;
    U.pw_UartDevicePath(pty.SlavePath);
    ASSERT_TRUE(U.Open());
    EXPECT_EQ(U.SendData(5, "hello"), 0);
    EXPECT_EQ(pty.Read(5), "hello");
    EXPECT_EQ(U.SendData_printf("T%02d:%s", 7, "ok"), 0);
    EXPECT_EQ(pty.Read(6), "T07:ok");
    EXPECT_EQ(U.SendData(0, nullptr), 0);

    // A block larger than the pseudo-terminal takes at once still goes out whole.
    std::string big(20000, 'x');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i % 26);
    std::string got;
    std::thread reader([&] {
        // The device side drains while SendData waits for room.
        got = pty.Read(big.size(), 5000);
    });
    EXPECT_EQ(U.SendData(static_cast<unsigned>(big.size()), big.data()), 0);
    reader.join();
    EXPECT_EQ(got, big);
}
