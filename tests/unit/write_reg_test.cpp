// The registration sequence on the stand-in, compared value by value with the listing written by
// hand from the registration tables (tests/data/registration.tsv), and its failure paths.
#include "registry/write_reg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "registry/registration_table.h"
#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

// One line of the listing: a value, or (type "KEY") a key created without a value.
struct ListedValue {
  int line = 0;
  int step = 0;
  std::string root;  // HKCR, HKCU or HKLM
  std::string key;
  std::string name;  // "@" for the default value, "-" on KEY lines
  std::string type;  // REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_NONE or KEY
  std::string data;  // as listed: text, decimal number, or lowercase hex bytes

  bool IsKeyOnly() const { return type == "KEY"; }
  std::string Where() const {
    return "listing line " + std::to_string(line) + ", step " + std::to_string(step) + ", " + root +
           "\\" + key + " [" + name + "]";
  }
};

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

std::vector<ListedValue> ReadListing() {
  std::ifstream file(MOVRIX_TEST_DATA "/registration.tsv");
  EXPECT_TRUE(file.good()) << "cannot read " MOVRIX_TEST_DATA "/registration.tsv";
  std::vector<ListedValue> listing;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields = SplitTabs(line);
    EXPECT_EQ(fields.size(), 6u) << "listing line " << number << ": " << line;
    if (fields.size() != 6) continue;
    listing.push_back(
        {number, std::stoi(fields[0]), fields[1], fields[2], fields[3], fields[4], fields[5]});
  }
  return listing;
}

KeyHandle RootOf(const std::string& root) {
  if (root == "HKCR") return kClassesRoot;
  if (root == "HKCU") return kCurrentUser;
  return kLocalMachine;
}

std::string RootName(KeyHandle root) {
  switch (root) {
    case kClassesRoot:
      return "HKCR";
    case kCurrentUser:
      return "HKCU";
    case kLocalMachine:
      return "HKLM";
  }
  return "root " + std::to_string(root);
}

uint32_t TypeCodeOf(const std::string& type) {
  if (type == "REG_SZ") return kRegSz;
  if (type == "REG_EXPAND_SZ") return kRegExpandSz;
  if (type == "REG_BINARY") return kRegBinary;
  if (type == "REG_DWORD") return kRegDword;
  return kRegNone;
}

// The bytes the registry holds for a listed value, worked out independently of SetKeyValue.
// Every listed text is ASCII, so its ANSI form is itself.
std::string StoredBytes(const ListedValue& value) {
  switch (TypeCodeOf(value.type)) {
    case kRegSz:
    case kRegExpandSz:
      return value.data + '\0';
    case kRegDword: {
      uint32_t number = uint32_t(std::stol(value.data));
      std::string bytes;
      for (int i = 0; i < 4; ++i) bytes += char(number >> (8 * i) & 0xFF);
      return bytes;
    }
    case kRegBinary: {
      std::istringstream hex(value.data);
      std::string bytes;
      for (unsigned byte; hex >> std::hex >> byte;) bytes += char(byte);
      return bytes;
    }
    default:
      return "";
  }
}

// Bytes shown with their non-printable ones escaped, so a failure message shows every byte.
std::string Visible(const std::string& bytes) {
  std::string shown;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) {
      shown += char(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      shown += escaped;
    }
  }
  return shown;
}

std::vector<ListedValue> ValuesOnly(const std::vector<ListedValue>& listing) {
  std::vector<ListedValue> values;
  for (const ListedValue& value : listing)
    if (!value.IsKeyOnly()) values.push_back(value);
  return values;
}

// The listing as far as a 32-bit system goes: everything before the first mirror step.
std::vector<ListedValue> UpToStep144(const std::vector<ListedValue>& listing) {
  std::vector<ListedValue> kept;
  for (const ListedValue& value : listing) {
    if (value.step > 144) break;
    kept.push_back(value);
  }
  return kept;
}

// The listing's lines before the first one of the given root and key.
std::vector<ListedValue> Before(const std::vector<ListedValue>& listing, KeyHandle root,
                                const std::string& key) {
  std::vector<ListedValue> kept;
  for (const ListedValue& value : listing) {
    if (RootOf(value.root) == root && value.key == key) break;
    kept.push_back(value);
  }
  return kept;
}

// The listed values of one key.
std::vector<ListedValue> ValuesOfKey(const std::vector<ListedValue>& listing, KeyHandle root,
                                     const std::string& key) {
  std::vector<ListedValue> kept;
  for (const ListedValue& value : ValuesOnly(listing))
    if (RootOf(value.root) == root && value.key == key) kept.push_back(value);
  return kept;
}

class WriteRegTest : public testing::HostTest {
 protected:
  bool RunOn(bool is64) {
    host_.Set64BitSystem(is64);
    return Write_Reg(host_, is64);
  }

