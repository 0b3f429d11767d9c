#include "app/PromptWidget.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace velda {

namespace {

// Boxes belong to the window the user is working in.
QWidget* owner() {
    if (QWidget* w = QApplication::activeModalWidget())
        return w;
    return QApplication::activeWindow();
}

QMessageBox::Icon toIcon(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Stop:
        return QMessageBox::Critical;
    case BoxIcon::Question:
        return QMessageBox::Question;
    case BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// The dialog holds its entries with runs of blanks made one, and so takes
// and gives them.
QString selectedFilter(const FileRequest& r) {
    const QStringList filters = r.filter.split(QStringLiteral(";;"));
    return r.filterIndex >= 0 && r.filterIndex < filters.size()
               ? filters[r.filterIndex].simplified()
               : QString();
}

// The index of the filter the dialog reports as chosen; the preselected one
// when it names none of the request's.
int filterIndexOf(const FileRequest& r, const QString& chosen) {
    const QStringList filters = r.filter.split(QStringLiteral(";;"));
    for (int i = 0; i < filters.size(); ++i)
        if (filters[i].simplified() == chosen.simplified())
            return i;
    return r.filterIndex;
}

QString startPath(const FileRequest& r) {
    if (r.fileName.isEmpty())
        return r.directory;
    if (r.directory.isEmpty() || QFileInfo(r.fileName).isAbsolute())
        return r.fileName;
    return r.directory + QLatin1Char('/') + r.fileName;
}

} // namespace

Answer WidgetPromptHandler::showBox(const BoxRequest& request) {
    QMessageBox box(toIcon(request.icon), request.title, promptLines(request.text),
                    request.buttons == BoxButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                         : QMessageBox::Ok,
                    owner());
    const int r = box.exec();
    if (request.buttons == BoxButtons::Ok)
        return Answer::Ok;
    return r == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString WidgetPromptHandler::openFileName(const FileRequest& request) {
    int chosen = 0;
    return openFileNameWithFilter(request, chosen);
}

QString WidgetPromptHandler::openFileNameWithFilter(const FileRequest& request, int& chosenFilter) {
    // The proposed name may come without its extension: the dialog adds the
    // default one to a typed name, as it checks that the file is there.
    QFileDialog dialog(owner(), request.caption, QString(), request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    const QString start = startPath(request);
    const QFileInfo info(start);
    if (info.isDir()) {
        dialog.setDirectory(start);
    } else {
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    dialog.selectNameFilter(selectedFilter(request));
    chosenFilter = request.filterIndex;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    chosenFilter = filterIndexOf(request, dialog.selectedNameFilter());
    return dialog.selectedFiles().constFirst();
}

QString WidgetPromptHandler::saveFileName(const FileRequest& request) {
    int chosen = 0;
    return saveFileNameWithFilter(request, chosen);
}

QString WidgetPromptHandler::saveFileNameWithFilter(const FileRequest& request, int& chosenFilter) {
    QString filter = selectedFilter(request);
    // The file commands ask the overwrite question themselves.
    const QString name =
        QFileDialog::getSaveFileName(owner(), request.caption, startPath(request), request.filter,
                                     &filter, QFileDialog::DontConfirmOverwrite);
    chosenFilter = filterIndexOf(request, filter);
    return name;
}

std::optional<QString> WidgetPromptHandler::inputText(const QString& caption, const QString& prompt,
                                                      const QString& initial) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(owner(), caption, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

} // namespace velda
