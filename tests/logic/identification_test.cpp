// The identification of the system, from the version key of the prefix's registry.
#include "app/identify_windows.h"
#include "tests/logic/fixture.h"

namespace movrix::testing {
namespace {

// The identification reads the version key of the running system; each case pins the values it
// needs there.
class IdentifyWindowsTest : public LogicTest {
 protected:
  // Identifies a system of this product name on this processor; "7", "8", "10" or "-", and txtSys.
  std::string Identify(const std::string& product, Machine machine) {
    PinnedVersionValue name("ProductName", product);
    system_.machine = machine;
    SystemIdentity identity;
    WindowsDescription window;
    EXPECT_TRUE(IdentifyWindows(system_, identity, window));
    static const char* const kFamilies[] = {"-", "7", "8", "10"};
    return kFamilies[int(identity.family)] + std::string(identity.is_64_bit ? "/64|" : "/32|") +
           window.system_text;
  }
  PinnedVersionValue version_{"CurrentVersion", "6.3"}, build_{"CurrentBuildNumber", "19045"},
      service_pack_{"CSDVersion", ""}, installation_{"InstallationType", "Client"};
};

TEST_F(IdentifyWindowsTest, TheFirstMatchingProductTestAndTheSystemsOwnProcessorDecide) {
  const std::string version = "\r\nVersion          6.3.19045 \r\n";
  // Whoever starts the program sets the environment: its processor says nothing.
  system_.environment["PROCESSOR_IDENTIFIER"] = "x86 Family 6";
  EXPECT_EQ(Identify("Windows 10 Pro", Machine::kX64), "10/64|Windows 10 Pro 64 bits" + version);
  system_.environment["PROCESSOR_IDENTIFIER"] = "AMD64 Family 23";
  EXPECT_EQ(Identify("Windows 7 Professionnel", Machine::kX86),
            "7/32|Windows 7 Professionnel 32 bits" + version);
  EXPECT_EQ(Identify("Windows 8.1 Pro", Machine::kX64), "8/64|Windows 8.1 Pro 64 bits" + version);
  EXPECT_EQ(Identify("Windows 10 Entreprise 2017", Machine::kX64),
            "7/64|Windows 10 Entreprise 2017 64 bits" + version)
      << "a 7 anywhere comes first";
  EXPECT_EQ(Identify("Microsoft Windows XP", Machine::kX86),
            "-/32|Microsoft Windows XP 32 bits" + version);
  // The program trees hold x86 and x64 programs only.
  EXPECT_EQ(Identify("Windows 10 Pro", Machine::kArm64), "-/32|Windows 10 Pro ARM64" + version);
  EXPECT_EQ(system_.BoxLines(), "");
}

TEST_F(IdentifyWindowsTest, AServerEditionIsNoneOfTheFamiliesWhateverItsNameHolds) {
  PinnedVersionValue server("InstallationType", "Server");
  EXPECT_EQ(Identify("Windows Server 2008 R2 Standard", Machine::kX64),
            "-/64|Windows Server 2008 R2 Standard 64 bits\r\nVersion          6.3.19045 \r\n");
}

TEST_F(IdentifyWindowsTest, AnUnreadableKeyOrValueShowsItsBoxAndClosesTheWindow) {
  SystemIdentity identity;
  WindowsDescription window;
  // A value that cannot be read: GetKeyValue's box, and the identification reads on.
  system_.Fail(Call::kQueryRegValue, "CurrentBuildNumber");
  EXPECT_FALSE(IdentifyWindows(system_, identity, window));
  EXPECT_EQ(system_.BoxLines(), "Movrix18|" + DescribeError(5) + "|none\n");
  EXPECT_EQ(window.system_text.substr(window.system_text.find("Version")),
            "Version          6.3. \r\n");
  system_.boxes.clear();
  system_.Fail(Call::kOpenRegKey, "Windows NT");
  EXPECT_FALSE(IdentifyWindows(system_, identity, window));
  EXPECT_EQ(system_.BoxLines(), "Win_Ver||critical\n");
}

}  // namespace
}  // namespace movrix::testing
