// The Create dialog's procedures and event handlers: filling the controls
// from a page, the edits, page navigation, generation and the OK buttons.
#include "tools/CreateDialog.h"

#include "app/Captions.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "document/SurfaceWidget.h"
#include "engine/eval32.h"
#include "engine/wavelb32_draw.h"
#include "tools/CreateEdits.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace velda::tools {

namespace {

// The hourglass while the dialog works.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QString rightTrimmed(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    return s.left(n);
}

// The preview: white ground, grey grid, the page in colour 9 of the
// 16-colour palette (light blue).
constexpr int32_t kPreviewForeColour = 0x808080;
const QColor kPreviewBack(Qt::white);
const QColor kPreviewWave(0, 0, 255);

} // namespace

CreatePageRecord& CreateDialog::page() {
    return pages_.CreatePage(pages_.CurPage);
}

double CreateDialog::pageStart(const CreatePageRecord& p) const {
    return CreateToWave ? p.AreaStart : 0.0;
}

void CreateDialog::Prepare(bool createToWave, WaveHandle operandBuf) {
    WaitCursor wait;
    WaveDocument& doc = prog_.Document;
    CreateToWave = createToWave;
    Cancelled = false;
    pages_.Fit_To(doc.N());
    for (QWidget* w : std::initializer_list<QWidget*>{Panel_Page, Btn_Confirm})
        w->setVisible(createToWave);
    Menu_AllClear->setVisible(createToWave);
    if (createToWave) {
        CreateBuf = doc.WorkBuf1;
        int first = pages_.First_Effect_Page();
        if (first == 0) {
            first = CreatePages::FirstPage;
            CreatePageRecord& p = pages_.CreatePage(first);
            p.AreaStart = doc.CurArea().StartX;
            p.AreaEnd = doc.CurArea().EndX;
            p.Size() = doc.Area_Width();
            p.Effect = PageTrue;
        }
        pages_.CurPage = static_cast<int16_t>(first);
        for (QLineEdit* t : Text_X) {
            t->setReadOnly(false);
            t->setStyleSheet(QStringLiteral("background-color: #FFFFFF;"));
        }
        Text[ParamSize]->setEnabled(true);
        Text[ParamSize]->setStyleSheet(QString());
    } else {
        Opt_effect[0]->setChecked(true);
        pages_.CurPage = 0;
        CreateBuf = operandBuf;
        CreatePageRecord& p = pages_.CreatePage(0);
        p.AreaStart = doc.CurArea().StartX;
        p.AreaEnd = doc.CurArea().EndX;
        p.Size() = doc.Area_Width();
        // The area is the marked area of the waveform and cannot be changed.
        for (QLineEdit* t : Text_X) {
            t->setReadOnly(true);
            t->setStyleSheet(QStringLiteral("background-color: #C0C0C0;"));
        }
        Text[ParamSize]->setEnabled(false);
        Text[ParamSize]->setStyleSheet(
            QStringLiteral("background-color: #C0C0C0; color: #000000;"));
    }
    Txt_Page->setText(QString::number(pages_.CurPage));
    showEffect();
    Change_Parameter();
    const UnitContext& u = prog_.Units;
    Label_Scale[0]->setText(u.Word_To_YText(32767));
    Label_Scale[1]->setText(u.Word_To_YText(-32767));
    Label_Scale[2]->setText(u.Word_To_YText(0));
    showUnits();
    Make_Wave(pages_.CurPage);
    Page_To_Area();
    Draw_Wave_Create();
}

void CreateDialog::showUnits() {
    const UnitContext& u = prog_.Units;
    const QString x = u.X_Unit_Name();
    const QString y = u.Y_Unit_Name();
    Label_XUnit->setText(x);
    const QString units[ParamCount] = {y,
                                       x,
                                       y,
                                       QString(),
                                       QStringLiteral("deg"),
                                       QStringLiteral("%"),
                                       QStringLiteral("%"),
                                       QStringLiteral("%")};
    for (int i = 0; i < ParamCount; ++i)
        Label_Unit[static_cast<size_t>(i)]->setText(units[i]);
}

void CreateDialog::showEffect() {
    // In create-for-operate mode the single page is always used.
    const bool on = !CreateToWave || page().Effect != PageFalse;
    Opt_effect[0]->setChecked(on);
    Opt_effect[1]->setChecked(!on);
}

