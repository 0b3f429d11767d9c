#include "app/Registry.h"

#include "app/SharedLock.h"
#include "app/Twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <unistd.h>

namespace velda {
namespace {

const QString kSystem = QStringLiteral("System");
const QString kFormProperty = QStringLiteral("FormProperty");

bool isTrueText(const QString& text) {
    return text.toLower() == QLatin1String("true");
}

QString boolText(bool on) {
    return on ? QStringLiteral("True") : QStringLiteral("False");
}

// Lock-file names carry the process id and a per-process serial number, so
// two settings objects in one process (tests) do not share a lock.
std::atomic<int> g_lockSerial{0};

// An instance lock is "<pid>-<serial>.lock"; the named locks beside them are not copies.
bool isInstanceLockName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[0-9]+-[0-9]+\\.lock$"));
    return pattern.match(name).hasMatch();
}

// How long a copy waits for a named lock held by another live copy. The
// locked steps are a few reads and writes of the store.
constexpr int kSharedLockWaitMs = 10000;

} // namespace

int leadingNumber(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
        value = std::min(limit, value * 10 + (text[i].unicode() - '0'));
        ++i;
    }
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                               std::numeric_limits<int>::max()));
}

QString clsRegistry::defaultIniPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/VELDA/VELDA.ini");
}

clsRegistry::clsRegistry() : clsRegistry(defaultIniPath()) {}

clsRegistry::clsRegistry(const QString& iniPath, Role role)
    : iniPath_(QFileInfo(iniPath).absoluteFilePath()),
      instanceDir_(QFileInfo(iniPath).absolutePath() + QStringLiteral("/instances")),
      screenTwips_(primaryScreenTwips), role_(role) {
    create();
}

clsRegistry::~clsRegistry() {
    destroy();
}

// --- store access ----------------------------------------------------------

std::unique_ptr<SharedLock> clsRegistry::storeTurn() const {
    return lockShared(QStringLiteral("Store"));
}

// The store's file as QSettings reads it, parsed under the store's lock,
// which it holds for as long as it lives (members are made in order).
struct clsRegistry::StoreFile {
    explicit StoreFile(const clsRegistry& r)
        : turn(r.storeTurn()), s(r.iniPath_, QSettings::IniFormat), damaged(r.damaged_) {}
    // Parsed, and not found damaged when this command-line copy started.
    bool usable() const { return !damaged && s.status() == QSettings::NoError; }

    const std::unique_ptr<SharedLock> turn;
    QSettings s;
    const bool damaged;
};

