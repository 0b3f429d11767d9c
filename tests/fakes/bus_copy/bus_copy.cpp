// velda_bus_copy <ini> <bus>: one copy of the program on the given store.
// Reads commands from standard input, one a line, and answers each on
// standard output:
//   take     -> "won" or "lost" (TryTakeGpibBus)
//   take-at <file> -> "armed", then waits for <file> to appear and takes as
//               "take" does; two copies armed on one file race for real
//   release  -> "released"     (ReleaseGpibBus)
//   quit     -> ends, destroying the settings object as an exit does
// It prints "ready" once the settings object exists. With a third argument
// "--die-in-lock" it instead takes the bus's lock and dies holding it.
#include "app/Registry.h"
#include "app/SharedLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::string(argv[3]) == "--die-in-lock") {
        const QString dir = QFileInfo(QString::fromLocal8Bit(argv[1])).absolutePath() +
                            QStringLiteral("/instances");
        QDir().mkpath(dir);
        const auto lock =
            velda::SharedLock::Take(dir + QStringLiteral("/GPIB") +
                                        QString::fromLocal8Bit(argv[2]) + QStringLiteral(".flock"),
                                    0);
        if (!lock)
            return 1;
        std::_Exit(3); // no unlock: what a crash inside the locked step leaves
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: velda_bus_copy <ini> <bus>\n");
        return 2;
    }
    auto reg = std::make_unique<velda::clsRegistry>(QString::fromLocal8Bit(argv[1]));
    reg->setScreenTwips({});
    reg->setGpibId(std::atoi(argv[2]));
    std::printf("ready\n");
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "take") {
            std::printf("%s\n", reg->TryTakeGpibBus() ? "won" : "lost");
        } else if (line.rfind("take-at ", 0) == 0) {
            const std::string go = line.substr(8);
            std::printf("armed\n");
            std::fflush(stdout);
            // The gate is a pipe the test writes one byte per copy into: the
            // kernel wakes both copies at once, and neither burns a core
            // while it waits (which starved the tests running beside).
            const int fd = ::open(go.c_str(), O_RDONLY);
            char byte = 0;
            const bool opened = fd >= 0 && ::read(fd, &byte, 1) == 1;
            if (fd >= 0)
                ::close(fd);
            std::printf("%s\n", opened && reg->TryTakeGpibBus() ? "won" : "lost");
        } else if (line == "release") {
            reg->ReleaseGpibBus();
            std::printf("released\n");
        } else if (line == "quit") {
            break;
        } else {
            std::printf("unknown\n");
        }
        std::fflush(stdout);
    }
    reg.reset();
    return 0;
}
