#include "TestSupport.h"
#include "app/Registry.h"
#include "app/SharedLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <pwd.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velda;

namespace {

const char* const kChildIniVar = "VELDA_REGISTRY_CHILD_INI";
const char* const kRefusedWriteVar = "VELDA_REGISTRY_REFUSED_WRITE_INI";

// A settings folder of its own for each test.
class Store {
public:
    Store() { QDir().mkpath(folder()); }
    QString folder() const { return dir_.path() + QStringLiteral("/VELDA"); }
    QString ini() const { return folder() + QStringLiteral("/VELDA.ini"); }

    void writeRaw(const QByteArray& text) const {
        QFile f(ini());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray raw() const {
        QFile f(ini());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // What the store holds now, read past any settings object.
    QString value(const QString& key) const {
        QSettings s(ini(), QSettings::IniFormat);
        const QVariant v = s.value(key);
        if (v.typeId() == QMetaType::QStringList)
            return v.toStringList().join(QLatin1Char(','));
        return v.isValid() ? v.toString() : QStringLiteral("<absent>");
    }
    QStringList lockFiles() const {
        return QDir(folder() + QStringLiteral("/instances")).entryList({QStringLiteral("*.lock")});
    }

private:
    QTemporaryDir dir_;
};

std::optional<QSize> screen4x3() {
    return QSize(20480, 15360);
}

std::unique_ptr<clsRegistry> openRegistry(const Store& store) {
    auto r = std::make_unique<clsRegistry>(store.ini());
    r->setScreenTwips(screen4x3);
    return r;
}

// Another copy of the program: this test binary run as a child that holds a
// settings object on the same store and obeys commands on its standard input.
class Copy {
public:
    explicit Copy(const Store& store) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildIniVar), store.ini());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        proc_.setProcessEnvironment(env);
        proc_.setProcessChannelMode(QProcess::SeparateChannels);
        proc_.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=RegistryChild.Run")});
        const QString started = waitFor(QStringLiteral("started"));
        const QStringList f = started.split(QLatin1Char(' '));
        winH = f.value(1).toInt();
        winCount = f.value(2).toInt();
    }
    ~Copy() {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(10000);
        }
    }

    void command(const QString& line) {
        proc_.write((line + QLatin1Char('\n')).toUtf8());
        waitFor(QStringLiteral("ok"));
    }
    void quit() {
        proc_.write("quit\n");
        waitFor(QStringLiteral("ended"));
        proc_.waitForFinished(30000);
    }
    void crash() {
        proc_.write("crash\n");
        proc_.waitForFinished(30000);
    }

    int winH = 0;
    int winCount = 0;

private:
    // The next line of the child's own protocol ("CHILD <word> ..."), without the prefix.
    QString waitFor(const QString& word) {
        for (int i = 0; i < 600; ++i) {
            while (proc_.canReadLine()) {
                const QString line = QString::fromUtf8(proc_.readLine()).trimmed();
                if (line.startsWith(QStringLiteral("CHILD ") + word))
                    return line.mid(6);
            }
            if (proc_.state() == QProcess::NotRunning && !proc_.canReadLine())
                break;
            proc_.waitForReadyRead(100);
        }
        ADD_FAILURE() << "child did not answer " << word.toStdString()
                      << "; stderr: " << proc_.readAllStandardError().toStdString();
        return {};
    }

    QProcess proc_;
};

} // namespace

// Ends a child at once, as a crash would, without destructors: the home the
// test program made for this process goes first, or it would stay in /tmp.
[[noreturn]] static void exitChild(int code) {
    const QString home = qEnvironmentVariable("HOME");
    if (home.contains(QLatin1String("/velda-test-")))
        QDir(home).removeRecursively();
    std::_Exit(code);
}

// Body of the child copies above; skipped in an ordinary run.
TEST(RegistryChild, Run) {
    const QByteArray ini = qgetenv(kChildIniVar);
    if (ini.isEmpty())
        GTEST_SKIP() << "runs only as a child of the two-copy tests";
    auto reg = std::make_unique<clsRegistry>(QString::fromLocal8Bit(ini));
    reg->setScreenTwips({});
    std::printf("CHILD started %d %d\n", reg->WinH(), reg->WinCount());
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string cmd;
        in >> cmd;
        if (cmd == "quit")
            break;
        if (cmd == "crash")
            exitChild(3); // no destruction: what a crash leaves behind
        if (cmd == "top") {
            std::string name;
            int v = 0;
            in >> name >> v;
            reg->setFormTop(QString::fromStdString(name), v);
        } else if (cmd == "busy") {
            int id = 0;
            in >> id;
            reg->setGpibId(id);
            reg->setGpibBusy(true);
        }
        std::printf("CHILD ok\n");
        std::fflush(stdout);
    }
    reg.reset();
    std::printf("CHILD ended\n");
    std::fflush(stdout);
}