std::optional<QString> clsRegistry::read(const QString& section, const QString& key) const {
    const StoreFile f(*this);
    if (!f.usable())
        return std::nullopt;
    const QVariant v = f.s.value(section + QLatin1Char('/') + key);
    if (!v.isValid())
        return std::nullopt;
    // A hand-written value with commas comes back as a list.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

QString clsRegistry::readOr(const QString& section, const QString& key,
                            const QString& fallback) const {
    return read(section, key).value_or(fallback);
}

// A value is only ever handed to QSettings when the file can take it: one
// it cannot write stays pending in the process's shared copy of the file,
// every read after it fails, and the next write that succeeds puts it out
// over what other copies have written since.
bool clsRegistry::roomToWrite() const {
    const QFileInfo ini(iniPath_);
    if (ini.exists()
            ? !ini.isWritable()
            // A store not yet written: its folder is made as the write would make it.
            : !(QDir().mkpath(ini.absolutePath()) && QFileInfo(ini.absolutePath()).isWritable()))
        return false;
    // QSettings puts its new version in place even when the last of its
    // writes failed: on a full disk the store would be cut short, and every
    // value after the cut lost. So the room for a whole new version is
    // tried first, with a file of that size where the new version goes
    // (beside the file a linked store leads to), under the store's lock so
    // that no other copy's try takes the room meanwhile.
    const QString folder =
        QFileInfo(ini.exists() ? ini.canonicalFilePath() : iniPath_).absolutePath();
    QTemporaryFile room(folder + QStringLiteral("/.room-XXXXXX"));
    if (!room.open())
        return false;
    const QByteArray bytes(ini.size() + 4096, '\0');
    // Some file systems refuse the data only when the file is closed.
    const bool fits = room.write(bytes) == bytes.size() && room.flush();
    room.close();
    return fits && room.error() == QFileDevice::NoError;
}

void clsRegistry::write(const QString& section, const QString& key, const QString& value) {
    StoreFile f(*this);
    QSettings& s = f.s;
    // Never rewrite a file we could not read: that would throw its contents away.
    if (!f.usable())
        return;
    // An unchanged value leaves the file alone: every write is a whole
    // rewrite and a flush to disk, and a transfer stores its values each time.
    const QString at = section + QLatin1Char('/') + key;
    const QVariant old = s.value(at);
    if (old.isValid() && old.typeId() == QMetaType::QString && old.toString() == value)
        return;
    if (!roomToWrite())
        return;
    s.setValue(at, value);
    commit(s);
}

// QSettings keeps the file it read and takes it as unchanged while its size
// and modification time (to the millisecond) stay the same. The file system
// sets the time from a clock of a few milliseconds' steps: another copy
// writing a value of the same length within one step (two windows closing
// together count themselves out of "WinCount") would go unseen, and the
// next write from here would put back this copy's older version over it.
// So every version gets a time past the one before, every writer holding
// the store's lock (its write turn) for it.
void clsRegistry::commit(QSettings& s) const {
    const QDateTime before = QFileInfo(iniPath_).lastModified();
    s.sync();
    if (s.status() != QSettings::NoError || !before.isValid())
        return;
    const QDateTime now = QFileInfo(iniPath_).lastModified();
    if (now.isValid() && now > before)
        return;
    // The smallest step the file system keeps: milliseconds, whole seconds
    // (ext3, sshfs), or two seconds (FAT).
    QFile f(iniPath_);
    if (!f.open(QIODevice::ReadOnly))
        return;
    for (const qint64 step : {qint64(1), qint64(1000), qint64(2000)}) {
        if (f.setFileTime(before.addMSecs(step), QFileDevice::FileModificationTime) &&
            QFileInfo(iniPath_).lastModified() > before)
            return;
    }
}

QString clsRegistry::busSection() const {
    return QStringLiteral("GPIB") + QString::number(gpibId_);
}

// --- instances ---------------------------------------------------------------

bool clsRegistry::otherCopyRunning() const {
    const QString own = ownLock_ ? QFileInfo(ownLockPath_).fileName() : QString();
    const QDir dir(instanceDir_);
    const QStringList locks =
        dir.entryList({QStringLiteral("*.lock")}, QDir::Files | QDir::Hidden | QDir::System);
    bool running = false;
    for (const QString& name : locks) {
        if (name == own || !isInstanceLockName(name))
            continue;
        // A running copy keeps its lock file open and locked. The process
        // the file names may be another one now (ids are reused, and a
        // shared home is seen from other hosts), so the lock itself tells:
        // one nobody holds is a crashed copy's, and goes.
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue; // gone meanwhile
        const int taken = ::flock(fd, LOCK_EX | LOCK_NB);
        const int error = errno;
        if (taken == 0)
            ::unlink(path.constData());
        ::close(fd);
        if (taken == 0)
            continue;
        if (error == EWOULDBLOCK) {
            running = true;
            continue;
        }
        // No such locks here: the file's own account decides.
        QLockFile probe(dir.filePath(name));
        // Age alone never makes a copy's lock stale: copies run for days.
        probe.setStaleLockTime(0);
        if (probe.tryLock(0)) {
            // Its owner is gone (crashed); taking and dropping the lock removes it.
            probe.unlock();
            continue;
        }
        if (probe.error() == QLockFile::LockFailedError)
            running = true;
    }
    return running;
}

bool clsRegistry::takeOwnLock() {
    if (!QDir().mkpath(instanceDir_))
        return false;
    const QString pid = QString::number(QCoreApplication::applicationPid());
    for (int attempt = 0; attempt < 64; ++attempt) {
        const QString path = instanceDir_ + QLatin1Char('/') + pid + QLatin1Char('-') +
                             QString::number(++g_lockSerial) + QStringLiteral(".lock");
        auto lock = std::make_unique<QLockFile>(path);
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            ownLock_ = std::move(lock);
            ownLockPath_ = path;
            return true;
        }
        // A leftover of an earlier process with our id: try the next name.
        if (lock->error() != QLockFile::LockFailedError)
            return false;
    }
    return false;
}

