#include "bus/SharedLibrary.h"

#include <dlfcn.h>

namespace velda::bus {

SharedLibrary::~SharedLibrary() {
    Unload();
}

bool SharedLibrary::Load(const QStringList& fileNames) {
    Unload();
    QStringList errors;
    for (const QString& name : fileNames) {
        if (name.isEmpty())
            continue;
        // Functions are looked up by name as they are needed; nothing of the
        // library is shared with other libraries loaded later.
        handle_ = dlopen(name.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
        if (handle_) {
            name_ = name;
            error_.clear();
            return true;
        }
        const char* e = dlerror();
        errors << (e ? QString::fromLocal8Bit(e) : name + QStringLiteral(": not loaded"));
    }
    name_ = fileNames.join(QStringLiteral(", "));
    error_ = errors.isEmpty() ? QStringLiteral("no library file named")
                              : errors.join(QStringLiteral("; "));
    return false;
}

void SharedLibrary::Unload() {
    if (handle_)
        dlclose(handle_);
    handle_ = nullptr;
}

void* SharedLibrary::Symbol(const char* name) {
    if (!handle_) {
        error_ = QStringLiteral("library not loaded");
        return nullptr;
    }
    dlerror();
    void* p = dlsym(handle_, name);
    if (!p) {
        const char* e = dlerror();
        error_ =
            e ? QString::fromLocal8Bit(e) : QString::fromLatin1(name) + QStringLiteral(": null");
    }
    return p;
}

} // namespace velda::bus