// Body of the refused-write test below, in a process of the store's owner
// (not root, whom no file refuses); skipped in an ordinary run. Exits 0
// when all holds, else the number of the step that failed.
TEST(RegistryChild, RefusedWrite) {
    const QString ini = QString::fromLocal8Bit(qgetenv(kRefusedWriteVar));
    if (ini.isEmpty())
        GTEST_SKIP() << "runs only as a child of the refused-write test";
    QFile::setPermissions(ini, QFile::ReadOwner);
    clsRegistry r(ini, clsRegistry::Role::Command);
    r.setSerialNum(QStringLiteral("OLD-FAILED")); // refused: the file is read-only
    if (r.SerialNum() != QStringLiteral("GOOD"))
        exitChild(1);
    // The file can be written again, and another copy changes the value.
    QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
    QFile f(ini);
    if (!f.open(QIODevice::ReadOnly))
        exitChild(2);
    QByteArray text = f.readAll().replace("GOOD", "NEWER");
    f.close();
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size())
        exitChild(2);
    f.close();
    // This copy's next write keeps the other copy's value.
    r.setGpibBoard(1);
    if (r.SerialNum() != QStringLiteral("NEWER") || r.GpibBoard() != 1)
        exitChild(3);
    exitChild(0);
}

// A write the store refuses (a read-only file) is skipped: the values read
// after it are the file's, and it never lands later over another copy's.
TEST(Registry, AWriteTheStoreRefusesLeavesNothingBehind) {
    Store store;
    {
        clsRegistry r(store.ini());
        r.setSerialNum(QStringLiteral("GOOD"));
        r.setGpibBoard(4);
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kRefusedWriteVar), store.ini());
    child.setProcessEnvironment(env);
    if (::geteuid() == 0) {
        // Root writes every file: the child runs as nobody, owning the store.
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody)
            GTEST_SKIP() << "no user to run the child as";
        const uid_t uid = nobody->pw_uid;
        const gid_t gid = nobody->pw_gid;
        const QString top = QFileInfo(store.folder()).absolutePath();
        ASSERT_EQ(::chmod(QFile::encodeName(top).constData(), 0755), 0);
        // The child's own temporary folder: root's may be closed to others.
        const QString tmp = top + QStringLiteral("/tmp");
        ASSERT_TRUE(QDir().mkpath(tmp));
        env.insert(QStringLiteral("TMPDIR"), tmp);
        child.setProcessEnvironment(env);
        // A folder above the program or the store closed to others (a
        // checkout in root's home) keeps nobody out: nothing to test then.
        const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
        const QByteArray folder = QFile::encodeName(top);
        const pid_t probe = ::fork();
        if (probe == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                std::_Exit(2);
            std::_Exit(::access(program.constData(), X_OK) == 0 &&
                               ::access(folder.constData(), X_OK) == 0
                           ? 0
                           : 1);
        }
        int status = -1;
        ASSERT_GT(probe, 0);
        ASSERT_EQ(::waitpid(probe, &status, 0), probe);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            GTEST_SKIP() << "nobody cannot reach the test program or its folder";
        QStringList owned = {store.folder(), store.ini(), store.folder() + "/instances", tmp};
        for (const QString& f : QDir(store.folder() + "/instances").entryList(QDir::Files))
            owned << store.folder() + "/instances/" + f;
        for (const QString& p : owned) {
            if (QFileInfo::exists(p)) {
                ASSERT_EQ(::chown(QFile::encodeName(p).constData(), uid, gid), 0);
            }
        }
        child.setChildProcessModifier([uid, gid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                std::_Exit(9);
        });
    }
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=RegistryChild.RefusedWrite")});
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    EXPECT_EQ(store.value(QStringLiteral("System/SerialNum")), QStringLiteral("NEWER"));
    EXPECT_EQ(store.value(QStringLiteral("System/GpibBoard")), QStringLiteral("1"));
}

// On a full disk (here a file-size limit, as a full disk refuses) a write
// is skipped and the store stays whole, every value in it.
TEST(Registry, AFullDiskLeavesTheStoreWhole) {
    Store store;
    {
        clsRegistry r(store.ini());
        for (int i = 0; i < 60; ++i)
            r.setSetting(QStringLiteral("Kept"), QStringLiteral("Key%1").arg(i), QString(40, 'k'));
        r.setSerialNum(QStringLiteral("OLD"));
    }
    clsRegistry r(store.ini());
    const QByteArray before = store.raw();
    ASSERT_GT(before.size(), 2048);
    ASSERT_TRUE(test::With_File_Size_Limit(2048, [&] { r.setSerialNum(QStringLiteral("NEW")); }));
    EXPECT_EQ(store.raw(), before);
    EXPECT_EQ(r.SerialNum(), QStringLiteral("OLD"));
    EXPECT_EQ(QDir(store.folder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("VELDA.ini")});
}

TEST(Registry, FreshStoreGivesEveryDefault) {
    Store store;
    auto r = openRegistry(store);
    EXPECT_FALSE(r->GpibBusy());
    EXPECT_FALSE(r->GpibHost());
    EXPECT_EQ(r->GpibId(), 0);
    EXPECT_EQ(r->WinH(), 1);
    EXPECT_EQ(r->WinCount(), 1);
    EXPECT_EQ(r->GpibAddress(), -1);
    EXPECT_EQ(r->Setting(QStringLiteral("Sysinfo"), QStringLiteral("sys_no")),
              QStringLiteral("False"));
    EXPECT_FALSE(r->DebugMode());
    EXPECT_FALSE(r->LoopTest());
    EXPECT_EQ(r->GpibBoard(), 3);
    EXPECT_EQ(r->SerialNum(), QString());
    EXPECT_EQ(r->FormTop(QStringLiteral("MainWindow")), 0);
    EXPECT_EQ(r->FormLeft(QStringLiteral("MainWindow")), 0);
    // The first copy wrote the cleared flags and the counters.
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(store.value(QStringLiteral("GPIB%1/Busy").arg(n)), QStringLiteral("False"));
    EXPECT_EQ(store.value(QStringLiteral("System/WinHandle")), QStringLiteral("1"));
    EXPECT_EQ(store.value(QStringLiteral("System/WinCount")), QStringLiteral("1"));
    r.reset();
    EXPECT_EQ(store.value(QStringLiteral("System/WinCount")), QStringLiteral("0"));
    EXPECT_TRUE(store.lockFiles().isEmpty());
}

