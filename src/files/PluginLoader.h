#pragma once
// The import plug-ins: shared libraries found in the plug-in folders and
// loaded with dlopen. Each must export the functions of velda_plugin.h with
// the interface version this program was built for; others are skipped with
// a line on stderr.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

namespace velda {

// One call into a plug-in. A plug-in written in C++ may throw out of its
// functions: that is its failure (the call gives `failed`), never the end of
// the program and its unsaved work.
template <typename Call, typename Result> Result Plugin_Call(Call call, Result failed) {
    try {
        return call();
    } catch (...) {
        return failed;
    }
}

struct ImportPlugin {
    QString path;
    QString name;           // at most 64 characters
    QStringList extensions; // without dots
    int (*begin)(const char*, void**, int32_t*, int32_t*) = nullptr;
    int (*seek)(void*, int32_t) = nullptr;
    int (*read)(void*, int16_t*, int32_t*) = nullptr;
    void (*end)(void*) = nullptr;
};

// The folders searched, in order: PlugIn/ beside the executable, the
// installed folder (../lib/velda/PlugIn from the executable) and the user's
// data folder (.../VELDA/PlugIn). Missing folders are left out.
QStringList Plugin_Folders();

// Loaded plug-ins; the libraries are unloaded when the set goes.
class PluginSet {
public:
    PluginSet() = default;
    ~PluginSet();
    PluginSet(const PluginSet&) = delete;
    PluginSet& operator=(const PluginSet&) = delete;

    // Loads every usable library ("*.so") of the folders, in folder order,
    // each folder's files by name. A library of the same file name as one
    // already loaded is skipped. Returns the count loaded.
    int load(const QStringList& folders);
    const std::vector<ImportPlugin>& plugins() const { return plugins_; }

    // The open dialog's filter list: name, a blank, "|", the patterns, "|".
    QString filterList() const;

private:
    std::vector<ImportPlugin> plugins_;
    std::vector<void*> handles_;
};

} // namespace velda
