#include "ScopedLocale.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <clocale>

namespace velda::test {

namespace {

// Compiled locales live for the whole test program.
QTemporaryDir& localeDir() {
    static QTemporaryDir dir;
    return dir;
}

bool buildLocale(const QString& name) {
    const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
    if (localedef.isEmpty() || !localeDir().isValid())
        return false;
    const QString target = localeDir().filePath(name);
    if (!QFileInfo::exists(target)) {
        const QStringList parts = name.split(QLatin1Char('.'));
        const QString charmap = parts.size() > 1 ? parts[1] : QStringLiteral("UTF-8");
        QProcess::execute(localedef,
                          {QStringLiteral("-i"), parts[0], QStringLiteral("-f"), charmap, target});
    }
    if (!QFileInfo::exists(target))
        return false;
    qputenv("LOCPATH", QFile::encodeName(localeDir().path()));
    return true;
}

void restoreEnv(const char* key, bool had, const QByteArray& value) {
    if (had)
        qputenv(key, value);
    else
        qunsetenv(key);
}

} // namespace

ScopedLocale::ScopedLocale(const char* name, const QLocale& qtLocale)
    : oldLang_(qgetenv("LANG")), oldLcAll_(qgetenv("LC_ALL")), oldLocPath_(qgetenv("LOCPATH")),
      hadLang_(qEnvironmentVariableIsSet("LANG")), hadLcAll_(qEnvironmentVariableIsSet("LC_ALL")),
      hadLocPath_(qEnvironmentVariableIsSet("LOCPATH")), oldCLocale_(setlocale(LC_ALL, nullptr)) {
    qputenv("LANG", name);
    qputenv("LC_ALL", name);
    active_ = setlocale(LC_ALL, name) != nullptr;
    if (!active_ && buildLocale(QString::fromLatin1(name)))
        active_ = setlocale(LC_ALL, name) != nullptr;
    QLocale::setDefault(qtLocale);
}

ScopedLocale::~ScopedLocale() {
    QLocale::setDefault(oldQtLocale_);
    restoreEnv("LANG", hadLang_, oldLang_);
    restoreEnv("LC_ALL", hadLcAll_, oldLcAll_);
    restoreEnv("LOCPATH", hadLocPath_, oldLocPath_);
    setlocale(LC_ALL, oldCLocale_.c_str());
}

} // namespace velda::test
