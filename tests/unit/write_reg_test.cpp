// The registration sequence on the stand-in, compared value by value with the listing written by
// hand from the registration tables (tests/data/registration.tsv), and its failure paths.
#include "registry/write_reg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
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

// The roots and the type codes as the listing names them, in the order of their values.
const std::vector<std::string> kRootNames = {"HKCR", "HKCU", "HKLM"};
const std::vector<std::string> kTypeNames = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY",
                                             "REG_DWORD"};

// The position of `name` in `names`; past the end when it is not there.
uint32_t IndexOf(const std::vector<std::string>& names, const std::string& name) {
  return uint32_t(std::find(names.begin(), names.end(), name) - names.begin());
}
KeyHandle RootOf(const std::string& root) {
  return kClassesRoot + IndexOf(kRootNames, root);
}
std::string RootName(KeyHandle root) {
  return kRootNames.at(root - kClassesRoot);
}
uint32_t TypeCodeOf(const std::string& type) {
  return IndexOf(kTypeNames, type);
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

// The listing's lines for which `keep` holds.
template <typename Keep>
std::vector<ListedValue> Select(const std::vector<ListedValue>& listing, Keep keep) {
  std::vector<ListedValue> kept;
  std::copy_if(listing.begin(), listing.end(), std::back_inserter(kept), keep);
  return kept;
}

std::vector<ListedValue> ValuesOnly(const std::vector<ListedValue>& listing) {
  return Select(listing, [](const ListedValue& value) { return !value.IsKeyOnly(); });
}

// The listing's values before the first line of the given key, and then with that key's own.
std::vector<ListedValue> ValuesUpTo(const std::vector<ListedValue>& listing, KeyHandle root,
                                    const std::string& key, bool with_its_own) {
  auto is_key = [&](const ListedValue& value) {
    return RootOf(value.root) == root && value.key == key;
  };
  std::vector<ListedValue> before(listing.begin(),
                                  std::find_if(listing.begin(), listing.end(), is_key));
  if (with_its_own) {
    for (const ListedValue& value : Select(listing, is_key)) before.push_back(value);
  }
  return ValuesOnly(before);
}

// The stand-in's write log, from its `first` write on, against the listed values in order.
void ExpectWritesMatch(const HostSystem& host, const std::vector<ListedValue>& expected,
                       size_t first = 0) {
  const std::vector<HostSystem::RegWrite>& writes = host.reg_writes();
  for (size_t i = 0; i < expected.size() && first + i < writes.size(); ++i) {
    const ListedValue& want = expected[i];
    const HostSystem::RegWrite& got = writes[first + i];
    // A missing or extra value shifts everything after it: report the first one only.
    ASSERT_EQ(
        RootName(got.root) + "\\" + got.key + " [" + (got.name.empty() ? "@" : got.name) + "]",
        want.root + "\\" + want.key + " [" + want.name + "]")
        << "write #" << first + i << ", " << want.Where();
    EXPECT_EQ(got.type, TypeCodeOf(want.type)) << want.Where();
    EXPECT_EQ(got.data, StoredBytes(want)) << want.Where();
  }
  EXPECT_EQ(writes.size() - first, expected.size()) << "values written against values listed";
}

class WriteRegTest : public testing::HostTest {
 protected:
  std::vector<ListedValue> listing_ = ReadListing();
};

// A 32-bit system stops after the registered applications, before the first mirror step; a
// second run writes the same values again.
TEST_F(WriteRegTest, EachRunWritesEveryListedValueInOrder) {
  for (const bool is64 : {true, false}) {
    SCOPED_TRACE(is64 ? "64-bit" : "32-bit");
    HostSystem host(root_ / (is64 ? "64" : "32"));
    host.Set64BitSystem(is64);
    const std::vector<ListedValue> expected = ValuesOnly(
        Select(listing_, [is64](const ListedValue& value) { return is64 || value.step <= 144; }));
    for (size_t first : {size_t(0), expected.size()}) {
      EXPECT_TRUE(Write_Reg(host, is64));
      EXPECT_EQ(testing::ShownBoxes(host), "");
      ExpectWritesMatch(host, expected, first);
    }
    EXPECT_EQ(host.RegKeyExists(kClassesRoot, "Wow6432Node"), is64);
    // The value-less keys (NotInsertable, and its mirror on a 64-bit system) are created empty.
    for (const ListedValue& listed : Select(listing_, [is64](const ListedValue& value) {
           return value.IsKeyOnly() && (is64 || value.step <= 144);
         })) {
      EXPECT_TRUE(host.RegKeyExists(RootOf(listed.root), listed.key)) << listed.Where();
      EXPECT_FALSE(host.RegValue(RootOf(listed.root), listed.key, "")) << listed.Where();
    }
  }
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
  EXPECT_TRUE(Write_Reg(host_, true));
  EXPECT_EQ(Boxes(), "CreateKey|Impossible de créer la clef|none\n");
  EXPECT_FALSE(host_.RegKeyExists(kCurrentUser, "Software\\Clients\\Mail"));
  ExpectWritesMatch(host_, ValuesOnly(Select(listing_, [](const ListedValue& value) {
                      return value.key != "Software\\Clients\\Mail";
                    })));
}

struct FaultCase {
  KeyHandle root;
  std::string key;  // the key whose open (or close) fails
  std::string box;  // the box of Write_Reg that follows the routine's own
};

TEST_F(WriteRegTest, OpenFaultStopsTheSequenceAfterNamingTheKey) {
  const FaultCase cases[] = {
      {kClassesRoot, "mailto\\shell\\open\\command", "HKCR mailto\\shell\\open\\command"},
      {kCurrentUser, "Software\\Microsoft\\Windows Mail Setup",
       "HKCU Software\\Microsoft\\Windows Mail Setup"},
      {kLocalMachine, "SOFTWARE\\RegisteredApplications", "HKLM SOFTWARE\\RegisteredApplications"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.box);
    HostSystem host(root_ / RootName(c.root));
    host.faults().Inject("OpenRegKey", c.key, "Accès refusé.");
    EXPECT_FALSE(Write_Reg(host, true));
    EXPECT_EQ(
        testing::ShownBoxes(host),
        "OpenKey|Accès refusé.|none\nMovrix18|Impossible d'ouvrir la clé " + c.box + "|none\n");
    // Nothing of that key or after it: the log is exactly the listing before it.
    EXPECT_EQ(host.reg_writes().size(), ValuesUpTo(listing_, c.root, c.key, false).size());
    EXPECT_FALSE(host.RegKeyExists(kClassesRoot, "Wow6432Node"));
  }
}

// A fault of Write_Reg's own (here raised by the close of a key) names the step being written.
TEST_F(WriteRegTest, OwnFaultIsTitledWithTheStepBeingWritten) {
  const FaultCase cases[] = {
      {kCurrentUser, "Software\\Microsoft\\Windows Mail Setup", "Write_Reg   Ligne 112"},
      {kClassesRoot, "mailto\\shell\\open\\command", "Write_Reg   Ligne 56"},
      {kClassesRoot,
       "Wow6432Node\\Interface\\{E202D31E-A9AC-4A36-B531-59A5A64C6DDA}\\SynchronousInterface",
       "Write_Reg   Ligne 191"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.box);
    HostSystem host(root_ / c.box);
    host.faults().Inject("CloseRegKey", c.key, "Erreur inattendue.");
    EXPECT_FALSE(Write_Reg(host, true));
    // The key is new, so CreateKey's own close of it meets the fault first and says so.
    EXPECT_EQ(testing::ShownBoxes(host),
              "CreateKey|Erreur inattendue.|none\n" + c.box + "|Erreur inattendue.|none\n");
    // The failing key's values were written before its close; nothing after it.
    EXPECT_EQ(host.reg_writes().size(), ValuesUpTo(listing_, c.root, c.key, true).size());
  }
}

TEST_F(WriteRegTest, ExistingKeysKeepTheValuesTheProgramDoesNotName) {
  host_.SetRegValueDirect(kClassesRoot, "mailto", "Extra", kRegSz, std::string("kept\0", 5));
  host_.SetRegValueDirect(kClassesRoot, "mailto", "EditFlags", kRegDword, std::string(4, '\xFF'));
  host_.SetRegValueDirect(kCurrentUser, "Software\\Clients\\Mail", "", kRegSz,
                          std::string("Other Client\0", 13));
  ASSERT_TRUE(Write_Reg(host_, true));
  auto stored = [this](KeyHandle root, const std::string& key, const std::string& name) {
    auto value = host_.RegValue(root, key, name);
    return value ? value->second : "(missing)";
  };
  EXPECT_EQ(stored(kClassesRoot, "mailto", "Extra"), std::string("kept\0", 5));
  EXPECT_EQ(stored(kClassesRoot, "mailto", "EditFlags"), std::string("\x02\0\0\0", 4));
  EXPECT_EQ(stored(kCurrentUser, "Software\\Clients\\Mail", ""), std::string("Windows Mail\0", 13));
}

}  // namespace
}  // namespace movrix
