#include "app/logged_system.h"

#include "common/text.h"

namespace movrix {
namespace {

const char* AnswerText(Answer answer) {
  return answer == Answer::kYes ? "Oui" : answer == Answer::kNo ? "Non" : "OK";
}

}  // namespace

Answer LoggedSystem::ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                                 Icon icon) {
  const Answer answer = silent_ ? (buttons == Buttons::kYesNo ? Answer::kNo : Answer::kOk)
                                : next_.ShowMessage(text, title, buttons, icon);
  std::string shown = text;
  for (size_t at = shown.find(kCrLf); at != std::string::npos; at = shown.find(kCrLf, at))
    shown.replace(at, 2, " / ");
  log_.Line(std::string("Message « ") + title + " » : " + shown + " → " + AnswerText(answer));
  return answer;
}

void LoggedSystem::RunWindow(const FormContent& form) {
  if (!silent_) next_.RunWindow(form);
}

}  // namespace movrix