  // The stand-in's write log against the listed values, in order.
  void ExpectWritesMatch(const std::vector<ListedValue>& expected) {
    const std::vector<HostSystem::RegWrite>& writes = host_.reg_writes();
    for (size_t i = 0; i < expected.size() && i < writes.size(); ++i) {
      const ListedValue& want = expected[i];
      const HostSystem::RegWrite& got = writes[i];
      // A missing or extra value shifts everything after it: report the first one only.
      ASSERT_EQ(
          RootName(got.root) + "\\" + got.key + " [" + (got.name.empty() ? "@" : got.name) + "]",
          want.root + "\\" + want.key + " [" + want.name + "]")
          << "write #" << i << ", " << want.Where();
      EXPECT_EQ(got.type, TypeCodeOf(want.type)) << want.Where();
      EXPECT_EQ(Visible(got.data), Visible(StoredBytes(want))) << want.Where();
    }
    EXPECT_EQ(writes.size(), expected.size()) << "values written against values listed";
  }

  std::vector<ListedValue> listing_ = ReadListing();
};

TEST_F(WriteRegTest, On64BitSystemWritesEveryListedValueInOrder) {
  EXPECT_TRUE(RunOn(true));
  EXPECT_EQ(BoxTitles(), "");
  ExpectWritesMatch(ValuesOnly(listing_));
}

TEST_F(WriteRegTest, On32BitSystemStopsAfterRegisteredApplications) {
  EXPECT_TRUE(RunOn(false));
  EXPECT_EQ(BoxTitles(), "");
  ExpectWritesMatch(ValuesOnly(UpToStep144(listing_)));
  EXPECT_FALSE(host_.RegKeyExists(kClassesRoot, "Wow6432Node"));
}

TEST_F(WriteRegTest, ValueLessKeysAreCreatedEmpty) {
  ASSERT_TRUE(RunOn(true));
  int key_lines = 0;
  for (const ListedValue& listed : listing_) {
    if (!listed.IsKeyOnly()) continue;
    ++key_lines;
    EXPECT_TRUE(host_.RegKeyExists(RootOf(listed.root), listed.key)) << listed.Where();
    EXPECT_FALSE(host_.RegValue(RootOf(listed.root), listed.key, "").has_value()) << listed.Where();
  }
  EXPECT_EQ(key_lines, 2) << "the NotInsertable key and its mirror";
}

// The table itself against the listing: steps, roots, keys and names in the same order.
TEST_F(WriteRegTest, TableRowsFollowTheListingStepByStep) {
  std::vector<RegistrationEntry> table = MainRegistration();
  std::vector<RegistrationEntry> mirror = Wow64Registration();
  table.insert(table.end(), mirror.begin(), mirror.end());
  for (size_t i = 0; i < table.size() && i < listing_.size(); ++i) {
    const RegistrationEntry& row = table[i];
    const ListedValue& listed = listing_[i];
    ASSERT_EQ(RootName(row.root) + "\\" + row.key, listed.root + "\\" + listed.key)
        << "table row #" << i << ", " << listed.Where();
    EXPECT_EQ(int(row.step), listed.step) << listed.Where();
    EXPECT_EQ(row.key_only, listed.IsKeyOnly()) << listed.Where();
    if (!row.key_only) {
      EXPECT_EQ(row.name.empty() ? "@" : row.name, listed.name) << listed.Where();
    }
  }
  EXPECT_EQ(table.size(), listing_.size());
}

TEST_F(WriteRegTest, RefusedCreationIsReportedAndTheSequenceGoesOn) {
  host_.RefuseKeyCreation(kCurrentUser, "Software\\Clients\\Mail");
  EXPECT_TRUE(RunOn(true));
  EXPECT_EQ(BoxTitles(), "CreateKey|Impossible de créer la clef\n");
  EXPECT_FALSE(host_.RegKeyExists(kCurrentUser, "Software\\Clients\\Mail"));
  std::vector<ListedValue> expected;
  for (const ListedValue& value : ValuesOnly(listing_))
    if (value.key != "Software\\Clients\\Mail") expected.push_back(value);
  ExpectWritesMatch(expected);
}

struct OpenFaultCase {
  KeyHandle root;
  std::string key;
  std::string box_text;
};

