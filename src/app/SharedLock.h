#pragma once

#include <QString>

#include <memory>

namespace velda {

// A short cross-process lock: an exclusive flock() on a file that stays in
// place. The kernel drops it when its holder ends, crashed or not, and
// taking it writes nothing, so it costs no flush to disk. Two holders in
// one process exclude each other too (each has its own open file).
class SharedLock {
public:
    // Waits up to `waitMs` for the lock; null when another holder kept it
    // that long or the file cannot be opened. On a file system without
    // flock() the lock is granted unlocked: the steps it guards are still
    // atomic rewrites, only the check-and-set loses its exclusion there.
    // `heldElsewhere`, when given, tells the two apart: true only when the
    // wait ran out.
    static std::unique_ptr<SharedLock> Take(const QString& path, int waitMs,
                                            bool* heldElsewhere = nullptr);
    ~SharedLock();
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

private:
    explicit SharedLock(int fd) : fd_(fd) {}
    int fd_;
};

} // namespace velda
