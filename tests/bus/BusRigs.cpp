#include "BusRigs.h"

#include <QDir>
#include <QFile>

namespace velda::test {

FakeLibrary& NiFake() {
    static FakeLibrary lib(QStringLiteral("libfake_gpib.so"));
    return lib;
}
FakeLibrary& KiFake() {
    static FakeLibrary lib(QStringLiteral("libfake_ieee_32m.so"));
    return lib;
}
FakeLibrary& UsbFake() {
    static FakeLibrary lib(QStringLiteral("libfake_usb488ps.so"));
    return lib;
}

BusRig::BusRig() {
    bus::BusContext context;
    context.libraryNames = [this](const QString& key) -> QStringList {
        const QString& name = key == bus::LibraryKeyNiGpib   ? niLibrary_
                              : key == bus::LibraryKeyKiGpib ? kiLibrary_
                                                             : usbLibrary_;
        return {name.isEmpty() ? FakeLibraryPath(QStringLiteral("libnot_there.so"))
                               : FakeLibraryPath(name)};
    };
    context.programDir = dir_.path();
    context.endProgram = [this] { ++endProgramCalls; };
    context.keptFiles = [this] { return QStringList{Kept_Path()}; };
    bus_ = std::make_unique<bus::GP_common>(std::move(context));
}

BusRig::~BusRig() = default;

void BusRig::Use_Library(const QString& key, const QString& fileName) {
    (key == bus::LibraryKeyNiGpib   ? niLibrary_
     : key == bus::LibraryKeyKiGpib ? kiLibrary_
                                    : usbLibrary_) = fileName;
}

QByteArray BusRig::Log_Bytes() const {
    QFile f(Log_Path());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList BusRig::Log_Lines() const {
    QStringList lines = QString::fromUtf8(Log_Bytes()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

bus::Status BusRig::Init(const QString& extra) {
    bus_->Set_Interface_Kind(Kind());
    QString text = QStringLiteral("LOG_FILE = ") + Log_Path();
    if (!Init_Items().isEmpty())
        text += QStringLiteral(", ") + Init_Items();
    if (!extra.isEmpty())
        text += QStringLiteral(", ") + extra;
    return bus_->GP_Init(text);
}

namespace {

class NiRig : public BusRig {
public:
    explicit NiRig(const QString& library) {
        Use_Library(bus::LibraryKeyNiGpib, library);
        NiFake().Function<void(const char*)>("fake_gpib_reset")("gpib0");
    }
    const char* Name() const override { return "NI"; }
    int16_t Kind() const override { return bus::KindNiGpib; }
    QString Init_Items() const override { return QStringLiteral("MYADRS = 0, BOARD_NAME = GPIB0"); }
    void Answer(int16_t, const QString&, const QByteArray& reply) override {
        NiFake().Reply(reply);
    }
    bool Answer_Without_End() override {
        // Pieces the board ends without END (the status says only done),
        // then a read that times out.
        for (int i = 0; i < 3; ++i)
            NiFake().Reply(QByteArray(1000, 'A'), 0x0100);
        return true;
    }
    QByteArray Sent() const override { return NiFake().Sent(); }
};

class KiRig : public BusRig {
public:
    explicit KiRig(bool present) {
        Use_Library(bus::LibraryKeyKiGpib, QStringLiteral("libfake_ieee_32m.so"));
        KiFake().Function<void(int)>("fake_ki_reset")(present ? 1 : 0);
    }
    const char* Name() const override { return "KI"; }
    int16_t Kind() const override { return bus::KindKiGpib; }
    QString Init_Items() const override { return QStringLiteral("MYADRS = 0"); }
    void Answer(int16_t, const QString&, const QByteArray& reply) override {
        // The board ends the read at the input terminator itself.
        QByteArray r = reply;
        while (r.endsWith('\n') || r.endsWith('\r'))
            r.chop(1);
        KiFake().Reply(r);
    }
    bool Answer_Without_End() override {
        // Full buffers that end in no terminator, then a read that times out.
        for (int i = 0; i < 3; ++i)
            KiFake().Reply(QByteArray(256, 'A'));
        return true;
    }
    QByteArray Sent() const override { return KiFake().Sent(); }
};

class Usb488Rig : public BusRig {
public:
    Usb488Rig() {
        Use_Library(bus::LibraryKeyUsb488, QStringLiteral("libfake_usb488ps.so"));
        UsbFake().Function<void(const char*)>("fake_usb_reset")("3,4,5");
    }
    const char* Name() const override { return "USB488"; }
    int16_t Kind() const override { return bus::KindUsb488; }
    QString Init_Items() const override { return QStringLiteral("MYADRS = 0, USB488ID = 5"); }
    void Answer(int16_t, const QString&, const QByteArray& reply) override {
        UsbFake().Reply(reply);
    }
    bool Answer_Without_End() override {
        for (int i = 0; i < 3; ++i)
            UsbFake().Reply(QByteArray(255, 'A')); // the buffer less one

        return true;
    }
    QByteArray Sent() const override { return UsbFake().Sent(); }
    bus::SwapRule Swap_Rule() const override { return bus::SwapRule::UnlessMinusOne; }
};

class DebugRig : public BusRig {
public:
    const char* Name() const override { return "Debug"; }
    int16_t Kind() const override { return bus::KindDebug; }
    QString Init_Items() const override {
        return QStringLiteral("MYADRS=0, INI_FILE = replies.ini");
    }
    void Answer(int16_t adrs, const QString& query, const QByteArray& reply) override {
        QFile f(QDir(Dir()).filePath(QStringLiteral("replies.ini")));
        if (f.open(QIODevice::Append))
            f.write("[ADRS" + QByteArray::number(adrs) + "]\r\n" + query.toUtf8() + "=" +
                    reply.trimmed() + "\r\n");
    }
    QByteArray Sent() const override { return Log_Bytes(); }
    bool Can_Fail() const override { return false; }
    bool Sends_Binary() const override { return false; }
};

} // namespace

std::unique_ptr<BusRig> MakeNiRig(const QString& library) {
    return std::make_unique<NiRig>(library);
}
std::unique_ptr<BusRig> MakeKiRig(bool boardPresent) {
    return std::make_unique<KiRig>(boardPresent);
}
std::unique_ptr<BusRig> MakeUsb488Rig() {
    return std::make_unique<Usb488Rig>();
}
std::unique_ptr<BusRig> MakeDebugRig() {
    return std::make_unique<DebugRig>();
}

} // namespace velda::test
