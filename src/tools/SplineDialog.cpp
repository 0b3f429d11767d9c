#include "tools/SplineDialog.h"

#include "app/Captions.h"
#include "app/CaptionsWidget.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "app/Twips.h"
#include "files/FileCommands.h"
#include "files/PointList.h"
#include "units/NumberText.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace velda::tools {

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QPushButton* button(QWidget* parent, const QString& name) {
    auto* b = named(new QPushButton(parent), name);
    // Enter in a box applies the box; it must not press a button.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

// The unit operations a point list is read and written with.
PointListUnits listUnits(const UnitContext& units) {
    PointListUnits l;
    l.engVal = [](const QString& t) { return Eng_Val(t); };
    l.clampX = [&units](double& v) { return units.Clamp_X(v, units.parameters().XUnitMode); };
    l.clampY = [&units](double& v) {
        return units.Clamp_Y(v, units.parameters().YUnitMode, false);
    };
    l.xToPoint = [&units](double v) { return units.X_To_Point(v); };
    l.yToWord = [&units](double v) { return units.Y_To_Word(v); };
    l.pointToXTextLong = [&units](double p) { return units.Point_To_XTextLong(p); };
    l.wordToYText = [&units](double w) { return units.Word_To_YText(w); };
    return l;
}

} // namespace

const CaptionTable& SplineCaptions() {
    static const CaptionTable table{
        {"SplineDialog", -1, u("VELDA - Interpolate"), u("VELDA - 補間編集")},
        {"Label_Point", -1, u("Point"), u("ﾎﾟｲﾝﾄ")},
        {"Btn_Add", -1, u("&Add"), u("追加(&A)")},
        {"Btn_Delete", -1, u("&Delete"), u("削除(&D)")},
        {"Btn_AllClear", -1, u("All D&elete"), u("全削除(&E)")},
        {"Frame_Spline", -1, u("Interpolation"), u("補間実行")},
        {"Btn_Spline", 0, u("&Linear"), u("直線(&L)")},
        {"Btn_Spline", 1, u("&Spline"), u("ｽﾌﾟﾗｲﾝ(&S)")},
        {"Btn_Spline", 2, u("&Cont Spline"), u("連続ｽﾌﾟﾗｲﾝ(&C)")},
        {"Btn_Exit", -1, u("Exi&t"), u("終了(&T)")},
        {"Btn_Help", -1, u("Help"), u("ﾍﾙﾌﾟ")},
        {"Menu_File", -1, u("&File"), u("ﾌｧｲﾙ(&F)")},
        {"Menu_FileOpen", -1, u("&Open..."), u("開く(&O)...")},
        {"Menu_FileSave", -1, u("&Save..."), u("保存(&S)...")},
    };
    return table;
}

SplineDialog::SplineDialog(Program& program, Host host, QWidget* parent)
    : QDialog(parent), prog_(program), points_(program.Spline), host_(std::move(host)) {
    setObjectName(QStringLiteral("SplineDialog"));
    setModal(false);
    buildControls();
    connectControls();
    points_.addObserver(this);
}

SplineDialog::~SplineDialog() {
    points_.removeObserver(this);
    for (QLineEdit* t : Text)
        t->removeEventFilter(this);
}

