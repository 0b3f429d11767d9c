#pragma once
// The fake libraries of tests/fakes, opened beside the program under test.
// The program opens the same file, so dlopen hands both one instance and
// the control functions reach the library the program uses.

#include <QByteArray>
#include <QString>
#include <string>

namespace velda::test {

// A shared object opened for its functions; throws std::runtime_error when
// it cannot be opened or lacks a function asked for.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::string& path);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    template <class Fn> Fn* Function(const char* name) const {
        return reinterpret_cast<Fn*>(Symbol(name));
    }

private:
    void* Symbol(const char* name) const;
    void* handle_ = nullptr;
};

// The fake bus library at fakes/<name> in the build folder.
QString FakeLibraryPath(const QString& fileName);

// A fake bus library with the control functions every one of them has,
// under its prefix (fake_gpib, fake_ki, fake_usb).
class FakeLibrary : public LoadedLibrary {
public:
    explicit FakeLibrary(const QString& fileName);
    QString Journal() const;
    QByteArray Sent() const;
    void Reply(const QByteArray& bytes, int status = 0, int error = 0) const;
    void Fail(const char* function, int status, int error = 0) const;

private:
    QByteArray Name(const char* what) const;
    QString prefix_;
};

} // namespace velda::test
