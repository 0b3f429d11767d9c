// A number written with a numeric pattern, as command templates expand their
// parameter.
#include "QStringPrinter.h"
#include "units/NumberText.h"

#include <gtest/gtest.h>
#include <limits>

using namespace velda;

namespace {

struct PatternCase {
    double value;
    const char* pattern;
    const char* text;
};

TEST(FmtPattern, Table) {
    const double inf = std::numeric_limits<double>::infinity();
    const PatternCase cases[] = {
        {1000, "0.000", "1000.000"},
        {0.0005, "0.000", "0.001"},
        {-2.25, "0.0", "-2.3"},
        {3, "0", "3"},
        {2.5, "0", "3"},
        {0, "0.0", "0.0"},
        {5, "0.##", "5."},
        {5.25, "0.##", "5.25"},
        {5.2, "0.#0", "5.20"},
        {0.25, ".##", ".25"},
        {0.25, "0.##", "0.25"},
        {12, "000", "012"},
        {-0.0001, "0.00", "0.00"},
        {1e20, "0", "100000000000000000000"},
        {inf, "0.0", "Inf"},
        {-inf, "0.0", "-Inf"},
        {1.5, "", "2"},
    };
    for (const PatternCase& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(Fmt_Pattern(c.value, QLatin1String(c.pattern)), QLatin1String(c.text)) << c.value;
    }
    // The largest double has 309 integer digits: all of them are written.
    EXPECT_EQ(Fmt_Pattern(std::numeric_limits<double>::max(), "0.0").size(), 311);
}

} // namespace
