// The system languages the start-up accepts.
#include <gtest/gtest.h>

#include "app/form_load.h"

namespace movrix::testing {
namespace {

TEST(LanguageTest, OnlyTheListedEnglishAndFrenchLanguagesAreAccepted) {
  for (uint16_t id :
       {0x0409, 0x0809, 0x0C09, 0x1009, 0x1409, 0x1809, 0x1C09, 0x2009, 0x2409, 0x2809, 0x2C09,
        0x3009, 0x3409, 0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C})
    EXPECT_TRUE(IsAcceptedLanguage(id)) << std::hex << id;
  // German, Spanish, English (India), Hebrew, neutral, and a French one the list leaves out.
  for (uint16_t id : {0x0407, 0x0C0A, 0x4009, 0x040D, 0x0000, 0x1C0C, 0x0009, 0x000C})
    EXPECT_FALSE(IsAcceptedLanguage(id)) << std::hex << id;
}

}  // namespace
}  // namespace movrix::testing
