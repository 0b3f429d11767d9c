#pragma once
// Captions in both languages, looked up by control name, and the flag that
// tells list-selection handlers a form is filling its lists.

#include <QObject>
#include <QString>
#include <optional>
#include <vector>

namespace velda {

// True while a form's captions and lists are being filled; the list-selection
// handlers do nothing then, so preselecting an item runs no action.
bool ListFilling();

// Sets ListFilling for its lifetime and restores the previous value after, so
// nested fills keep the flag up until the outermost one ends.
class ListFillingGuard {
public:
    ListFillingGuard();
    ~ListFillingGuard();
    ListFillingGuard(const ListFillingGuard&) = delete;
    ListFillingGuard& operator=(const ListFillingGuard&) = delete;

private:
    bool previous_;
};

// objectName of a control: "Name", or "Name(i)" for a member of a control array.
QString controlName(const QString& name, int index = -1);

// For building forms: "Name(i)" of a control array, and a new control that
// carries its name.
inline QString indexed(const char* name, int i) {
    return controlName(QLatin1String(name), i);
}
template <typename W> W* named(W* w, const QString& name) {
    w->setObjectName(name);
    return w;
}

struct CaptionRow {
    QString control;
    int index = -1; // -1: not a control array
    QString english;
    QString japanese;

    QString objectName() const { return controlName(control, index); }
    const QString& text(bool inEnglish) const { return inEnglish ? english : japanese; }
};

class CaptionTable {
public:
    CaptionTable() = default;
    CaptionTable(std::initializer_list<CaptionRow> rows) : rows_(rows) {}

    void add(CaptionRow row) { rows_.push_back(std::move(row)); }
    const std::vector<CaptionRow>& rows() const { return rows_; }

    // Text of the control (by objectName) in the language of English(); nothing
    // when the table does not list it.
    std::optional<QString> text(const QString& objectName) const;
    std::optional<QString> text(const QString& objectName, bool inEnglish) const;

private:
    std::vector<CaptionRow> rows_;
};

} // namespace velda
