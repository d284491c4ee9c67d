// The fixed layout of the installer's only window.
#pragma once

#include "platform/window_layout.h"

namespace movrix {

// Positions of the controls in the layout table, in creation order.
enum MainWindowControl : int {
  kFrame1,
  kCommand1,
  kText2,
  kStatusLine,
  kFraSys,
  kTxtSys,
  kTxtOutput,
  kTxtOK,
  kMovrix,
  kLblSubtitle,
  kImgLogo,
  kLblStatus,
  kMainWindowControlCount
};

extern const FormLayout kMainWindowLayout;

}  // namespace movrix
