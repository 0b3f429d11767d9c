#include "engine/file32_clipboard.h"

#include "engine/DataWord.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <QStringView>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <vector>

namespace {

constexpr int32_t kOpenError = 80;
constexpr int32_t kReadError = 81;
constexpr int32_t kWriteError = 82;
constexpr int32_t kOtherError = 83;

QClipboard* systemClipboard() {
    // Without a GUI application (a console tool, or after shutdown began)
    // there is no clipboard to open.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return nullptr;
    return QGuiApplication::clipboard();
}

// Up to `limit` points from the private type; empty when it is absent or
// malformed (an odd byte count is not a run of words).
std::vector<int16_t> readWords(const QMimeData& mime, int64_t limit) {
    const QByteArray raw = mime.data(QString::fromLatin1(velda::kWordsMimeType));
    if (raw.isEmpty() || raw.size() % 2 != 0)
        return {};
    const int64_t n = std::min<int64_t>(raw.size() / 2, limit);
    std::vector<int16_t> out(static_cast<size_t>(n));
    const auto* p = reinterpret_cast<const uchar*>(raw.constData());
    // Another program may have written -32768; it is off the scale.
    for (int64_t i = 0; i < n; ++i)
        out[static_cast<size_t>(i)] = velda::W_ToWord(qFromLittleEndian<qint16>(p + 2 * i));
    return out;
}

// Up to `limit` numbers from the text, one per line. Lines before the first
// number are a heading and skipped; after it every line must be a number, or
// blank lines must end the text. Anything else (a blank cell in a column, a
// decimal comma, a second column) would move the points after it, so the
// whole text is refused, however few points the area takes.
std::vector<int16_t> readText(const QString& text, int64_t limit) {
    std::vector<int16_t> out;
    QStringView rest(text);
    if (rest.startsWith(QChar(0xFEFF))) // byte-order mark left by some editors
        rest = rest.mid(1);
    bool blankSeen = false;
    int64_t values = 0;
    while (!rest.isEmpty()) {
        // LF, CR LF and a lone CR each end a line.
        const auto it = std::find_if(rest.begin(), rest.end(), [](QChar ch) {
            return ch == QLatin1Char('\n') || ch == QLatin1Char('\r');
        });
        const qsizetype nl = it == rest.end() ? -1 : it - rest.begin();
        const QStringView line = (nl < 0 ? rest : rest.left(nl)).trimmed();
        qsizetype next = nl < 0 ? rest.size() : nl + 1;
        if (nl >= 0 && rest[nl] == QLatin1Char('\r') && next < rest.size() &&
            rest[next] == QLatin1Char('\n'))
            ++next;
        rest = rest.mid(next);
        if (line.isEmpty()) {
            blankSeen = values > 0;
            continue;
        }
        bool ok = false;
        const double v = line.toDouble(&ok);
        if (values == 0 && !ok)
            continue;
        if (blankSeen || !ok || !std::isfinite(v))
            return {};
        if (values++ < limit)
            out.push_back(velda::W_ToWord(v));
    }
    return out;
}

} // namespace

namespace velda {

std::vector<int16_t> Clipboard_Points(const QMimeData& mime, int64_t limit) {
    std::vector<int16_t> values = readWords(mime, limit);
    if (values.empty() && mime.hasText())
        values = readText(mime.text(), limit);
    return values;
}

} // namespace velda

int32_t SetClipBoard(void* /*window*/, WaveHandle h, int32_t first, int32_t count) {
    QClipboard* cb = systemClipboard();
    if (!cb)
        return kOpenError;
    const auto words = velda::engine::bufferWords(h);
    if (words.empty())
        return kOtherError;
    const auto run = velda::engine::clipRun(first, count, static_cast<int64_t>(words.size()));
    if (run.count == 0)
        return 0;
    try {
        const auto points =
            words.subspan(static_cast<size_t>(run.first), static_cast<size_t>(run.count));
        QByteArray text;
        text.reserve(static_cast<qsizetype>(points.size()) * 8);
        QByteArray raw(static_cast<qsizetype>(points.size()) * 2, Qt::Uninitialized);
        auto* p = reinterpret_cast<uchar*>(raw.data());
        for (int16_t w : points) {
            text.append(QByteArray::number(w)).append('\n');
            qToLittleEndian<qint16>(w, p);
            p += 2;
        }
        auto mime = std::make_unique<QMimeData>();
        mime->setText(QString::fromLatin1(text));
        mime->setData(QString::fromLatin1(velda::kWordsMimeType), raw);
        cb->setMimeData(mime.release()); // the clipboard owns it now
        // A platform clipboard that refused the data shows it by not having it.
        const QMimeData* now = cb->mimeData();
        if (!now || !now->hasFormat(QString::fromLatin1(velda::kWordsMimeType)))
            return kWriteError;
        return 0;
    } catch (const std::exception&) {
        return kWriteError;
    }
}

int32_t GetClipBoard(void* /*window*/, WaveHandle h, int32_t first, int32_t count, int32_t inUse,
                     int32_t& pasted) {
    pasted = 0;
    QClipboard* cb = systemClipboard();
    if (!cb)
        return kOpenError;
    const auto words = velda::engine::bufferWords(h);
    if (words.empty())
        return kOtherError;
    const QMimeData* mime = cb->mimeData();
    if (!mime)
        return kReadError;

    const int64_t end = std::clamp<int64_t>(inUse, 0, static_cast<int64_t>(words.size()));
    const int64_t from = std::max<int64_t>(first, 0);
    int64_t room = std::max<int64_t>(end - from, 0);
    if (count < 0)
        room = 0;
    else if (count > 0)
        room = std::min<int64_t>(room, count);

    try {
        // Read at least one point even when nothing fits, so a clipboard
        // without numbers is reported the same way wherever the markers are.
        const int64_t want = std::max<int64_t>(room, 1);
        const std::vector<int16_t> values = velda::Clipboard_Points(*mime, want);
        if (values.empty())
            return kReadError;
        const int64_t n = std::min<int64_t>(static_cast<int64_t>(values.size()), room);
        if (n > 0) // from may lie past the buffer only when nothing fits
            std::copy_n(values.begin(), n, words.begin() + from);
        pasted = static_cast<int32_t>(n);
        return 0;
    } catch (const std::exception&) {
        return kReadError;
    }
}
