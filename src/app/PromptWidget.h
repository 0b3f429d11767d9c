#pragma once
// The program's real boxes and file dialogs, installed at start-up.

#include "app/Prompts.h"

class QWidget;

namespace velda {

class WidgetPromptHandler final : public PromptHandler {
public:
    Answer showBox(const BoxRequest& request) override;
    QString openFileName(const FileRequest& request) override;
    QString saveFileName(const FileRequest& request) override;
    QString openFileNameWithFilter(const FileRequest& request, int& chosenFilter) override;
    QString saveFileNameWithFilter(const FileRequest& request, int& chosenFilter) override;
    std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                     const QString& initial) override;
};

} // namespace velda
