#pragma once
// The main window's caption tables: menu captions and the label and button
// captions, in both languages, and the zoom lists' items.

#include "app/Captions.h"

#include <QStringList>

namespace velda {

// Captions applied by Set_MainMenus.
const CaptionTable& MainMenuCaptions();
// Captions applied by Set_MainLabels.
const CaptionTable& MainLabelCaptions();

// Items of Comb_YZoom ("1:1" ... "1:256") and of each Comb_XZoom ("1:1" ... "1:128"),
// the same in both languages.
QStringList YZoomItems();
QStringList XZoomItems();

} // namespace velda
