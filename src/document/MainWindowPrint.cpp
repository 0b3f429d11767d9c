// The main window's print, import and About commands.
#include "document/MainWindow.h"

#include "app/Program.h"
#include "files/PluginImport.h"
#include "files/PluginLoader.h"
#include "forms/VersionDialog.h"
#include "print/PrintDialog.h"

namespace velda {

void MainWindow::Menu_Print_Click() {
    Show_PrintDialog(prog_, this);
}

void MainWindow::Menu_FileImport_Click() {
    if (File_Import(prog_, Plugin_Folders(), [this] { Set_Caption(); }) > 0) {
        SetText_MarkA();
        SetText_MarkB();
        Draw_Wave();
    }
}

void MainWindow::Menu_Version_Click() {
    VersionDialog d(this);
    d.exec();
}

} // namespace velda
