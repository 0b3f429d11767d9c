// Whether the editor can start where no display is named.
#include "cli/CommandLine.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace velda::cli;

TEST(CommandLine, TheNoDisplayTextOnlyWhereNothingNamesAPlatform) {
    const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    struct Saved {
        QByteArray value;
        bool set;
    } saved[3];
    for (int i = 0; i < 3; ++i)
        saved[i] = {qgetenv(names[i]), qEnvironmentVariableIsSet(names[i])};
    struct Case {
        const char* variable; // set to a value; nullptr: none of them
        QStringList arguments;
        bool refused;
    } cases[] = {
        {nullptr, {"velda", "-x"}, true},
        {nullptr, {"velda", "wave.wdb"}, true},
        {nullptr, {"velda", "-platform", "offscreen", "wave.wdb"}, false},
        {"DISPLAY", {"velda", "-x"}, false},
        {"WAYLAND_DISPLAY", {"velda"}, false},
        {"QT_QPA_PLATFORM", {"velda"}, false},
    };
    for (const Case& c : cases) {
        for (const char* n : names)
            qunsetenv(n);
        if (c.variable)
            qputenv(c.variable, "x");
        EXPECT_EQ(!No_Display_Text(c.arguments).isEmpty(), c.refused)
            << (c.variable ? c.variable : "-") << " " << c.arguments.join(' ').toStdString();
    }
    for (int i = 0; i < 3; ++i)
        saved[i].set ? qputenv(names[i], saved[i].value) : qunsetenv(names[i]);
}
