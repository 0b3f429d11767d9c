#pragma once
// The system calls the usbtmc resource makes on its device file, behind one
// seam so a stand-in for the device can take their place. Every call returns
// a negative errno on failure, like the kernel does.

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace velda::visa {

class FileOps {
public:
    virtual ~FileOps() = default;
    virtual int open(const std::string& path, int flags) = 0; // fd or -errno
    virtual int close(int fd) = 0;
    virtual ssize_t read(int fd, void* buffer, std::size_t count) = 0;
    virtual ssize_t write(int fd, const void* data, std::size_t count) = 0;
    virtual int ioctl(int fd, unsigned long request, void* argument) = 0; // >= 0 or -errno
};

// The real calls.
FileOps& systemFileOps();

} // namespace velda::visa