std::unique_ptr<SharedLock> clsRegistry::lockShared(const QString& name, bool* heldElsewhere,
                                                    int waitMs) const {
    if (heldElsewhere)
        *heldElsewhere = false;
    if (!QDir().mkpath(instanceDir_))
        return nullptr;
    return SharedLock::Take(instanceDir_ + QLatin1Char('/') + name + QStringLiteral(".flock"),
                            waitMs < 0 ? kSharedLockWaitMs : waitMs, heldElsewhere);
}

// --- creation and destruction -----------------------------------------------

void clsRegistry::setAsideCorruptStore() {
    if (StoreFile(*this).s.status() != QSettings::FormatError)
        return;
    // Keep the damaged bytes for the user, and go on with an empty store so
    // every value reads as its default and later writes make a sound file.
    const QString aside = iniPath_ + QStringLiteral(".bad");
    QFile::remove(aside);
    QFile::rename(iniPath_, aside);
}

void clsRegistry::create() {
    gpibId_ = 0;
    // Two copies starting together must not both count themselves as the
    // first, nor both read the same copy count.
    const auto systemLock = lockShared(kSystem);
    if (role_ == Role::Command) {
        // A damaged store is read as defaults and left as it is. Qt reports
        // the damage on the first reading in the process only; the later
        // ones take its parse as sound, so it is remembered here.
        damaged_ = !StoreFile(*this).usable();
        takeOwnLock();
        commandPass(!otherCopyRunning());
        return;
    }
    setAsideCorruptStore();
    takeOwnLock();
    const bool alone = !otherCopyRunning();

    // One pass over the store, written back in one go.
    createPass(alone);
    loadFormTable();
}

void clsRegistry::createPass(bool alone) {
    StoreFile f(*this);
    QSettings& s = f.s;
    const bool usable = f.usable();
    const bool writable = usable && roomToWrite();
    // What this pass has put, read back by it whether or not it is written.
    std::map<QString, QString> written;
    auto get = [&](const QString& key, const QString& fallback) {
        if (const auto it = written.find(key); it != written.end())
            return it->second;
        if (!usable)
            return fallback;
        const QVariant v = s.value(key);
        if (!v.isValid())
            return fallback;
        return v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(','))
                                                    : v.toString();
    };
    auto put = [&](const QString& key, const QString& value) {
        written[key] = value;
        if (writable)
            s.setValue(key, value);
    };
    const QString winHandleKey = kSystem + QStringLiteral("/WinHandle");
    const QString winCountKey = kSystem + QStringLiteral("/WinCount");

    if (alone) {
        if (leadingNumber(get(winCountKey, QStringLiteral("0"))) < 1)
            gpibHost_ = false;
        // Clears the busy flags a crashed copy may have left behind.
        for (int n = 0; n < 4; ++n)
            put(QStringLiteral("GPIB%1/Busy").arg(n), boolText(false));
        put(winHandleKey, QStringLiteral("0"));
        put(winCountKey, QStringLiteral("0"));
    }

    // The stored counts are outside input: one at the top of the range
    // starts again rather than overflowing.
    const auto next = [](int stored) { return stored < 0 || stored == INT_MAX ? 1 : stored + 1; };
    winH_ = next(leadingNumber(get(winHandleKey, QStringLiteral("0"))));
    winCount_ = next(leadingNumber(get(winCountKey, QStringLiteral("0"))));
    put(winHandleKey, QString::number(winH_));
    put(winCountKey, QString::number(winCount_));

    debugMode_ = isTrueText(get(kSystem + QStringLiteral("/DebugMode"), boolText(false)));
    loopTest_ = isTrueText(get(kSystem + QStringLiteral("/LoopTest"), boolText(false)));
    if (writable)
        commit(s);
}