void CreateDialog::showFunction(int funcType) {
    for (int i = 0; i < ParamCount; ++i) {
        const bool shown = Param_Visible(funcType, i);
        const auto k = static_cast<size_t>(i);
        Label_Param[k]->setVisible(shown);
        Text[k]->setVisible(shown);
        Label_Unit[k]->setVisible(shown);
    }
    const bool expression = funcType == FuncExpression;
    Frame_Std->setVisible(!expression);
    Frame_Expr->setVisible(expression);
}

void CreateDialog::Change_Parameter() {
    const bool wasLoading = Loading;
    Loading = true;
    CreatePageRecord& p = page();
    const UnitContext& u = prog_.Units;
    if (Comb_Wave->currentIndex() != p.FuncType)
        Comb_Wave->setCurrentIndex(p.FuncType); // runs Comb_Wave_Click
    else
        Comb_Wave_Click();
    Text_X[0]->setText(u.Point_To_XTextLong(p.AreaStart));
    Text_X[1]->setText(u.Point_To_XTextLong(p.AreaEnd));
    Text[ParamOffset]->setText(u.Word_To_YText(p.Offset()));
    Text[ParamSize]->setText(u.PointSpan_To_XText(p.Size()));
    Text[ParamAmpl]->setText(u.WordSpan_To_YText(p.Ampl()));
    for (int i = ParamCycle; i < ParamCount; ++i)
        Text[static_cast<size_t>(i)]->setText(Plain_Number_Text(p.Param[static_cast<size_t>(i)]));
    Txt_Const->setPlainText(rightTrimmed(p.ConstText));
    Txt_Expr->setPlainText(rightTrimmed(p.ExprText));
    if (ShowEffect)
        showEffect();
    Loading = wasLoading;
}

void CreateDialog::Check_Visit() {
    if (pages_.Check_Visit(pages_.CurPage))
        Opt_effect[0]->setChecked(true);
}

int CreateDialog::Make_Wave(int n) {
    WaitCursor wait;
    const MakeWaveTarget target{CreateBuf, CreateToWave, EvalNow};
    return tools::Make_Wave(pages_.CreatePage(n), target,
                            Expr_Units(prog_.Units, prog_.Document.N()));
}

void CreateDialog::Draw_Wave_Create() {
    if (Loading)
        return;
    PictWave->update();
}

void CreateDialog::renderPreview() {
    QImage& picture = PictWave->picture();
    picture.fill(kPreviewBack);
    const int w = picture.width();
    const int h = picture.height();
    QPainter painter(&picture);
    W_DrawGrid(&painter, kPreviewForeColour, w, h);
    const CreatePageRecord& p = page();
    painter.setPen(kPreviewWave);
    W_DrawWave2(&painter, CreateBuf, pageStart(p), 0, p.Param[ParamSize], 65534, w, h);
}

void CreateDialog::Goto_Page(int n, bool fromButtons) {
    const int previous = pages_.CurPage;
    pages_.CurPage = static_cast<int16_t>(n);
    Txt_Page->setText(QString::number(n));
    CreatePageRecord& p = page();
    if (fromButtons && !p.Visited && !p.Effect)
        p.FuncType = pages_.CreatePage(previous).FuncType;
    showEffect();
    Regenerate = true;
    ShowEffect = false;
    Change_Parameter();
    ShowEffect = true;
    Make_Wave(n);
    Draw_Wave_Create();
    Page_To_Area();
}

void CreateDialog::Page_To_Area() {
    const CreatePageRecord& p = page();
    prog_.Document.CurArea() = {p.AreaStart, p.AreaEnd};
    if (host_.markersChanged)
        host_.markersChanged();
}

void CreateDialog::refreshAfterChange() {
    Check_Visit();
    Make_Wave(pages_.CurPage);
    Draw_Wave_Create();
}

void CreateDialog::Comb_Wave_Click() {
    if (ListFilling())
        return;
    const int f = Comb_Wave->currentIndex();
    if (f < 0)
        return;
    showFunction(f);
    if (f == FuncExpression)
        Regenerate = true;
    if (Loading)
        return;
    showEffect();
    page().FuncType = static_cast<int16_t>(f);
    Change_Parameter();
    refreshAfterChange();
}

void CreateDialog::Text_LostFocus(int i) {
    if (Loading || i < 0 || i >= ParamCount)
        return;
    const auto k = static_cast<size_t>(i);
    CreatePageRecord& p = page();
    const UnitContext& u = prog_.Units;
    const BoxEdit edit = Param_Edit(i, Text[k]->text(), p, u, prog_.Document.N());
    Text[k]->setText(edit.text);
    if (!edit.accepted)
        return;
    if (i == ParamSize) {
        p.AreaEnd = p.AreaStart + edit.value;
        Text_X[1]->setText(u.Point_To_XTextLong(p.AreaEnd));
        Page_To_Area();
    }
    if (edit.value == p.Param[k])
        return;
    p.Param[k] = edit.value;
    refreshAfterChange();
}

