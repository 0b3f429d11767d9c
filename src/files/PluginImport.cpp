#include "files/PluginImport.h"

#include "app/Messages.h"
#include "app/Program.h"
#include "app/Prompts.h"
#include "engine/file32.h"
#include "files/FileCommands.h"
#include "files/PluginLoader.h"
#include "velda_plugin.h"

#include <QFile>
#include <algorithm>
#include <array>

namespace velda {

int32_t Read_Through_Plugin(const ImportPlugin& plugin, const QString& path, int32_t limit,
                            std::vector<int16_t>& words) {
    constexpr int32_t kRefused = 241;
    words.clear();
    void* handle = nullptr;
    int32_t points = 0;
    int32_t start = 0;
    const QByteArray name = QFile::encodeName(path);
    if (Plugin_Call([&] { return plugin.begin(name.constData(), &handle, &points, &start); }, -1) !=
        0)
        return kRefused;
    int32_t result = 0;
    if (points <= 0 || start < 0 ||
        (start > 0 && Plugin_Call([&] { return plugin.seek(handle, start); }, -1) != 0)) {
        result = kRefused;
    } else {
        const int32_t wanted = std::min(points, limit);
        words.reserve(static_cast<size_t>(wanted));
        // Each read goes into a whole block of its own: a plug-in that fills
        // a block although fewer words were asked for writes into words of
        // ours, never past them.
        std::array<int16_t, VELDA_PLUGIN_BLOCK> block{};
        while (int32_t(words.size()) < wanted) {
            int32_t count = std::min<int32_t>(VELDA_PLUGIN_BLOCK, wanted - int32_t(words.size()));
            const int32_t asked = count;
            if (Plugin_Call([&] { return plugin.read(handle, block.data(), &count); }, -1) != 0 ||
                count <= 0 || count > asked) {
                result = kRefused;
                break;
            }
            words.insert(words.end(), block.begin(), block.begin() + count);
        }
        // The one word the scale does not hold.
        for (int16_t& w : words)
            w = std::max<int16_t>(w, -32767);
    }
    Plugin_Call(
        [&] {
            plugin.end(handle);
            return 0;
        },
        -1);
    if (result != 0)
        words.clear();
    return result;
}

int32_t Import_Through_Plugin(Program& program, const ImportPlugin& plugin, const QString& path,
                              int32_t* points) {
    WaveDocument& doc = program.Document;
    std::vector<int16_t> words;
    if (const int32_t e = Read_Through_Plugin(plugin, path, doc.N(), words); e != 0)
        return e;
    const auto n = static_cast<int32_t>(words.size());
    const WaveHandle scratch = W_AllocMemory(65536);
    if (scratch == 0)
        return 10;
    std::copy(words.begin(), words.end(), engine::bufferWords(scratch).begin());
    W_CopyMemory(scratch, doc.CurrentBuf(), 0, 0, n);
    W_FreeMemory(scratch);
    if (points != nullptr)
        *points = n;
    return 0;
}

int32_t File_Import(Program& program, const QStringList& folders,
                    const std::function<void()>& setCaption) {
    PluginSet set;
    const int count = set.load(folders);
    if (count == 0)
        ShowError(240);
    FileRequest r;
    r.caption = English() ? QStringLiteral("IMPORT") : QString::fromUtf8("インポート");
    r.directory = Default_Document_Folder();
    r.filter = Qt_Filter_Text(set.filterList());
    r.filterIndex = 0;
    int chosen = 0;
    const QString path = prompts().openFileNameWithFilter(r, chosen);
    if (path.isEmpty())
        return 0;
    // As the Open dialogs: a FIFO or device would hold the editor in the
    // plug-in's read until a writer comes.
    if (!file32::fileOrNothing(path)) {
        ShowError(71);
        return 0;
    }
    // A file chosen with no plug-in to read it (none installed, or the
    // dialog's own "All files") is refused as one a plug-in refuses.
    if (chosen < 0 || chosen >= count) {
        ShowError(241);
        return 0;
    }
    const ImportPlugin& plugin = set.plugins()[static_cast<size_t>(chosen)];
    int32_t n = 0;
    if (const int32_t e = Import_Through_Plugin(program, plugin, path, &n); e != 0) {
        ShowError(e);
        return 0;
    }
    program.Document.WaveFileName = QStringLiteral("Untitled");
    if (setCaption)
        setCaption();
    return n;
}

} // namespace velda