TEST(Registry, ValuesRoundTripThroughTheStore) {
    Store store;
    {
        auto r = openRegistry(store);
        r->setGpibAddress(12);
        r->setGpibId(2);
        r->setGpibAddress(7);
        r->setGpibBoard(0);
        r->setSerialNum(QStringLiteral("@SN,0042"));
        r->setSetting(QStringLiteral("Sysinfo"), QStringLiteral("sys_no"), QStringLiteral("4"));
        EXPECT_EQ(r->GpibAddress(), 7);
        r->setGpibId(0);
        EXPECT_EQ(r->GpibAddress(), 12);
    }
    EXPECT_EQ(store.value(QStringLiteral("GPIB0/Address")), QStringLiteral("12"));
    EXPECT_EQ(store.value(QStringLiteral("GPIB2/Address")), QStringLiteral("7"));
    auto r = openRegistry(store);
    EXPECT_EQ(r->GpibId(), 0); // each copy starts on bus 0
    EXPECT_EQ(r->GpibAddress(), 12);
    EXPECT_EQ(r->GpibBoard(), 0); // 0 is a value, not "absent"
    EXPECT_EQ(r->SerialNum(), QStringLiteral("@SN,0042"));
    EXPECT_EQ(r->Setting(QStringLiteral("Sysinfo"), QStringLiteral("sys_no")), QStringLiteral("4"));
}

TEST(Registry, DebugAndLoopFlagsOnlyForTrueInAnyCase) {
    struct Case {
        const char* stored;
        bool on;
    };
    const Case cases[] = {{"TRUE", true}, {"true", true}, {"tRuE", true},   {"yes", false},
                          {"1", false},   {"", false},    {"true1", false}, {"False", false}};
    for (const Case& c : cases) {
        Store store;
        store.writeRaw(QByteArray("[System]\nLoopTest=") + c.stored + "\nDebugMode=" + c.stored +
                       "\n");
        auto r = openRegistry(store);
        EXPECT_EQ(r->LoopTest(), c.on) << c.stored;
        EXPECT_EQ(r->DebugMode(), c.on) << c.stored;
        // Setting the members does not write the store.
        r->setLoopTest(!c.on);
        EXPECT_EQ(r->LoopTest(), !c.on);
        EXPECT_EQ(store.value(QStringLiteral("System/LoopTest")), QString::fromLatin1(c.stored));
    }
}

TEST(Registry, BusyFlagIsSharedButOwnershipIsPerCopy) {
    Store store;
    auto a = openRegistry(store);
    auto b = openRegistry(store); // a second copy in this process
    EXPECT_EQ(b->WinH(), 2);
    a->setGpibId(1);
    b->setGpibId(1);
    a->setGpibBusy(true);
    EXPECT_TRUE(a->GpibBusy());
    EXPECT_TRUE(a->GpibHost());
    EXPECT_TRUE(b->GpibBusy());
    EXPECT_FALSE(b->GpibHost());
    b->setGpibId(0);
    EXPECT_FALSE(b->GpibBusy()); // other bus
    EXPECT_EQ(store.value(QStringLiteral("GPIB1/Busy")), QStringLiteral("True"));
    a->setGpibBusy(false);
    EXPECT_FALSE(a->GpibHost());
    EXPECT_EQ(store.value(QStringLiteral("GPIB1/Busy")), QStringLiteral("False"));
}

TEST(Registry, BusyTextIsComparedWithoutCase) {
    const std::pair<const char*, bool> cases[] = {
        {"True", true}, {"TRUE", true}, {"true", true}, {"yes", false}, {"-1", false}};
    for (const auto& [text, busy] : cases) {
        Store store;
        auto r = openRegistry(store); // clears the flags as the first copy
        store.writeRaw(QByteArray("[GPIB0]\nBusy=") + text + "\n");
        EXPECT_EQ(r->GpibBusy(), busy) << text;
    }
}

TEST(Registry, OwnerPutsTheBusBackToLocalOnExit) {
    Store store;
    int calls = 0;
    {
        auto r = openRegistry(store);
        r->setBusToLocal([&] { ++calls; });
        r->setGpibId(3);
        r->setGpibBusy(true);
    }
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(store.value(QStringLiteral("GPIB3/Busy")), QStringLiteral("False"));
    {
        auto r = openRegistry(store); // not the owner: leaves the bus alone
        r->setBusToLocal([&] { ++calls; });
    }
    EXPECT_EQ(calls, 1);
}

