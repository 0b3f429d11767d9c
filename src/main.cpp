#include "app/Application.h"
#include "cli/CommandLine.h"

#include <QStringList>
#include <cstdio>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (velda::cli::Is_Command_Line(arguments))
        return velda::cli::Run_Command_Line(argc, argv);
    if (const QString text = velda::cli::No_Display_Text(arguments); !text.isEmpty()) {
        std::fputs(text.toLocal8Bit().constData(), stderr);
        return 2;
    }
    return velda::runProgram(argc, argv);
}