void SplineDialog::buildControls() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);

    MenuBar = named(new QMenuBar(this), QStringLiteral("MenuBar"));
    Menu_File = named(MenuBar->addMenu(QString()), QStringLiteral("Menu_File"));
    Menu_FileOpen = named(Menu_File->addAction(QString()), QStringLiteral("Menu_FileOpen"));
    Menu_FileSave = named(Menu_File->addAction(QString()), QStringLiteral("Menu_FileSave"));
    root->setMenuBar(MenuBar);

    auto* body = new QHBoxLayout;
    root->addLayout(body, 1);

    flxSpread = named(new QTableWidget(this), QStringLiteral("flxSpread"));
    flxSpread->setColumnCount(3);
    flxSpread->verticalHeader()->hide();
    flxSpread->setEditTriggers(QAbstractItemView::NoEditTriggers);
    flxSpread->setSelectionBehavior(QAbstractItemView::SelectRows);
    flxSpread->setSelectionMode(QAbstractItemView::SingleSelection);
    flxSpread->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    flxSpread->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    flxSpread->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    flxSpread->setMinimumSize(260, 240);
    body->addWidget(flxSpread, 1);

    auto* right = new QVBoxLayout;
    body->addLayout(right, 0);

    auto* entry = new QGridLayout;
    Label_Point = named(new QLabel(this), QStringLiteral("Label_Point"));
    entry->addWidget(Label_Point, 0, 0, 1, 2);
    for (int i = 0; i < 2; ++i) {
        Text[static_cast<size_t>(i)] = named(new QLineEdit(this), indexed("Text", i));
        Text[static_cast<size_t>(i)]->setMinimumWidth(110);
    }
    // The boxes' own letters; the same in both languages, like the grid's
    // column headers.
    Label_X = named(new QLabel(QStringLiteral("&X"), this), QStringLiteral("Label_X"));
    Label_X->setBuddy(Text[0]);
    Label_Y = named(new QLabel(QStringLiteral("&Y"), this), QStringLiteral("Label_Y"));
    Label_Y->setBuddy(Text[1]);
    entry->addWidget(Label_X, 1, 0);
    entry->addWidget(Text[0], 1, 1);
    entry->addWidget(Label_Y, 2, 0);
    entry->addWidget(Text[1], 2, 1);
    right->addLayout(entry);

    Btn_Add = button(this, QStringLiteral("Btn_Add"));
    Btn_Delete = button(this, QStringLiteral("Btn_Delete"));
    Btn_AllClear = button(this, QStringLiteral("Btn_AllClear"));
    for (QPushButton* b : {Btn_Add, Btn_Delete, Btn_AllClear})
        right->addWidget(b);

    Frame_Spline = named(new QGroupBox(this), QStringLiteral("Frame_Spline"));
    auto* frame = new QVBoxLayout(Frame_Spline);
    for (int i = 0; i < 3; ++i) {
        Btn_Spline[static_cast<size_t>(i)] = button(Frame_Spline, indexed("Btn_Spline", i));
        frame->addWidget(Btn_Spline[static_cast<size_t>(i)]);
    }
    right->addWidget(Frame_Spline);
    right->addStretch(1);

    Btn_Help = button(this, QStringLiteral("Btn_Help"));
    Btn_Exit = button(this, QStringLiteral("Btn_Exit"));
    right->addWidget(Btn_Help);
    right->addWidget(Btn_Exit);

    setTabOrder(Text[0], Text[1]);
    setTabOrder(Text[1], Btn_Add);
}

void SplineDialog::connectControls() {
    for (int i = 0; i < 2; ++i) {
        // Losing the focus applies a box; editingFinished also comes with
        // Enter, which is the same check.
        Text[static_cast<size_t>(i)]->installEventFilter(this);
        connect(Text[static_cast<size_t>(i)], &QLineEdit::returnPressed, this,
                [this, i] { Text_LostFocus(i); });
    }
    connect(Btn_Add, &QPushButton::clicked, this, &SplineDialog::Btn_Add_Click);
    connect(Btn_Delete, &QPushButton::clicked, this, &SplineDialog::Btn_Delete_Click);
    connect(Btn_AllClear, &QPushButton::clicked, this, &SplineDialog::Btn_AllClear_Click);
    for (int i = 0; i < 3; ++i)
        connect(Btn_Spline[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { Btn_Spline_Click(i); });
    connect(Btn_Exit, &QPushButton::clicked, this, &SplineDialog::Btn_Exit_Click);
    connect(Btn_Help, &QPushButton::clicked, this, [this] {
        if (host_.showHelp)
            host_.showHelp(HelpIndex);
    });
    Add_HelpShortcut(this, Btn_Help);
    connect(Menu_FileOpen, &QAction::triggered, this, &SplineDialog::Menu_FileOpen_Click);
    connect(Menu_FileSave, &QAction::triggered, this, &SplineDialog::Menu_FileSave_Click);
    connect(flxSpread, &QTableWidget::cellClicked, this,
            [this](int row, int) { flxSpread_Click(row + 1); });
    // Moving through the rows with the keys picks them as a click does.
    connect(flxSpread, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int previousRow, int) {
                if (row >= 0 && row != previousRow)
                    flxSpread_Click(row + 1);
            });
}

