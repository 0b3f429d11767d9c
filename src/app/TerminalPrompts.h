#pragma once
// Boxes and questions on a terminal, for runs without a window: message
// texts go to standard error as "velda: <text>", questions are answered from
// a policy or asked on the terminal, file dialogs fail (no file chosen).

#include "app/Prompts.h"

#include <QString>
#include <cstdio>

class QIODevice;

namespace velda {

struct TerminalPolicy {
    // The answer to a Yes/No question nobody is asked.
    Answer answer = Answer::No;
    // Ask Yes/No questions and input boxes on the terminal when it is one.
    bool askWhenInteractive = true;
    // An input box nobody is asked takes its proposed text; otherwise it is
    // cancelled.
    bool acceptProposedText = false;
};

class TerminalPrompts final : public PromptHandler {
public:
    // On the process's own standard input and error; interactive when
    // standard input is a terminal.
    explicit TerminalPrompts(TerminalPolicy policy = {});
    // On the given devices (open; not owned).
    TerminalPrompts(TerminalPolicy policy, QIODevice* input, QIODevice* output, bool interactive);
    ~TerminalPrompts() override;

    Answer showBox(const BoxRequest& request) override;
    QString openFileName(const FileRequest& request) override;
    QString saveFileName(const FileRequest& request) override;
    std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                     const QString& initial) override;

    bool interactive() const { return interactive_; }

private:
    void say(const QString& text);
    void sayRaw(const QString& text);
    // One line from the input without its line end; nothing at its end.
    std::optional<QString> readLine();

    TerminalPolicy policy_;
    QIODevice* in_ = nullptr;
    QIODevice* out_ = nullptr;
    bool interactive_ = false;
    bool ownDevices_ = false;
};

} // namespace velda
