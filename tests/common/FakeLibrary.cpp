#include "FakeLibrary.h"

#include <dlfcn.h>
#include <stdexcept>

namespace velda::test {

LoadedLibrary::LoadedLibrary(const std::string& path)
    : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_)
        throw std::runtime_error(::dlerror());
}

LoadedLibrary::~LoadedLibrary() {
    ::dlclose(handle_);
}

void* LoadedLibrary::Symbol(const char* name) const {
    void* p = ::dlsym(handle_, name);
    if (!p)
        throw std::runtime_error(std::string("no function ") + name);
    return p;
}

QString FakeLibraryPath(const QString& fileName) {
    return QStringLiteral(VELDA_BINARY_DIR "/fakes/") + fileName;
}

FakeLibrary::FakeLibrary(const QString& fileName)
    : LoadedLibrary(FakeLibraryPath(fileName).toStdString()) {
    if (fileName.contains(QStringLiteral("gpib")))
        prefix_ = QStringLiteral("fake_gpib");
    else if (fileName.contains(QStringLiteral("ieee")))
        prefix_ = QStringLiteral("fake_ki");
    else
        prefix_ = QStringLiteral("fake_usb");
}

QByteArray FakeLibrary::Name(const char* what) const {
    return (prefix_ + QLatin1Char('_') + QLatin1String(what)).toLatin1();
}

QString FakeLibrary::Journal() const {
    return QString::fromLatin1(Function<const char*()>(Name("journal").constData())());
}

QByteArray FakeLibrary::Sent() const {
    long size = 0;
    const unsigned char* p = Function<const unsigned char*(long*)>(Name("sent").constData())(&size);
    return QByteArray(reinterpret_cast<const char*>(p), qsizetype(size));
}

void FakeLibrary::Reply(const QByteArray& bytes, int status, int error) const {
    Function<void(const char*, long, int, int)>(Name("reply").constData())(
        bytes.constData(), long(bytes.size()), status, error);
}

void FakeLibrary::Fail(const char* function, int status, int error) const {
    Function<void(const char*, int, int)>(Name("fail").constData())(function, status, error);
}

} // namespace velda::test
