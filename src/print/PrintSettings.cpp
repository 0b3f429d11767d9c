#include "print/PrintSettings.h"

#include "app/Messages.h"
#include "app/Registry.h"
#include "units/NumberText.h"

#include <cmath>

namespace velda {

namespace {

const QString kSection = QStringLiteral("Print");

QString marginKey(int i) {
    return QStringLiteral("Margin%1").arg(i);
}

bool inRange(double v) {
    return std::isfinite(v) && v >= MarginMin && v <= MarginMax;
}

} // namespace

std::optional<int16_t> Margin_From_Text(const QString& text) {
    const double v = std::trunc(Eng_Val(text));
    if (!inRange(v))
        return std::nullopt;
    return static_cast<int16_t>(v);
}

int16_t Margin_Step(int16_t margin, int direction) {
    if (direction < 0 && margin > MarginMin)
        return static_cast<int16_t>(margin - 1);
    if (direction > 0 && margin < MarginMax)
        return static_cast<int16_t>(margin + 1);
    return margin;
}

bool Font_Size_Valid(double points) {
    return std::isfinite(points) && points >= FontSizeMin && points <= FontSizeMax;
}

QFont Default_PrintFont() {
    QFont f(FormFontName());
    f.setPointSize(10);
    return f;
}

PrintLayout Load_PrintLayout(const clsRegistry& registry) {
    PrintLayout l;
    for (int i = 0; i < MarginCount; ++i) {
        const QString t = registry.Setting(kSection, marginKey(i));
        bool ok = false;
        const int v = t.trimmed().toInt(&ok);
        l.margins[static_cast<size_t>(i)] =
            ok && inRange(v) ? static_cast<int16_t>(v) : MarginDefault;
    }
    l.font = Default_PrintFont();
    QFont saved;
    const QString f = registry.Setting(kSection, QStringLiteral("Font"));
    if (f != QLatin1String("False") && saved.fromString(f) && Font_Size_Valid(saved.pointSizeF()))
        l.font = saved;
    return l;
}

void Save_PrintLayout(clsRegistry& registry, const PrintLayout& layout) {
    for (int i = 0; i < MarginCount; ++i)
        registry.setSetting(kSection, marginKey(i),
                            QString::number(layout.margins[static_cast<size_t>(i)]));
    registry.setSetting(kSection, QStringLiteral("Font"), layout.font.toString());
}

} // namespace velda
