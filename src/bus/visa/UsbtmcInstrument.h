#pragma once
// USB::vendor::product::serial::INSTR through the kernel's usbtmc driver.
// The device file is found in sysfs by the USB device's idVendor, idProduct
// and serial; every call on it goes through a FileOps seam.

#include "bus/visa/FileOps.h"
#include "bus/visa/ResourceName.h"
#include "bus/visa/VisaInstrument.h"

#include <memory>
#include <optional>
#include <string>

namespace velda::visa {

// The /dev/usbtmcN (under devRoot) whose USB device under
// sysRoot/class/usbmisc/usbtmcN/device/.. matches the name.
std::optional<std::string> findUsbtmcDevice(const std::string& sysRoot, const std::string& devRoot,
                                            const ResourceName& name);

// The udev rule shipped in the data folder that gives the seat's user the
// device files.
inline constexpr const char* UsbtmcRuleFile = "70-velda-usbtmc.rules";

// The text shown when the device file may not be opened.
std::string usbtmcPermissionMessage(const std::string& path);

class UsbtmcInstrument : public VisaInstrument {
public:
    // Blocks longer than this go to the driver in several writes.
    static constexpr std::size_t WritePiece = 65536;

    static std::unique_ptr<UsbtmcInstrument> open(FileOps& ops, const std::string& path,
                                                  ViStatus* status, std::string* message);
    ~UsbtmcInstrument() override;

    ViStatus write(const unsigned char* data, std::size_t count, const SessionSettings& settings,
                   std::size_t* written) override;
    ViStatus read(unsigned char* buffer, std::size_t count, const SessionSettings& settings,
                  std::size_t* got) override;
    ViStatus clear(const SessionSettings& settings) override;
    ViStatus renControl(ViUInt16 mode, const SessionSettings& settings) override;
    ViStatus settingsChanged(const SessionSettings& settings) override;

private:
    UsbtmcInstrument(FileOps& ops, int fd, std::string path);
    ViStatus fail(long err, const char* what);
    ViStatus setEom(bool on);
    ViStatus ren(unsigned long request, void* argument, const char* what);

    FileOps& ops_;
    int fd_;
    std::string path_;
    bool eomOn_ = true; // the driver's default
    std::optional<SessionSettings> applied_;
};

} // namespace velda::visa