void clsRegistry::commandPass(bool alone) {
    StoreFile f(*this);
    QSettings& s = f.s;
    if (!f.usable())
        return;
    bool changed = false;
    const bool clear = alone && roomToWrite();
    for (int n = 0; clear && n < 4; ++n) {
        const QString key = QStringLiteral("GPIB%1/Busy").arg(n);
        if (isTrueText(s.value(key).toString())) {
            s.setValue(key, boolText(false));
            changed = true;
        }
    }
    debugMode_ = isTrueText(s.value(kSystem + QStringLiteral("/DebugMode")).toString());
    loopTest_ = isTrueText(s.value(kSystem + QStringLiteral("/LoopTest")).toString());
    if (changed)
        commit(s);
}

void clsRegistry::destroy() {
    const bool editor = role_ == Role::Editor;
    if (editor) {
        const auto systemLock = lockShared(kSystem);
        // A count already at 0 (the store was edited or reset) must not go negative.
        winCount_ = std::max(1, WinCount()) - 1;
        write(kSystem, QStringLiteral("WinCount"), QString::number(winCount_));
    }

    if (gpibHost_) {
        if (busToLocal_)
            busToLocal_();
        ReleaseGpibBus();
    }

    if (editor && WinCount() < 1) {
        saveFormTable();
        gpibHost_ = false;
    }

    if (ownLock_) {
        ownLock_->unlock();
        ownLock_.reset();
    }
}

void clsRegistry::loadFormTable() {
    forms_ = {};
    StoreFile f(*this);
    QSettings& s = f.s;
    if (!f.usable())
        return;
    s.beginGroup(kFormProperty);
    const QStringList keys = s.childKeys();
    int slot = 0;
    for (const QString& key : keys) {
        if (slot >= FormSlots)
            break;
        const QVariant v = s.value(key);
        const QString text = v.typeId() == QMetaType::QStringList
                                 ? v.toStringList().join(QLatin1Char(','))
                                 : v.toString();
        const QStringList pieces = text.split(QLatin1Char(','));
        auto piece = [&](int i) { return i < pieces.size() ? leadingNumber(pieces[i]) : 0; };
        FormSlot& f = forms_[slot++];
        f.name = key;
        f.top = piece(0);
        f.left = piece(1);
        f.third = piece(2);
        f.fourth = piece(3);
    }
}

void clsRegistry::saveFormTable() {
    StoreFile f(*this);
    QSettings& s = f.s;
    if (!f.usable() || !roomToWrite())
        return;
    s.beginGroup(kFormProperty);
    // Slot 10 is shared by every form beyond the tenth and is not kept.
    for (int i = 0; i < FormSlots - 1; ++i) {
        const FormSlot& f = forms_[i];
        if (f.name.isEmpty())
            break;
        s.setValue(f.name,
                   QStringLiteral("%1,%2,%3,%4").arg(f.top).arg(f.left).arg(f.third).arg(f.fourth));
    }
    s.endGroup();
    commit(s);
}

// --- properties --------------------------------------------------------------

bool clsRegistry::GpibBusy() const {
    return isTrueText(readOr(busSection(), QStringLiteral("Busy"), boolText(false)));
}

void clsRegistry::setGpibBusy(bool busy) {
    write(busSection(), QStringLiteral("Busy"), boolText(busy));
    gpibHost_ = busy;
}

bool clsRegistry::TryTakeGpibBus(std::optional<int> address) {
    if (gpibHost_)
        return false;
    bool heldElsewhere = false;
    const auto lock = lockShared(busSection(), &heldElsewhere);
    if (!lock && heldElsewhere)
        return false;
    // A copy whose store could not take the flag holds this one instead for
    // as long as it holds the bus, or reserved it; asked without waiting
    // (this copy's own reservation holds it already).
    std::unique_ptr<SharedLock> standing;
    if (!reservation_) {
        standing = lockShared(busSection() + QStringLiteral(".held"), &heldElsewhere, 0);
        if (!standing && heldElsewhere)
            return false;
    }
    // Read straight from the file: the check and the set must both happen
    // while the lock is held. A store that cannot be read or written does
    // not keep this copy off the bus: like every other failed write, the
    // flag's is skipped, and the message that another copy uses the bus
    // would not be true; the standing lock keeps another copy off it.
    StoreFile f(*this);
    QSettings& s = f.s;
    const QString key = busSection() + QStringLiteral("/Busy");
    const bool readable = f.usable();
    if (readable && isTrueText(s.value(key, boolText(false)).toString()))
        return false;
    // The address goes with the flag, so another copy that sees the bus
    // taken reads this copy's address, never the one before.
    bool flagged = false;
    if (readable && roomToWrite()) {
        if (address)
            s.setValue(busSection() + QStringLiteral("/Address"), QString::number(*address));
        s.setValue(key, boolText(true));
        commit(s);
        flagged = s.status() == QSettings::NoError;
    }
    if (!flagged)
        heldBusLock_ = std::move(standing);
    gpibHost_ = true;
    return true;
}

