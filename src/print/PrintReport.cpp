#include "print/PrintReport.h"

#include "app/Program.h"
#include "engine/file32.h"
#include "engine/wavelb32_draw.h"
#include "engine/wavelb32_print.h"
#include "setup/SystemCaptions.h"
#include "setup/SystemSetup.h"
#include "tools/CreateCaptions.h"
#include "tools/CreatePages.h"
#include "units/NumberText.h"
#include "units/Units.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace velda {

namespace {

struct LabelPair {
    const char* english;
    const char* japanese;
};

constexpr LabelPair kSetupLabels[SetupLabelCount] = {
    {"<System Setup>", "<ｼｽﾃﾑ設定>"},
    {"[Basic Setup]", "[機種設定]"},
    {"Model", "機種"},
    {"GPIB Address", "GPIBｱﾄﾞﾚｽ"},
    {"[Wave Memory Setup]", "[波形ﾒﾓﾘ設定]"},
    {"Memory Size", "波形ﾒﾓﾘｻｲｽﾞ"},
    {"Memory Name", "波形ﾒﾓﾘ名"},
    {"Memory Number", "波形ﾒﾓﾘ番号"},
    {"[Oscillator Setup]", "[発振器設定]"},
    {"Channel", "ﾁｬﾈﾙ"},
    {"Output ON/OFF", "出力ON/OFF"},
    {"Frequency", "周波数"},
    {"Period", "周期"},
    {"Range", "電圧ﾚﾝｼﾞ"},
    {"Amplitude", "振幅"},
    {"DC Offset", "ｵﾌｾｯﾄ"},
    {"Output ON/OFF", "ｵﾌｾｯﾄON/OFF"},
    {"<Unit Setup>", "<単位設定>"},
    {"[X-Axis Unit]", "[X軸単位]"},
    {"X-Axis Unit", "単位"},
    {"Name", "ﾕｰｻﾞ単位名称"},
    {"Min to Max", "最小値～最大値"},
    {"[Y-Axis Unit]", "[Y軸単位]"},
    {"Y-Axis Unit", "単位"},
    {"Name", "ﾕｰｻﾞ単位名称"},
    {"Min to Max", "最小値～最大値"},
    {"Interface", "ｲﾝﾀﾌｪｰｽ"},
    {"USB ID", "USB ID"},
};

constexpr LabelPair kPageLabels[PageLabelCount] = {
    {"Page", "ﾍﾟｰｼﾞ"},   {"Function", "波形"},   {"Start X", "開始点"},    {"End X", "終了点"},
    {"Offset", "ｵﾌｾｯﾄ"}, {"Size", "ｻｲｽﾞ"},       {"Amplitude", "振幅"},    {"Period", "周期"},
    {"Phase", "位相"},   {"Symmetry", "傾斜"},   {"Duty Ratio", "ﾃﾞｭｰﾃｨ"}, {"Constant", "定数"},
    {"Y=", "Y="},        {"Transition", "遷移"},
};

QString pick(const LabelPair& p, bool english) {
    return QString::fromUtf8(english ? p.english : p.japanese);
}

ReportLine heading(QString label) {
    return {std::move(label), {}, false};
}
ReportLine valueLine(QString label, const QString& value) {
    return {std::move(label), value.trimmed(), true};
}

QString listText(const QStringList& list, int index) {
    return index >= 0 && index < list.size() ? list[index].trimmed() : QString();
}

QString onOff(bool on) {
    return on ? QStringLiteral("ON") : QStringLiteral("OFF");
}

QString outputText(int16_t state) {
    switch (state) {
    case 0:
        return QStringLiteral("ON");
    case 1:
        return QStringLiteral("OFF");
    default:
        return QStringLiteral("NO CHANGE");
    }
}

constexpr double kMmPerInch = 25.4;

} // namespace

QString Print_Setup_Label(int index, bool english) {
    return index >= 0 && index < SetupLabelCount ? pick(kSetupLabels[index], english) : QString();
}

QString Print_Page_Label(int index, bool english) {
    return index >= 0 && index < PageLabelCount ? pick(kPageLabels[index], english) : QString();
}

