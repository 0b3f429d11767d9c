// Our VISA layer on the kernel's usbtmc driver: the device found in a fake
// sysfs tree, and a stand-in for the device behind the file-operations seam
// that checks what the driver is asked.
#include "bus/visa/OwnVisa.h"
#include "bus/visa/UsbtmcInstrument.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/usb/tmc.h>
#include <sys/ioctl.h>

using namespace velda::visa;
namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text << "\n";
}

// sys/class/usbmisc/usbtmcN/device -> sys/devices/.../<usb device>/<interface>
void addDevice(const fs::path& sys, int n, const std::string& vid, const std::string& pid,
               const std::string& serial, int iface = 0) {
    fs::path usb = sys / "devices" / "pci0000:00" / ("1-" + std::to_string(n));
    fs::path intf = usb / ("1-" + std::to_string(n) + ":1." + std::to_string(iface));
    writeFile(usb / "idVendor", vid);
    writeFile(usb / "idProduct", pid);
    if (!serial.empty())
        writeFile(usb / "serial", serial);
    writeFile(intf / "bInterfaceNumber", "0" + std::to_string(iface));
    fs::path cls = sys / "class" / "usbmisc" / ("usbtmc" + std::to_string(n));
    fs::create_directories(cls);
    fs::create_directory_symlink(intf, cls / "device");
}

// The device: records each call as text and answers from a script.
struct DeviceStandIn : FileOps {
    std::vector<std::string> calls;
    int openResult = 7;
    std::deque<std::string> transfers; // one per read()
    std::deque<bool> endOfMessage;     // MSG_IN_ATTR answer after each read
    std::string written;
    int failWith = 0;              // errno for every call once set
    std::size_t bytesPerWrite = 0; // 0 = all

    int open(const std::string& path, int flags) override {
        calls.push_back("open " + path + ((flags & O_RDWR) ? " rw" : ""));
        return openResult;
    }
    int close(int) override {
        calls.push_back("close");
        return 0;
    }
    ssize_t read(int, void* buffer, std::size_t count) override {
        calls.push_back("read " + std::to_string(count));
        if (failWith)
            return -failWith;
        if (transfers.empty())
            return -ETIMEDOUT;
        std::string t = transfers.front();
        transfers.pop_front();
        std::size_t n = std::min(t.size(), count);
        std::memcpy(buffer, t.data(), n);
        return static_cast<ssize_t>(n);
    }
    ssize_t write(int, const void* data, std::size_t count) override {
        calls.push_back("write " + std::to_string(count));
        if (failWith)
            return -failWith;
        std::size_t n = bytesPerWrite ? std::min(bytesPerWrite, count) : count;
        written.append(static_cast<const char*>(data), n);
        return static_cast<ssize_t>(n);
    }
    int ioctl(int, unsigned long request, void* arg) override {
        if (failWith)
            return -failWith;
        switch (request) {
        case USBTMC_IOCTL_SET_TIMEOUT:
            calls.push_back("timeout " + std::to_string(*static_cast<__u32*>(arg)));
            return 0;
        case USBTMC_IOCTL_CONFIG_TERMCHAR: {
            auto* t = static_cast<usbtmc_termchar*>(arg);
            calls.push_back("termchar " + std::to_string(t->term_char) + " " +
                            std::to_string(t->term_char_enabled));
            return 0;
        }
        case USBTMC_IOCTL_EOM_ENABLE:
            calls.push_back("eom " + std::to_string(*static_cast<__u8*>(arg)));
            return 0;
        case USBTMC_IOCTL_MSG_IN_ATTR: {
            bool end = endOfMessage.empty() ? true : endOfMessage.front();
            if (!endOfMessage.empty())
                endOfMessage.pop_front();
            *static_cast<__u8*>(arg) = end ? 1 : 0;
            return 0;
        }
        case USBTMC_IOCTL_CLEAR:
            calls.push_back("clear");
            return 0;
        case USBTMC_IOCTL_AUTO_ABORT:
            calls.push_back("auto_abort " + std::to_string(*static_cast<__u8*>(arg)));
            return 0;
        case USBTMC488_IOCTL_REN_CONTROL:
            calls.push_back("ren " + std::to_string(*static_cast<unsigned char*>(arg)));
            return 0;
        case USBTMC488_IOCTL_GOTO_LOCAL:
            calls.push_back("gtl");
            return 0;
        case USBTMC488_IOCTL_LOCAL_LOCKOUT:
            calls.push_back("llo");
            return 0;
        default:
            calls.push_back("ioctl ?");
            return -ENOTTY;
        }
    }
    std::vector<std::string> take() {
        auto c = std::move(calls);
        calls.clear();
        return c;
    }
};

