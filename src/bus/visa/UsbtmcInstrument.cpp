#include "bus/visa/UsbtmcInstrument.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/usb/tmc.h>
#include <sys/ioctl.h>
#include <vector>

namespace velda::visa {

namespace fs = std::filesystem;

namespace {

std::string firstLine(const fs::path& p) {
    std::ifstream in(p);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    return line;
}

std::optional<unsigned long> hexValue(std::string s) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        s = s.substr(2);
    if (s.empty() || s.size() > 8)
        return std::nullopt;
    unsigned long v = 0;
    for (char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        v = v * 16 + static_cast<unsigned long>(std::isdigit(static_cast<unsigned char>(c))
                                                    ? c - '0'
                                                    : std::tolower(c) - 'a' + 10);
    }
    return v;
}

bool sameText(std::string a, std::string b) {
    auto low = [](std::string& s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    };
    low(a);
    low(b);
    return a == b;
}

} // namespace

std::optional<std::string> findUsbtmcDevice(const std::string& sysRoot, const std::string& devRoot,
                                            const ResourceName& name) {
    std::error_code ec;
    fs::path cls = fs::path(sysRoot) / "class" / "usbmisc";
    std::vector<std::string> entries;
    for (const auto& e : fs::directory_iterator(cls, ec)) {
        std::string n = e.path().filename().string();
        if (n.rfind("usbtmc", 0) == 0)
            entries.push_back(n);
    }
    std::sort(entries.begin(), entries.end());
    for (const auto& n : entries) {
        fs::path iface = fs::canonical(cls / n / "device", ec);
        if (ec)
            continue;
        fs::path usb = iface.parent_path();
        auto vid = hexValue(firstLine(usb / "idVendor"));
        auto pid = hexValue(firstLine(usb / "idProduct"));
        if (!vid || !pid || *vid != name.vendor || *pid != name.product)
            continue;
        // Resource names reach us upper-cased by the initialisation text, so
        // serials compare without regard to case.
        if (!sameText(firstLine(usb / "serial"), name.serial))
            continue;
        if (name.interfaceNumber >= 0) {
            auto num = hexValue(firstLine(iface / "bInterfaceNumber"));
            if (!num || static_cast<int>(*num) != name.interfaceNumber)
                continue;
        }
        return (fs::path(devRoot) / n).string();
    }
    return std::nullopt;
}

std::string usbtmcPermissionMessage(const std::string& path) {
    return "Permission denied on " + path + ". Copy " + std::string(UsbtmcRuleFile) +
           " from the program's data folder (share/velda) to /etc/udev/rules.d/, run \"sudo "
           "udevadm control --reload-rules && sudo udevadm trigger\" and plug the "
           "instrument in again.";
}

std::unique_ptr<UsbtmcInstrument> UsbtmcInstrument::open(FileOps& ops, const std::string& path,
                                                         ViStatus* status, std::string* message) {
    int fd = ops.open(path, O_RDWR);
    if (fd < 0) {
        if (fd == -EACCES || fd == -EPERM) {
            *message = usbtmcPermissionMessage(path);
            *status = VI_ERROR_NPERMISSION;
        } else if (fd == -EBUSY) {
            *message = path + " is in use by another program";
            *status = VI_ERROR_RSRC_BUSY;
        } else {
            *message = "Cannot open " + path + ": " + std::strerror(-fd);
            *status = VI_ERROR_RSRC_NFOUND;
        }
        return nullptr;
    }
    // Without this the driver leaves a timed-out transfer in the device: its
    // late answer would then be read, and refused, as the next one, and so
    // on for every query after it. A driver too old to know it keeps the
    // old behaviour; nothing better can be had there.
    __u8 abortOnFailure = 1;
    ops.ioctl(fd, USBTMC_IOCTL_AUTO_ABORT, &abortOnFailure);
    *status = VI_SUCCESS;
    message->clear();
    return std::unique_ptr<UsbtmcInstrument>(new UsbtmcInstrument(ops, fd, path));
}

UsbtmcInstrument::UsbtmcInstrument(FileOps& ops, int fd, std::string path)
    : ops_(ops), fd_(fd), path_(std::move(path)) {}

UsbtmcInstrument::~UsbtmcInstrument() {
    ops_.close(fd_);
}

ViStatus UsbtmcInstrument::fail(long err, const char* what) {
    if (err == -ETIMEDOUT) {
        message_ = std::string(what) + " on " + path_ + " timed out";
        return VI_ERROR_TMO;
    }
    if (err == -ENODEV || err == -ESHUTDOWN || err == -ENOENT) {
        message_ = "The USB device " + path_ + " is no longer there";
        return VI_ERROR_CONN_LOST;
    }
    message_ =
        std::string(what) + " on " + path_ + " failed: " + std::strerror(static_cast<int>(-err));
    return VI_ERROR_IO;
}

ViStatus UsbtmcInstrument::setEom(bool on) {
    if (eomOn_ == on)
        return VI_SUCCESS;
    __u8 flag = on ? 1 : 0;
    int r = ops_.ioctl(fd_, USBTMC_IOCTL_EOM_ENABLE, &flag);
    if (r < 0)
        return fail(r, "Switching the end of message");
    eomOn_ = on;
    return VI_SUCCESS;
}

