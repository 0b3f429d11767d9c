#pragma once
// Interface kind 3, USB(TMC): up to eleven instruments reached through VISA.
// The "address" of an operation is the index 0..10 of a resource name; a
// session is opened per index on first use and the settings (time-out,
// terminator, end of message, remote) go to every open session.
//
// The VISA calls go to a provider chosen at the first GP_Init: a system VISA
// library when one loads (setting "Libraries"/"Visa"), otherwise our own
// layer (USB through the usbtmc driver, LAN sockets and VXI-11).

#include "bus/BusModule.h"
#include "bus/visa/VisaProvider.h"

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace velda::bus {

inline const QString LibraryKeyVisa = QStringLiteral("Visa");

// A VISA result as a status word: success (0 or above) 0, the time-out error
// 1, any other error 2.
Status VisaStatus(visa::ViStatus status);

class USBTMC_MDL : public BusModule {
public:
    static constexpr int ResourceCount = 11;
    using ProviderFactory = std::function<std::unique_ptr<visa::VisaProvider>()>;

    explicit USBTMC_MDL(BusContext& context);
    ~USBTMC_MDL() override;

    Status GP_Init(const QString& params) override;
    Status GP_Send_Str(int16_t adrs, QString text) override;
    Status GP_Receive_Str(int16_t adrs, QString& text) override;
    Status GP_LLO() override;
    Status GP_REN(int16_t flag) override;
    Status GP_SDC(int16_t adrs) override;
    Status GP_Time_Out(int16_t code) override;
    Status GP_MTerm(int16_t code) override;
    Status GP_EOI(int16_t flag) override;
    Status GP_Send_Binary_Data(const BusArray& data, int16_t adrs, int32_t count, int16_t format,
                               int16_t swap, int32_t last) override;
    Status GP_Send_AsciiBinary_Data(const QString& header, const BusArray& data, int16_t adrs,
                                    int32_t count, int16_t format, int16_t swap,
                                    int16_t flag) override;

    // Resource names by index; the transfer writes entry 0 itself.
    std::array<QString, ResourceCount> ResourceName;
    const std::array<visa::ViSession, ResourceCount>& Session() const { return session_; }

    // Replaces how the provider is made (before the first GP_Init).
    void Set_Provider_Factory(ProviderFactory factory) { factory_ = std::move(factory); }
    // "system VISA <file>" or "built-in"; empty before GP_Init.
    QString Provider_Description() const;
    // Every open session; the next use of a resource opens it again.
    void Close_Sessions() override { Close_All(); }

private:
    bool Valid(int16_t& adrs) const;
    QString Name(int16_t adrs) const;
    Status Open_Index(int i);
    // Opens the index when needed; any failure is status 2.
    Status Ensure_Open(int i);
    Status Convert(visa::ViStatus status, int i);
    // `st` unless a write reported done took fewer than `size` bytes.
    Status Check_Written(Status st, visa::ViUInt32 written, size_t size, int i);
    void Log_Failure(int i, Status st);
    static visa::ViStatus Unless_Unsupported(visa::ViStatus st);
    // Runs `call` on every open session in index order, stopping at the
    // first failure, which goes through the error check under `name`.
    Status For_All(const QString& name, const std::function<visa::ViStatus(visa::ViSession)>& call);
    Status Send_Block(const QString& name, const QByteArray& header, const BusArray& data,
                      int16_t adrs, int32_t count, int16_t format, int16_t swap);
    void Close_All();
    void Close_Manager();

    ProviderFactory factory_;
    std::unique_ptr<visa::VisaProvider> visa_;
    visa::ViSession rm_ = 0;
    std::array<visa::ViSession, ResourceCount> session_{};
    // Kept between blocks: a fresh 128 KiB buffer per block costs more in
    // page faults than the copy itself.
    std::vector<uint8_t> message_;
};

} // namespace velda::bus
