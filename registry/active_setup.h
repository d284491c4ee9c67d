// The Active Setup component: the system runs its StubPath once for each user at their next
// sign-in, whenever the component's Version is higher than the one recorded in that user's own
// hive. It is how every user of a machine, not only the one who installs, gets Windows Mail as
// their mail client.
#pragma once

#include <string>

#include "platform/system.h"

namespace movrix {

// Below HKEY_LOCAL_MACHINE, in the native registry view.
inline constexpr const char* kActiveSetupKey =
    "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\Movrix18";

// Where Windows notes, in each user's own hive, the version of the component it ran for them.
inline constexpr const char* kUserComponentKey =
    "Software\\Microsoft\\Active Setup\\Installed Components\\Movrix18";

// True when the component exists and still makes every user run their part, not its way back.
bool ActiveSetupComponentInstalls(Registry& system);

// Writes the component that makes every user run `"<program>" /utilisateur` once. Throws
// SystemError, naming the key or value, at the first that cannot be written.
void WriteActiveSetupComponent(Registry& system, const std::string& program);

// Turns the component into the one that undoes each user's rows: `"<program>" /utilisateur
// /desinstaller`, run once by every user at their next sign-in. The program must stay at
// `program` for that. Throws SystemError as the writing does.
void RetireActiveSetupComponent(Registry& system, const std::string& program);

// The version that follows `version` ("a,b,c,d", its last number raised); the first version when
// `version` is not of that form or lower than it.
std::string NextComponentVersion(const std::string& version);

}  // namespace movrix
