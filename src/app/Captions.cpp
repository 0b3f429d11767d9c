#include "app/Captions.h"

#include "app/Messages.h"

namespace velda {
namespace {
bool g_listFilling = false;
} // namespace

bool ListFilling() {
    return g_listFilling;
}

ListFillingGuard::ListFillingGuard() : previous_(g_listFilling) {
    g_listFilling = true;
}

ListFillingGuard::~ListFillingGuard() {
    g_listFilling = previous_;
}

QString controlName(const QString& name, int index) {
    if (index < 0)
        return name;
    return name + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

std::optional<QString> CaptionTable::text(const QString& objectName) const {
    return text(objectName, English());
}

std::optional<QString> CaptionTable::text(const QString& objectName, bool inEnglish) const {
    for (const CaptionRow& row : rows_) {
        if (row.objectName() == objectName)
            return row.text(inEnglish);
    }
    return std::nullopt;
}

} // namespace velda
