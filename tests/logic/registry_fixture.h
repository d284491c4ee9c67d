// What the registry tests stand on: a key of their own in the current user's hive, removed
// afterwards.
#pragma once

#include <windows.h>

#include <string>

#include "tests/logic/fixture.h"

namespace movrix::testing {

class RegistryTest : public LogicTest {
 protected:
  ~RegistryTest() override { RegDeleteTreeA(HKEY_CURRENT_USER, Key().c_str()); }
  static std::string Key() { return "Software\\MovrixTests"; }
};

}  // namespace movrix::testing
