#include "bus/visa/FileOps.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace velda::visa {

namespace {

class SystemFileOps final : public FileOps {
public:
    int open(const std::string& path, int flags) override {
        int fd;
        do {
            fd = ::open(path.c_str(), flags | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        return fd < 0 ? -errno : fd;
    }
    int close(int fd) override { return ::close(fd) < 0 ? -errno : 0; }
    ssize_t read(int fd, void* buffer, std::size_t count) override {
        ssize_t n;
        do {
            n = ::read(fd, buffer, count);
        } while (n < 0 && errno == EINTR);
        return n < 0 ? -errno : n;
    }
    ssize_t write(int fd, const void* data, std::size_t count) override {
        ssize_t n;
        do {
            n = ::write(fd, data, count);
        } while (n < 0 && errno == EINTR);
        return n < 0 ? -errno : n;
    }
    int ioctl(int fd, unsigned long request, void* argument) override {
        int r = ::ioctl(fd, request, argument);
        return r < 0 ? -errno : r;
    }
};

} // namespace

FileOps& systemFileOps() {
    static SystemFileOps ops;
    return ops;
}

} // namespace velda::visa
