// The system identification on the stand-in: product names, processor identifiers, the older
// family and the failure paths.
#include "app/win_ver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "platform/host/host_system.h"
#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

const std::string kNtKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const std::string kOlderKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::string Sz(const std::string& text) {
  return text + '\0';
}

class WinVerTest : public ::testing::Test {
 protected:
  WinVerTest() : host_(std::filesystem::temp_directory_path() / "movrix-win-ver-test") {}

  void SetNt(const std::string& name, const std::string& text) {
    host_.SetRegValueDirect(kLocalMachine, kNtKey, name, kRegSz, Sz(host_.ToAnsi(text)));
  }
  void SetOlder(const std::string& name, const std::string& text) {
    host_.SetRegValueDirect(kLocalMachine, kOlderKey, name, kRegSz, Sz(host_.ToAnsi(text)));
  }
  void Run() {
    Win_Ver(host_, run_, window_, [this] { ++closes_; });
  }

  HostSystem host_;
  RunState run_;
  WinVerResult window_;
  int closes_ = 0;
};

struct ProductCase {
  const char* name;
  bool is7, is8, is10;
};

TEST_F(WinVerTest, TheFirstMatchingProductTestDecides) {
  const ProductCase cases[] = {
      {"Windows 7 Professional", true, false, false},
      {"Windows 8.1 Pro", false, true, false},
      {"Windows 10 Pro", false, false, true},
      {"Windows XP Professional", false, false, false},
      {"Windows XP 7 Edition 8", false, false, false},
      {"Windows 7 8", true, false, false},
      {"Windows 10 Enterprise 2017", true, false, false},
      {"Windows 10 Home 2018", false, true, false},
      {"windows 10 pro", false, false, false},
      {"Windows Server", false, false, false},
      {"", false, false, false},
  };
  for (const ProductCase& c : cases) {
    SetNt("ProductName", c.name);
    // Earlier answers are cleared on every call.
    window_.IsWindows7 = run_.IsWindows8 = run_.IsWindows10 = true;
    Run();
    EXPECT_EQ(window_.IsWindows7, c.is7) << c.name;
    EXPECT_EQ(run_.IsWindows8, c.is8) << c.name;
    EXPECT_EQ(run_.IsWindows10, c.is10) << c.name;
  }
  EXPECT_TRUE(host_.boxes().empty());
  EXPECT_EQ(closes_, 0);
}

struct ProcessorCase {
  std::string identifier;
  std::string bits;
  bool is64;
};

TEST_F(WinVerTest, TheFirstWordOfTheProcessorGivesItsBits) {
  const ProcessorCase cases[] = {
      {"Intel64 Family 6 Model 158 Stepping 10, GenuineIntel", " 64 bits", true},
      {"AMD64 Family 23 Model 1 Stepping 1, AuthenticAMD", " 64 bits", true},
      {"x86 Family 6 Model 158 Stepping 10, GenuineIntel", " 32 bits", false},
      {"IA64x86 Family 7", " 32 bits", false},
      {"ARMv8 (64-bit) Family 8", " ARMv8", false},
      {"Intel Family 6 Model 86 EM64T", " Intel", false},
      {"EM64T", " 64 bits", true},
      {"Unknown", "Unknown", false},
      {"", "", false},
      {std::string(300, 'A') + " Family 64", " " + std::string(300, 'A'), false},
      {std::string(300, 'A') + "64 Family", " 64 bits", true},
  };
  for (const ProcessorCase& c : cases) {
    host_.SetEnv("PROCESSOR_IDENTIFIER", c.identifier);
    window_.Is64Bit = true;  // cleared on every call
    Run();
    EXPECT_EQ(window_.ProcessorBits, c.bits) << c.identifier;
    EXPECT_EQ(window_.Is64Bit, c.is64) << c.identifier;
    EXPECT_EQ(window_.txtSys.substr(0, window_.txtSys.find('\r')), "Windows 10 Pro" + c.bits);
  }
  EXPECT_TRUE(host_.boxes().empty());
}

