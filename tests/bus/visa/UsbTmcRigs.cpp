// Rigs of the USB-TMC back end for the interface suite: through the fake
// system VISA library (tests/fakes/visa), and through our own VISA layer on
// a raw SCPI socket and on the VXI-11 test instrument, both on 127.0.0.1.
#include "../BusRigs.h"
#include "FakeVxi11.h"
#include "ScpiListener.h"
#include "bus/USBTMC_MDL.h"
#include "bus/visa/OwnVisa.h"
#include "bus/visa/SystemVisa.h"

#include <QFile>

namespace velda::test {
namespace {

class UsbTmcRig : public BusRig {
public:
    int16_t Kind() const override { return bus::KindUsbTmc; }
    QString Init_Items() const override {
        QStringList names;
        for (int i = 0; i < bus::USBTMC_MDL::ResourceCount; ++i)
            names << Shown(static_cast<int16_t>(i));
        return QStringLiteral("USBTMC_NAME = ") + names.join(QLatin1Char('/'));
    }
    bool Sends_Ascii_Binary() const override { return true; }

protected:
    void Use_Provider(bus::USBTMC_MDL::ProviderFactory factory) {
        bus_->Set_Factory(bus::KindUsbTmc, [factory](bus::BusContext& context) {
            auto m = std::make_unique<bus::USBTMC_MDL>(context);
            m->Set_Provider_Factory(factory);
            return m;
        });
    }
};

class UsbTmcVisaRig : public UsbTmcRig {
public:
    UsbTmcVisaRig() {
        fake_.Function<void()>("fakevisa_reset")();
        Use_Provider([] { return visa::chooseVisaProvider({Path}); });
    }
    const char* Name() const override { return "UsbTmcVisa"; }
    QString Shown(int16_t adrs) const override {
        return QStringLiteral("USB0::0x0957::0x1755::SN%1::INSTR").arg(adrs);
    }
    bool Answer_Without_End() override {
        // Every read says the message goes on.
        fake_.Function<void(unsigned)>("fakevisa_stall_reads")(100000);
        return true;
    }
    void Answer(int16_t, const QString& query, const QByteArray& reply) override {
        fake_.Function<void(const char*, const char*, unsigned)>("fakevisa_answer")(
            query.toUtf8().constData(), reply.constData(), static_cast<unsigned>(reply.size()));
    }
    QByteArray Sent() const override {
        unsigned n = 0;
        const char* p = fake_.Function<const char*(unsigned*)>("fakevisa_sent")(&n);
        return QByteArray(p, static_cast<qsizetype>(n));
    }

private:
    static constexpr const char* Path = VELDA_BINARY_DIR "/tests/fakes/visa/libfakevisa.so";
    LoadedLibrary fake_{Path};
};

class UsbTmcSocketRig : public UsbTmcRig {
public:
    UsbTmcSocketRig() : listener_(options()) {
        Use_Provider([] { return std::make_unique<visa::OwnVisa>(); });
    }
    const char* Name() const override { return "UsbTmcSocket"; }
    QString Shown(int16_t) const override {
        return QStringLiteral("TCPIP0::127.0.0.1::%1::SOCKET").arg(listener_.port());
    }
    void Answer(int16_t, const QString& query, const QByteArray& reply) override {
        listener_.answer(query.toStdString(), reply.toStdString());
    }
    QByteArray Sent() const override { return QByteArray::fromStdString(listener_.settled()); }

private:
    static ScpiListener::Options options() {
        ScpiListener::Options o;
        o.echo = false;
        return o;
    }
    ScpiListener listener_;
};

// The real RPC client against the test instrument, whose answers come only
// from what the suite prepares, so an unprepared query times out as on the
// other back ends.
class UsbTmcVxi11Rig : public UsbTmcRig {
public:
    UsbTmcVxi11Rig()
        : answers_(dir_.filePath(QStringLiteral("answers.txt"))),
          sent_(dir_.filePath(QStringLiteral("sent.bin"))),
          server_({QStringLiteral("--answers"), answers_, QStringLiteral("--sent"), sent_}) {
        QFile(answers_).open(QIODevice::WriteOnly); // no answers yet
        visa::OwnVisaOptions o;
        o.portmapperPort = server_.portmapperPort();
        Use_Provider([o] { return std::make_unique<visa::OwnVisa>(o); });
    }
    const char* Name() const override { return "UsbTmcVxi11"; }
    QString Shown(int16_t) const override {
        return QStringLiteral("TCPIP0::127.0.0.1::inst0::INSTR");
    }
    void Answer(int16_t, const QString& query, const QByteArray& reply) override {
        QFile f(answers_);
        if (f.open(QIODevice::Append))
            f.write(query.toUtf8().toHex() + ' ' + reply.toHex() + '\n');
    }
    QByteArray Sent() const override {
        // Every call is answered only after the instrument has written what
        // it received, so the file is complete here.
        QFile f(sent_);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QString answers_, sent_;
    FakeVxi11 server_;
};

} // namespace

std::unique_ptr<BusRig> MakeUsbTmcVisaRig() {
    return std::make_unique<UsbTmcVisaRig>();
}
std::unique_ptr<BusRig> MakeUsbTmcSocketRig() {
    return std::make_unique<UsbTmcSocketRig>();
}

std::unique_ptr<BusRig> MakeUsbTmcVxi11Rig() {
    return std::make_unique<UsbTmcVxi11Rig>();
}

} // namespace velda::test
