#include "files/PluginLoader.h"

#include "app/InstallPaths.h"
#include "velda_plugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <dlfcn.h>

namespace velda {

namespace {

void skipped(const QString& path, const char* why) {
    std::fprintf(stderr, "velda: plug-in %s skipped: %s\n", qPrintable(path), why);
}

// A text for a filter entry: its separators and control characters as
// blanks, and runs of blanks as one, as the dialog shows and returns the
// entry chosen.
QString filterSafe(QString text) {
    for (QChar& c : text)
        if (c == u'|' || c == u';' || c == u'(' || c == u')' ||
            c.category() == QChar::Other_Control)
            c = u' ';
    return text.simplified();
}

template <typename Fn> Fn symbol(void* lib, const char* name) {
    return reinterpret_cast<Fn>(dlsym(lib, name));
}

} // namespace

QStringList Plugin_Folders() {
    QStringList existing;
    for (const QString& f : pluginDirs(QCoreApplication::applicationDirPath()))
        if (QFileInfo(f).isDir())
            existing << f;
    return existing;
}

PluginSet::~PluginSet() {
    plugins_.clear();
    for (void* h : handles_)
        dlclose(h);
}

int PluginSet::load(const QStringList& folders) {
    QSet<QString> seen;
    for (const QString& folder : folders) {
        const QFileInfoList files =
            QDir(folder).entryInfoList({QStringLiteral("*.so")}, QDir::Files, QDir::Name);
        for (const QFileInfo& fi : files) {
            const QString path = fi.absoluteFilePath();
            // The same plug-in installed in two folders is offered once.
            if (seen.contains(fi.fileName())) {
                skipped(path, "a plug-in of its file name was found in an earlier folder");
                continue;
            }
            void* lib = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
            if (!lib) {
                skipped(path, dlerror());
                continue;
            }
            const auto version = symbol<int (*)()>(lib, "velda_plugin_interface");
            const auto name = symbol<const char* (*)()>(lib, "velda_plugin_name");
            const auto exts = symbol<const char* (*)()>(lib, "velda_plugin_extensions");
            ImportPlugin p;
            p.path = path;
            p.begin = symbol<decltype(p.begin)>(lib, "velda_plugin_begin");
            p.seek = symbol<decltype(p.seek)>(lib, "velda_plugin_seek");
            p.read = symbol<decltype(p.read)>(lib, "velda_plugin_read");
            p.end = symbol<decltype(p.end)>(lib, "velda_plugin_end");
            if (!version || !name || !exts || !p.begin || !p.seek || !p.read || !p.end) {
                skipped(path, "a function of the plug-in interface is missing");
                dlclose(lib);
                continue;
            }
            int v = 0;
            const char* n = nullptr;
            const char* e = nullptr;
            const bool answered = Plugin_Call(
                [&] {
                    v = version();
                    if (v == VELDA_PLUGIN_INTERFACE) {
                        n = name();
                        e = exts();
                    }
                    return true;
                },
                false);
            if (!answered) {
                skipped(path, "a function of the plug-in interface failed");
                dlclose(lib);
                continue;
            }
            if (v != VELDA_PLUGIN_INTERFACE) {
                skipped(path, "another interface version");
                dlclose(lib);
                continue;
            }
            // The name and extensions become one entry of the open dialog's
            // filter: the characters that separate entries or patterns there
            // are no part of them, and two plug-ins of one name are told
            // apart by their files, so each entry leads to its own plug-in.
            p.name = filterSafe(QString::fromUtf8(n ? n : "").left(64));
            for (const QString& x :
                 QString::fromUtf8(e ? e : "").split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                QString ext = x.trimmed();
                ext.removeIf(
                    [](QChar c) { return !(c.isLetterOrNumber() || c == u'_' || c == u'-'); });
                if (!ext.isEmpty())
                    p.extensions << ext;
            }
            if (p.name.isEmpty())
                p.name = filterSafe(fi.completeBaseName());
            if (p.extensions.isEmpty())
                p.extensions << QStringLiteral("*");
            const bool taken = std::any_of(plugins_.begin(), plugins_.end(), [&](const auto& q) {
                return q.name == p.name && q.extensions == p.extensions;
            });
            if (taken)
                p.name += QStringLiteral(" [") + filterSafe(fi.fileName()) + QLatin1Char(']');
            seen.insert(fi.fileName());
            handles_.push_back(lib);
            plugins_.push_back(std::move(p));
        }
    }
    return static_cast<int>(plugins_.size());
}

QString PluginSet::filterList() const {
    QString list;
    for (const ImportPlugin& p : plugins_) {
        QStringList patterns;
        for (const QString& e : p.extensions)
            patterns << QStringLiteral("*.") + e;
        list += p.name + QStringLiteral(" |") + patterns.join(QLatin1Char(';')) + QLatin1Char('|');
    }
    return list;
}

} // namespace velda
