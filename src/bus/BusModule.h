#pragma once
// The abstract bus back end. Each interface kind has one subclass in its own
// file pair; each keeps its own copy of the common state below. GP_common
// owns one object per kind and forwards the twelve operations to it.

#include "bus/BusContext.h"
#include "bus/BusStatus.h"
#include "bus/InitParams.h"
#include "bus/SharedLibrary.h"
#include "bus/TraceLog.h"

#include <QString>
#include <chrono>
#include <cstdint>

namespace velda::bus {

// How much of a reply longer than the receive buffer is read away at most
// (in buffer lengths): left behind, its rest would answer the next query and
// every answer after it would be one behind; the bound keeps an instrument
// that never ends its reply from holding the bus for ever.
constexpr int MaxDroppedPieces = 256;

// The text of a reply's bytes, every one of them: a NUL an instrument sends
// is a character of the reply (a non-printable one, stripped at its ends),
// not where it stops.
inline QString Reply_Text(const char* bytes, size_t size) {
    return QString::fromUtf8(bytes, static_cast<qsizetype>(size));
}

// What a piece read away from the rest of a reply left.
enum class ReplyRest { Ended, GoesOn, Failed };

// Reads away the rest of a reply that filled the receive buffer, a piece at
// a time (`next` reads one), until a piece ends after `timeOutMs` (no limit
// of time when 0 or less; a piece itself may take up to a time-out) or
// MaxDroppedPieces pieces. False when the reply has not ended by then: what
// is left would answer the next query, so the reply's read counts as timed
// out.
template <typename ReadPiece> bool Drop_Reply_Rest(int32_t timeOutMs, ReadPiece next) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(timeOutMs);
    for (int piece = 0; piece < MaxDroppedPieces; ++piece) {
        const ReplyRest rest = next();
        if (rest != ReplyRest::GoesOn)
            return rest == ReplyRest::Ended;
        if (timeOutMs > 0 && Clock::now() > until)
            return false;
    }
    return false;
}

// Whether a read that took `count` bytes into a buffer of `size` stopped
// before the reply's end, for libraries that do not say: a reply ends with
// its terminator, so a full buffer whose last byte is no terminator
// character leaves the rest in the instrument.
inline bool Reply_Goes_On(const char* bytes, long count, long size) {
    return size > 0 && count >= size && bytes[size - 1] != '\n' && bytes[size - 1] != '\r';
}

// Drop_Reply_Rest for libraries that do not say where a reply ends, after a
// read that took `count` bytes into `buffer` of `size`: `readPiece` reads
// the next piece into the same buffer and gives its count, or -1 when the
// read fails. Only where a read terminator is set (`termCode` not 0):
// without one, a reply that fills the buffer exactly looks the same as one
// cut there. False when the reply has not ended.
template <typename ReadPiece>
bool Drop_Unmarked_Rest(int16_t termCode, int32_t timeOutMs, const char* buffer, long count,
                        long size, ReadPiece readPiece) {
    if (termCode == 0 || !Reply_Goes_On(buffer, count, size))
        return true;
    return Drop_Reply_Rest(timeOutMs, [&] {
        const long n = readPiece();
        if (n < 0)
            return ReplyRest::Failed;
        return Reply_Goes_On(buffer, n, size) ? ReplyRest::GoesOn : ReplyRest::Ended;
    });
}

// The state every back end holds (the last values set).
struct CommonState {
    QString LogFile;            // "" = no log
    bool ViewErrDialog = false; // error dialog on
    int16_t MyAddress = 0;      // the controller's own bus address
    QString BoardName = QStringLiteral("gpib0");
    int16_t BufferSize = 256;   // receive buffer length
    int16_t CurrentAddress = 0; // the device addressed last
    QString SendTerminator;
    int16_t TermCode = 0;
    int16_t EoiOn = 0;
    int16_t TimeOutCode = 0;
    int32_t LastReceivedCount = 0; // length of the last reply
};

class BusModule {
public:
    explicit BusModule(BusContext& context) : context_(context) {}
    virtual ~BusModule() = default;
    BusModule(const BusModule&) = delete;
    BusModule& operator=(const BusModule&) = delete;

