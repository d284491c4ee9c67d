// The fixed layout of the installer's only window.
#pragma once

#include "platform/window_layout.h"

namespace movrix {

// Positions of the controls in the layout table, in creation order.
enum FrmCopyControl : int {
  kFrame1,
  kCommand1,
  kText2,
  kText1,
  kFraSys,
  kTxtSys,
  kTxtOutput,
  kTxtOK,
  kMovrix,
  kLblSubtitle,
  kImgLogo,
  kLblStatus,
  kFrmCopyControlCount
};

extern const FormLayout kFrmCopyLayout;

}  // namespace movrix
