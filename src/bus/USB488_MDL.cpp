#include "bus/USB488_MDL.h"

#include "bus/BinaryPacking.h"
#include "engine/CodePage.h"

#include <algorithm>

namespace velda::bus {

Status Usb488Status(int libraryStatus, int errorCode) {
    if (libraryStatus & 0x4000)
        return StatusTimeOut;
    if (libraryStatus & 0x8000)
        return errorCode == 0 ? StatusNoBoard : StatusError;
    return StatusOk;
}

struct USB488_MDL::Api {
    int (*UsbInitialize)() = nullptr;
    int (*UsbOpenDevice)(int) = nullptr;
    int (*UsbCLS)(int) = nullptr;
    int (*UsbDevClear)(int, int) = nullptr;
    int (*UsbCloseDevice)(int) = nullptr;
    int (*UsbSetTimeout)(int, long) = nullptr;
    int (*UsbEnableRemote)(int) = nullptr;
    int (*UsbEnableLocal)(int) = nullptr;
    int (*UsbSendLLO)(int) = nullptr;
    int (*UsbSetIFC)(int) = nullptr;
    int (*UsbSendTextData)(int, const char*) = nullptr;
    int (*UsbReceiveTextData)(int, char*, int) = nullptr;
    int (*UsbSendBinary)(int, const void*, long, int) = nullptr;
    int (*UsbGetStatus)() = nullptr;
    int (*UsbGetErrorCode)() = nullptr;
    long (*UsbGetDataCount)() = nullptr;
};

USB488_MDL::USB488_MDL(BusContext& context)
    : LibraryBusModule(context, LibraryKeyUsb488), api_(std::make_unique<Api>()) {}
USB488_MDL::~USB488_MDL() = default;

void USB488_MDL::Resolve_Functions() {
    Api& a = *api_;
    lib_.Resolve(a.UsbInitialize, "UsbInitialize");
    lib_.Resolve(a.UsbOpenDevice, "UsbOpenDevice");
    lib_.Resolve(a.UsbCLS, "UsbCLS");
    lib_.Resolve(a.UsbDevClear, "UsbDevClear");
    lib_.Resolve(a.UsbCloseDevice, "UsbCloseDevice");
    lib_.Resolve(a.UsbSetTimeout, "UsbSetTimeout");
    lib_.Resolve(a.UsbEnableRemote, "UsbEnableRemote");
    lib_.Resolve(a.UsbEnableLocal, "UsbEnableLocal");
    lib_.Resolve(a.UsbSendLLO, "UsbSendLLO");
    lib_.Resolve(a.UsbSetIFC, "UsbSetIFC");
    lib_.Resolve(a.UsbSendTextData, "UsbSendTextData");
    lib_.Resolve(a.UsbReceiveTextData, "UsbReceiveTextData");
    lib_.Resolve(a.UsbSendBinary, "UsbSendBinary");
    lib_.Resolve(a.UsbGetStatus, "UsbGetStatus");
    lib_.Resolve(a.UsbGetErrorCode, "UsbGetErrorCode");
    lib_.Resolve(a.UsbGetDataCount, "UsbGetDataCount");
}

Status USB488_MDL::Call_Status() {
    if (!api_->UsbGetStatus || !api_->UsbGetErrorCode)
        return Missing(api_->UsbGetStatus ? "UsbGetErrorCode" : "UsbGetStatus");
    return Usb488Status(api_->UsbGetStatus(), api_->UsbGetErrorCode());
}

// One library call on the open device and its status; a missing function is
// "not present".
#define VELDA_USB_CALL(fn, ...) (api_->fn ? (api_->fn(__VA_ARGS__), Call_Status()) : Missing(#fn))

void USB488_MDL::Close_Device() {
    if (handle_ == -1)
        return;
    if (api_->UsbCLS)
        api_->UsbCLS(handle_);
    if (api_->UsbDevClear)
        api_->UsbDevClear(handle_, 7);
    if (api_->UsbCloseDevice)
        api_->UsbCloseDevice(handle_);
    handle_ = -1;
}

Status USB488_MDL::Open_Device(int16_t id) {
    Close_Device();
    Status st;
    if (!api_->UsbOpenDevice) {
        st = Missing("UsbOpenDevice");
    } else {
        const int h = api_->UsbOpenDevice(id);
        st = Call_Status();
        if (!(st & (StatusError | StatusNoBoard))) {
            handle_ = h;
            openId_ = id;
        }
    }
    if (!Error_Check(QStringLiteral("Device Open Error"), st))
        return st;
    int16_t on = -1;
    return GP_IFC() | GP_REN(on) | GP_MTerm(state_.TermCode) | GP_EOI(state_.EoiOn) |
           GP_Time_Out(state_.TimeOutCode);
}

Status USB488_MDL::Select(int16_t adrs, int16_t otherParty) {
    if (adrs == LastAddress)
        return StatusOk;
    const int16_t id = adrs == state_.MyAddress ? otherParty : adrs;
    state_.CurrentAddress = adrs;
    if (id == openId_ && handle_ != -1)
        return StatusOk;
    return Open_Device(id);
}

Status USB488_MDL::GP_Init(const QString& params) {
    const InitParams p(params);
    Read_Log_Keys(p);
    state_.MyAddress = p.Number(QStringLiteral("MYADRS"), 0);
    p.Number(QStringLiteral("USB488ID"), 0); // the device is chosen by the operations' addresses
    state_.BufferSize = 256;
    if (!initialised_) {
        handle_ = -1;
        openId_ = 0;
        initialised_ = true;
    }
    Status st;
    if (!Load_Library()) {
        st = StatusNoBoard;
    } else {
        Close_Device();
        st = VELDA_USB_CALL(UsbInitialize);
    }
    state_.TimeOutCode = 10;
    state_.TermCode = 1;
    state_.EoiOn = 1;
    return Check_And_Log(QStringLiteral("GP_INIT"), st, TraceLog::InitLine());
}

Status USB488_MDL::GP_Send_Str(int16_t adrs, QString text) {
    Status st = Select(adrs, state_.CurrentAddress);
    if (Error_Check(QStringLiteral("GP_Send_Str"), st)) {
        const QByteArray bytes = toCodePage(text);
        st = VELDA_USB_CALL(UsbSendTextData, handle_, bytes.constData());
        Error_Check(QStringLiteral("GP_Send_Str"), st);
    }
    Log(TraceLog::SendLine(Adrs(), text), st);
    return st;
}

Status USB488_MDL::GP_Receive_Str(int16_t adrs, QString& text) {
    const int size = state_.BufferSize;
    text = QString(size, QLatin1Char(' '));
    Status st = Select(adrs, state_.CurrentAddress);
    if (Error_Check(QStringLiteral("GP_Receive_Str"), st)) {
        QByteArray buffer(size, ' ');
        st = VELDA_USB_CALL(UsbReceiveTextData, handle_, buffer.data(), size - 1);
        const long count =
            std::clamp<long>(api_->UsbGetDataCount ? api_->UsbGetDataCount() : 0, 0, size - 1);
        const QByteArray read = buffer.left(qsizetype(count));
        text = Reply_Text(read.constData(), size_t(read.size()));
        if (Error_Check(QStringLiteral("GP_Receive_Str"), st)) {
            if (const qsizetype cr = text.indexOf(QLatin1Char('\r')); cr >= 0)
                text.truncate(cr);
            else if (const qsizetype lf = text.indexOf(QLatin1Char('\n')); lf >= 0)
                text.truncate(lf);
            state_.LastReceivedCount = int32_t(text.size());
            while (text.endsWith(QLatin1Char(' ')))
                text.chop(1);
            // A reply longer than the buffer is cut there; the rest is dropped.
            if (!Drop_Unmarked_Rest(state_.TermCode, TimeOutMilliseconds(state_.TimeOutCode),
                                    buffer.data(), count, size - 1, [&]() -> long {
                                        if (VELDA_USB_CALL(UsbReceiveTextData, handle_,
                                                           buffer.data(), size - 1) != StatusOk)
                                            return -1;
                                        return std::clamp<long>(api_->UsbGetDataCount(), 0,
                                                                size - 1);
                                    })) {
                st = StatusTimeOut;
                Error_Check(QStringLiteral("GP_Receive_Str"), st);
            }
        }
    }
    Log(TraceLog::ReceiveLine(Adrs(), text), st);
    return st;
}

Status USB488_MDL::GP_LLO() {
    const Status st = VELDA_USB_CALL(UsbSendLLO, handle_);
    return Check_And_Log(QStringLiteral("GP_LLO"), st);
}

Status USB488_MDL::GP_REN(int16_t flag) {
    const Status st = flag == -1 ? VELDA_USB_CALL(UsbEnableRemote, handle_)
                                 : VELDA_USB_CALL(UsbEnableLocal, handle_);
    return Check_And_Log(QStringLiteral("GP_REN"), st);
}

Status USB488_MDL::GP_IFC() {
    const Status st = VELDA_USB_CALL(UsbSetIFC, handle_);
    return Check_And_Log(QStringLiteral("GP_IFC"), st);
}

Status USB488_MDL::GP_SDC(int16_t adrs) {
    // Clears the open device; the address only shows in the log.
    const Status st = VELDA_USB_CALL(UsbDevClear, handle_, 7);
    return Check_And_Log(QStringLiteral("GP_SDC"), st, TraceLog::SdcLine(QString::number(adrs)));
}

Status USB488_MDL::GP_Time_Out(int16_t code) {
    const Status st = VELDA_USB_CALL(UsbSetTimeout, handle_, long(TimeOutMilliseconds(code)));
    Error_Check(QStringLiteral("GP_Time_Out"), st);
    state_.TimeOutCode = code;
    Log(TraceLog::TimeOutLine(TimeOutName(code)), st);
    return st;
}

Status USB488_MDL::GP_MTerm(int16_t code) {
    const Status st = code >= 0 && code <= 3 ? StatusOk : StatusError;
    if (Error_Check(QStringLiteral("GP_MTerm"), st))
        state_.TermCode = code;
    Log(TraceLog::MTermLine(TermName(code)), st);
    return st;
}

Status USB488_MDL::GP_Send_Binary_Data(const BusArray& data, int16_t adrs, int32_t count,
                                       int16_t format, int16_t swap, int32_t /*last*/) {
    Status st = Select(adrs, state_.CurrentAddress);
    if (Error_Check(QStringLiteral("GP_Send_Binary_Data"), st)) {
        std::vector<uint8_t> bytes;
        st = Pack_Binary_Into(bytes, data, count, format, swap, SwapRule::UnlessMinusOne);
        if (st == StatusOk) {
            const long words = long((bytes.size() + 1) / 2);
            bytes.resize(size_t(words) * 2, 0);
            st = VELDA_USB_CALL(UsbSendBinary, handle_, bytes.data(), words, 2);
        }
        Error_Check(QStringLiteral("GP_Send_Binary_Data"), st);
    }
    Log(TraceLog::BinaryLine(Adrs(), QStringLiteral("GP_Send_Binary_Data"),
                             TraceLog::DataList(data)),
        st);
    return st;
}

#undef VELDA_USB_CALL

} // namespace velda::bus
