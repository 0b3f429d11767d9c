#pragma once
// Captions of the System Setup dialog in both languages, and the texts that
// follow the model kind (power source or oscillator).

#include "app/Captions.h"

#include <QStringList>

namespace velda {

// Every caption of the dialog that does not depend on the model.
const CaptionTable& SystemDialogCaptions();

// Captions that differ between the power source (model 0) and the
// oscillators: the set-up frame, the channel label and the amplitude unit.
struct ModelKindCaptions {
    QString frame;
    QString channel;
    QString amplitudeUnit;
};
ModelKindCaptions SystemModelKindCaptions(bool powerSource, bool english);

// Items of the unit lists Comb_Unit(0) (X axis) and Comb_Unit(1) (Y axis).
QStringList SystemUnitItems(int axis, bool english);

} // namespace velda