QString Interface_Name(int16_t kind, int32_t interfaceMask) {
    for (const InterfaceEntry& e : SystemSetup::Interface_List(interfaceMask))
        if (e.kind == kind)
            return e.text;
    // Kinds the list of the model does not offer are still printed by their
    // own name, never as another interface.
    switch (kind) {
    case IfNiGpib:
        return QStringLiteral("NI GPIB");
    case IfKiGpib:
        return QStringLiteral("KI GPIB");
    case IfUsb488:
        return QStringLiteral("USB488");
    case IfUsbTmc:
        return QStringLiteral("USB(TMC)");
    case IfSimulated:
        return QStringLiteral("Simulated");
    default:
        return QString::number(kind);
    }
}

std::vector<ReportLine> Setup_Report(const SystemParameter& sp, int16_t interfaceKind,
                                     const QString& interfaceText, bool english,
                                     const SetupListTexts& lists) {
    const auto L = [english](int i) { return Print_Setup_Label(i, english); };
    const UnitContext units(sp);
    std::vector<ReportLine> r;
    r.push_back(heading(L(0)));
    r.push_back(heading(L(1)));
    r.push_back(valueLine(L(2), lists.model));
    r.push_back(valueLine(L(26), interfaceText));
    r.push_back(valueLine(L(interfaceKind == IfUsb488 ? 27 : 3), QString::number(sp.GpibAddress)));
    r.push_back(heading(L(4)));
    r.push_back(valueLine(L(5), QString::number(sp.MemorySize)));
    r.push_back(valueLine(L(6), sp.MemoryName));
    r.push_back(valueLine(L(7), QString::number(sp.MemoryNo)));
    r.push_back(heading(L(8)));
    r.push_back(valueLine(L(9), lists.channel));
    r.push_back(valueLine(L(10), outputText(sp.OutputState)));
    r.push_back(valueLine(L(11), Eng_Str(sp.Frequency, ".#############") + QStringLiteral(" Hz")));
    r.push_back(valueLine(L(12), Eng_Str(sp.Period, ".#############") + QStringLiteral(" sec")));
    r.push_back(valueLine(L(13), lists.range));
    r.push_back(valueLine(L(14), Eng_Str(sp.Amplitude, ".######") + QStringLiteral(" Vp-p")));
    r.push_back(valueLine(L(15), Eng_Str(sp.Offset, ".######") + QStringLiteral(" V")));
    if (sp.OffsetSettable != 0)
        r.push_back(valueLine(L(16), onOff(Offset_Counts(sp))));
    r.push_back(heading(L(17)));
    r.push_back(heading(L(18)));
    r.push_back(valueLine(L(19), listText(SystemUnitItems(0, english), sp.XUnitMode)));
    r.push_back(valueLine(L(20), units.X_Unit_Name()));
    r.push_back(valueLine(L(21), Eng_Str(sp.UserXStart, ".######").trimmed() + QLatin1Char(',') +
                                     Eng_Str(sp.UserXEnd, ".######").trimmed()));
    r.push_back(heading(L(22)));
    r.push_back(valueLine(L(23), listText(SystemUnitItems(1, english), sp.YUnitMode)));
    r.push_back(valueLine(L(24), units.Y_Unit_Name()));
    r.push_back(valueLine(L(25), Eng_Str(sp.UserYMin, ".######").trimmed() + QLatin1Char(',') +
                                     Eng_Str(sp.UserYMax, ".######").trimmed()));
    return r;
}

std::vector<ReportLine> Setup_Report(const SystemSetup& setup, bool english) {
    const SystemParameter& sp = setup.Param;
    const SetupListTexts lists{listText(setup.ModelNames, sp.ModelNo),
                               listText(setup.ChannelNames, sp.ChannelNo),
                               listText(setup.RangeNames, sp.RangeNo)};
    return Setup_Report(sp, setup.InterfaceKind,
                        Interface_Name(setup.InterfaceKind, setup.InterfaceMask), english, lists);
}

QStringList Report_Text(const std::vector<ReportLine>& lines) {
    QStringList out;
    for (const ReportLine& l : lines)
        out << (l.hasValue ? l.label + QLatin1Char('\t') + l.value : l.label);
    return out;
}

