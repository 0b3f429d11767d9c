// The main window's print and About commands.
#include "document/MainWindow.h"

#include "app/Program.h"
#include "forms/VersionDialog.h"
#include "print/PrintDialog.h"

namespace velda {

void MainWindow::Menu_Print_Click() {
    Show_PrintDialog(prog_, this);
}

void MainWindow::Menu_Version_Click() {
    VersionDialog d(this);
    d.exec();
}

} // namespace velda