class VisaUsbtmc : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        sys = fs::path(dir.path().toStdString()) / "sys";
        addDevice(sys, 0, "1ab1", "04ce", "DS1ZA000");
        addDevice(sys, 1, "0957", "1755", "MY49001234", 0);
        addDevice(sys, 2, "0957", "1755", "MY49009999", 1);
        addDevice(sys, 3, "0957", "1755", ""); // no serial
    }
    ViStatus open(const std::string& name) {
        OwnVisaOptions o;
        o.sysRoot = sys.string();
        o.devRoot = "/dev";
        o.fileOps = &device;
        visa = std::make_unique<OwnVisa>(o);
        EXPECT_EQ(visa->viOpenDefaultRM(&rm), VI_SUCCESS);
        return visa->viOpen(rm, name.c_str(), 0, 0, &vi);
    }
    QTemporaryDir dir;
    fs::path sys;
    DeviceStandIn device;
    std::unique_ptr<OwnVisa> visa;
    ViSession rm = 0, vi = 0;
};

} // namespace

TEST_F(VisaUsbtmc, FindsTheDeviceFileByVendorProductAndSerial) {
    struct Case {
        const char* name;
        const char* device; // "" = none
    } cases[] = {
        {"USB0::0x1AB1::0x04CE::DS1ZA000::INSTR", "/dev/usbtmc0"},
        {"USB0::6833::1230::ds1za000::INSTR", "/dev/usbtmc0"}, // the same codes in decimal
        {"USB0::0x0957::0x1755::MY49001234::INSTR", "/dev/usbtmc1"},
        {"USB0::0x0957::0x1755::MY49009999::1::INSTR", "/dev/usbtmc2"},
        {"USB0::0x0957::0x1755::MY49009999::0::INSTR", ""},
        {"USB0::0x0957::0x1756::MY49001234::INSTR", ""},
        {"USB0::0x1AB1::0x04CE::OTHER::INSTR", ""},
    };
    for (const auto& c : cases) {
        auto r = parseResourceName(c.name);
        ASSERT_TRUE(r) << c.name;
        auto found = findUsbtmcDevice(sys.string(), "/dev", *r);
        EXPECT_EQ(found.value_or(""), c.device) << c.name;
    }
}

TEST_F(VisaUsbtmc, OpenAppliesTimeOutAndTerminatorOnce) {
    ASSERT_EQ(open("USB0::0x1AB1::0x04CE::DS1ZA000::INSTR"), VI_SUCCESS);
    // A transfer that times out is aborted by the driver, so a late answer
    // cannot stand in for the next one.
    EXPECT_EQ(device.take(), (std::vector<std::string>{"open /dev/usbtmc0 rw", "auto_abort 1",
                                                       "timeout 2000", "termchar 10 0"}));
    // The driver takes no time-out below 100 ms; an unchanged value is not sent again.
    ASSERT_EQ(visa->viSetAttribute(vi, VI_ATTR_TMO_VALUE, 1), VI_SUCCESS);
    ASSERT_EQ(visa->viSetAttribute(vi, VI_ATTR_TMO_VALUE, 1), VI_SUCCESS);
    ASSERT_EQ(visa->viSetAttribute(vi, VI_ATTR_TERMCHAR, 13), VI_SUCCESS);
    ASSERT_EQ(visa->viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, 1), VI_SUCCESS);
    EXPECT_EQ(device.take(),
              (std::vector<std::string>{"timeout 100", "termchar 13 0", "termchar 13 1"}));
    EXPECT_EQ(visa->viSetAttribute(vi, 0x3FFF0001u, 1), VI_ERROR_NSUP_ATTR);
}