QStringList Setup_Report_Lines(const SystemParameter& sp, int16_t interfaceKind, bool english,
                               const SetupListTexts& lists, int32_t interfaceMask) {
    return Report_Text(Setup_Report(sp, interfaceKind, Interface_Name(interfaceKind, interfaceMask),
                                    english, lists));
}

QStringList Setup_Report_Lines(const SystemSetup& setup, bool english) {
    return Report_Text(Setup_Report(setup, english));
}

std::vector<ReportLine> Page_Report(const tools::CreatePages& pages, const UnitContext& units,
                                    bool english) {
    using namespace tools;
    const SystemParameter& sp = units.parameters();
    const double n = sp.MemorySize;
    const auto U = [english](int i) { return UnitTextItem(i, english); };
    const auto P = [english](int i) { return Print_Page_Label(i, english); };
    const QString plus = QStringLiteral("+++++++++++++++");
    std::vector<ReportLine> r;
    r.push_back(heading(plus));
    r.push_back(heading(U(0)));
    r.push_back(heading(U(1)));
    r.push_back(valueLine(U(2), listText(SystemUnitItems(0, english), sp.XUnitMode)));
    r.push_back(valueLine(U(3), units.X_Unit_Name()));
    r.push_back(valueLine(U(4), units.Point_To_XTextLong(0).trimmed() + QLatin1Char(',') +
                                    units.Point_To_XTextLong(n).trimmed()));
    r.push_back(heading(U(5)));
    r.push_back(valueLine(U(6), listText(SystemUnitItems(1, english), sp.YUnitMode)));
    r.push_back(valueLine(U(7), units.Y_Unit_Name()));
    r.push_back(valueLine(U(8), units.Word_To_YText(-32768).trimmed() + QLatin1Char(',') +
                                    units.Word_To_YText(32767).trimmed()));
    r.push_back(heading(plus));
    const QStringList funcs = CreateWaveItems(english);
    const auto six = [](double v) { return Eng_Str(v, ".######"); };
    for (int p = CreatePages::FirstPage; p <= CreatePages::LastPage; ++p) {
        const CreatePageRecord& pg = pages.CreatePage(p);
        if (pg.Effect == PageFalse)
            continue;
        r.push_back(heading(QStringLiteral("---------------")));
        r.push_back(valueLine(P(0), QString::number(p)));
        r.push_back(valueLine(P(1), listText(funcs, pg.FuncType)));
        r.push_back(valueLine(P(2), units.Point_To_XTextLong(pg.AreaStart)));
        r.push_back(valueLine(P(3), units.Point_To_XTextLong(pg.AreaEnd)));
        r.push_back(valueLine(P(4), units.Word_To_YText(pg.Offset())));
        // The size is a point extent, shown in the current X unit.
        const double extent = units.Point_To_X(pg.Size()) - units.Point_To_X(0);
        r.push_back(valueLine(P(5), sp.XUnitMode == XUnitWord ? Fmt_Fixed(extent, 11)
                                                              : Eng_StrN(extent, 10)));
        r.push_back(valueLine(P(6), units.WordSpan_To_YText(pg.Ampl())));
        r.push_back(valueLine(P(7), six(pg.Cycle())));
        r.push_back(valueLine(P(8), six(pg.Phase())));
        r.push_back(valueLine(P(9), six(pg.Symm())));
        r.push_back(valueLine(P(10), six(pg.Duty())));
        r.push_back(valueLine(P(13), six(pg.Transition())));
        r.push_back(valueLine(P(11), pg.ConstText));
        r.push_back(valueLine(P(12), pg.ExprText));
    }
    return r;
}

ReportContent Report_Content(const Program& program, bool english, bool digital) {
    ReportContent c;
    c.lines = Setup_Report(program.Setup, english);
    const std::vector<ReportLine> pages = Page_Report(program.Pages, program.Units, english);
    c.lines.insert(c.lines.end(), pages.begin(), pages.end());
    c.waveBuf = program.Document.CurrentBuf();
    c.points = program.Document.N();
    c.digital = digital;
    const int32_t bits = program.Setup.Param.ModelWord116;
    c.bitCount = bits >= 1 && bits <= 16 ? bits : 16;
    const UnitContext& u = program.Units;
    const auto withUnit = [](QString v, const QString& unit) {
        v = v.trimmed();
        const QString name = unit.trimmed();
        return name.isEmpty() ? v : v + QLatin1Char(' ') + name;
    };
    c.xStartText = withUnit(u.Point_To_XText(0), u.X_Unit_Name());
    c.xEndText = withUnit(u.Point_To_XText(c.points), u.X_Unit_Name());
    c.yTopText = withUnit(u.Word_To_YText(32767), u.Y_Unit_Name());
    c.yBottomText = withUnit(u.Word_To_YText(-32767), u.Y_Unit_Name());
    return c;
}

