#include "app/switches.h"

#include "common/text.h"

namespace movrix {
namespace {

// The value of `name`=VALUE in `word` (already in lower case at its name), or false.
bool TakeValue(const std::string& word, const std::string& name, std::string& value) {
  if (AsciiLowerCase(word.substr(0, name.size() + 1)) != name + "=" ||
      word.size() <= name.size() + 1)
    return false;
  value = word.substr(name.size() + 1);
  return true;
}

}  // namespace

Switches ParseSwitches(const std::vector<std::string>& arguments) {
  Switches switches;
  std::string uninstall_argument;
  for (const std::string& argument : arguments) {
    const bool is_switch = !argument.empty() && (argument[0] == '/' || argument[0] == '-');
    const std::string word = is_switch ? argument.substr(1) : "";
    const std::string name = AsciiLowerCase(word);
    if (name == "silencieux" || name == "s") {
      switches.silent = true;
    } else if (name == "utilisateur" || name == "user") {
      switches.per_user = true;
    } else if (name == "desinstaller" || name == "uninstall") {
      switches.uninstall = true;
      uninstall_argument = argument;
    } else if (!TakeValue(word, "journal", switches.log_path) &&
               !TakeValue(word, "log", switches.log_path) && switches.unknown.empty()) {
      switches.unknown = argument;
    }
  }
  if (switches.uninstall && !switches.per_user && switches.unknown.empty())
    switches.unknown = uninstall_argument;
  return switches;
}

}  // namespace movrix