ViStatus UsbtmcInstrument::write(const unsigned char* data, std::size_t count,
                                 const SessionSettings& settings, std::size_t* written) {
    *written = 0;
    do {
        std::size_t piece = std::min(count - *written, WritePiece);
        bool last = *written + piece == count;
        // Only the last piece of a message carries the end of message.
        if (ViStatus s = setEom(last && settings.sendEnd); s != VI_SUCCESS)
            return s;
        ssize_t n = ops_.write(fd_, data + *written, piece);
        if (n < 0)
            return fail(n, "Writing");
        if (n == 0 && piece > 0) {
            message_ = "Writing on " + path_ + " made no progress";
            return VI_ERROR_IO;
        }
        *written += static_cast<std::size_t>(n);
    } while (*written < count);
    return VI_SUCCESS;
}

ViStatus UsbtmcInstrument::read(unsigned char* buffer, std::size_t count,
                                const SessionSettings& settings, std::size_t* got) {
    *got = 0;
    while (*got < count) {
        ssize_t n = ops_.read(fd_, buffer + *got, count - *got);
        if (n < 0)
            return fail(n, "Reading");
        *got += static_cast<std::size_t>(n);
        // One read is one USB transfer; the message may go on in the next.
        __u8 attr = 0;
        int r = ops_.ioctl(fd_, USBTMC_IOCTL_MSG_IN_ATTR, &attr);
        if (r < 0 && r != -ENOTTY && r != -EINVAL)
            return fail(r, "Reading the message state");
        bool ended = r < 0 || (attr & 0x01) != 0 || n == 0; // old drivers read whole messages
        bool atTerm = settings.termCharEnabled && n > 0 && buffer[*got - 1] == settings.termChar;
        if (atTerm)
            return VI_SUCCESS_TERM_CHAR;
        if (ended)
            return VI_SUCCESS;
    }
    return VI_SUCCESS_MAX_CNT;
}

ViStatus UsbtmcInstrument::clear(const SessionSettings&) {
    int r = ops_.ioctl(fd_, USBTMC_IOCTL_CLEAR, nullptr);
    return r < 0 ? fail(r, "Clearing") : VI_SUCCESS;
}

ViStatus UsbtmcInstrument::ren(unsigned long request, void* argument, const char* what) {
    int r = ops_.ioctl(fd_, request, argument);
    // EINVAL: a device without the USB488 remote/local requests. There is
    // nothing to switch on it, so the request has nothing left to do.
    if (r == -EINVAL)
        return VI_SUCCESS;
    return r < 0 ? fail(r, what) : VI_SUCCESS;
}

ViStatus UsbtmcInstrument::renControl(ViUInt16 mode, const SessionSettings&) {
    unsigned char on = 1;
    unsigned char off = 0;
    ViStatus s = VI_SUCCESS;
    switch (mode) {
    case VI_GPIB_REN_DEASSERT:
        return ren(USBTMC488_IOCTL_REN_CONTROL, &off, "Remote off");
    case VI_GPIB_REN_ASSERT:
    case VI_GPIB_REN_ASSERT_ADDRESS:
        return ren(USBTMC488_IOCTL_REN_CONTROL, &on, "Remote on");
    case VI_GPIB_REN_DEASSERT_GTL:
        s = ren(USBTMC488_IOCTL_GOTO_LOCAL, nullptr, "Go to local");
        return s != VI_SUCCESS ? s : ren(USBTMC488_IOCTL_REN_CONTROL, &off, "Remote off");
    case VI_GPIB_REN_ASSERT_LLO:
        return ren(USBTMC488_IOCTL_LOCAL_LOCKOUT, nullptr, "Local lockout");
    case VI_GPIB_REN_ASSERT_ADDRESS_LLO:
        s = ren(USBTMC488_IOCTL_REN_CONTROL, &on, "Remote on");
        return s != VI_SUCCESS ? s : ren(USBTMC488_IOCTL_LOCAL_LOCKOUT, nullptr, "Local lockout");
    case VI_GPIB_REN_ADDRESS_GTL:
        return ren(USBTMC488_IOCTL_GOTO_LOCAL, nullptr, "Go to local");
    default:
        return VI_ERROR_INV_MODE;
    }
}

ViStatus UsbtmcInstrument::settingsChanged(const SessionSettings& settings) {
    // Only what changed goes to the driver.
    if (!applied_ || applied_->timeoutMs != settings.timeoutMs) {
        // The driver takes no time-out below 100 ms.
        __u32 ms = settings.timeoutMs == VI_TMO_INFINITE
                       ? 0x7FFFFFFFu
                       : std::max<__u32>(100, std::min<__u32>(settings.timeoutMs, 0x7FFFFFFFu));
        int r = ops_.ioctl(fd_, USBTMC_IOCTL_SET_TIMEOUT, &ms);
        if (r < 0)
            return fail(r, "Setting the time-out");
    }
    if (!applied_ || applied_->termChar != settings.termChar ||
        applied_->termCharEnabled != settings.termCharEnabled) {
        usbtmc_termchar term{settings.termChar,
                             static_cast<__u8>(settings.termCharEnabled ? 1 : 0)};
        int r = ops_.ioctl(fd_, USBTMC_IOCTL_CONFIG_TERMCHAR, &term);
        // EINVAL: the device cannot end a transfer at a terminator; the read
        // loop then ends the message at it by itself.
        if (r < 0 && r != -EINVAL)
            return fail(r, "Setting the terminator");
    }
    applied_ = settings;
    return VI_SUCCESS;
}

} // namespace velda::visa