void CreateDialog::Text_X_LostFocus(int i) {
    if (Loading || !CreateToWave || i < 0 || i > 1)
        return;
    CreatePageRecord& p = page();
    const UnitContext& u = prog_.Units;
    const AreaEdit edit =
        Area_Edit(i, Text_X[0]->text(), Text_X[1]->text(), p, u, prog_.Document.N());
    if (!edit.accepted) {
        Text_X[static_cast<size_t>(i)]->setText(
            u.Point_To_XTextLong(i == 0 ? p.AreaStart : p.AreaEnd));
        return;
    }
    p.AreaStart = edit.start;
    p.AreaEnd = edit.end;
    Text_X[0]->setText(u.Point_To_XTextLong(p.AreaStart));
    Text_X[1]->setText(u.Point_To_XTextLong(p.AreaEnd));
    p.Size() = p.AreaEnd - p.AreaStart;
    Change_Parameter();
    Page_To_Area();
    refreshAfterChange();
    Regenerate = true;
}

namespace {
// A text longer than its field is stored cut; the box then shows what is kept.
void showStored(QPlainTextEdit* box, const QString& stored) {
    if (box->toPlainText().trimmed() != stored.trimmed())
        box->setPlainText(stored);
}
} // namespace

void CreateDialog::Txt_Const_LostFocus() {
    if (Loading)
        return;
    CreatePageRecord& p = page();
    if (p.Store_ConstText(Txt_Const->toPlainText())) {
        Regenerate = true;
        showStored(Txt_Const, p.ConstText);
    }
}

void CreateDialog::Txt_Expr_LostFocus() {
    if (Loading)
        return;
    CreatePageRecord& p = page();
    if (p.Store_ExprText(Txt_Expr->toPlainText())) {
        Regenerate = true;
        showStored(Txt_Expr, p.ExprText);
    }
}

void CreateDialog::commitPendingEdits() {
    // A button pressed by its shortcut may leave the focus in a box whose
    // text has not been applied yet.
    for (int i = 0; i < ParamCount; ++i)
        if (Text[static_cast<size_t>(i)]->isModified())
            Text_LostFocus(i);
    for (int i = 0; i < 2; ++i)
        if (Text_X[static_cast<size_t>(i)]->isModified())
            Text_X_LostFocus(i);
    Txt_Const_LostFocus();
    Txt_Expr_LostFocus();
}

void CreateDialog::Btn_Comp_Click() {
    commitPendingEdits();
    WaitCursor wait;
    CreatePageRecord& p = page();
    if (!Check_Const(p))
        return;
    Txt_Const->setPlainText(rightTrimmed(p.ConstText)); // now lower case
    if (p.ExprText.trimmed().isEmpty())
        return;
    const MakeWaveTarget target{CreateBuf, CreateToWave, true};
    const int r = tools::Make_Wave(p, target, Expr_Units(prog_.Units, prog_.Document.N()));
    if (r != 0) {
        ShowError(r);
        return;
    }
    Check_Visit();
    Draw_Wave_Create();
    Regenerate = false;
}

void CreateDialog::Opt_effect_Click(int i) {
    CreatePageRecord& p = page();
    p.Effect = i == 0 ? PageTrue : PageFalse;
    // The choice is the user's: the page counts as visited, so that the
    // next edit or "Page OK" does not switch it on again.
    p.Visited = PageTrue;
}

void CreateDialog::Cmd_Page_Click(int i) {
    if (!CreateToWave)
        return;
    const int n = Page_Button_Target(pages_, i);
    if (n != pages_.CurPage)
        Goto_Page(n, true);
}

void CreateDialog::Txt_Page_LostFocus() {
    if (!CreateToWave)
        return;
    const int n = Typed_Page(Txt_Page->text());
    Txt_Page->setText(QString::number(n));
    if (n != pages_.CurPage)
        Goto_Page(n, false);
}

// Generates the current page with its expression evaluated; false after the
// error has been shown.
bool CreateDialog::regenerateForOk() {
    EvalNow = true;
    const int r = Make_Wave(pages_.CurPage);
    EvalNow = false;
    if (r != 0) {
        ShowError(r);
        return false;
    }
    return true;
}