bool SplineDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        for (int i = 0; i < 2; ++i) {
            if (watched == Text[static_cast<size_t>(i)])
                Text_LostFocus(i);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SplineDialog::Form_Load() {
    Set_SplineCaptions();
    Apply_Font(this, FormFontName(), 9);
    int left = 0;
    int top = 0;
    if (prog_.Registry) {
        left = prog_.Registry->FormLeft(objectName());
        top = prog_.Registry->FormTop(objectName());
    }
    if (left == 0 && top == 0 && parentWidget()) {
        // Never placed yet: beside the main window, where it hides nothing.
        // On a narrow screen it keeps to the screen's right edge instead.
        ensurePolished();
        layout()->activate();
        adjustSize();
        const QRect outer = parentWidget()->frameGeometry();
        int x = outer.right() + 1;
        if (const QScreen* s = parentWidget()->screen()) {
            const QRect avail = s->availableGeometry();
            // Its frame is not known before it is shown; the main window's is
            // the same kind.
            const int width = this->width() + outer.width() - parentWidget()->geometry().width();
            if (x + width > avail.right() + 1)
                x = std::max(avail.left(), avail.right() + 1 - width);
        }
        move(x, outer.top());
    } else {
        move(twipsToPixels(left, screenDpiX()), twipsToPixels(top, screenDpiY()));
    }
    for (QLineEdit* t : Text)
        t->clear();
    Fill_Grid();
    Show_Selection();
    loaded_ = true;
}

void SplineDialog::Set_SplineCaptions() {
    applyCaptions(this, SplineCaptions());
    flxSpread->setHorizontalHeaderLabels({QString(), QStringLiteral("X"), QStringLiteral("Y")});
}

// --- Grid --------------------------------------------------------------------

void SplineDialog::Fill_Grid() {
    const QSignalBlocker block(flxSpread);
    const UnitContext& units = prog_.Units;
    // One row is always there, so that the first row can be selected even
    // with no points.
    const int rows = std::max(1, points_.GridPointRows());
    flxSpread->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        const QString texts[3] = {QString::number(r + 1), points_.GridXText(r, units),
                                  points_.GridYText(r, units)};
        for (int c = 0; c < 3; ++c) {
            QTableWidgetItem* item = flxSpread->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                flxSpread->setItem(r, c, item);
            }
            item->setText(texts[c]);
        }
    }
    Show_Selection();
}

void SplineDialog::Show_Selection() {
    const QSignalBlocker block(flxSpread);
    const int row = points_.SelectedRow();
    if (row >= 1 && row <= flxSpread->rowCount()) {
        flxSpread->setCurrentCell(row - 1, 1);
        flxSpread->selectRow(row - 1);
    } else {
        flxSpread->clearSelection();
    }
}

QString SplineDialog::gridText(int row, int column) const {
    const QTableWidgetItem* item = flxSpread->item(row - 1, column);
    return item ? item->text() : QString();
}

int SplineDialog::gridRowCount() const {
    return flxSpread->rowCount();
}

int SplineDialog::gridSelectedRow() const {
    const auto rows = flxSpread->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : rows.front().row() + 1;
}

void SplineDialog::pointsChanged() {
    Fill_Grid();
    if (host_.redraw)
        host_.redraw();
}

void SplineDialog::rowCountChanged() {
    const QSignalBlocker block(flxSpread);
    flxSpread->setRowCount(std::max(1, points_.GridPointRows()));
}

void SplineDialog::selectionChanged() {
    Show_Selection();
    if (host_.redraw)
        host_.redraw();
}

void SplineDialog::flxSpread_Click(int row) {
    Text[0]->setText(gridText(row, 1));
    Text[1]->setText(gridText(row, 2));
    points_.GridRowSelect(row);
}

// --- Entry -------------------------------------------------------------------

void SplineDialog::Text_LostFocus(int i) {
    QLineEdit* box = Text[static_cast<size_t>(i)];
    const bool valid = i == 0 ? ControlPoints::X_Text_Valid(box->text(), prog_.Units)
                              : ControlPoints::Y_Text_Valid(box->text(), prog_.Units);
    if (!valid)
        box->clear();
}

