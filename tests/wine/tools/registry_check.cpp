// Run by the scenarios in a prefix the installer has just registered in: checks that the registry
// holds every value of the listing beside this program (registration.tsv), with the logic tests'
// own reading of the registry and of the listing. Prints each difference; ends with 1 when there
// is one.
#include <gtest/gtest.h>

#include "tests/logic/registry_listing.h"

int main() {
  // Sets up the printer that reports each difference.
  ::testing::InitGoogleTest();
  movrix::testing::ExpectRegistryAsListed(movrix::testing::ReadListing());
  return ::testing::UnitTest::GetInstance()->ad_hoc_test_result().Failed() ? 1 : 0;
}
