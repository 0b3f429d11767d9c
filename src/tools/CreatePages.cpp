#include "tools/CreatePages.h"

#include "app/Messages.h"
#include "engine/eval32.h"
#include "engine/wavelb32_make.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace velda::tools {

namespace {

constexpr int kConstantFormatError = 18;

QString rightTrimmed(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    return s.left(n);
}

bool storeText(QString& field, const QString& boxText, int length) {
    const QString text = boxText.trimmed();
    if (text == field.trimmed())
        return false;
    field = text.left(length).trimmed();
    return true;
}

bool isAlnum(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
}

} // namespace

bool CreatePageRecord::Store_ConstText(const QString& boxText) {
    return storeText(ConstText, boxText, ConstTextLength);
}

bool CreatePageRecord::Store_ExprText(const QString& boxText) {
    return storeText(ExprText, boxText, ExprTextLength);
}

void CreatePageRecord::Page_Clear() {
    const double size = Size();
    Visited = PageFalse;
    Effect = PageFalse;
    Param = CreatePageRecord{}.Param;
    Size() = size;
    ConstText.clear();
    ExprText.clear();
}

void CreatePageRecord::Reset() {
    const int16_t number = PageNo;
    *this = CreatePageRecord{};
    PageNo = number;
}

CreatePages::CreatePages() {
    AllClear();
}

void CreatePages::Fit_To(double n) {
    for (CreatePageRecord& p : pages_) {
        if (p.AreaEnd <= n && p.AreaStart <= n)
            continue;
        p.AreaStart = std::min(p.AreaStart, n);
        p.AreaEnd = std::min(p.AreaEnd, n);
        p.Size() = p.AreaEnd - p.AreaStart;
    }
}

CreatePageRecord& CreatePages::CreatePage(int n) {
    return pages_[static_cast<size_t>(std::clamp(n, 0, RecordCount - 1))];
}

const CreatePageRecord& CreatePages::CreatePage(int n) const {
    return pages_[static_cast<size_t>(std::clamp(n, 0, RecordCount - 1))];
}

void CreatePages::AllClear() {
    for (size_t i = 0; i < pages_.size(); ++i) {
        pages_[i].Reset();
        pages_[i].PageNo = static_cast<int16_t>(i);
    }
    CurPage = FirstPage;
}

bool CreatePages::Check_Visit(int n) {
    CreatePageRecord& page = CreatePage(n);
    if (page.Visited || page.Effect)
        return false;
    page.Visited = PageTrue;
    page.Effect = PageTrue;
    return true;
}

int CreatePages::First_Effect_Page() const {
    for (int n = FirstPage; n <= LastPage; ++n)
        if (CreatePage(n).Effect)
            return n;
    return 0;
}

int CreatePages::Last_Effect_Page() const {
    for (int n = LastPage; n >= FirstPage; --n)
        if (CreatePage(n).Effect)
            return n;
    return 0;
}

QString Plain_Number_Text(double v) {
    if (v == 0)
        return QStringLiteral("0"); // also for -0
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    QString text = QString::fromLatin1(buf, r.ptr - buf);
    text.replace(QLatin1Char('e'), QLatin1Char('E'));
    return text;
}

QString Y_To_Word_Expression(const QString& e, const ExprUnits& u) {
    const QString t = Plain_Number_Text(u.YTop);
    const QString b = Plain_Number_Text(u.YBottom);
    return "((" + e + ")-((" + t + "+" + b + ")/2))*(65534/(" + t + "-" + b + "))";
}

QString Insert_Rnd(const QString& text) {
    // Every "rnd" gets the position, not only the first: a second rnd(5)
    // would otherwise read 5 as the position and give noise of amplitude 1.
    QString out = text;
    qsizetype from = 0;
    while ((from = out.indexOf(QLatin1String("rnd"), from)) >= 0) {
        qsizetype i = from + 3;
        from = i;
        while (i < out.size() && out.at(i) == QLatin1Char(' '))
            ++i;
        if (i >= out.size() || out.at(i) != QLatin1Char('('))
            continue;
        ++i;
        while (i < out.size() && out.at(i) == QLatin1Char(' '))
            ++i;
        const bool noArgument = i < out.size() && out.at(i) == QLatin1Char(')');
        out.insert(i, noArgument ? QStringLiteral("x") : QStringLiteral("x,"));
    }
    return out;
}

