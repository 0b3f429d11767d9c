#pragma once
// Every box, file dialog and input box the program shows goes through one
// replaceable handler, so tests can answer them and see what was shown.

#include <QString>
#include <QStringList>
#include <optional>

namespace velda {

enum class BoxIcon { None, Stop, Question };
enum class BoxButtons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

struct BoxRequest {
    QString title;
    QString text;
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
};

struct FileRequest {
    QString caption;
    QString directory;   // start folder
    QString fileName;    // proposed name
    QString filter;      // Qt filter text, ";;"-separated
    int filterIndex = 0; // preselected filter
    // Added to a typed name without an extension; the proposed name may
    // come without its own.
    QString defaultSuffix;
};

class PromptHandler {
public:
    virtual ~PromptHandler() = default;
    virtual Answer showBox(const BoxRequest& request) = 0;
    // Empty text when the user cancels.
    virtual QString openFileName(const FileRequest& request) = 0;
    virtual QString saveFileName(const FileRequest& request) = 0;
    // An open dialog that also tells which filter the user chose (an index
    // into request.filter). Handlers that cannot tell report the preselected
    // one.
    virtual QString openFileNameWithFilter(const FileRequest& request, int& chosenFilter) {
        chosenFilter = request.filterIndex;
        return openFileName(request);
    }
    // The same for a save dialog.
    virtual QString saveFileNameWithFilter(const FileRequest& request, int& chosenFilter) {
        chosenFilter = request.filterIndex;
        return saveFileName(request);
    }
    // std::nullopt when the user cancels.
    virtual std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                             const QString& initial) = 0;
};

// The handler in force. Every run installs one (the window's boxes, the
// terminal's, a test's). Showing anything with none installed is a
// programming error: it is logged, counted, passed to the hook below and
// stops a debug build; the request is then refused (No, Ok, cancelled), so
// it can never destroy data.
PromptHandler& prompts();
// Installs a handler (not owned); nullptr goes back to none.
void setPromptHandler(PromptHandler* handler);
bool promptHandlerInstalled();

// Called with a description of each request made while no handler was
// installed (the tests turn it into a failure). Replaces the debug stop.
// Returns the hook it replaces.
using UnhandledPromptHook = void (*)(const QString& what);
UnhandledPromptHook setUnhandledPromptHook(UnhandledPromptHook hook);
// Requests made so far with no handler installed.
int unhandledPromptCount();

// Message texts end each line with a carriage return; shown, they are lines
// joined by line feeds, without a trailing line end.
QString promptLines(QString text);

} // namespace velda
