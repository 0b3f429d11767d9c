#include "app/TerminalPrompts.h"

#include "bus/WaitTurn.h"

#include <QFile>
#include <QIODevice>
#include <QStringList>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace velda {

namespace {

const QString kPrefix = QStringLiteral("velda: ");

QString answerName(Answer a) {
    switch (a) {
    case Answer::Yes:
        return QStringLiteral("yes");
    case Answer::No:
        return QStringLiteral("no");
    case Answer::Ok:
        break;
    }
    return QStringLiteral("ok");
}

// Unclear answers are asked again, a few times, then the policy answers.
constexpr int kAsks = 3;

} // namespace

TerminalPrompts::TerminalPrompts(TerminalPolicy policy) : policy_(policy), ownDevices_(true) {
    auto* in = new QFile;
    auto* out = new QFile;
    // On the descriptor, not the C stream: a line the stream had buffered
    // would be unseen by the wait for input below.
    in->open(STDIN_FILENO, QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
    out->open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
    in_ = in;
    out_ = out;
    interactive_ = ::isatty(STDIN_FILENO) != 0;
}

TerminalPrompts::TerminalPrompts(TerminalPolicy policy, QIODevice* input, QIODevice* output,
                                 bool interactive)
    : policy_(policy), in_(input), out_(output), interactive_(interactive) {}

TerminalPrompts::~TerminalPrompts() {
    if (ownDevices_) {
        delete in_;
        delete out_;
    }
}

void TerminalPrompts::sayRaw(const QString& text) {
    if (out_)
        out_->write(text.toUtf8());
}

void TerminalPrompts::say(const QString& text) {
    // One prefixed line for each line of the message. A message may carry an
    // instrument's text: its control characters reach the terminal as "?",
    // never as escape sequences that retitle or clear it.
    const QStringList lines = promptLines(text).split(QLatin1Char('\n'));
    for (QString line : lines) {
        for (QChar& c : line)
            if (c.category() == QChar::Other_Control && c != QLatin1Char('\t'))
                c = QLatin1Char('?');
        sayRaw(kPrefix + line + QLatin1Char('\n'));
    }
}

std::optional<QString> TerminalPrompts::readLine() {
    if (!in_)
        return std::nullopt;
    // Asked during a bus operation (the simulated bus's reply): the wait for
    // the user's line takes the thread's turns, so a stop asked for (Ctrl-C)
    // ends it as no answer instead of waiting for Enter.
    const auto* file = qobject_cast<QFile*>(in_);
    if (const int fd = file ? file->handle() : -1; fd >= 0 && bus::Has_WaitTurn()) {
        while (!in_->canReadLine()) {
            pollfd p{fd, POLLIN, 0};
            const int r = ::poll(&p, 1, bus::WaitTurnSliceMs);
            if (r > 0 || (r < 0 && errno != EINTR))
                break; // a line, its end, or a fault: the read below sees it
            if (!bus::Wait_Turn())
                return std::nullopt;
        }
    }
    // On standard input this blocks until the user ends the line.
    QByteArray line = in_->readLine();
    if (line.isEmpty())
        return std::nullopt;
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

Answer TerminalPrompts::showBox(const BoxRequest& request) {
    say(request.text.isEmpty() ? request.title : request.text);
    if (request.buttons == BoxButtons::Ok)
        return Answer::Ok;
    if (interactive_ && policy_.askWhenInteractive) {
        for (int i = 0; i < kAsks; ++i) {
            sayRaw(kPrefix + QStringLiteral("[y/n, default %1] ").arg(answerName(policy_.answer)));
            const std::optional<QString> line = readLine();
            if (!line)
                break;
            const QString a = line->trimmed().toLower();
            if (a.isEmpty())
                return policy_.answer;
            if (a == QLatin1String("y") || a == QLatin1String("yes"))
                return Answer::Yes;
            if (a == QLatin1String("n") || a == QLatin1String("no"))
                return Answer::No;
        }
    }
    say(QStringLiteral("(answered %1)").arg(answerName(policy_.answer)));
    return policy_.answer;
}

QString TerminalPrompts::openFileName(const FileRequest& request) {
    say(request.caption + QStringLiteral(": no file chosen (no file dialog on a terminal)"));
    return {};
}

QString TerminalPrompts::saveFileName(const FileRequest& request) {
    return openFileName(request);
}

std::optional<QString> TerminalPrompts::inputText(const QString& caption, const QString& prompt,
                                                  const QString& initial) {
    // A box without a title shows its prompt alone.
    const QString asked =
        (caption.isEmpty() ? QString() : caption + QStringLiteral(": ")) + promptLines(prompt);
    if (interactive_ && policy_.askWhenInteractive) {
        sayRaw(kPrefix + asked + QStringLiteral(" [") + initial + QStringLiteral("] "));
        const std::optional<QString> line = readLine();
        if (!line)
            return std::nullopt; // end of input: cancelled
        return line->isEmpty() ? initial : *line;
    }
    if (policy_.acceptProposedText)
        return initial;
    say(asked + QStringLiteral(" (cancelled)"));
    return std::nullopt;
}

} // namespace velda