    // What every back end does its own way.
    virtual Status GP_Init(const QString& params) = 0;
    virtual Status GP_Send_Str(int16_t adrs, QString text) = 0;
    virtual Status GP_Receive_Str(int16_t adrs, QString& text) = 0;
    virtual Status GP_LLO() = 0;
    virtual Status GP_REN(int16_t flag) = 0;
    virtual Status GP_SDC(int16_t adrs) = 0;
    virtual Status GP_Time_Out(int16_t code) = 0;
    virtual Status GP_MTerm(int16_t code) = 0;
    virtual Status GP_Send_Binary_Data(const BusArray& data, int16_t adrs, int32_t count,
                                       int16_t format, int16_t swap, int32_t last) = 0;

    // What most back ends share; a back end overrides only where it differs.
    // No interface to clear: succeeds and logs.
    virtual Status GP_IFC();
    // The flag is kept and applied by the sends themselves: succeeds and logs.
    virtual Status GP_EOI(int16_t flag);
    // Only a back end that sends header and data as one message takes it;
    // the others succeed without doing or logging anything.
    virtual Status GP_Send_AsciiBinary_Data(const QString& header, const BusArray& data,
                                            int16_t adrs, int32_t count, int16_t format,
                                            int16_t swap, int16_t flag);

    const CommonState& State() const { return state_; }
    // Closes what the back end keeps open to its instruments between
    // operations (the USB-TMC sessions); nothing for the others.
    virtual void Close_Sessions() {}
    // What the last operation's failure was about, in the back end's own
    // words (the file or library, why, what to do); empty when it has none.
    // Cleared before each operation.
    const QString& Last_Error_Text() const { return errorText_; }
    void Clear_Error_Text() { errorText_.clear(); }

protected:
    // The settings every GP_Init makes once the bus is up: remote enable,
    // CR LF terminator, end signal on, 1 s time-out, one after the other
    // (each logs its line, so the log keeps this order); their statuses ORed.
    Status Init_Defaults();
    // The error check after a bus step: true when `status` holds no error.
    // Otherwise, with the error dialog on, asks the "NI_GPIB" Yes/No question
    // (Yes ends the program) and returns false; the caller skips the rest of
    // the operation and returns the status.
    bool Error_Check(const QString& functionName, Status status);
    // The end of a one-step operation: the error check under `functionName`,
    // then the log line; returns the status.
    Status Check_And_Log(const QString& functionName, Status status, const QString& line);
    // The same with the "ALL" line of that operation.
    Status Check_And_Log(const QString& functionName, Status status) {
        return Check_And_Log(functionName, status, TraceLog::AllLine(functionName));
    }
    // Appends one trace-log line with the status suffix (when a log is named).
    void Log(const QString& line, Status status) const;
    // "LOG_FILE" (the log is emptied) and "VIEW_ERR_DIALOG".
    void Read_Log_Keys(const InitParams& params);
    // Decimal form of CurrentAddress, as the log shows it.
    QString Adrs() const { return QString::number(state_.CurrentAddress); }

    BusContext& context_;
    CommonState state_;
    TraceLog log_;
    QString errorText_;
};

// A back end whose bus calls go to a shared library, loaded on the first
// GP_Init from the file names of its library key. Every function is
// resolved by itself: one the library lacks stays null, and the calls that
// need it report the board as not present.
class LibraryBusModule : public BusModule {
protected:
    LibraryBusModule(BusContext& context, QString libraryKey)
        : BusModule(context), libraryKey_(std::move(libraryKey)) {}
    // Loads the library once and resolves its functions; false (and a log
    // line naming the file and the loader's text) when no file loads.
    bool Load_Library();
    virtual void Resolve_Functions() = 0;
    // A call needs a function the library lacks (or no library is loaded):
    // logs the library and dlerror's text and returns StatusNoBoard.
    Status Missing(const char* function);

    SharedLibrary lib_;

private:
    QString libraryKey_;
};

} // namespace velda::bus
