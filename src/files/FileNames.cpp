#include "files/FileNames.h"

#include <algorithm>

namespace velda {
namespace {

const QString kUntitled = QStringLiteral("Untitled");

QString orUntitled(const QString& remembered, const QString& folder) {
    return remembered == kUntitled ? folder + QLatin1Char('/') + kUntitled : remembered;
}

bool hasThreeLetterExtension(const QString& name) {
    return name.size() >= 4 && name[name.size() - 4] == QLatin1Char('.');
}

} // namespace

bool Has_Extension(const QString& path, const QString& ext) {
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const QString name = path.mid(slash + 1);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    return name.mid(dot + 1).toLower() == ext;
}

StartName Dialog_Start_Name(const QString& remembered, const QString& ext, const QString& folder) {
    if (hasThreeLetterExtension(remembered))
        return {remembered.chopped(4), remembered.right(3)};
    return {orUntitled(remembered, folder), ext};
}

StartName Save_Start_Name(const QString& remembered, const QString& ext, const QString& folder) {
    return {orUntitled(remembered, folder), ext};
}

StartName Wave_Save_Start_Name(const QString& remembered, bool asText, const QString& folder) {
    const QString ext = asText ? QStringLiteral("txt") : QStringLiteral("wdb");
    if (hasThreeLetterExtension(remembered))
        return {remembered.chopped(3) + ext, ext};
    return {orUntitled(remembered, folder), ext};
}

} // namespace velda