TEST_F(VisaUsbtmc, LongBlockGoesInPiecesWithEndOfMessageOnlyOnTheLast) {
    ASSERT_EQ(open("USB0::0x1AB1::0x04CE::DS1ZA000::INSTR"), VI_SUCCESS);
    device.take();
    std::string block(2 * UsbtmcInstrument::WritePiece + 100, 'x');
    ViUInt32 n = 0;
    ASSERT_EQ(visa->viWrite(vi, reinterpret_cast<ViConstBuf>(block.data()),
                            static_cast<ViUInt32>(block.size()), &n),
              VI_SUCCESS);
    EXPECT_EQ(n, block.size());
    EXPECT_EQ(device.written, block);
    EXPECT_EQ(device.take(), (std::vector<std::string>{"eom 0", "write 65536", "write 65536",
                                                       "eom 1", "write 100"}));
    // A short message needs no switching.
    ASSERT_EQ(visa->viWrite(vi, reinterpret_cast<ViConstBuf>("*RST\n"), 5, &n), VI_SUCCESS);
    EXPECT_EQ(device.take(), (std::vector<std::string>{"write 5"}));
    // Without END the end of message stays off.
    ASSERT_EQ(visa->viSetAttribute(vi, VI_ATTR_SEND_END_EN, 0), VI_SUCCESS);
    ASSERT_EQ(visa->viWrite(vi, reinterpret_cast<ViConstBuf>("AB"), 2, &n), VI_SUCCESS);
    EXPECT_EQ(device.take(), (std::vector<std::string>{"eom 0", "write 2"}));
}

TEST_F(VisaUsbtmc, ReadsTransfersUntilTheMessageEnds) {
    ASSERT_EQ(open("USB0::0x1AB1::0x04CE::DS1ZA000::INSTR"), VI_SUCCESS);
    device.take();
    device.transfers = {"1.000", "E+00", "\n"};
    device.endOfMessage = {false, false, true};
    unsigned char buf[256];
    ViUInt32 n = 0;
    EXPECT_EQ(visa->viRead(vi, buf, sizeof buf, &n), VI_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), n), "1.000E+00\n");
    EXPECT_EQ(device.take(), (std::vector<std::string>{"read 256", "read 251", "read 247"}));
    // A full buffer before the end: VI_SUCCESS_MAX_CNT, the rest stays for later.
    device.transfers = {"ABCD", "EF"};
    device.endOfMessage = {false, true};
    EXPECT_EQ(visa->viRead(vi, buf, 4, &n), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(n, 4u);
    // The terminator ends the message even without the end flag.
    ASSERT_EQ(visa->viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, 1), VI_SUCCESS);
    device.transfers = {"OK\n"};
    device.endOfMessage = {false};
    device.take();
    EXPECT_EQ(visa->viRead(vi, buf, sizeof buf, &n), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(device.take(), (std::vector<std::string>{"read 256"}));
}

