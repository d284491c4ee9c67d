#include "app/main_window.h"

#include "common/guard.h"
#include "common/text.h"

namespace movrix {

MainWindow::MainWindow() {
  content_.layout = &kMainWindowLayout;
  for (size_t i = 0; i < kMainWindowLayout.control_count; ++i)
    content_.texts.push_back(kMainWindowLayout.controls[i].text);
}

void MainWindow::ShowEnd(std::string output, const std::string& verdict, bool warning) {
  SetText(kTxtOutput, std::move(output));
  SetText(kTxtOK, verdict);
  if (warning) SetText(kStatusLine, verdict.substr(0, verdict.find(kCrLf)));
}

void MainWindow::Show(System& system) {
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
