#pragma once
// The help-file names of the current language and the help command.

#include <QString>
#include <array>
#include <functional>

namespace velda {

class HelpFiles {
public:
    // Opens the help viewer on a file (full path); false when it cannot.
    using Opener = std::function<bool(const QString& path)>;

    static constexpr int Count = 6;    // HelpFile(0..5)
    static constexpr int MainHelp = 5; // the main window's help

    // `folder` holds the help files; the names are filled for the current language.
    explicit HelpFiles(QString folder = {}, Opener opener = {});

    void setFolder(const QString& folder) { folder_ = folder; }
    QString folder() const { return folder_; }
    void setOpener(Opener opener) { opener_ = std::move(opener); }

    // Name of help file `index` (0..5) in the given language; empty otherwise.
    static QString fileName(int index, bool english);

    // Fills HelpFile(0..5) for the current language.
    void Set_HelpFiles();
    QString HelpFile(int index) const;

    // Index must be below 7. Opens the named file of the help folder in the
    // viewer; when there is no such file (or the viewer cannot read it) shows
    // message 99. True when the viewer was opened.
    bool Show_Help(int index);

private:
    QString folder_;
    Opener opener_;
    std::array<QString, Count> files_;
};

} // namespace velda
