#pragma once
// The per-user settings store and the coordination of running copies.
//
// Values live as text in an INI file (section, key, value). Several copies of
// the program may run at once; they share the file and use the "Busy" flag of
// a "GPIBn" section as the interlock on the instrument bus. Each running copy
// holds one lock file in the "instances" folder beside the INI file, so a
// starting copy can tell whether it is alone, and a crashed copy (whose lock
// is stale) does not count. Read-modify-write steps on shared values (the
// busy flag, the copy count) run under a named lock file in the same folder
// ("GPIBn.lock", "System.lock"), so two copies never both see the old value.

#include <QLockFile>
#include <QSettings>
#include <QSize>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace velda {

class SharedLock;

class clsRegistry {
public:
    // Returns the screen size in twips (width, height), or nothing when it is
    // unknown; then saved positions are never reset for being off screen.
    using ScreenTwipsFn = std::function<std::optional<QSize>()>;
    // Puts the instrument bus back to local; run on exit by a copy that still
    // owns the bus.
    using BusToLocalFn = std::function<void()>;

    static constexpr int FormSlots = 11;

    // An editor window counts itself in the store (its number, the window
    // count) and saves its form table on the way out. A command of the
    // command line only reads the store: it writes back what its own work
    // changes, and clears the busy flags a crashed copy left when it runs
    // alone, as every first copy does.
    enum class Role { Editor, Command };

    // The user's store: <config folder>/VELDA/VELDA.ini.
    clsRegistry();
    // A store at the given INI path (the instance folder sits beside it).
    explicit clsRegistry(const QString& iniPath, Role role = Role::Editor);
    ~clsRegistry();

    clsRegistry(const clsRegistry&) = delete;
    clsRegistry& operator=(const clsRegistry&) = delete;

    static QString defaultIniPath();
    QString iniPath() const { return iniPath_; }

    void setScreenTwips(ScreenTwipsFn fn) { screenTwips_ = std::move(fn); }
    void setBusToLocal(BusToLocalFn fn) { busToLocal_ = std::move(fn); }

    // "GPIB<GpibId>"/"Busy"; setting it also records that this copy owns the bus.
    bool GpibBusy() const;
    void setGpibBusy(bool busy);
    bool GpibHost() const { return gpibHost_; }
    // Takes the bus "GPIB<GpibId>" for this copy in one step: checks the busy
    // flag and sets it while holding the bus's lock file. False when the bus
    // is in use (by another copy, or already by this one) or another copy
    // keeps the lock; the store is then unchanged. A store that cannot be
    // written gives the bus without the flag. With `address`, the copy's own
    // bus address is stored in the same write as the flag.
    bool TryTakeGpibBus(std::optional<int> address = std::nullopt);
    // Gives back a bus taken by this copy: clears the flag. Does nothing when
    // this copy does not hold the bus, so another copy's claim is never lost.
    void ReleaseGpibBus();
    // Keeps every other copy off the bus until End_GpibReservation, also
    // between two operations of this copy, when its own flag is down: the
    // set-up and the waveform of one run reach the instrument with no other
    // copy's lines between them. False when another copy keeps the bus now
    // (this copy's own take then reports it busy).
    bool Reserve_GpibBus();
    void End_GpibReservation();

    int GpibId() const { return gpibId_; }
    void setGpibId(int boardId) { gpibId_ = boardId; }

    // Saved position of a form in twips, found by the form's name.
    int FormTop(const QString& formName);
    void setFormTop(const QString& formName, int y);
    int FormLeft(const QString& formName);
    void setFormLeft(const QString& formName, int x);

    int WinH() const { return winH_; }
    void setWinH(int h) { winH_ = h; }
    // Number of running copies as the store has it now.
    int WinCount() const;

    // "GPIB<GpibId>"/"Address"; -1 when absent.
    int GpibAddress() const;
    void setGpibAddress(int addr);