TEST(Registry, FormPositionsReadTheLeadingNumbers) {
    struct Case {
        const char* stored;
        int top, left;
    };
    const Case cases[] = {
        {"120,-30,0,0", 120, -30},
        {"120abc,-30", 120, -30},
        {" 7 , x", 7, 0},
        {"", 0, 0},
        {"abc", 0, 0},
        {"+5,-0", 5, 0},
        {"99999999999,5", 0, 5}, // beyond any screen: reset
    };
    for (const Case& c : cases) {
        Store store;
        // Hand-written, unquoted: the store hands such a value back as a list.
        store.writeRaw(QByteArray("[FormProperty]\nMainWindow=") + c.stored + "\n");
        auto r = openRegistry(store);
        EXPECT_EQ(r->FormTop(QStringLiteral("MainWindow")), c.top) << c.stored;
        EXPECT_EQ(r->FormLeft(QStringLiteral("MainWindow")), c.left) << c.stored;
    }
}

TEST(Registry, PositionsOffTheScreenComeBackAsZero) {
    struct Case {
        int top, left;
        std::optional<QSize> screen;
        int wantTop, wantLeft;
    };
    const Case cases[] = {
        {20000, 100, QSize(20480, 15360), 0, 100},
        {14360, 19480, QSize(20480, 15360), 14360, 19480}, // exactly fits
        {14361, 19481, QSize(20480, 15360), 0, 0},
        {20000, 30000, std::nullopt, 20000, 30000}, // no screen known: kept
    };
    for (const Case& c : cases) {
        Store store;
        store.writeRaw(QStringLiteral("[FormProperty]\nMainWindow=\"%1,%2,5,6\"\n")
                           .arg(c.top)
                           .arg(c.left)
                           .toUtf8());
        {
            auto r = std::make_unique<clsRegistry>(store.ini());
            r->setScreenTwips([&] { return c.screen; });
            EXPECT_EQ(r->FormTop(QStringLiteral("MainWindow")), c.wantTop) << c.top;
            EXPECT_EQ(r->FormLeft(QStringLiteral("MainWindow")), c.wantLeft) << c.left;
            // The reset is kept: a larger screen later does not bring it back.
            r->setScreenTwips([] { return std::optional<QSize>(QSize(1 << 30, 1 << 30)); });
            EXPECT_EQ(r->FormTop(QStringLiteral("MainWindow")), c.wantTop);
        }
        EXPECT_EQ(store.value(QStringLiteral("FormProperty/MainWindow")),
                  QStringLiteral("%1,%2,5,6").arg(c.wantTop).arg(c.wantLeft));
    }
}

TEST(Registry, TenFormsAreKeptAndFurtherOnesShareTheLastSlot) {
    Store store;
    {
        auto r = openRegistry(store);
        for (int i = 0; i < 12; ++i)
            r->setFormTop(QStringLiteral("Form%1").arg(i, 2, 10, QLatin1Char('0')), 100 + i);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(r->FormTop(QStringLiteral("Form%1").arg(i, 2, 10, QLatin1Char('0'))),
                      100 + i);
        // Form11 took slot 10 from Form10; asking for Form10 takes it back at 0.
        EXPECT_EQ(r->FormTop(QStringLiteral("Form10")), 0);
        EXPECT_EQ(r->FormTop(QStringLiteral("Form11")), 0);
        r->setFormLeft(QStringLiteral("Form11"), 50);
        EXPECT_EQ(r->FormLeft(QStringLiteral("Form11")), 50);
    }
    QSettings s(store.ini(), QSettings::IniFormat);
    s.beginGroup(QStringLiteral("FormProperty"));
    EXPECT_EQ(s.childKeys().size(), 10);
    EXPECT_EQ(store.value(QStringLiteral("FormProperty/Form09")), QStringLiteral("109,0,0,0"));
    EXPECT_EQ(store.value(QStringLiteral("FormProperty/Form11")), QStringLiteral("<absent>"));
}

TEST(Registry, AtMostElevenStoredFormsAreLoaded) {
    Store store;
    QByteArray text = "[FormProperty]\n";
    for (int i = 0; i < 13; ++i)
        text += QStringLiteral("F%1=\"%2,%3,0,0\"\n")
                    .arg(i, 2, 10, QLatin1Char('0'))
                    .arg(10 + i)
                    .arg(20 + i)
                    .toUtf8();
    store.writeRaw(text);
    auto r = openRegistry(store);
    EXPECT_EQ(r->FormTop(QStringLiteral("F00")), 10);
    EXPECT_EQ(r->FormLeft(QStringLiteral("F09")), 29);
    EXPECT_EQ(r->FormTop(QStringLiteral("F10")), 20); // slot 10 was loaded
    EXPECT_EQ(r->FormTop(QStringLiteral("F12")), 0);  // never loaded
}

TEST(Registry, CorruptStoreReadsAsDefaultsAndIsKeptAside) {
    Store store;
    const QByteArray junk =
        "[System\nLoopTest=TRUE\nGpibBoard=1\n[GPIB0]\nAddress=5\n\xff\xfe[[=\n";
    store.writeRaw(junk);
    {
        auto r = openRegistry(store);
        EXPECT_FALSE(r->LoopTest());
        EXPECT_EQ(r->GpibBoard(), 3);
        EXPECT_EQ(r->GpibAddress(), -1);
        EXPECT_EQ(r->WinH(), 1);
        r->setGpibBoard(2);
        EXPECT_EQ(r->GpibBoard(), 2);
    }
    QFile aside(store.ini() + QStringLiteral(".bad"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), junk);
    QSettings s(store.ini(), QSettings::IniFormat);
    EXPECT_EQ(s.status(), QSettings::NoError);
    EXPECT_EQ(store.value(QStringLiteral("System/WinCount")), QStringLiteral("0"));
}

