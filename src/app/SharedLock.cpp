#include "app/SharedLock.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace velda {

std::unique_ptr<SharedLock> SharedLock::Take(const QString& path, int waitMs, bool* heldElsewhere) {
    if (heldElsewhere)
        *heldElsewhere = false;
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do
        fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return nullptr;
    const QDeadlineTimer deadline(waitMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            break; // no flock() here: see the header
        if (deadline.hasExpired()) {
            ::close(fd);
            if (heldElsewhere)
                *heldElsewhere = true;
            return nullptr;
        }
        // The guarded steps take about a millisecond.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return std::unique_ptr<SharedLock>(new SharedLock(fd));
}

SharedLock::~SharedLock() {
    ::close(fd_);
}

} // namespace velda