void SplineDialog::Update_Point() {
    points_.Update_Point(Text[0]->text(), Text[1]->text(), prog_.Units);
}

void SplineDialog::Btn_Add_Click() {
    // A box still being typed in is checked before its value is used.
    Text_LostFocus(0);
    Text_LostFocus(1);
    Update_Point();
}

void SplineDialog::Set_Point_Text(double x, double y) {
    Text[0]->setText(prog_.Units.Point_To_XTextLong(x));
    Text[1]->setText(prog_.Units.Word_To_YText(y));
}

void SplineDialog::Move_Point(int row) {
    const int i = row - 1;
    if (i < 0 || i >= points_.SplineCount()) {
        Update_Point();
        return;
    }
    if (Text[0]->text().trimmed().isEmpty() || Text[1]->text().trimmed().isEmpty())
        return;
    const double oldX = points_.SplineX(i);
    const double oldY = points_.SplineY(i);
    points_.Delete_Point(row);
    const ControlPoints::Update u =
        points_.Update_Point(Text[0]->text(), Text[1]->text(), prog_.Units);
    if (u == ControlPoints::Update::Added || u == ControlPoints::Update::Changed)
        return;
    // Refused: the point goes back where it was, with its row selected.
    points_.Spline_Update(oldX, oldY, false);
    for (int k = 0; k < points_.SplineCount(); ++k) {
        if (points_.SplineX(k) == oldX) {
            points_.GridRowSelect(std::min(k + 1, kSplineGridRows));
            break;
        }
    }
    Set_Point_Text(oldX, oldY);
}

void SplineDialog::Btn_Delete_Click() {
    const int row = points_.SelectedRow();
    if (row < 1 || row > points_.SplineCount())
        return;
    for (QLineEdit* t : Text)
        t->clear();
    points_.Delete_Point(row);
}

void SplineDialog::Btn_AllClear_Click() {
    points_.Spline_AllClear();
    for (QLineEdit* t : Text)
        t->clear();
}

void SplineDialog::Btn_Spline_Click(int i) {
    if (points_.Interpolate(i, prog_.Document) && host_.waveChanged)
        host_.waveChanged();
}

void SplineDialog::Btn_Exit_Click() {
    close();
}

// --- Files -------------------------------------------------------------------

void SplineDialog::Menu_FileOpen_Click() {
    const PointListUnits units = listUnits(prog_.Units);
    FileCommands(prog_).File_Open(KindPointList, [this, &units](const QString& path) {
        const PointListRead read = Import_Point_List(path, units);
        if (read.result != 0)
            return read.result;
        // A list longer than the table holds stops at the first point
        // refused; the table has been sorted and shown by then.
        bool stopped = false;
        Apply_Point_List(
            read.points, [this] { Btn_AllClear_Click(); },
            [this, &stopped](double x, double y, bool gridOnly) {
                if (stopped)
                    return;
                if (points_.Spline_Update(x, y, gridOnly) == ControlPoints::Update::Full)
                    stopped = true;
            });
        return int32_t{0};
    });
}

void SplineDialog::Menu_FileSave_Click() {
    const PointListUnits units = listUnits(prog_.Units);
    FileCommands(prog_).File_Save(KindPointList, false, [this, &units](const QString& path) {
        std::vector<ControlPoint> list;
        list.reserve(static_cast<size_t>(points_.SplineCount()));
        for (int i = 0; i < points_.SplineCount(); ++i)
            list.push_back({points_.SplineX(i), points_.SplineY(i)});
        return Export_Point_List(path, list, units);
    });
}

// --- Closing -----------------------------------------------------------------

void SplineDialog::Form_Unload() {
    if (prog_.Registry && !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
        Save_FormPosition(this, *prog_.Registry, objectName());
    }
    loaded_ = false;
    if (host_.closed)
        host_.closed();
}

void SplineDialog::done(int r) {
    // The close box, Escape and "Exit" all end here.
    if (loaded_)
        Form_Unload();
    QDialog::done(r);
}

} // namespace velda::tools
