#pragma once
// Test helpers shared by every test program.

#include "app/Prompts.h"

#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace velda::test {

// Records every box and dialog and answers from queues given by the test.
// Installed for the lifetime of the object.
class RecordingPrompts : public PromptHandler {
public:
    RecordingPrompts();
    ~RecordingPrompts() override;

    Answer showBox(const BoxRequest& request) override;
    QString openFileName(const FileRequest& request) override;
    QString saveFileName(const FileRequest& request) override;
    // The filter each open or save dialog reports as chosen, in order; when empty,
    // the preselected one.
    QString openFileNameWithFilter(const FileRequest& request, int& chosenFilter) override;
    QString saveFileNameWithFilter(const FileRequest& request, int& chosenFilter) override;
    std::deque<int> chosenFilters;
    std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                     const QString& initial) override;

    // Answers used in order; when empty, Yes/No boxes answer `defaultAnswer`.
    std::deque<Answer> answers;
    Answer defaultAnswer = Answer::No;
    std::deque<QString> fileNames; // for open and save dialogs; empty = cancel
    std::deque<std::optional<QString>> texts;

    std::vector<BoxRequest> boxes;
    std::vector<FileRequest> fileRequests;
    std::vector<QString> inputPrompts;

    // Texts of the boxes shown, in order.
    QStringList boxTexts() const;
    void clear();

private:
    PromptHandler* previous_ = nullptr;
};

// Folder of the source tree's test data (tests/data).
QString testDataDir();
// Folder of the program's shipped data (data/).
QString sourceDataDir();

// Runs `body` with files limited to `bytes` (SIGXFSZ ignored): writes past
// it fail as on a full disk. False when the limit could not be set.
bool With_File_Size_Limit(long bytes, const std::function<void()>& body);

} // namespace velda::test
