#include "app/run_event.h"

#include "app/run_end.h"
#include "common/version.h"
#include "messages.h"  // the event ids, made by windmc from app/messages.mc
#include "registry/event_source.h"

namespace movrix {
namespace {

struct OutcomeEvent {
  uint32_t id;
  EventKind kind;
};

OutcomeEvent EventOf(int exit_code) {
  switch (exit_code) {
    case kExitInstalled:
      return {MOVRIX_EVENT_SUCCEEDED, EventKind::kInformation};
    case kExitRestartNeeded:
      return {MOVRIX_EVENT_RESTART_NEEDED, EventKind::kWarning};
    case kExitNothingInstalled:
      return {MOVRIX_EVENT_NOTHING_INSTALLED, EventKind::kInformation};
    case kExitUserRefused:
    case kExitAnotherRun:  // also Windows Mail left running
      return {MOVRIX_EVENT_REFUSED, EventKind::kWarning};
    default:
      return {MOVRIX_EVENT_FAILED, EventKind::kError};
  }
}

std::string RunName(const Switches& switches) {
  if (switches.verify) return switches.per_user ? "vérification de l'utilisateur" : "vérification";
  if (switches.per_user)
    return switches.uninstall ? "retour de l'utilisateur" : "inscription de l'utilisateur";
  return switches.uninstall ? "désinstallation" : "installation";
}

}  // namespace

void ReportRunEnd(System& system, RunLog& log, const Switches& switches, int exit_code) {
  const OutcomeEvent event = EventOf(exit_code);
  try {
    system.WriteEventLogEntry(kEventSourceName, event.kind, event.id,
                              {RunName(switches), VersionText(), std::to_string(exit_code)});
  } catch (const SystemError& failure) {
    log.Line("Le journal des événements n'a pas reçu l'entrée de cette exécution : " +
             std::string(failure.what()));
  }
}

}  // namespace movrix
