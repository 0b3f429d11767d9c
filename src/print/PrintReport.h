#pragma once
// The print-out of the current work: the instrument set-up, the unit set-up
// and the Create pages as labelled lines, and the waveform as a framed graph.
// One piece of code paints it on any paged device, so the printer, the print
// preview and "Save as PDF" show exactly the same report. No widgets here.

#include "setup/SystemParameter.h"

#include <QFont>
#include <QString>
#include <QStringList>
#include <array>
#include <climits>
#include <cstdint>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace velda {

class Program;
class SystemSetup;
class UnitContext;
namespace tools {
class CreatePages;
}

// Label tables of the print-out in either language: 28 set-up labels and 14
// page labels. An index outside the table gives an empty text.
constexpr int SetupLabelCount = 28;
constexpr int PageLabelCount = 14;
QString Print_Setup_Label(int index, bool english);
QString Print_Page_Label(int index, bool english);

// One line of the report: a heading (no value) or a label with its value.
struct ReportLine {
    QString label;
    QString value;
    bool hasValue = false;
    bool operator==(const ReportLine&) const = default;
};

// The list texts the set-up section shows for the record's choices (the
// texts of the System Setup dialog's lists, already trimmed).
struct SetupListTexts {
    QString model;
    QString channel;
    QString range;
};

// The name of an interface kind as the interface list shows it, or the
// kind's own name when the list of the model does not offer it.
QString Interface_Name(int16_t kind, int32_t interfaceMask);

// The set-up section, in order. `interfaceText` is the interface list's text.
std::vector<ReportLine> Setup_Report(const SystemParameter& sp, int16_t interfaceKind,
                                     const QString& interfaceText, bool english,
                                     const SetupListTexts& lists);
// The same for the program's set-up (its record, interface and name lists).
std::vector<ReportLine> Setup_Report(const SystemSetup& setup, bool english);

// Report lines as text: a heading as it is, a value line as label, a tab and
// the value.
QStringList Report_Text(const std::vector<ReportLine>& lines);
// The set-up section as text lines (what `velda info` prints).
QStringList Setup_Report_Lines(const SystemParameter& sp, int16_t interfaceKind, bool english,
                               const SetupListTexts& lists, int32_t interfaceMask = 0);
QStringList Setup_Report_Lines(const SystemSetup& setup, bool english);

// The page section: the unit lines between "+" rules, then each page that
// takes part ("Effect") from 1 to 200 after a "-" rule with its eight
// parameter lines, constant and expression.
std::vector<ReportLine> Page_Report(const tools::CreatePages& pages, const UnitContext& units,
                                    bool english);

// Margins in millimetres: 0 top, 1 bottom, 2 left (the three the dialog
// shows), 3 right, 4 kept unused.
constexpr int MarginCount = 5;
constexpr int16_t MarginMin = 5;
constexpr int16_t MarginMax = 100;
constexpr int16_t MarginDefault = 20;
using Margins = std::array<int16_t, MarginCount>;

// Everything one print-out needs, taken as a snapshot.
struct ReportContent {
    std::vector<ReportLine> lines; // set-up section, then page section
    // The waveform: a buffer of the engine and the points to draw.
    int32_t waveBuf = 0;
    int32_t points = 0;
    bool digital = false;  // the digital-bit view instead of the curve
    int32_t bitCount = 16; // bits the instrument uses (digital view)
    // End values of the graph's axes in the current units.
    QString xStartText, xEndText, yTopText, yBottomText;
};

// The report of the program's current work: set-up, pages and the current
// waveform (the digital-bit view when `digital`).
ReportContent Report_Content(const Program& program, bool english, bool digital);

struct PrintLayout {
    Margins margins{MarginDefault, MarginDefault, MarginDefault, MarginDefault, MarginDefault};
    QFont font;
};

// Where the report put things, in the device's pixels (for tests and for the
// caller's own checks).
struct ReportGeometry {
    int pages = 0;
    double graphLeft = 0, graphTop = 0, graphRight = 0, graphBottom = 0; // frame
    double contentLeft = 0, contentTop = 0, contentRight = 0, contentBottom = 0;
};

// The pages to paint, counted from 1 (a print dialog's "from" and "to");
// the others are laid out but left out.
struct PageSpan {
    int first = 1;
    int last = INT_MAX;
};

// Paints the report on the device: the graph at the top of the first page,
// then the lines; a new page starts when a line would pass the bottom margin.
// Returns false, before the device is touched, when the margins leave no
// room, and when the device cannot be painted on.
bool Paint_Report(QPagedPaintDevice& device, const ReportContent& content,
                  const PrintLayout& layout, ReportGeometry* geometry = nullptr,
                  PageSpan pages = {});

// The report as a PDF file (A4), written aside and renamed into place, so a
// failed write leaves any earlier file as it was.
bool Write_Report_Pdf(const QString& path, const ReportContent& content, const PrintLayout& layout,
                      ReportGeometry* geometry = nullptr);

} // namespace velda
