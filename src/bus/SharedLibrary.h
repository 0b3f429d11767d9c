#pragma once
// A bus library loaded at run time with dlopen. Every function is looked up
// by itself, so a library that lacks one function still serves the others;
// a call that needs a missing one reports "board or device not present".

#include <QString>
#include <QStringList>

namespace velda::bus {

class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Tries the file names in order and keeps the first that loads. On
    // failure ErrorText() holds dlerror's text of every name tried.
    bool Load(const QStringList& fileNames);
    void Unload();
    bool Loaded() const { return handle_ != nullptr; }
    // The file name that was loaded, or the names tried ("a, b") when none.
    const QString& Name() const { return name_; }
    const QString& ErrorText() const { return error_; }

    // The address of one function, or nullptr with ErrorText() set.
    void* Symbol(const char* name);
    template <class Fn> bool Resolve(Fn*& fn, const char* name) {
        fn = reinterpret_cast<Fn*>(Symbol(name));
        return fn != nullptr;
    }

private:
    void* handle_ = nullptr;
    QString name_;
    QString error_;
};

} // namespace velda::bus