TEST(Registry, UnreadableStoreReadsAsDefaultsAndSkipsWrites) {
    Store store;
    ASSERT_TRUE(QDir().mkpath(store.ini())); // a folder where the file should be
    auto r = openRegistry(store);
    r->setGpibBoard(1);
    r->setSerialNum(QStringLiteral("X"));
    EXPECT_EQ(r->GpibBoard(), 3);
    EXPECT_EQ(r->SerialNum(), QString());
    EXPECT_EQ(r->Setting(QStringLiteral("Sysinfo"), QStringLiteral("sys_no")),
              QStringLiteral("False"));
    EXPECT_TRUE(QFileInfo(store.ini()).isDir());
}

TEST(Registry, FirstCopyClearsTheBusyFlagOfACrashedRun) {
    Store store;
    {
        Copy crashed(store);
        EXPECT_EQ(crashed.winH, 1);
        crashed.command(QStringLiteral("busy 2"));
        crashed.crash();
    }
    // What the crash left: a busy bus, a running count and a dead copy's lock.
    ASSERT_EQ(store.value(QStringLiteral("GPIB2/Busy")), QStringLiteral("True"));
    ASSERT_EQ(store.value(QStringLiteral("System/WinCount")), QStringLiteral("1"));
    ASSERT_EQ(store.lockFiles().size(), 1);

    auto r = openRegistry(store);
    EXPECT_EQ(r->WinH(), 1);
    EXPECT_EQ(r->WinCount(), 1);
    r->setGpibId(2);
    EXPECT_FALSE(r->GpibBusy());
    EXPECT_EQ(store.lockFiles().size(), 1); // only our own
}

// A crashed copy's lock file naming a process id that is in use again (here
// this very process) is still a crashed copy's: the next copy is alone and
// clears the flag, and the leftover goes.
TEST(Registry, ACrashedCopysLockCountsForNothingWhenItsIdIsReused) {
    Store store;
    QString leftover;
    {
        clsRegistry first(store.ini());
        const QStringList locks = store.lockFiles();
        ASSERT_EQ(locks.size(), 1);
        const QString dir = store.folder() + QStringLiteral("/instances/");
        leftover =
            dir + QString::number(QCoreApplication::applicationPid()) + QStringLiteral("-900.lock");
        ASSERT_TRUE(QFile::copy(dir + locks.front(), leftover));
        first.setGpibBusy(true);
    }
    store.writeRaw(store.raw().replace("Busy=False", "Busy=True"));
    ASSERT_EQ(store.value(QStringLiteral("GPIB0/Busy")), QStringLiteral("True"));
    clsRegistry next(store.ini());
    EXPECT_FALSE(next.otherCopyRunning());
    EXPECT_EQ(store.value(QStringLiteral("GPIB0/Busy")), QStringLiteral("False"));
    EXPECT_EQ(store.value(QStringLiteral("System/WinHandle")), QStringLiteral("1"));
    EXPECT_FALSE(QFileInfo::exists(leftover));
}

TEST(Registry, ARunningCopyKeepsItsBusyFlag) {
    Store store;
    Copy first(store);
    first.command(QStringLiteral("busy 2"));
    {
        auto r = openRegistry(store);
        EXPECT_EQ(r->WinH(), 2);
        r->setGpibId(2);
        EXPECT_TRUE(r->GpibBusy());
        EXPECT_FALSE(r->GpibHost());
    }
    EXPECT_EQ(store.value(QStringLiteral("GPIB2/Busy")), QStringLiteral("True"));
    first.quit(); // the owner releases the bus as it ends
    EXPECT_EQ(store.value(QStringLiteral("GPIB2/Busy")), QStringLiteral("False"));
}

// The counts another copy left are outside input: the top of the range
// starts again, a count below 0 ends at 0, neither overflows.
TEST(Registry, StoredCountsAtTheEndsOfTheRangeDoNotOverflow) {
    Store store;
    Copy first(store);
    {
        QSettings s(store.ini(), QSettings::IniFormat);
        s.setValue(QStringLiteral("System/WinHandle"), QStringLiteral("2147483647"));
        s.setValue(QStringLiteral("System/WinCount"), QStringLiteral("2147483647"));
    }
    {
        auto r = openRegistry(store);
        EXPECT_EQ(r->WinH(), 1);
        EXPECT_EQ(r->WinCount(), 1);
        QSettings(store.ini(), QSettings::IniFormat)
            .setValue(QStringLiteral("System/WinCount"), QStringLiteral("-9999999999"));
    }
    EXPECT_EQ(store.value(QStringLiteral("System/WinCount")), QStringLiteral("0"));
    first.quit();
}

