// The registration's rows below HKEY_CURRENT_USER: what each user needs in their own hive for
// Windows Mail to be their mail and news client. They are written for the user who installs, and
// once for every other user at their next sign-in. Before the first of them is written into a
// hive, the state of each of their values and keys is recorded in that same hive, so that the way
// back can put it back for that user, whoever they are.
#pragma once

#include <string>
#include <vector>

#include "platform/system.h"
#include "registry/registration_table.h"

namespace movrix {

// Where a user's record lives, below HKEY_CURRENT_USER, and the key that holds it.
inline constexpr const char* kPriorStateKey = "Software\\Movrix18\\Etat avant installation";
inline constexpr const char* kPriorStateParent = "Software\\Movrix18";

// The HKEY_CURRENT_USER rows of the registration, in write order.
std::vector<RegistrationEntry> CurrentUserRegistration();

// Records, unless a complete record is there already, the state of every HKEY_CURRENT_USER row in
// the user's own hive: its value (type and data) or its absence, and for each of its keys that
// does not exist yet, the outermost key that writing it will create. False when the record could
// not be completed, each thing not recorded named in `failures`: the rows must not be written
// then, or their prior state would be lost.
bool RecordCurrentUserState(System& system, std::vector<std::string>& failures);

enum class RestoreResult { kRestored, kNoRecord, kIncomplete };

// Puts back the state the user's record holds: a value that existed gets its type and data back,
// one that did not is deleted, and a key that the rows created is deleted once it holds nothing
// (a key that holds anything else stays). Then removes the record. kNoRecord, changing nothing,
// when the user has none; kIncomplete when something could not be put back, named in `failures`:
// the record is kept then, so that a later run can finish.
RestoreResult RestoreCurrentUserState(System& system, std::vector<std::string>& failures);

}  // namespace movrix
