#include "files/PackedRecord.h"

#include "engine/FixedText.h"

#include <QtEndian>
#include <bit>
#include <cstring>

namespace velda {
namespace {

constexpr int kOutputStateOffset = 136;

// A model list entry as a name: cut at its first NUL, trailing blanks dropped.
QString entryName(const QString& entry) {
    QString name = entry;
    const qsizetype nul = name.indexOf(QChar(0));
    if (nul >= 0)
        name.truncate(nul);
    while (!name.isEmpty() && name.back() == QLatin1Char(' '))
        name.chop(1);
    return name;
}

// Every field but the first word and the output state, in file order. The
// same list drives packing and unpacking, so the two cannot drift apart.
template <class Rec, class V> void visitFields(Rec& sp, V&& v) {
    v.text(2, 16, sp.ModelName);
    v.word(18, sp.GpibAddress);
    v.word(20, sp.GpibAddressMin);
    v.word(22, sp.GpibAddressMax);
    v.text(24, 64, sp.DefaultArbSend);
    v.word(88, sp.MemorySizeNo);
    v.dword(90, sp.MemorySize);
    v.dword(94, sp.ModelWord108);
    v.word(98, sp.ModelWord112);
    v.word(100, sp.ModelWord114);
    v.dword(102, sp.ModelWord116);
    v.word(106, sp.MemoryNoUsed);
    v.word(108, sp.MemoryNo);
    v.word(110, sp.MemoryNoMin);
    v.word(112, sp.MemoryNoMax);
    v.word(114, sp.MemoryNameUsed);
    v.text(116, 16, sp.MemoryName);
    v.word(132, sp.ChannelUsed);
    v.word(134, sp.ChannelNo);
    v.real(138, sp.Frequency);
    v.real(146, sp.FrequencyMin);
    v.real(154, sp.FrequencyMax);
    v.real(162, sp.ModelReal160);
    v.real(170, sp.Period);
    v.real(178, sp.ModelReal176);
    v.real(186, sp.ModelReal184);
    v.real(194, sp.ModelReal192);
    v.word(202, sp.RangeNo);
    v.word(204, sp.ModelWord308);
    v.real(206, sp.Amplitude);
    v.real(214, sp.AmplitudeMin);
    v.real(222, sp.AmplitudeMax);
    v.real(230, sp.ModelReal224);
    v.word(238, sp.OffsetSettable);
    v.real(240, sp.Offset);
    v.real(248, sp.OffsetMin);
    v.real(256, sp.OffsetMax);
    v.real(264, sp.ModelReal256);
    v.word(272, sp.OffsetOn);
    v.word(274, sp.XUnitMode);
    v.real(276, sp.UserXStart);
    v.real(284, sp.UserXEnd);
    v.word(292, sp.YUnitMode);
    v.real(294, sp.UserYMin);
    v.real(302, sp.UserYMax);
    v.text(310, 8, sp.UserXUnitName);
    v.text(318, 8, sp.UserYUnitName);
}

struct Packer {
    PackedRecord& r;
    void word(int off, int16_t v) { qToLittleEndian<int16_t>(v, r.data() + off); }
    void dword(int off, int32_t v) { qToLittleEndian<int32_t>(v, r.data() + off); }
    void real(int off, double v) {
        qToLittleEndian<uint64_t>(std::bit_cast<uint64_t>(v), r.data() + off);
    }
    void text(int off, int width, const QString& v) {
        std::memcpy(r.data() + off, toFixed8Bit(v, width).constData(), static_cast<size_t>(width));
    }
};

struct Unpacker {
    const PackedRecord& r;
    void word(int off, int16_t& v) { v = qFromLittleEndian<int16_t>(r.data() + off); }
    void dword(int off, int32_t& v) { v = qFromLittleEndian<int32_t>(r.data() + off); }
    void real(int off, double& v) {
        v = std::bit_cast<double>(qFromLittleEndian<uint64_t>(r.data() + off));
    }
    void text(int off, int width, QString& v) {
        v = fromFixed8Bit(reinterpret_cast<const char*>(r.data() + off), width);
    }
};

} // namespace

PackedRecord Pack_System_Record(const SystemParameter& sp, int16_t interfaceKind) {
    PackedRecord r{};
    const int first = (interfaceKind + 1) * 256 + (sp.ModelNo & 0xFF);
    qToLittleEndian<int16_t>(static_cast<int16_t>(first), r.data());
    visitFields(sp, Packer{r});
    // ON (0) is stored as -1 and OFF (1) as 0; NO CHANGE keeps its value.
    const int16_t out = sp.OutputState == 0 ? -1 : sp.OutputState == 1 ? 0 : sp.OutputState;
    qToLittleEndian<int16_t>(out, r.data() + kOutputStateOffset);
    return r;
}

void Unpack_System_Record(const PackedRecord& record, SystemParameter& sp, int16_t& interfaceKind) {
    const int16_t first = qFromLittleEndian<int16_t>(record.data());
    if (first >= 256) {
        const int kind = (first & 0xFF00) / 256 - 1;
        // A kind beyond the five the bus layer knows is not taken over.
        if (kind >= IfNiGpib && kind <= IfSimulated)
            interfaceKind = static_cast<int16_t>(kind);
    }
    sp.ModelNo = static_cast<int16_t>(first & 0xFF);
    visitFields(sp, Unpacker{record});
    const int16_t out = qFromLittleEndian<int16_t>(record.data() + kOutputStateOffset);
    sp.OutputState = out == -1 ? 0 : out == 0 ? 1 : out;
}

bool Match_Model(SystemParameter& sp, const QStringList& modelNames) {
    for (qsizetype i = 0; i < modelNames.size(); ++i) {
        const QString name = entryName(modelNames[i]);
        if (!sp.ModelName.startsWith(name))
            continue;
        bool onlySpaces = true;
        for (qsizetype k = name.size(); k < sp.ModelName.size(); ++k)
            onlySpaces = onlySpaces && sp.ModelName[k] == QLatin1Char(' ');
        if (onlySpaces) {
            sp.ModelNo = static_cast<int16_t>(i);
            return true;
        }
    }
    sp.ModelNo = 0;
    if (!modelNames.isEmpty()) {
        sp.ModelName = entryName(modelNames[0]).left(16).leftJustified(16, QLatin1Char(' '));
    }
    return false;
}

} // namespace velda
