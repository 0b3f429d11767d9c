#pragma once
// Interface kind 2: one USB488 instrument at a time through its device
// library, loaded on the first GP_Init. The address of an operation is the
// instrument's identifier; another identifier closes the open device and
// opens that one.

#include "bus/BusModule.h"
#include "bus/SharedLibrary.h"

#include <memory>
#include <vector>

namespace velda::bus {

// Library status and error code to status word: 0x4000 time-out; else 0x8000
// an error (code 0: device not present, 4); else 0.
Status Usb488Status(int libraryStatus, int errorCode);

class USB488_MDL : public BusModule {
public:
    explicit USB488_MDL(BusContext& context);
    ~USB488_MDL() override;

    Status GP_Init(const QString& params) override;
    Status GP_Send_Str(int16_t adrs, QString text) override;
    Status GP_Receive_Str(int16_t adrs, QString& text) override;
    Status GP_LLO() override;
    Status GP_REN(int16_t flag) override;
    Status GP_IFC() override;
    Status GP_SDC(int16_t adrs) override;
    Status GP_Time_Out(int16_t code) override;
    Status GP_MTerm(int16_t code) override;
    Status GP_Send_Binary_Data(const BusArray& data, int16_t adrs, int32_t count, int16_t format,
                               int16_t swap, int32_t last) override;

    int32_t Handle() const { return handle_; }
    int16_t OpenId() const { return openId_; }

private:
    struct Api;
    bool Load_Library();
    Status Call_Status();
    void Close_Device();
    Status Open_Device(int16_t id);
    // Opens the device of `adrs` unless it is open (or adrs is -1).
    Status Select(int16_t adrs, int16_t otherParty);
    Status Missing(const char* function);

    SharedLibrary lib_;
    std::unique_ptr<Api> api_;
    bool initialised_ = false;
    int32_t handle_ = -1;
    int16_t openId_ = 0;
};

} // namespace velda::bus