TEST_F(WriteRegTest, OpenFaultStopsTheSequenceAfterNamingTheKey) {
  const OpenFaultCase cases[] = {
      {kClassesRoot, "mailto\\shell\\open\\command",
       "Impossible d'ouvrir la clé HKCR mailto\\shell\\open\\command"},
      {kCurrentUser, "Software\\Microsoft\\Windows Mail Setup",
       "Impossible d'ouvrir la clé HKCU Software\\Microsoft\\Windows Mail Setup"},
      {kLocalMachine, "SOFTWARE\\RegisteredApplications",
       "Impossible d'ouvrir la clé HKLM SOFTWARE\\RegisteredApplications"},
  };
  for (const OpenFaultCase& c : cases) {
    SCOPED_TRACE(c.box_text);
    HostSystem host(root_ / RootName(c.root));
    host.faults().Inject("OpenRegKey", c.key, "Accès refusé.");
    EXPECT_FALSE(Write_Reg(host, true));
    ASSERT_EQ(host.boxes().size(), 2u);
    EXPECT_EQ(host.boxes()[0].title, "OpenKey");
    EXPECT_EQ(host.boxes()[0].text, "Accès refusé.");
    const HostSystem::Box& box = host.boxes()[1];
    EXPECT_EQ(box.text, c.box_text);
    EXPECT_EQ(box.title, "Movrix18");
    EXPECT_EQ(box.buttons, Buttons::kOk);
    EXPECT_EQ(box.icon, Icon::kNone);
    // Nothing of that key or after it: the log is exactly the listing before it.
    EXPECT_EQ(host.reg_writes().size(), ValuesOnly(Before(listing_, c.root, c.key)).size());
    EXPECT_FALSE(host.RegKeyExists(kClassesRoot, "Wow6432Node"));
  }
}

struct OwnFaultCase {
  KeyHandle root;
  std::string key;  // the key whose close fails
  std::string title;
};

// A fault of Write_Reg's own (here raised by the close of a key) names the step being written.
TEST_F(WriteRegTest, OwnFaultIsTitledWithTheStepBeingWritten) {
  const OwnFaultCase cases[] = {
      {kCurrentUser, "Software\\Microsoft\\Windows Mail Setup", "Write_Reg   Ligne 112"},
      {kClassesRoot, "mailto\\shell\\open\\command", "Write_Reg   Ligne 56"},
      {kClassesRoot,
       "Wow6432Node\\Interface\\{E202D31E-A9AC-4A36-B531-59A5A64C6DDA}\\SynchronousInterface",
       "Write_Reg   Ligne 191"},
  };
  for (const OwnFaultCase& c : cases) {
    SCOPED_TRACE(c.title);
    HostSystem host(root_ / c.title);
    host.faults().Inject("CloseRegKey", c.key, "Erreur inattendue.");
    EXPECT_FALSE(Write_Reg(host, true));
    // The key is new, so CreateKey's own close of it meets the fault first and says so.
    ASSERT_EQ(host.boxes().size(), 2u);
    EXPECT_EQ(host.boxes()[0].title, "CreateKey");
    const HostSystem::Box& box = host.boxes()[1];
    EXPECT_EQ(box.title, c.title);
    EXPECT_EQ(box.text, "Erreur inattendue.");
    EXPECT_EQ(box.buttons, Buttons::kOk);
    EXPECT_EQ(box.icon, Icon::kNone);
    // The failing key's values were written before its close; nothing after it.
    EXPECT_EQ(host.reg_writes().size(), ValuesOnly(Before(listing_, c.root, c.key)).size() +
                                            ValuesOfKey(listing_, c.root, c.key).size());
  }
}

TEST_F(WriteRegTest, ExistingKeysKeepTheValuesTheProgramDoesNotName) {
  host_.SetRegValueDirect(kClassesRoot, "mailto", "Extra", kRegSz, std::string("kept\0", 5));
  host_.SetRegValueDirect(kClassesRoot, "mailto", "EditFlags", kRegDword, std::string(4, '\xFF'));
  host_.SetRegValueDirect(kCurrentUser, "Software\\Clients\\Mail", "", kRegSz,
                          std::string("Other Client\0", 13));
  ASSERT_TRUE(RunOn(true));
  auto extra = host_.RegValue(kClassesRoot, "mailto", "Extra");
  ASSERT_TRUE(extra.has_value());
  EXPECT_EQ(Visible(extra->second), Visible(std::string("kept\0", 5)));
  auto flags = host_.RegValue(kClassesRoot, "mailto", "EditFlags");
  ASSERT_TRUE(flags.has_value());
  EXPECT_EQ(Visible(flags->second), Visible(std::string("\x02\0\0\0", 4)));
  auto client = host_.RegValue(kCurrentUser, "Software\\Clients\\Mail", "");
  ASSERT_TRUE(client.has_value());
  EXPECT_EQ(Visible(client->second), Visible(std::string("Windows Mail\0", 13)));
}

TEST_F(WriteRegTest, ASecondRunRewritesTheSameValues) {
  ASSERT_TRUE(RunOn(true));
  const std::vector<HostSystem::RegWrite> first = host_.reg_writes();
  ASSERT_TRUE(RunOn(true));
  const std::vector<HostSystem::RegWrite>& all = host_.reg_writes();
  ASSERT_EQ(all.size(), 2 * first.size());
  for (size_t i = 0; i < first.size(); ++i) {
    const HostSystem::RegWrite& again = all[first.size() + i];
    EXPECT_EQ(again.key + "|" + again.name + "|" + Visible(again.data),
              first[i].key + "|" + first[i].name + "|" + Visible(first[i].data));
  }
}

}  // namespace
}  // namespace movrix