TEST_F(WinVerTest, TheTwoLinesOfTheNtFamilyComeFromThe64BitView) {
  host_.SetRegValueDirect(kLocalMachine,
                          "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion",
                          "ProductName", kRegSz, Sz("Windows 7 (32-bit view)"));
  Run();
  // Without a service pack the version line ends with a blank.
  EXPECT_EQ(window_.txtSys, "Windows 10 Pro 64 bits\r\nVersion          6.3.19045 \r\n");
  EXPECT_EQ(std::make_tuple(run_.IsWindows10, window_.Is64Bit, window_.IsWindows7),
            std::make_tuple(true, true, false));

  SetNt("CurrentVersion", "6.1");
  SetNt("CurrentBuildNumber", "7601");
  SetNt("CSDVersion", "Service Pack 1");
  SetNt("ProductName", "Windows 7 Professionnel");
  Run();
  EXPECT_EQ(window_.txtSys,
            "Windows 7 Professionnel 64 bits\r\nVersion          6.1.7601 Service Pack 1\r\n");
}

struct OlderCase {
  const char* version;
  const char* line1;
};

TEST_F(WinVerTest, TheOlderFamilyAddsTheEditionOfItsSixthCharacterWhateverTheOs) {
  const OlderCase cases[] = {
      {"4.10.1998", "Microsoft Windows PE\r\n"},
      {"4.10.2222", "Microsoft Windows SE\r\n"},
      {"4.00.950", "Microsoft Windows\r\n"},
      {"4.90", "Microsoft Windows\r\n"},
      {"", "Microsoft Windows\r\n"},
      {"é.10.2222", "Microsoft Windows SE\r\n"},
  };
  host_.UnsetEnv("OS");
  window_.ProcessorBits = "";
  SetOlder("ProductName", "Microsoft Windows");
  for (const OlderCase& c : cases) {
    SetOlder("VersionNumber", c.version);
    window_.Is64Bit = true;
    Run();
    EXPECT_EQ(window_.txtSys, std::string(c.line1) + "Version          " + c.version + "\r\n");
    EXPECT_FALSE(window_.Is64Bit) << c.version;
    EXPECT_EQ(window_.ProcessorBits, "") << c.version;
  }
  // Any OS other than "Windows_NT", letter for letter, takes the older family.
  SetOlder("ProductName", "Windows 98");
  for (const char* os : {"windows_nt", "Windows_NT ", "WINDOWS_NT"}) {
    host_.SetEnv("OS", os);
    Run();
    EXPECT_EQ(window_.txtSys, "Windows 98 SE\r\nVersion          é.10.2222\r\n") << os;
    EXPECT_TRUE(run_.IsWindows8) << os << ": \"98\" holds an 8";
  }
  EXPECT_EQ(testing::ShownBoxes(host_), "");
}

struct FaultCase {
  const char* name;
  const char* fault_call;  // nullptr: the older family's key, which does not exist, is read
  std::string fault_path, boxes, txtSys;
  bool flags_kept;  // the product flags left as they were
  bool is64;        // Is64Bit, cleared first, set only once the processor was read
};

// Every failure shows one box and closes the window once; the product flags keep what they had.
TEST_F(WinVerTest, FailuresShowOneBoxAndCloseTheWindow) {
  const FaultCase cases[] = {
      {"key that cannot be opened", nullptr, "", "Win_Ver||critical\n", "before", true, false},
      {"fault opening the key", "OpenRegKey", kNtKey + "\\", "Win_Ver|Accès refusé.|critical\n",
       "before", true, false},
      {"fault closing the key", "CloseRegKey", kNtKey + "\\", "Win_Ver|Accès refusé.|critical\n",
       "before", true, true},
      // A failed read is GetKeyValue's own, and the identification goes on without the name.
      {"fault reading the name", "QueryRegValue", "ProductName", "Movrix18|Accès refusé.|none\n",
       " 64 bits\r\nVersion          6.3.19045 \r\n", false, true},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    HostSystem host(std::filesystem::temp_directory_path() / "movrix-win-ver-test");
    if (c.fault_call) {
      host.faults().Inject(c.fault_call, c.fault_path, "Accès refusé.");
    } else {
      host.UnsetEnv("OS");
    }
    if (c.fault_call && std::string(c.fault_call) == "OpenRegKey")
      host.faults().Inject("CloseRegKey", "", "closed a key that was never opened");
    RunState run;
    WinVerResult window;
    window.txtSys = "before";
    window.IsWindows7 = window.Is64Bit = true;
    int closes = 0;
    Win_Ver(host, run, window, [&closes] { ++closes; });
    EXPECT_EQ(testing::ShownBoxes(host), c.boxes);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(window.txtSys, c.txtSys);
    EXPECT_EQ(window.IsWindows7, c.flags_kept);
    EXPECT_EQ(window.Is64Bit, c.is64);
    EXPECT_FALSE(run.IsWindows10);
  }
}

}  // namespace
}  // namespace movrix
