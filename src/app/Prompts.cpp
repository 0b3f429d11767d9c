#include "app/Prompts.h"

#include <QtGlobal>
#include <atomic>
#include <utility>

namespace velda {
namespace {

std::atomic<int> g_unhandled{0};
UnhandledPromptHook g_hook = nullptr;

void reportUnhandled(const QString& what) {
    ++g_unhandled;
    qCritical("velda: shown with no prompts handler installed: %s", qUtf8Printable(what));
    if (g_hook) {
        g_hook(what);
        return;
    }
    Q_ASSERT_X(false, "prompts()", "a box was shown with no prompts handler installed");
}

class NoHandler final : public PromptHandler {
public:
    Answer showBox(const BoxRequest& r) override {
        reportUnhandled(QStringLiteral("box \"%1\": %2").arg(r.title, promptLines(r.text)));
        return r.buttons == BoxButtons::Ok ? Answer::Ok : Answer::No;
    }
    QString openFileName(const FileRequest& r) override {
        reportUnhandled(QStringLiteral("open-file dialog \"%1\"").arg(r.caption));
        return {};
    }
    QString saveFileName(const FileRequest& r) override {
        reportUnhandled(QStringLiteral("save-file dialog \"%1\"").arg(r.caption));
        return {};
    }
    std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                     const QString&) override {
        reportUnhandled(QStringLiteral("input box \"%1\": %2").arg(caption, prompt));
        return std::nullopt;
    }
};

NoHandler g_none;
PromptHandler* g_handler = &g_none;

} // namespace

PromptHandler& prompts() {
    return *g_handler;
}

void setPromptHandler(PromptHandler* handler) {
    g_handler = handler ? handler : &g_none;
}

bool promptHandlerInstalled() {
    return g_handler != &g_none;
}

UnhandledPromptHook setUnhandledPromptHook(UnhandledPromptHook hook) {
    return std::exchange(g_hook, hook);
}

int unhandledPromptCount() {
    return g_unhandled;
}

QString promptLines(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

} // namespace velda
