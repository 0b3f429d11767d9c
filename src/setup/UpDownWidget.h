#pragma once
// An up-down control: the two arrow buttons of a spin box without a text of
// its own. It sits beside the entry field it steps; each press reports +1 or
// -1 and the owner decides what the field shows.

#include <QAbstractSpinBox>
#include <functional>

namespace velda {

class UpDownWidget : public QAbstractSpinBox {
public:
    explicit UpDownWidget(QWidget* parent = nullptr);

    // Called with the number of steps (positive up, negative down).
    std::function<void(int)> onStep;

    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    StepEnabled stepEnabled() const override;
};

} // namespace velda
