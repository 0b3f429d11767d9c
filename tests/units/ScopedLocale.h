#pragma once
// Runs a stretch of a test under a foreign locale: the LANG/LC_ALL environment,
// the C library's locale and Qt's default locale. Locales the system lacks are
// compiled into a temporary folder with localedef when it is available.

#include <QByteArray>
#include <QLocale>
#include <string>

namespace velda::test {

class ScopedLocale {
public:
    ScopedLocale(const char* name, const QLocale& qtLocale);
    ~ScopedLocale();
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

    // True when the C library really runs under the locale.
    bool cLocaleActive() const { return active_; }

private:
    QByteArray oldLang_, oldLcAll_, oldLocPath_;
    bool hadLang_, hadLcAll_, hadLocPath_;
    std::string oldCLocale_;
    QLocale oldQtLocale_;
    bool active_ = false;
};

} // namespace velda::test
