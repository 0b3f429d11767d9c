#include "setup/UpDownWidget.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

namespace velda {

UpDownWidget::UpDownWidget(QWidget* parent) : QAbstractSpinBox(parent) {
    // The field beside it takes the typing; the arrows never take the focus,
    // so pressing them does not make the field apply a half-typed value.
    setFocusPolicy(Qt::NoFocus);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    lineEdit()->setReadOnly(true);
    lineEdit()->setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

void UpDownWidget::stepBy(int steps) {
    if (onStep && steps != 0)
        onStep(steps);
}

QAbstractSpinBox::StepEnabled UpDownWidget::stepEnabled() const {
    return isEnabled() ? (StepUpEnabled | StepDownEnabled) : StepNone;
}

QSize UpDownWidget::sizeHint() const {
    QStyleOptionSpinBox opt;
    initStyleOption(&opt);
    opt.rect = QRect(0, 0, 100, 24);
    const QRect up = style()->subControlRect(QStyle::CC_SpinBox, &opt, QStyle::SC_SpinBoxUp, this);
    // The buttons and the frame around them; the text area shrinks to nothing.
    const int frame = style()->pixelMetric(QStyle::PM_SpinBoxFrameWidth, &opt, this);
    const int h = QAbstractSpinBox::sizeHint().height();
    return {up.width() + 2 * frame + 2, h};
}

} // namespace velda
