#include "app/main_window_layout.h"

#include "app/resource_ids.h"

namespace movrix {
namespace {

constexpr Font kDialogFont{"MS Sans Serif", 825, false};
constexpr Font kDialogBold{"MS Sans Serif", 825, true};
constexpr Font kButtonFont{"MS Sans Serif", 975, true};
constexpr Font kSystemBold{"System", 975, true};
constexpr Font kTitleFont{"Arial", 1800, true};
constexpr Font kWarningFont{"Arial", 825, false};

constexpr Color kButtonFace = SystemColor(kColorButtonFace);
constexpr Color kNavy = Rgb(0, 0, 128);
constexpr Color kRed = Rgb(255, 0, 0);
constexpr Color kBlue = Rgb(0, 0, 255);
constexpr Color kNone = DefaultColor();

constexpr int kF1 = kFrame1;
constexpr int kSys = kFraSys;

// clang-format off
constexpr ControlSpec kControls[] = {
  // name         kind                  container  left  top   width  height tab  text
  {"Frame1",     ControlKind::kFrame,   kOnWindow, 150,  60,   11425, 5300, 0,  "",
   kDialogFont, kNone, kNone, kNoFlags},
  {"Command1",   ControlKind::kButton,  kF1,       3000, 4400, 1215,  495,  10, "OK",
   kButtonFont, kNone, kNone, kTabStop},
  {"Text2",      ControlKind::kTextBox, kF1,       9000, 5000, 2000,  285,  9,  "OK pour quitter",
   kDialogBold, kButtonFace, kNavy, kNoFlags},
  {"Text1",      ControlKind::kTextBox, kF1,       360,  5000, 6500,  285,  8,
   "Toutes les opérations ont été effectuées avec succès - Windows Mail est opérationnel",
   kDialogFont, kButtonFace, kRed, kNoFlags},
  {"fraSys",     ControlKind::kFrame,   kF1,       165,  1115, 4365,  1500, 3,  "Système d'exploitation",
   kSystemBold, kNone, kNone, kNoFlags},
  {"txtSys",     ControlKind::kTextBox, kSys,      180,  300,  4005,  1095, 4,  "",
   kDialogFont, kButtonFace, kNone, kMultiLine | kDisabled},
  {"txtOutput",  ControlKind::kTextBox, kF1,       4680, 1200, 6535,  3735, 2,  "",
   kDialogFont, SystemColor(kColorWindow), SystemColor(kColorWindowText),
   kMultiLine | kBothScrollBars | kTabStop},
  {"txtOK",      ControlKind::kTextBox, kF1,       4720, 750,  5600,  400,  1,  "",
   kDialogFont, kButtonFace, kRed, kMultiLine},
  {"Movrix",     ControlKind::kLabel,   kF1,       120,  240,  0,     0,    7,  "Movrix18",
   kTitleFont, kNone, kNone, kAutoSize},
  {"lblSubtitle",ControlKind::kLabel,   kF1,       4680, 250,  6500,  195,  6,
   "Utilitaire d'installation de Windows Mail sur Windows 10",
   kWarningFont, kNone, kBlue, kNoFlags},
  {"imgLogo",    ControlKind::kImage,   kF1,       120,  2760, 2505,  2205, kNoTabIndex, kLogoResourceName,
   kDialogFont, kNone, kNone, kNoFlags},
  {"lblStatus",  ControlKind::kLabel,   kF1,       4680, 450,  6500,  195,  5,  "",
   kWarningFont, kNone, kBlue, kNoFlags},
};
// clang-format on

static_assert(sizeof kControls / sizeof kControls[0] == kMainWindowControlCount);

}  // namespace

const FormLayout kMainWindowLayout{11745, 5430, kControls, kMainWindowControlCount,
                                   kIconResourceId};

}  // namespace movrix
