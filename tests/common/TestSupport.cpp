#include "TestSupport.h"

#include <csignal>
#include <sys/resource.h>

namespace velda::test {

RecordingPrompts::RecordingPrompts() {
    // The previous handler is whatever was installed; we restore it on exit.
    previous_ = &prompts();
    setPromptHandler(this);
}

RecordingPrompts::~RecordingPrompts() {
    setPromptHandler(previous_);
}

Answer RecordingPrompts::showBox(const BoxRequest& request) {
    boxes.push_back(request);
    if (request.buttons == BoxButtons::Ok)
        return Answer::Ok;
    if (answers.empty())
        return defaultAnswer;
    Answer a = answers.front();
    answers.pop_front();
    return a;
}

QString RecordingPrompts::openFileName(const FileRequest& request) {
    fileRequests.push_back(request);
    if (fileNames.empty())
        return {};
    QString f = fileNames.front();
    fileNames.pop_front();
    return f;
}

QString RecordingPrompts::openFileNameWithFilter(const FileRequest& request, int& chosenFilter) {
    chosenFilter = request.filterIndex;
    if (!chosenFilters.empty()) {
        chosenFilter = chosenFilters.front();
        chosenFilters.pop_front();
    }
    return openFileName(request);
}

QString RecordingPrompts::saveFileName(const FileRequest& request) {
    return openFileName(request);
}

QString RecordingPrompts::saveFileNameWithFilter(const FileRequest& request, int& chosenFilter) {
    return openFileNameWithFilter(request, chosenFilter);
}

std::optional<QString> RecordingPrompts::inputText(const QString&, const QString& prompt,
                                                   const QString&) {
    inputPrompts.push_back(prompt);
    if (texts.empty())
        return std::nullopt;
    auto t = texts.front();
    texts.pop_front();
    return t;
}

QStringList RecordingPrompts::boxTexts() const {
    QStringList l;
    for (const auto& b : boxes)
        l << b.text;
    return l;
}

void RecordingPrompts::clear() {
    boxes.clear();
    fileRequests.clear();
    inputPrompts.clear();
}

QString testDataDir() {
    return QStringLiteral(VELDA_SOURCE_DIR "/tests/data");
}
QString sourceDataDir() {
    return QStringLiteral(VELDA_SOURCE_DIR "/data");
}

bool With_File_Size_Limit(long bytes, const std::function<void()>& body) {
    rlimit before{};
    if (getrlimit(RLIMIT_FSIZE, &before) != 0)
        return false;
    rlimit limit = before;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    auto* handler = std::signal(SIGXFSZ, SIG_IGN);
    const bool set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    if (set)
        body();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, handler);
    return set;
}

} // namespace velda::test
