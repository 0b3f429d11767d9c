#pragma once
// The file front: the open and save dialogs of every kind of file with their
// filters, start names and extension checks, the waveform (.wdb, .txt) and
// set-up (.ocb) files, and the remembered names. Dialogs and boxes all go
// through prompts(); no widgets here.
//
// A failed read or write changes nothing: the document, the set-up record,
// the undo state and the remembered names stay as they were. Waveform reads
// go into a scratch buffer first and reach the document only on success.

#include <QString>
#include <cstdint>
#include <functional>

namespace velda {

class Program;
struct SizeChange;
struct FileRequest;

// File kinds passed to File_Open and File_Save.
enum FileKind : int {
    KindExpression = 0, // .wfn of the Create dialog
    KindPointList = 2,  // .prn, .tsv, .csv of the Interpolate dialog
    KindSetup = 4,      // .ocb of the System Setup dialog
    KindWave = 5,       // .wdb and .txt of the main window
};

// The user's documents folder, or their home folder when there is none.
QString Default_Document_Folder();

// A filter list "Text|*.a|Other|*.b;*.c" as Qt's ";;"-separated filter text.
// The patterns go into the label's trailing parentheses (replacing what was
// there), separated by spaces, as Qt reads them from there.
QString Qt_Filter_Text(const QString& list);

// The filter list of a dialog in the chosen language ("|"-separated).
QString File_Filter_List(int kind, bool save, bool asText, bool english);
// The same as Qt filter text.
QString File_Filter(int kind, bool save, bool asText, bool english);

// What a save dialog returns for a name typed without any extension: the
// name with ".ext" appended (the dialog's default extension). Names that have
// a dot in their file part are returned as they are.
QString With_Default_Extension(const QString& path, const QString& ext);

// The save dialog's own overwrite question for `path`: true when it may be
// written (nothing there, or Yes); on No, `request` is set to show the
// dialog again on that name, as the dialog itself would.
bool Overwrite_Or_Ask_Again(const QString& path, FileRequest& request);

// What the front tells the windows.
struct FileHooks {
    // The main window's Set_Caption.
    std::function<void()> setCaption;
    // The view was put back to the whole waveform (a waveform was read or N
    // changed): the main window resets its zoom lists and scroll bars, shows
    // the marker values and redraws.
    std::function<void()> showWholeWave;
    // The set-up record was replaced from a file: the System Setup dialog
    // shows the record again.
    std::function<void()> setupChanged;
    // A file changed the point count; unset, the program applies it. The
    // System Setup dialog keeps the waveform first, for its Cancel.
    std::function<void(const SizeChange&)> applySizeChange;
};

// Reads or writes a file of kind 0 or 2 for the dialog that owns its data.
// Returns 0 on success, else the number of the message to show (71, 72).
using FileAction = std::function<int32_t(const QString& path)>;

class FileCommands {
public:
    explicit FileCommands(Program& program, FileHooks hooks = {});

    // Shows the open dialog of `kind` and reads the chosen file. Kinds 0 and
    // 2 hand the file to `read` (the owning dialog's reader); kinds 4 and 5
    // read it here. Returns the path read, or an empty text when the dialog
    // was cancelled, the name was refused or the read failed.
    //   kind 0: a name without ".wfn" is ignored; FuncFileName stays.
    //   kind 2: .prn/.tsv/.csv, else message 7; TextFileName = path.
    //   kind 4: a name without ".ocb" is ignored; SetupFileName = path.
    //   kind 5: Load_Wave_File, then the caption.
    QString File_Open(int kind, const FileAction& read = {});

    // Shows the save dialog of `kind` (kind 5: text when `asText`) and writes
    // the file; an existing file is overwritten only after message 5 is
    // answered Yes. Wrong extensions give message 8 (kind 5: message 7).
    // Returns the path written or an empty text.
    QString File_Save(int kind, bool asText = false, const FileAction& write = {});

    // Kind-5 files without a dialog. .wdb: record and waveform, the undo
    // history is cleared and the stored model is taken again; .txt: the
    // waveform alone, after an undo copy. Other names: message 7. A failed
    // read shows 71. On success the four names follow the path, the view
    // shows the whole waveform and the caption is refreshed.
    bool Load_Wave_File(const QString& path);
    // Applies the memory-size selection, then writes .wdb or .txt; message 7
    // for other names, 72 when the write fails (any old file stays).
    bool Save_Wave_File(const QString& path);

    // The file named on the command line at start-up.
    bool Open_By_Name(const QString& path) { return Load_Wave_File(path); }

    // Set-up files: "[path] " and message 71 / 72 on failure.
    bool Load_Setup_File(const QString& path);
    bool Save_Setup_File(const QString& path);

    // File > Save: to WaveFileName when there is one, else Save As (binary).
    void Save_Current();

private:
    QString askOpen(const QString& remembered, const QString& ext, int kind, int filterIndex);
    QString askSave(const QString& startName, const QString& ext, int kind, bool asText,
                    int filterIndex);
    void rememberWaveNames(const QString& path);
    void sizeChanged(int32_t oldN);
    void call(const std::function<void()>& hook) const;

    Program& prog_;
    FileHooks hooks_;
};

} // namespace velda