namespace {

// The lines a value takes within `width`: its own line breaks kept, longer
// lines broken at blanks, a word wider than the width anywhere in it.
QStringList wrapped(QString text, const QFontMetricsF& fm, double width) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList out;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString joined = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (fm.horizontalAdvance(joined) <= width) {
                line = joined;
                continue;
            }
            if (!line.isEmpty())
                out << line;
            line = word;
            while (line.size() > 1 && fm.horizontalAdvance(line) > width) {
                qsizetype fit = 1;
                while (fit < line.size() && fm.horizontalAdvance(line.left(fit + 1)) <= width)
                    ++fit;
                out << line.left(fit);
                line = line.mid(fit);
            }
        }
        out << line;
    }
    return out;
}

} // namespace

bool Paint_Report(QPagedPaintDevice& device, const ReportContent& content,
                  const PrintLayout& layout, ReportGeometry* geometry, PageSpan pages) {
    // Margins are measured from the paper's edge; the device paints from the
    // corner of its printable area. A layout without room is refused before
    // anything starts: a printer or a file would get a blank page.
    const int dpi = device.logicalDpiX();
    const QPageLayout pl = device.pageLayout();
    const QRect full = pl.fullRectPixels(dpi);
    const QRect paint = pl.paintRectPixels(dpi);
    const double mm = dpi / kMmPerInch;
    const double dx = paint.left() - full.left();
    const double dy = paint.top() - full.top();
    const Margins& m = layout.margins;
    const double left = m[2] * mm - dx;
    const double top = m[0] * mm - dy;
    const double right = full.width() - m[3] * mm - dx;
    const double bottom = full.height() - m[1] * mm - dy;
    if (dpi <= 0 || right - left < 2 * mm || bottom - top < 2 * mm)
        return false;
    QPainter painter;
    if (!painter.begin(&device))
        return false;

    // Pages outside a chosen range are laid out but not painted.
    int page = 1;
    bool opened = pages.first <= 1;
    const auto shown = [&] { return page >= pages.first && page <= pages.last; };
    const auto nextPage = [&] {
        ++page;
        if (shown()) {
            if (opened)
                device.newPage();
            opened = true;
        }
    };

    // No ligatures: text copied out of a PDF keeps its plain letters.
    QFont font = layout.font;
    font.setStyleStrategy(QFont::PreferNoShaping);
    painter.setFont(font);
    const QFontMetricsF fm(painter.font(), &device);
    const double line = fm.lineSpacing();
    const double ascent = fm.ascent();
    painter.setPen(QPen(Qt::black, std::max(1.0, 0.2 * mm)));

    // The graph: Y end values to the left of the frame, X end values below.
    // Where the margins leave little width, the Y values go rather than
    // the frame, the X values stack and the graph keeps some height; a
    // large font keeps the frame at least half the graph's height.
    const double room = right - left;
    const double yTextWidth =
        std::max(fm.horizontalAdvance(content.yTopText), fm.horizontalAdvance(content.yBottomText));
    const bool yTexts = yTextWidth + line * 0.5 <= room / 2;
    const double frameLeft = left + (yTexts ? yTextWidth + line * 0.5 : 0);
    const double graphHeight = std::min((bottom - top) * 0.4, std::max(room * 0.6, line * 6));
    QRectF frame(frameLeft, top + ascent * 0.5, right - frameLeft,
                 std::max(graphHeight - line * 1.5, graphHeight * 0.5));
    // The pen's half width stays inside the margins.
    const double halfPen = painter.pen().widthF() / 2;
    frame.adjust(halfPen, halfPen, -halfPen, 0);
    const QString xStart = fm.elidedText(content.xStartText, Qt::ElideRight, frame.width());
    const QString xEnd = fm.elidedText(content.xEndText, Qt::ElideRight, frame.width());
    const bool xStacked = fm.horizontalAdvance(xStart) + fm.horizontalAdvance(QLatin1Char(' ')) +
                              fm.horizontalAdvance(xEnd) >
                          frame.width();
    const double xTextTop = frame.bottom() + line * 0.25;
    const double xEndTop = xTextTop + (xStacked ? line : 0);
    // The curve keeps clear of the frame's lines, so that a waveform at full
    // scale shows above or below them; the Y end values stand at its ends.
    const double inset = std::min(mm, frame.height() / 8);
    const QRectF curve = frame.adjusted(0, inset, 0, -inset);
    if (shown()) {
        painter.drawRect(frame);
        const int w = static_cast<int>(std::floor(curve.width()));
        const int h = static_cast<int>(std::floor(curve.height()));
        if (content.points > 0 && w > 2 && h > 2) {
            painter.save();
            painter.setClipRect(frame);
            painter.translate(curve.left(), curve.top());
            if (content.digital)
                W_DrawDigital(&painter, content.waveBuf, 0, content.points, content.bitCount, w, h);
            else
                W_DrawWave2(&painter, content.waveBuf, 0, 0, content.points, 65534, w, h);
            painter.restore();
        }
        if (yTexts) {
            painter.drawText(QPointF(left, curve.top() + ascent * 0.5), content.yTopText);
            painter.drawText(QPointF(left, curve.bottom() + ascent * 0.5 - fm.descent()),
                             content.yBottomText);
        }
        painter.drawText(QPointF(frame.left(), xTextTop + ascent), xStart);
        painter.drawText(QPointF(frame.right() - fm.horizontalAdvance(xEnd), xEndTop + ascent),
                         xEnd);
    }

    // The lines: values in one column after the widest label, but never past
    // the middle of the page; a long value goes on over as many lines as it
    // needs.
    double labelWidth = 0;
    for (const ReportLine& l : content.lines)
        if (l.hasValue)
            labelWidth = std::max(labelWidth, fm.horizontalAdvance(l.label));
    const double tab = std::min(left + labelWidth + fm.horizontalAdvance(QStringLiteral("MM")),
                                (left + right) / 2);
    double y = xEndTop + line * 2;
    for (const ReportLine& l : content.lines) {
        const QStringList values =
            l.hasValue ? wrapped(l.value, fm, right - tab) : QStringList{QString()};
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (y + line > bottom) {
                nextPage();
                y = top;
            }
            const double base = y + ascent;
            if (shown()) {
                if (i == 0) {
                    const double labelRoom =
                        l.hasValue ? tab - left - fm.horizontalAdvance(QLatin1Char(' '))
                                   : right - left;
                    painter.drawText(QPointF(left, base),
                                     fm.elidedText(l.label, Qt::ElideRight, labelRoom));
                }
                if (l.hasValue)
                    painter.drawText(QPointF(tab, base), values[i]);
            }
            y += line;
        }
    }
    if (!painter.end())
        return false;
    if (geometry) {
        geometry->pages = page;
        geometry->graphLeft = frame.left() + dx;
        geometry->graphTop = frame.top() + dy;
        geometry->graphRight = frame.right() + dx;
        geometry->graphBottom = frame.bottom() + dy;
        geometry->contentLeft = left + dx;
        geometry->contentTop = top + dy;
        geometry->contentRight = right + dx;
        geometry->contentBottom = bottom + dy;
    }
    return true;
}

bool Write_Report_Pdf(const QString& path, const ReportContent& content, const PrintLayout& layout,
                      ReportGeometry* geometry) {
    if (!file32::saveTargetOk(path))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    bool ok = false;
    {
        QPdfWriter pdf(&file);
        pdf.setCreator(QStringLiteral("VELDA"));
        pdf.setTitle(QStringLiteral("VELDA"));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(600);
        ok = Paint_Report(pdf, content, layout, geometry);
    }
    if (!ok) {
        file.cancelWriting();
        return false;
    }
    return file32::commitWhole(file);
}

} // namespace velda
