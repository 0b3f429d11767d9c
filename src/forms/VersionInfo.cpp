#include "forms/VersionInfo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <dlfcn.h>
#include <gsl/gsl_version.h>
#include <muParserDef.h>
#include <toml++/toml.h>

#ifndef VELDA_VERSION_MAJOR
#define VELDA_VERSION_MAJOR 0
#define VELDA_VERSION_MINOR 0
#define VELDA_VERSION_PATCH 0
#endif

namespace velda {

namespace {

constexpr const char* kMonths[12] = {"January",   "February", "March",    "April",
                                     "May",       "June",     "July",     "August",
                                     "September", "October",  "November", "December"};

} // namespace

QString Version_Date_Text(const QDate& date) {
    if (!date.isValid())
        return {};
    const int m = date.month();
    const QString full = QString::fromLatin1(kMonths[m - 1]);
    QString month;
    if (m == 5)
        month = full.left(3) + QLatin1Char(' ');
    else if (m == 6 || m == 7)
        month = full + QLatin1Char(' ');
    else if (m == 9)
        month = full.left(4) + QLatin1Char('.');
    else
        month = full.left(3) + QLatin1Char('.');
    return month + QString::number(date.day()) + QLatin1Char(',') +
           QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
}

QString Version_Line(int major, int minor, int revision, const QDate& date) {
    return QStringLiteral("Ver.%1.%2.%3.0  ").arg(major).arg(minor).arg(revision) +
           Version_Date_Text(date);
}

int Program_Version_Major() {
    return VELDA_VERSION_MAJOR;
}
int Program_Version_Minor() {
    return VELDA_VERSION_MINOR;
}
int Program_Version_Revision() {
    return VELDA_VERSION_PATCH;
}

QDate Program_File_Date() {
    const QString exe = QCoreApplication::applicationFilePath();
    const QFileInfo fi(exe);
    if (exe.isEmpty() || !fi.exists())
        return QDate::currentDate();
    return fi.lastModified().date();
}

QStringList Bus_Library_Names() {
    return {QStringLiteral("libgpib.so.0"), QStringLiteral("libgpibapi.so"),
            QStringLiteral("libieee_32m.so"), QStringLiteral("libusb488ps.so"),
            QStringLiteral("libvisa.so")};
}

QStringList Library_Versions() {
    QStringList l;
    l << QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion()));
    l << QStringLiteral("muParser %1").arg(QString::fromStdString(mu::ParserVersion));
    l << QStringLiteral("GSL %1").arg(QString::fromLatin1(gsl_version));
    l << QStringLiteral("toml++ %1.%2.%3")
             .arg(TOML_LIB_MAJOR)
             .arg(TOML_LIB_MINOR)
             .arg(TOML_LIB_PATCH);
    for (const QString& name : Bus_Library_Names()) {
        void* h = dlopen(name.toLocal8Bit().constData(), RTLD_LAZY | RTLD_LOCAL);
        l << name + (h ? QStringLiteral(": found") : QStringLiteral(": not found"));
        if (h)
            dlclose(h);
    }
    return l;
}

} // namespace velda