TEST(Registry, TwoCopiesCountEachOtherAndTheLastOneSavesPositions) {
    Store store;
    Copy first(store);
    Copy second(store);
    EXPECT_EQ(first.winH, 1);
    EXPECT_EQ(second.winH, 2);
    EXPECT_EQ(first.winCount, 1);
    EXPECT_EQ(second.winCount, 2);
    EXPECT_EQ(store.value(QStringLiteral("System/WinCount")), QStringLiteral("2"));

    first.command(QStringLiteral("top FirstForm 1111"));
    second.command(QStringLiteral("top SecondForm 2222"));
    first.quit();
    EXPECT_EQ(store.value(QStringLiteral("System/WinCount")), QStringLiteral("1"));
    EXPECT_FALSE(store.raw().contains("FormProperty"));

    second.quit();
    EXPECT_EQ(store.value(QStringLiteral("System/WinCount")), QStringLiteral("0"));
    EXPECT_EQ(store.value(QStringLiteral("FormProperty/SecondForm")), QStringLiteral("2222,0,0,0"));
    // The first copy ended while another ran: its positions were not saved.
    EXPECT_EQ(store.value(QStringLiteral("FormProperty/FirstForm")), QStringLiteral("<absent>"));
    EXPECT_TRUE(store.lockFiles().isEmpty());
}

TEST(Registry, LeadingNumberReadsLikeAValueField) {
    const std::pair<const char*, int> cases[] = {{"42", 42},
                                                 {"-7x", -7},
                                                 {"  12", 12},
                                                 {"", 0},
                                                 {"x1", 0},
                                                 {"+3", 3},
                                                 {"--3", 0},
                                                 {"1,2", 1},
                                                 {"3000000000", 2147483647},
                                                 {"-3000000000", -2147483647 - 1}};
    for (const auto& [text, want] : cases)
        EXPECT_EQ(leadingNumber(QString::fromLatin1(text)), want) << text;
}

// --- the bus interlock --------------------------------------------------------

namespace {

// velda_bus_copy: another copy of the program on the same store, as a real
// process of its own.
class BusCopy {
public:
    BusCopy(const Store& store, int bus, const QStringList& extra = {}) {
        proc_.setProcessChannelMode(QProcess::SeparateChannels);
        proc_.start(QStringLiteral(VELDA_BINARY_DIR "/tests/fakes/bus_copy/velda_bus_copy"),
                    QStringList{store.ini(), QString::number(bus)} + extra);
    }
    ~BusCopy() {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(10000);
        }
    }
    void send(const QByteArray& command) {
        proc_.write(command);
        proc_.write("\n");
    }
    // The next answer line; empty when the copy stopped answering.
    QString answer() {
        for (int i = 0; i < 300 && !proc_.canReadLine(); ++i) {
            if (proc_.state() == QProcess::NotRunning)
                break;
            proc_.waitForReadyRead(100);
        }
        if (!proc_.canReadLine()) {
            ADD_FAILURE() << "no answer; stderr: " << proc_.readAllStandardError().toStdString();
            return {};
        }
        return QString::fromUtf8(proc_.readLine()).trimmed();
    }
    void quit() {
        send("quit");
        proc_.closeWriteChannel();
        EXPECT_TRUE(proc_.waitForFinished(30000));
    }
    void waitGone() { proc_.waitForFinished(30000); }

private:
    QProcess proc_;
};

} // namespace

// Another copy sees every write, even one of a value of the same length
// made within one step of the file system's clock (or after the clock went
// back): no version of the store has the time of the one before. The
// file's time is put ahead before each write, so each write falls in the
// step of the version before it.
TEST(Registry, EveryVersionOfTheStoreHasATimeOfItsOwn) {
    Store store;
    clsRegistry registry(store.ini());
    for (int i = 0; i < 4; ++i) {
        QDateTime ahead;
        {
            QFile f(store.ini());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            ahead = QFileInfo(store.ini()).lastModified().addSecs(60);
            ASSERT_TRUE(f.setFileTime(ahead, QFileDevice::FileModificationTime));
        }
        registry.setSetting(QStringLiteral("Test"), QStringLiteral("Value"),
                            i % 2 ? QStringLiteral("B") : QStringLiteral("A"));
        EXPECT_GT(QFileInfo(store.ini()).lastModified(), ahead) << "write " << i;
    }
    EXPECT_EQ(store.value(QStringLiteral("Test/Value")), QStringLiteral("B"));
}

TEST(Registry, TwoCopiesRacingForTheBusNeverBothTakeIt) {
    Store store;
    BusCopy a(store, 1);
    BusCopy b(store, 1);
    ASSERT_EQ(a.answer(), QStringLiteral("ready"));
    ASSERT_EQ(b.answer(), QStringLiteral("ready"));
    QTemporaryDir gates;
    constexpr int kRounds = 60;
    for (int round = 0; round < kRounds; ++round) {
        BusCopy& first = round % 2 ? b : a;
        BusCopy& second = round % 2 ? a : b;
        // Both wait at the same gate and take the bus the moment it opens.
        const QByteArray gate = (gates.filePath(QStringLiteral("go%1").arg(round))).toLocal8Bit();
        ASSERT_EQ(::mkfifo(gate.constData(), 0600), 0);
        const int writer = ::open(gate.constData(), O_RDWR); // never waits for a reader
        ASSERT_GE(writer, 0);
        first.send("take-at " + gate);
        second.send("take-at " + gate);
        ASSERT_EQ(first.answer(), QStringLiteral("armed"));
        ASSERT_EQ(second.answer(), QStringLiteral("armed"));
        ASSERT_EQ(::write(writer, "gg", 2), 2);
        const QString one = first.answer();
        const QString two = second.answer();
        ::close(writer);
        const bool firstWon = one == QStringLiteral("won");
        const bool secondWon = two == QStringLiteral("won");
        ASSERT_NE(firstWon, secondWon)
            << "round " << round << ": " << one.toStdString() << " / " << two.toStdString();
        EXPECT_EQ(store.value(QStringLiteral("GPIB1/Busy")), QStringLiteral("True"));
        BusCopy& winner = firstWon ? first : second;
        // The loser giving back a bus it does not hold changes nothing.
        BusCopy& loser = firstWon ? second : first;
        loser.send("release");
        ASSERT_EQ(loser.answer(), QStringLiteral("released"));
        EXPECT_EQ(store.value(QStringLiteral("GPIB1/Busy")), QStringLiteral("True"));
        winner.send("release");
        ASSERT_EQ(winner.answer(), QStringLiteral("released"));
        EXPECT_EQ(store.value(QStringLiteral("GPIB1/Busy")), QStringLiteral("False"));
    }
    a.quit();
    b.quit();
    EXPECT_EQ(store.value(QStringLiteral("GPIB1/Busy")), QStringLiteral("False"));
    EXPECT_EQ(store.value(QStringLiteral("System/WinCount")), QStringLiteral("0"));
    EXPECT_TRUE(store.lockFiles().isEmpty());
}

