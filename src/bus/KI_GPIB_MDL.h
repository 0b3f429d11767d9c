#pragma once
// Interface kind 1: a GPIB board whose library takes bus traffic as text
// commands ("UNT UNL TALK MTA LISTEN 5", "DATA 'text' EOI 10"), loaded on the
// first GP_Init.

#include "bus/BusModule.h"
#include "bus/SharedLibrary.h"

#include <memory>
#include <vector>

namespace velda::bus {

// Library status to status word: 0x01, 0x02 or 0x10 is an error, else 0x08 a time-out.
Status KiStatus(int libraryStatus);
// Time-out code to the library's milliseconds, and the name this back end logs.
int32_t KiTimeOutMilliseconds(int code);
QString KiTimeOutName(int code);

class KI_GPIB_MDL : public BusModule {
public:
    explicit KI_GPIB_MDL(BusContext& context);
    ~KI_GPIB_MDL() override;

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

    // Text appended to a DATA command: "", " 10", " 13" or " 13 10".
    const QString& TermCodes() const { return termCodes_; }

    // Largest block of words per ieee_tarray call.
    static constexpr int BlockWords = 32768;

private:
    struct Api;
    bool Load_Library();
    Status Transmit(const QString& command);
    Status Address(int16_t adrs, bool forReceive);
    Status Missing(const char* function);

    SharedLibrary lib_;
    std::unique_ptr<Api> api_;
    QString termCodes_;
};

} // namespace velda::bus