void CreateDialog::Btn_OK_Click() {
    commitPendingEdits();
    WaveDocument& doc = prog_.Document;
    if (!CreateToWave) {
        if (Regenerate && !regenerateForOk())
            return;
        accept();
        return;
    }
    Check_Visit();
    doc.Save_Undo();
    const CreatePageRecord& p = page();
    if (p.Effect) {
        if (Regenerate) {
            W_ClearMemory(CreateBuf, 0, doc.N());
            if (!regenerateForOk())
                return;
        }
        W_CopyMemory(CreateBuf, doc.CurrentBuf(), p.AreaStart, p.AreaStart,
                     p.AreaEnd - p.AreaStart);
    }
    accept();
}

void CreateDialog::Btn_Confirm_Click() {
    commitPendingEdits();
    if (!CreateToWave)
        return;
    if (pages_.First_Effect_Page() == 0) {
        accept();
        return;
    }
    WaveDocument& doc = prog_.Document;
    doc.Save_Undo();
    AllPagesResult r;
    {
        WaitCursor wait;
        r = Make_All_Pages(pages_, CreateBuf, doc.CurrentBuf(), Expr_Units(prog_.Units, doc.N()));
    }
    if (r.error == 0) {
        Regenerate = false;
        accept();
        return;
    }
    Goto_Page(r.errorPage);
    ShowError(r.error);
}

void CreateDialog::Btn_Cancel_Click() {
    Cancelled = true;
    ClearConstant();
    QDialog::reject();
}

void CreateDialog::Menu_Clear_Click() {
    CreatePageRecord& p = page();
    W_ClearMemory(CreateBuf, pageStart(p), p.AreaEnd - p.AreaStart);
    p.Page_Clear();
    ShowEffect = false;
    Change_Parameter();
    ShowEffect = true;
    // The cleared page is switched off: the buttons say so.
    showEffect();
    Make_Wave(pages_.CurPage);
    Draw_Wave_Create();
}

void CreateDialog::Menu_AllClear_Click() {
    AllClear();
}

void CreateDialog::AllClear() {
    // Page 0 belongs to the Operate dialog's single page: no "All Page Clear"
    // there.
    if (!CreateToWave)
        return;
    W_ClearMemory(CreateBuf, 0, prog_.Document.N());
    pages_.AllClear();
    Change_Parameter();
    showEffect();
    Make_Wave(CreatePages::FirstPage);
    Txt_Page->setText(QStringLiteral("1"));
    Draw_Wave_Create();
}

void CreateDialog::PictWave_MouseDown(QMouseEvent* e) {
    const CreatePageRecord& p = page();
    if (e->button() != Qt::LeftButton || (e->modifiers() & Qt::ShiftModifier) ||
        p.FuncType == FuncExpression)
        return;
    const QPointF at = e->position();
    const DragZone zone =
        Drag_Zone(at.x(), at.y(), PictWave->width(), PictWave->height(), p.FuncType);
    dragKind_ = zone.kind;
    dragH_ = zone.hFactor;
    dragV_ = zone.vFactor;
    dragFrom_ = at;
}

void CreateDialog::PictWave_MouseMove(QMouseEvent* e) {
    const QPointF at = e->position();
    CreatePageRecord& p = page();
    if (dragKind_ == 0 || !(e->buttons() & Qt::LeftButton)) {
        // The pointer tells what a drag from here would change.
        if (p.FuncType == FuncExpression) {
            PictWave->setCursor(Qt::ArrowCursor);
            return;
        }
        const DragZone z =
            Drag_Zone(at.x(), at.y(), PictWave->width(), PictWave->height(), p.FuncType);
        PictWave->setCursor(z.kind == 1 ? Qt::SizeAllCursor
                                        : (z.kind == 3 ? Qt::SizeHorCursor : Qt::CrossCursor));
        return;
    }
    const double dx = at.x() - dragFrom_.x();
    const double dy = dragFrom_.y() - at.y();
    dragFrom_ = at;
    Drag_Move(p, DragZone{dragKind_, dragH_, dragV_}, dx, dy);
    const UnitContext& u = prog_.Units;
    Text[ParamOffset]->setText(u.Word_To_YText(p.Offset()));
    Text[ParamAmpl]->setText(u.WordSpan_To_YText(p.Ampl()));
    for (int i = ParamCycle; i < ParamCount; ++i)
        Text[static_cast<size_t>(i)]->setText(Plain_Number_Text(p.Param[static_cast<size_t>(i)]));
    // A drag is an edit: the first one switches a fresh page on.
    refreshAfterChange();
}

void CreateDialog::PictWave_MouseUp(QMouseEvent*) {
    dragKind_ = 0;
}

} // namespace velda::tools
