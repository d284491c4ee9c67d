// The system languages the start-up accepts.
#include <gtest/gtest.h>

#include "app/start_up.h"

namespace movrix::testing {
namespace {

// The ends of the list rather than the list again: the first and last English and French
// variants it holds, the next ones it leaves out, the neutral languages and others.
TEST(LanguageTest, OnlyTheListedEnglishAndFrenchLanguagesAreAccepted) {
  for (uint16_t id : {0x0409, 0x3409, 0x040C, 0x180C})
    EXPECT_TRUE(IsAcceptedLanguage(id)) << std::hex << id;
  // English (Indonesia, India), French (Caribbean), neutral, German, Spanish, Hebrew.
  for (uint16_t id : {0x4009, 0x3809, 0x1C0C, 0x0009, 0x000C, 0x0000, 0x0407, 0x0C0A, 0x040D})
    EXPECT_FALSE(IsAcceptedLanguage(id)) << std::hex << id;
}

}  // namespace
}  // namespace movrix::testing