QString Insert_x(const QString& text, const ExprUnits& u) {
    if (u.XUnitMode != 1 && u.XUnitMode != 2)
        return text;
    const QString n = QString::number(u.N);
    const QString replacement = u.XUnitMode == 1
                                    ? "(x*(" + Plain_Number_Text(u.Period) + "/" + n + "))"
                                    : "(x*((" + Plain_Number_Text(u.XAtEnd) + "-" +
                                          Plain_Number_Text(u.XAtStart) + ")/" + n + ")+(" +
                                          Plain_Number_Text(u.UserXStart) + "))";
    QString out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool freeX = c == QLatin1Char('x') && (i == 0 || !isAlnum(text.at(i - 1))) &&
                           (i + 1 == text.size() || !isAlnum(text.at(i + 1)));
        if (freeX)
            out += replacement;
        else
            out += c;
    }
    return out;
}

QByteArray Build_Expression(const CreatePageRecord& page, const ExprUnits& u) {
    QString e = rightTrimmed(page.ExprText);
    if (u.YUnitMode != 0)
        e = Y_To_Word_Expression(e, u);
    e = Insert_x(Insert_Rnd(e), u);
    return ("[" + rightTrimmed(page.ConstText) + "]" + e).toLocal8Bit();
}

int Make_Wave(const CreatePageRecord& page, const MakeWaveTarget& target, const ExprUnits& u) {
    const double start = target.CreateToWave ? page.AreaStart : 0.0;
    const double length = page.AreaEnd - page.AreaStart;
    const auto& p = page.Param;
    const WaveHandle h = target.CreateBuf;
    switch (page.FuncType) {
    case FuncSin:
        W_MakeSin(h, start, length, p[ParamOffset], p[ParamAmpl], p[ParamCycle], p[ParamPhase]);
        return 0;
    case FuncTriangle:
        W_MakeTriangle(h, start, length, p[ParamOffset], p[ParamAmpl], p[ParamCycle], p[ParamPhase],
                       p[ParamSymm]);
        return 0;
    case FuncSquare:
        W_MakeSquare(h, start, length, p[ParamOffset], p[ParamAmpl], p[ParamCycle], p[ParamPhase],
                     p[ParamDuty], p[ParamTransition]);
        return 0;
    case FuncNoise:
        W_MakeNoise(h, start, length, p[ParamOffset], p[ParamAmpl]);
        return 0;
    case FuncDC:
        W_MakeDC(h, start, length, p[ParamOffset]);
        return 0;
    case FuncExpression: {
        if (!target.EvalNow) {
            W_ClearMemory(h, start, length);
            return 0;
        }
        const QByteArray text = Build_Expression(page, u);
        int32_t position = 0;
        const int32_t r = EvalArray1(start, length, h, position, text.constData());
        return r == -1 ? kConstantFormatError : r;
    }
    default:
        return 0;
    }
}

bool Check_Const(CreatePageRecord& page) {
    page.ConstText = page.ConstText.toLower();
    const QString block = "[" + page.ConstText.trimmed() + "]";
    for (double end : {page.AreaStart, page.AreaEnd}) {
        const QString text = QString::number(static_cast<qint64>(std::nearbyint(end))) + block;
        double value = 0;
        int32_t position = 0;
        if (EvalOne(text.toLocal8Bit().constData(), value, position) != 0) {
            ShowError(kConstantFormatError);
            return false;
        }
    }
    return true;
}

AllPagesResult Make_All_Pages(const CreatePages& pages, WaveHandle createBuf, WaveHandle waveBuf,
                              const ExprUnits& u) {
    AllPagesResult result;
    W_ClearMemory(createBuf, 0, static_cast<double>(u.N));
    ClearConstant();
    const MakeWaveTarget target{createBuf, true, true};
    for (int n = CreatePages::FirstPage; n <= CreatePages::LastPage; ++n) {
        const CreatePageRecord& p = pages.CreatePage(n);
        if (!p.Effect)
            continue;
        const int r = Make_Wave(p, target, u);
        if (r != 0) {
            // A page that could not be generated leaves its area of the
            // waveform as it was instead of writing a cleared run.
            if (result.error == 0)
                result = {r, n};
            continue;
        }
        W_CopyMemory(createBuf, waveBuf, p.AreaStart, p.AreaStart, p.AreaEnd - p.AreaStart);
    }
    if (result.error == 0)
        ClearConstant();
    return result;
}

} // namespace velda::tools
