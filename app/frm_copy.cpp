#include "app/frm_copy.h"

#include "common/guard.h"
#include "common/text.h"

namespace movrix {

FrmCopy::FrmCopy() {
  content_.layout = &kFrmCopyLayout;
  for (size_t i = 0; i < kFrmCopyLayout.control_count; ++i)
    content_.texts.push_back(kFrmCopyLayout.controls[i].text);
}

void FrmCopy::ShowEnd(std::string output, const std::string& verdict, bool warning) {
  SetText(kTxtOutput, std::move(output));
  SetText(kTxtOK, verdict);
  if (warning) SetText(kText1, verdict.substr(0, verdict.find(kCrLf)));
}

void FrmCopy::Show(System& system) {
  if (loaded_) {
    // A window that cannot be made (no desktop to show it on, say) is reported, not a crash.
    Guarded([&] { system.RunWindow(content_); },
            [&](const std::string& description) {
              system.ShowMessage(description, kProgramTitle, Buttons::kOk, Icon::kCritical);
            });
  }
  Unload();
}

}  // namespace movrix
