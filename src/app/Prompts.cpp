#include "app/Prompts.h"

namespace velda {
namespace {

class RefusingHandler final : public PromptHandler {
public:
    Answer showBox(const BoxRequest& r) override {
        return r.buttons == BoxButtons::Ok ? Answer::Ok : Answer::No;
    }
    QString openFileName(const FileRequest&) override { return {}; }
    QString saveFileName(const FileRequest&) override { return {}; }
    std::optional<QString> inputText(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
};

RefusingHandler g_refusing;
PromptHandler* g_handler = &g_refusing;

} // namespace

PromptHandler& prompts() {
    return *g_handler;
}

void setPromptHandler(PromptHandler* handler) {
    g_handler = handler ? handler : &g_refusing;
}

} // namespace velda