    // Free text; "False" when absent.
    QString Setting(const QString& section, const QString& key) const;
    void setSetting(const QString& section, const QString& key, const QString& value);
    // A value for this run only: Setting() answers it from now on, the store
    // is never written (a command line's options over the saved settings).
    void setRunSetting(const QString& section, const QString& key, const QString& value);

    bool DebugMode() const { return debugMode_; }
    void setDebugMode(bool on) { debugMode_ = on; }
    bool LoopTest() const { return loopTest_; }
    void setLoopTest(bool on) { loopTest_ = on; }

    // Current interface kind; 3 (USB(TMC)) when absent.
    int GpibBoard() const;
    void setGpibBoard(int board);

    QString SerialNum() const;
    void setSerialNum(const QString& serial);

    // True when another copy of the program holds a live instance lock.
    bool otherCopyRunning() const;

private:
    struct FormSlot {
        QString name;
        int top = 0;
        int left = 0;
        int third = 0;
        int fourth = 0;
    };

    void create();
    // The start-up pass over the store: counters, and the flags a crashed copy left.
    void createPass(bool alone);
    // A command's start: reads the flags it uses, writes only the clearing
    // of busy flags a crashed copy left (when alone).
    void commandPass(bool alone);
    void destroy();
    void setAsideCorruptStore();
    bool takeOwnLock();
    void loadFormTable();
    void saveFormTable();
    int slotFor(const QString& formName, bool forGet);
    // A lock on "<name>.flock" in the instance folder, taken before and
    // released after a read-modify-write of shared values. Null when it
    // could not be had in time (`waitMs`; -1: the usual wait).
    std::unique_ptr<SharedLock> lockShared(const QString& name, bool* heldElsewhere = nullptr,
                                           int waitMs = -1) const;

    // Reads fall back to `fallback` when the key is absent or the store cannot
    // be read; failed writes are skipped.
    std::optional<QString> read(const QString& section, const QString& key) const;
    QString readOr(const QString& section, const QString& key, const QString& fallback) const;
    void write(const QString& section, const QString& key, const QString& value);
    // Writes the store out (QSettings::sync) so that the new version's
    // modification time differs from the one before: see commit() in the
    // source. Called under storeTurn, once roomToWrite said yes.
    void commit(QSettings& s) const;
    // The store's lock, held by every reading of the file and by a write
    // from its reading to its commit (null when it could not be had: the
    // step goes on without it). Qt keeps one parse of the file per process
    // and trusts it while the file's size and time stay the same: a read
    // that overlapped another copy's putting a new version in place would
    // keep the old text under the new version's size and time, and every
    // later read and check-and-set here would go by that old text.
    std::unique_ptr<SharedLock> storeTurn() const;
    // The file read under storeTurn; every reading goes through one.
    struct StoreFile;
    // Whether the store can take a write now (called under storeTurn).
    bool roomToWrite() const;
    QString busSection() const;

    QString iniPath_;
    QString instanceDir_;
    std::unique_ptr<QLockFile> ownLock_;
    // The bus's standing lock, kept while this copy holds a bus whose flag
    // the store could not take.
    std::unique_ptr<SharedLock> heldBusLock_;
    // The store could not be parsed when this command-line copy started:
    // read as defaults, never written.
    bool damaged_ = false;
    // The same lock, kept for a reservation.
    std::unique_ptr<SharedLock> reservation_;
    QString ownLockPath_;
    ScreenTwipsFn screenTwips_;
    BusToLocalFn busToLocal_;

    Role role_ = Role::Editor;
    bool gpibHost_ = false;
    int gpibId_ = 0;
    int winH_ = 0;
    int winCount_ = 0;
    bool debugMode_ = false;
    // setRunSetting's values, by "section/key".
    std::map<QString, QString> runSettings_;
    bool loopTest_ = false;
    std::array<FormSlot, FormSlots> forms_{};
};

// The leading decimal number of a text (after blanks, with an optional sign);
// text after it is ignored and no digits read as 0. Saturates at the 32-bit limits.
int leadingNumber(const QString& text);

} // namespace velda