TEST_F(VisaUsbtmc, RemoteLocalAndClearGoToTheDriver) {
    ASSERT_EQ(open("USB0::0x1AB1::0x04CE::DS1ZA000::INSTR"), VI_SUCCESS);
    device.take();
    struct Case {
        ViUInt16 mode;
        std::vector<std::string> calls;
    } cases[] = {
        {VI_GPIB_REN_ASSERT, {"ren 1"}},
        {VI_GPIB_REN_DEASSERT, {"ren 0"}},
        {VI_GPIB_REN_DEASSERT_GTL, {"gtl", "ren 0"}},
        {VI_GPIB_REN_ASSERT_LLO, {"llo"}},
        {VI_GPIB_REN_ASSERT_ADDRESS_LLO, {"ren 1", "llo"}},
        {VI_GPIB_REN_ADDRESS_GTL, {"gtl"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(visa->viGpibControlREN(vi, c.mode), VI_SUCCESS) << c.mode;
        EXPECT_EQ(device.take(), c.calls) << c.mode;
    }
    EXPECT_EQ(visa->viGpibControlREN(vi, 7), VI_ERROR_INV_MODE);
    EXPECT_EQ(visa->viClear(vi), VI_SUCCESS);
    EXPECT_EQ(device.take(), (std::vector<std::string>{"clear"}));
}

TEST_F(VisaUsbtmc, FailuresGiveAStatusAndASentence) {
    struct Case {
        const char* what;
        int openResult;
        int failWith; // after a good open
        ViStatus status;
        const char* messagePart;
    } cases[] = {
        {"not allowed", -EACCES, 0, VI_ERROR_NPERMISSION, UsbtmcRuleFile},
        {"in use", -EBUSY, 0, VI_ERROR_RSRC_BUSY, "in use"},
        {"gone on write", 7, ENODEV, VI_ERROR_CONN_LOST, "no longer there"},
        {"times out", 7, ETIMEDOUT, VI_ERROR_TMO, "timed out"},
        {"i/o error", 7, EIO, VI_ERROR_IO, "failed"},
    };
    for (const auto& c : cases) {
        device = DeviceStandIn{};
        device.openResult = c.openResult;
        ViStatus st = open("USB0::0x1AB1::0x04CE::DS1ZA000::INSTR");
        if (c.openResult < 0) {
            EXPECT_EQ(st, c.status) << c.what;
        } else {
            ASSERT_EQ(st, VI_SUCCESS) << c.what;
            device.failWith = c.failWith;
            ViUInt32 n = 0;
            EXPECT_EQ(visa->viWrite(vi, reinterpret_cast<ViConstBuf>("X\n"), 2, &n), c.status)
                << c.what;
            unsigned char buf[8];
            EXPECT_EQ(visa->viRead(vi, buf, sizeof buf, &n), c.status) << c.what;
        }
        EXPECT_NE(visa->lastMessage().find(c.messagePart), std::string::npos)
            << c.what << ": " << visa->lastMessage();
        EXPECT_NE(visa->lastMessage().find("/dev/usbtmc0"), std::string::npos) << c.what;
    }
}

// The rule the message names ships, and its tag is set before the seat
// rules (73-seat-late) turn it into access; a later number grants nothing.
TEST(UsbtmcRule, TheNamedRuleShipsAndRunsBeforeTheSeatRules) {
    QFile rule(QStringLiteral(VELDA_SOURCE_DIR "/data/") + QLatin1String(UsbtmcRuleFile));
    ASSERT_TRUE(rule.open(QIODevice::ReadOnly));
    EXPECT_TRUE(rule.readAll().contains("TAG+=\"uaccess\""));
    EXPECT_LT(std::string(UsbtmcRuleFile), "73-");
    EXPECT_NE(usbtmcPermissionMessage("/dev/usbtmc0").find(UsbtmcRuleFile), std::string::npos);
}

TEST_F(VisaUsbtmc, UnknownDeviceIsNotFound) {
    EXPECT_EQ(open("USB0::0x1234::0x5678::NONE::INSTR"), VI_ERROR_RSRC_NFOUND);
    EXPECT_TRUE(device.calls.empty());
    EXPECT_EQ(open("GPIB0::5::INSTR"), VI_ERROR_RSRC_NFOUND);
    EXPECT_NE(visa->lastMessage().find("GPIB0::5::INSTR"), std::string::npos);
}
