// The installer's only window, frmCopy, as a model: its caption, what each control shows and
// whether it is still to be shown. The runs write into it; the system renders it once start-up
// has finished. It knows nothing of what the runs act on.
#pragma once

#include <string>

#include "app/main_window_layout.h"
#include "platform/system.h"

namespace movrix {

class MainWindow {
 public:
  // Every control shows its text from the layout.
  MainWindow();

  void SetCaption(std::string caption) { content_.caption = std::move(caption); }
  void SetText(MainWindowControl control, std::string text) {
    content_.texts[control] = std::move(text);
  }
  // The end of a run that went through: the output box, then txtOK with `verdict`. With
  // `warning`, the red line under the frame says the verdict's first line instead of its own text,
  // which would not be true.
  void ShowEnd(std::string output, const std::string& verdict, bool warning);
  // Marks the window closed: Show() then shows nothing.
  void Unload() { loaded_ = false; }
  // Shows the window, when start-up left it loaded, until the user closes it.
  void Show(System& system);

  const std::string& caption() const { return content_.caption; }
  const std::string& text(MainWindowControl control) const { return content_.texts[control]; }

 private:
  FormContent content_;
  bool loaded_ = true;
};

}  // namespace movrix
