#include "app/switches.h"

#include <deque>

#include "common/text.h"

namespace movrix {
namespace {

// Characters that no file path holds; a path with one of them came from a broken command line.
constexpr const char* kInvalidPathCharacters = "\"<>|*?";

// `word` in lower case, its accented capitals included: switch names are French, and a tool may
// write /DÉSINSTALLER as well as /desinstaller. The capitals of Latin-1 (U+00C0 to U+00DE, but the
// sign ×) take two bytes in UTF-8, 0xC3 then 0x80 to 0x9E; their small letters lie 0x20 higher.
std::string SwitchLowerCase(const std::string& word) {
  std::string lower = AsciiLowerCase(word);
  for (size_t at = 1; at < lower.size(); ++at) {
    const unsigned char lead = lower[at - 1], trail = lower[at];
    if (lead == 0xC3 && trail >= 0x80 && trail <= 0x9E && trail != 0x97)
      lower[at] = char(trail + 0x20);
  }
  return lower;
}

// The value of `name`=VALUE in `word` (already in lower case at its name), or false.
bool TakeValue(const std::string& word, const std::string& name, std::string& value) {
  if (AsciiLowerCase(word.substr(0, name.size() + 1)) != name + "=" ||
      word.size() <= name.size() + 1)
    return false;
  value = word.substr(name.size() + 1);
  return true;
}

bool IsRestartMarker(const std::string& text) {
  return text.size() == 16 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// Adds the words of `text`, separated by spaces, to `arguments`.
void AddWords(const std::string& text, std::deque<std::string>& arguments) {
  size_t start = 0;
  for (size_t end = 0; end <= text.size(); ++end) {
    if (end < text.size() && text[end] != ' ') continue;
    if (end > start) arguments.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

// Keeps a valid `path` as the log path; an invalid one is kept aside, and the words that its
// quote swallowed go back to the arguments still to read.
void TakeLogPath(const std::string& path, Switches& switches, std::deque<std::string>& arguments) {
  if (path.find_first_of(kInvalidPathCharacters) == std::string::npos) {
    switches.log_path = path;
    return;
  }
  if (switches.invalid_log_path.empty()) switches.invalid_log_path = path;
  const size_t quote = path.find('"');
  if (quote != std::string::npos) AddWords(path.substr(quote + 1), arguments);
}

}  // namespace

Switches ParseSwitches(const std::vector<std::string>& given) {
  Switches switches;
  std::deque<std::string> arguments(given.begin(), given.end());
  for (; !arguments.empty(); arguments.pop_front()) {
    const std::string argument = arguments.front();
    const bool is_switch = !argument.empty() && (argument[0] == '/' || argument[0] == '-');
    const std::string word = is_switch ? argument.substr(1) : "";
    const std::string name = SwitchLowerCase(word);
    std::string path;
    if (name == "silencieux" || name == "s" || name == "quiet") {
      switches.silent = true;
    } else if (name == "fermer" || name == "closeapplications") {
      switches.close_mail = true;
    } else if (name == "norestart") {
      // Nothing to do: no run of the installer ever restarts the machine.
    } else if (name == "utilisateur" || name == "user") {
      switches.per_user = true;
    } else if (name == "desinstaller" || name == "désinstaller" || name == "uninstall") {
      switches.uninstall = true;
    } else if (name == "verifier" || name == "vérifier" || name == "verify") {
      switches.verify = true;
    } else if (TakeValue(word, "relance", path) && IsRestartMarker(path)) {
      switches.restart_marker = path;
    } else if (TakeValue(word, "journal", path) || TakeValue(word, "log", path)) {
      TakeLogPath(path, switches, arguments);
    } else if (switches.unknown.empty()) {
      switches.unknown = argument;
    }
  }
  return switches;
}

std::string SwitchesRefusal(const Switches& switches) {
  if (!switches.unknown.empty())
    return "Option inconnue : " + switches.unknown + ". Options acceptées : " + kAcceptedSwitches;
  // Asked to check and to undo at once, the program could only guess which was meant.
  if (switches.verify && switches.uninstall)
    return "Options incompatibles : /verifier et /desinstaller. Options acceptées : " +
           std::string(kAcceptedSwitches);
  if (!switches.invalid_log_path.empty())
    return "Chemin de journal non valide : " + switches.invalid_log_path +
           "\r\nUn chemin ne peut contenir aucun des caractères \" < > | * ?.\r\n"
           "Entre guillemets, un chemin ne se termine pas par \\ (dans /LOG=\"C:\\Logs\\\" le "
           "guillemet final devient une partie du chemin) : donner le chemin d'un fichier, "
           "comme /LOG=\"C:\\Logs\\Movrix18.log\".";
  return "";
}

}  // namespace movrix