bool clsRegistry::Reserve_GpibBus() {
    if (reservation_)
        return true;
    bool heldElsewhere = false;
    reservation_ = lockShared(busSection() + QStringLiteral(".held"), &heldElsewhere, 0);
    return reservation_ || !heldElsewhere;
}

void clsRegistry::End_GpibReservation() {
    reservation_.reset();
}

void clsRegistry::ReleaseGpibBus() {
    if (!gpibHost_)
        return;
    const auto lock = lockShared(busSection());
    // Cleared even when the lock cannot be had: a flag left set would keep
    // every copy off the bus until all of them end.
    setGpibBusy(false);
    heldBusLock_.reset();
}

int clsRegistry::slotFor(const QString& formName, bool forGet) {
    int i = 0;
    for (; i < FormSlots - 1; ++i) {
        if (forms_[i].name.isEmpty() || forms_[i].name == formName)
            break;
    }
    FormSlot& f = forms_[i];
    if (f.name != formName) {
        f.name = formName;
        if (forGet)
            f = FormSlot{formName};
    }
    return i;
}

int clsRegistry::FormTop(const QString& formName) {
    FormSlot& f = forms_[slotFor(formName, true)];
    const auto screen = screenTwips_ ? screenTwips_() : std::nullopt;
    if (screen && qint64(f.top) + 1000 > screen->height())
        f.top = 0;
    return f.top;
}

void clsRegistry::setFormTop(const QString& formName, int y) {
    forms_[slotFor(formName, false)].top = y;
}

int clsRegistry::FormLeft(const QString& formName) {
    FormSlot& f = forms_[slotFor(formName, true)];
    const auto screen = screenTwips_ ? screenTwips_() : std::nullopt;
    if (screen && qint64(f.left) + 1000 > screen->width())
        f.left = 0;
    return f.left;
}

void clsRegistry::setFormLeft(const QString& formName, int x) {
    forms_[slotFor(formName, false)].left = x;
}

int clsRegistry::WinCount() const {
    return leadingNumber(readOr(kSystem, QStringLiteral("WinCount"), QStringLiteral("0")));
}

int clsRegistry::GpibAddress() const {
    const auto v = read(busSection(), QStringLiteral("Address"));
    return v ? leadingNumber(*v) : -1;
}

void clsRegistry::setGpibAddress(int addr) {
    write(busSection(), QStringLiteral("Address"), QString::number(addr));
}

QString clsRegistry::Setting(const QString& section, const QString& key) const {
    if (const auto it = runSettings_.find(section + QLatin1Char('/') + key);
        it != runSettings_.end())
        return it->second;
    return readOr(section, key, boolText(false));
}

void clsRegistry::setRunSetting(const QString& section, const QString& key, const QString& value) {
    runSettings_[section + QLatin1Char('/') + key] = value;
}

void clsRegistry::setSetting(const QString& section, const QString& key, const QString& value) {
    write(section, key, value);
}

int clsRegistry::GpibBoard() const {
    const auto v = read(kSystem, QStringLiteral("GpibBoard"));
    return v ? leadingNumber(*v) : 3;
}

void clsRegistry::setGpibBoard(int board) {
    write(kSystem, QStringLiteral("GpibBoard"), QString::number(board));
}

QString clsRegistry::SerialNum() const {
    return readOr(kSystem, QStringLiteral("SerialNum"), QString());
}

void clsRegistry::setSerialNum(const QString& serial) {
    write(kSystem, QStringLiteral("SerialNum"), serial);
}

} // namespace velda