TEST(Registry, TakingTheBusInOneCopy) {
    // Each row: what holds bus 2 before this copy asks, and the outcome.
    enum class Before { Free, ThisCopy, OtherCopy, FlagOnOtherBus };
    struct Case {
        Before before;
        bool taken;
        const char* flagAfterRelease; // what ReleaseGpibBus leaves
        // The address stored with the flag: the taker's; a refused copy
        // leaves the owner's.
        const char* address;
    };
    const Case cases[] = {
        {Before::Free, true, "False", "21"},
        {Before::ThisCopy, false, "False", "<absent>"},
        {Before::OtherCopy, false, "True", "7"},
        {Before::FlagOnOtherBus, true, "False", "21"},
    };
    for (const Case& c : cases) {
        Store store;
        auto self = openRegistry(store);
        auto other = openRegistry(store);
        self->setGpibId(2);
        other->setGpibId(c.before == Before::FlagOnOtherBus ? 3 : 2);
        if (c.before == Before::ThisCopy) {
            ASSERT_TRUE(self->TryTakeGpibBus());
        }
        if (c.before == Before::OtherCopy || c.before == Before::FlagOnOtherBus) {
            ASSERT_TRUE(other->TryTakeGpibBus(7));
        }
        const bool hostBefore = self->GpibHost();
        EXPECT_EQ(self->TryTakeGpibBus(21), c.taken) << int(c.before);
        EXPECT_EQ(store.value(QStringLiteral("GPIB2/Address")), QString::fromLatin1(c.address))
            << int(c.before);
        EXPECT_EQ(self->GpibHost(), c.taken || hostBefore) << int(c.before);
        EXPECT_TRUE(self->GpibBusy()) << int(c.before);
        self->ReleaseGpibBus();
        EXPECT_FALSE(self->GpibHost());
        EXPECT_EQ(store.value(QStringLiteral("GPIB2/Busy")),
                  QString::fromLatin1(c.flagAfterRelease))
            << int(c.before);
    }
}

// A command of the command line reads the store and leaves it as it was,
// but for the flag a crashed copy left when no copy runs beside it; an
// editor's counters and form table are not its own.
TEST(Registry, ACommandOnlyReadsTheStore) {
    const QByteArray stored =
        "; kept by hand\n[GPIB1]\nBusy=True\n[System]\nDebugMode=True\nWinCount=3\n";
    for (const bool editorBeside : {false, true}) {
        Store store;
        store.writeRaw(stored);
        std::unique_ptr<clsRegistry> editor;
        if (editorBeside) {
            editor = openRegistry(store);
            store.writeRaw(stored); // as it was, the editor's own counters aside
        }
        {
            clsRegistry command(store.ini(), clsRegistry::Role::Command);
            EXPECT_TRUE(command.DebugMode());
            EXPECT_EQ(store.value(QStringLiteral("GPIB1/Busy")),
                      editorBeside ? QStringLiteral("True") : QStringLiteral("False"));
            if (editorBeside) {
                EXPECT_EQ(store.raw(), stored);
            }
        }
        EXPECT_EQ(store.value(QStringLiteral("System/WinCount")), QStringLiteral("3"))
            << editorBeside;
    }
}

// A command leaves a store it cannot parse as it is, where an editor would
// set it aside: the user's file stays for the editor to deal with.
TEST(Registry, ACommandLeavesADamagedStoreAlone) {
    Store store;
    const QByteArray junk = "[System\nDebugMode=True\n\xff\xfe[[=\n";
    store.writeRaw(junk);
    {
        clsRegistry command(store.ini(), clsRegistry::Role::Command);
        EXPECT_FALSE(command.DebugMode());
    }
    EXPECT_EQ(store.raw(), junk);
    EXPECT_FALSE(QFileInfo::exists(store.ini() + QStringLiteral(".bad")));
}

// A settings file that cannot be written does not pass for another copy
// holding the bus: the flag's write is skipped like any other.
TEST(Registry, AStoreThatCannotBeWrittenStillGivesTheBus) {
    Store store;
    ASSERT_TRUE(QDir(store.folder()).mkpath(QStringLiteral("dir/VELDA.ini")));
    QFile file(store.folder() + QStringLiteral("/file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    for (const QString& ini : {store.folder() + QStringLiteral("/dir/VELDA.ini"),
                               store.folder() + QStringLiteral("/file/VELDA.ini")}) {
        clsRegistry r(ini);
        EXPECT_TRUE(r.TryTakeGpibBus()) << ini.toStdString();
        EXPECT_TRUE(r.GpibHost());
        r.ReleaseGpibBus();
        EXPECT_FALSE(r.GpibHost());
        EXPECT_TRUE(r.TryTakeGpibBus()) << ini.toStdString();
        r.ReleaseGpibBus();
    }
    // Where the lock file can be kept, it stands in for the flag while the
    // bus is held: another copy is still refused, and takes it afterwards.
    const QString ini = store.folder() + QStringLiteral("/dir/VELDA.ini");
    clsRegistry first(ini), second(ini);
    ASSERT_TRUE(first.TryTakeGpibBus());
    EXPECT_FALSE(second.TryTakeGpibBus());
    first.ReleaseGpibBus();
    EXPECT_TRUE(second.TryTakeGpibBus());
    second.ReleaseGpibBus();
}

// A command run on a store that cannot be parsed reads defaults and writes
// nothing, whatever Qt's later readings of the file say; a busy flag in it
// (no copy can clear it there) keeps no one off the bus.
TEST(Registry, ACommandOnADamagedStoreLeavesItAsItIsAndStillGetsTheBus) {
    Store store;
    const QByteArray damaged("[GPIB0]\nBusy=True\n[broken\nSerialNum=X\n");
    {
        QFile f(store.ini());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged);
    }
    clsRegistry command(store.ini(), clsRegistry::Role::Command);
    EXPECT_FALSE(command.GpibBusy());
    command.setSerialNum(QStringLiteral("NEW"));
    ASSERT_TRUE(command.TryTakeGpibBus(5));
    command.ReleaseGpibBus();
    QFile f(store.ini());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), damaged);
}

// One run's set-up and waveform are two takes of the bus; a reservation
// keeps another copy off it between them too, and only until it ends.
TEST(Registry, AReservationKeepsOtherCopiesOffTheBusBetweenTakes) {
    Store store;
    clsRegistry self(store.ini()), other(store.ini());
    ASSERT_TRUE(self.Reserve_GpibBus());
    EXPECT_FALSE(other.Reserve_GpibBus());
    for (int take = 0; take < 2; ++take) {
        ASSERT_TRUE(self.TryTakeGpibBus()) << take;
        EXPECT_FALSE(other.TryTakeGpibBus()) << take;
        self.ReleaseGpibBus();
        EXPECT_FALSE(self.GpibBusy());
        EXPECT_FALSE(other.TryTakeGpibBus()) << take;
    }
    self.End_GpibReservation();
    ASSERT_TRUE(other.TryTakeGpibBus());
    // A copy that holds the bus by its flag: a reservation does not take it.
    EXPECT_TRUE(self.Reserve_GpibBus());
    EXPECT_FALSE(self.TryTakeGpibBus());
    other.ReleaseGpibBus();
    EXPECT_TRUE(self.TryTakeGpibBus());
    self.ReleaseGpibBus();
}

TEST(Registry, ASharedLockHasOneHolderAtATime) {
    Store store;
    const QString path = store.folder() + QStringLiteral("/bus.flock");
    auto first = SharedLock::Take(path, 0);
    ASSERT_TRUE(first);
    // A second holder in the same process waits its time and gets nothing.
    bool heldElsewhere = false;
    EXPECT_FALSE(SharedLock::Take(path, 20, &heldElsewhere));
    EXPECT_TRUE(heldElsewhere);
    first.reset();
    EXPECT_TRUE(SharedLock::Take(path, 0));
    // A folder that is not there gives no lock rather than a false one.
    EXPECT_FALSE(
        SharedLock::Take(store.folder() + QStringLiteral("/none/bus.flock"), 0, &heldElsewhere));
    EXPECT_FALSE(heldElsewhere);
}

TEST(Registry, ACopyThatDiedHoldingTheBusLockDoesNotBlockTheBus) {
    Store store;
    {
        // Takes the lock file of bus 1 and dies before giving it back.
        BusCopy dying(store, 1, {QStringLiteral("--die-in-lock")});
        dying.waitGone();
    }
    ASSERT_TRUE(QFile::exists(store.folder() + QStringLiteral("/instances/GPIB1.flock")));
    auto r = openRegistry(store);
    r->setGpibId(1);
    EXPECT_TRUE(r->TryTakeGpibBus());
    // Named locks are not running copies: this one is alone and cleared the flags.
    EXPECT_EQ(r->WinH(), 1);
}

TEST(Registry, CopiesStartingTogetherAreAllCounted) {
    Store store;
    constexpr int kCopies = 6;
    {
        std::vector<std::unique_ptr<BusCopy>> copies;
        for (int i = 0; i < kCopies; ++i)
            copies.push_back(std::make_unique<BusCopy>(store, 0));
        for (auto& c : copies)
            ASSERT_EQ(c->answer(), QStringLiteral("ready"));
        EXPECT_EQ(store.value(QStringLiteral("System/WinCount")), QString::number(kCopies));
        // All end at once too: each one's count must come off.
        for (auto& c : copies)
            c->send("quit");
        for (auto& c : copies)
            c->waitGone();
    }
    EXPECT_EQ(store.value(QStringLiteral("System/WinCount")), QStringLiteral("0"));
}
