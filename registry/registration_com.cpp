// COM classes, proxy interfaces and ProgIDs of the Windows Mail program files, all below
// HKEY_CLASSES_ROOT, and the rule that mirrors the classes and interfaces for 32-bit programs.
#include <algorithm>
#include <cctype>

#include "registry/registration_table.h"

namespace movrix {
namespace {

constexpr KeyHandle HKCR = kClassesRoot;

// clang-format off
// A class: its key with its name, then one block per subkey. Server paths and icons are
// REG_EXPAND_SZ; names, threading models, ProgIDs and MiscStatus values are REG_SZ.
constexpr RegistrationRow kComClasses[] = {
  Sz      ( 5, HKCR, R"(CLSID\{0A522732-A626-11D0-8D60-00C04FD6202B})", "", "CLSID_CExchImport"),
  ExpandSz( 6, HKCR, R"(CLSID\{0A522732-A626-11D0-8D60-00C04FD6202B}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\oeimport.dll")"),
  Sz      ( 6, HKCR, R"(CLSID\{0A522732-A626-11D0-8D60-00C04FD6202B}\InprocServer32)", "ThreadingModel", "Apartment"),

  Sz      ( 7, HKCR, R"(CLSID\{101A8FB9-F1B9-11d1-9A56-00C04FA309D4})", "", "CLSID_MessageStore"),
  ExpandSz( 8, HKCR, R"(CLSID\{101A8FB9-F1B9-11d1-9A56-00C04FA309D4}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll")"),
  Sz      ( 8, HKCR, R"(CLSID\{101A8FB9-F1B9-11d1-9A56-00C04FA309D4}\InprocServer32)", "ThreadingModel", "Both"),

  Sz      ( 9, HKCR, R"(CLSID\{233A9694-667E-11d1-9DFB-006097D50408})", "", "Windows Mail Address Book"),
  ExpandSz(10, HKCR, R"(CLSID\{233A9694-667E-11d1-9DFB-006097D50408}\DefaultIcon)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll,2")"),
  ExpandSz(11, HKCR, R"(CLSID\{233A9694-667E-11d1-9DFB-006097D50408}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll")"),
  Sz      (11, HKCR, R"(CLSID\{233A9694-667E-11d1-9DFB-006097D50408}\InprocServer32)", "ThreadingModel", "Apartment"),
  Sz      (12, HKCR, R"(CLSID\{233A9694-667E-11d1-9DFB-006097D50408}\MiscStatus)", "", "0"),
  Sz      (13, HKCR, R"(CLSID\{233A9694-667E-11d1-9DFB-006097D50408}\MiscStatus\1)", "", "131473"),
  KeyOnly (14, HKCR, R"(CLSID\{233A9694-667E-11d1-9DFB-006097D50408}\MiscStatus\NotInsertable)"),
  Sz      (15, HKCR, R"(CLSID\{233A9694-667E-11d1-9DFB-006097D50408}\ProgID)", "", "WindowsMail.AddressBook.1"),
  Sz      (16, HKCR, R"(CLSID\{233A9694-667E-11d1-9DFB-006097D50408}\VersionIndependentProgID)", "", "WindowsMail.AddressBook"),

  Sz      (17, HKCR, R"(CLSID\{2BD40F38-DE45-429D-9D04-24F7C24C78FD})", "", "PSFactoryBuffer"),
  ExpandSz(18, HKCR, R"(CLSID\{2BD40F38-DE45-429D-9D04-24F7C24C78FD}\InProcServer32)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll")"),
  Sz      (18, HKCR, R"(CLSID\{2BD40F38-DE45-429D-9D04-24F7C24C78FD}\InProcServer32)", "ThreadingModel", "Both"),

  Sz      (19, HKCR, R"(CLSID\{39AE2AEA-D4D5-4DA0-AE47-C020E1BE4BE5})", "", "CLSID_JetDatabaseSession"),
  ExpandSz(20, HKCR, R"(CLSID\{39AE2AEA-D4D5-4DA0-AE47-C020E1BE4BE5}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll")"),
  Sz      (20, HKCR, R"(CLSID\{39AE2AEA-D4D5-4DA0-AE47-C020E1BE4BE5}\InprocServer32)", "ThreadingModel", "Both"),

  Sz      (21, HKCR, R"(CLSID\{44da8435-b187-4dd6-8f32-9341eb7e4c3c})", "", "CLSID_CSmapiProxy"),
  ExpandSz(22, HKCR, R"(CLSID\{44da8435-b187-4dd6-8f32-9341eb7e4c3c}\LocalServer32)", "", R"("%ProgramFiles%\Windows Mail\WinMail.exe")"),

  Sz      (23, HKCR, R"(CLSID\{5DC9BE2F-F850-4688-8BA9-9F6754A1D4FF})", "", "CLSID_SmartScreenFactoryOutlookExpress"),
  ExpandSz(24, HKCR, R"(CLSID\{5DC9BE2F-F850-4688-8BA9-9F6754A1D4FF}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\OESpamFilter.dll")"),
  Sz      (24, HKCR, R"(CLSID\{5DC9BE2F-F850-4688-8BA9-9F6754A1D4FF}\InprocServer32)", "ThreadingModel", "Both"),

  Sz      (25, HKCR, R"(CLSID\{626BAFE6-E5D6-11D1-B1DD-006097D503D9})", "", "CLSID_OERulesManager"),
  ExpandSz(26, HKCR, R"(CLSID\{626BAFE6-E5D6-11D1-B1DD-006097D503D9}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll")"),
  Sz      (26, HKCR, R"(CLSID\{626BAFE6-E5D6-11D1-B1DD-006097D503D9}\InprocServer32)", "ThreadingModel", "Both"),

  Sz      (27, HKCR, R"(CLSID\{6F74FDC5-E366-11d1-9A4E-00C04FA309D4})", "", "CLSID_MessageDatabase"),
  ExpandSz(28, HKCR, R"(CLSID\{6F74FDC5-E366-11d1-9A4E-00C04FA309D4}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll")"),
  Sz      (28, HKCR, R"(CLSID\{6F74FDC5-E366-11d1-9A4E-00C04FA309D4}\InprocServer32)", "ThreadingModel", "Both"),

  Sz      (29, HKCR, R"(CLSID\{6F74FDC6-E366-11d1-9A4E-00C04FA309D4})", "", "CLSID_FolderDatabase"),
  ExpandSz(30, HKCR, R"(CLSID\{6F74FDC6-E366-11d1-9A4E-00C04FA309D4}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll")"),
  Sz      (30, HKCR, R"(CLSID\{6F74FDC6-E366-11d1-9A4E-00C04FA309D4}\InprocServer32)", "ThreadingModel", "Both"),

  Sz      (31, HKCR, R"(CLSID\{8F0C5675-AEEF-11d0-84F0-00C04FD43F8F})", "", "AthWafer"),
  ExpandSz(32, HKCR, R"(CLSID\{8F0C5675-AEEF-11d0-84F0-00C04FD43F8F}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll")"),
  Sz      (32, HKCR, R"(CLSID\{8F0C5675-AEEF-11d0-84F0-00C04FD43F8F}\InprocServer32)", "ThreadingModel", "Both"),

  Sz      (33, HKCR, R"(CLSID\{A08AF898-C2A3-11d1-BE23-00C04FA31009})", "", "Windows Mail Envelope"),
  ExpandSz(34, HKCR, R"(CLSID\{A08AF898-C2A3-11d1-BE23-00C04FA31009}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll")"),
  Sz      (34, HKCR, R"(CLSID\{A08AF898-C2A3-11d1-BE23-00C04FA31009}\InprocServer32)", "ThreadingModel", "Apartment"),
  Sz      (35, HKCR, R"(CLSID\{A08AF898-C2A3-11d1-BE23-00C04FA31009}\ProgID)", "", "WindowsMail.Envelope.1"),
  Sz      (36, HKCR, R"(CLSID\{A08AF898-C2A3-11d1-BE23-00C04FA31009}\VersionIndependentProgID)", "", "WindowsMail.Envelope"),

  Sz      (37, HKCR, R"(CLSID\{A1006DE3-2173-11d2-9A7C-00C04FA309D4})", "", "CLSID_COE5Import"),
  ExpandSz(38, HKCR, R"(CLSID\{A1006DE3-2173-11d2-9A7C-00C04FA309D4}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\oeimport.dll")"),
  Sz      (38, HKCR, R"(CLSID\{A1006DE3-2173-11d2-9A7C-00C04FA309D4}\InprocServer32)", "ThreadingModel", "Apartment"),

  Sz      (39, HKCR, R"(CLSID\{BE09F473-7FEB-11d2-9962-00C04FA309D4})", "", "CLSID_MigrateMessageStore"),
  ExpandSz(40, HKCR, R"(CLSID\{BE09F473-7FEB-11d2-9962-00C04FA309D4}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll")"),
  Sz      (40, HKCR, R"(CLSID\{BE09F473-7FEB-11d2-9962-00C04FA309D4}\InprocServer32)", "ThreadingModel", "Both"),

  Sz      (41, HKCR, R"(CLSID\{CAE80521-F685-11d1-AF32-00C04FA31B90})", "", "CLSID_OENote"),
  ExpandSz(42, HKCR, R"(CLSID\{CAE80521-F685-11d1-AF32-00C04FA31B90}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll")"),
  Sz      (42, HKCR, R"(CLSID\{CAE80521-F685-11d1-AF32-00C04FA31B90}\InprocServer32)", "ThreadingModel", "Both"),

  Sz      (43, HKCR, R"(CLSID\{E70C92A9-4BFD-11d1-8A95-00C04FB951F3})", "", "CLSID_StoreNamespace"),
  ExpandSz(44, HKCR, R"(CLSID\{E70C92A9-4BFD-11d1-8A95-00C04FB951F3}\InprocServer32)", "", R"("%ProgramFiles%\Windows Mail\msoe.dll")"),
  Sz      (44, HKCR, R"(CLSID\{E70C92A9-4BFD-11d1-8A95-00C04FB951F3}\InprocServer32)", "ThreadingModel", "Both"),
  ExpandSz(45, HKCR, R"(CLSID\{E70C92A9-4BFD-11d1-8A95-00C04FB951F3}\LocalServer32)", "", R"("%ProgramFiles%\Windows Mail\WinMail.exe")"),

  Sz      (46, HKCR, R"(CLSID\{E8167EE2-AB45-4BAA-BD03-12590436D789})", "", "CLSID_COE7Import"),
  ExpandSz(47, HKCR, R"(CLSID\{E8167EE2-AB45-4BAA-BD03-12590436D789}\InprocServer32)", "", R"(%ProgramFiles%\Windows Mail\msoe.dll)"),
  Sz      (47, HKCR, R"(CLSID\{E8167EE2-AB45-4BAA-BD03-12590436D789}\InprocServer32)", "ThreadingModel", "Apartment"),
};

// The proxy interface and its asynchronous twin; NumMethods is a text, not a number.
constexpr RegistrationRow kComInterfaces[] = {
  Sz(48, HKCR, R"(Interface\{2BD40F38-DE45-429D-9D04-24F7C24C78FD})", "", "ISmapiProxy"),
  Sz(49, HKCR, R"(Interface\{2BD40F38-DE45-429D-9D04-24F7C24C78FD}\AsynchronousInterface)", "", "{E202D31E-A9AC-4A36-B531-59A5A64C6DDA}"),
  Sz(50, HKCR, R"(Interface\{2BD40F38-DE45-429D-9D04-24F7C24C78FD}\NumMethods)", "", "15"),
  Sz(51, HKCR, R"(Interface\{2BD40F38-DE45-429D-9D04-24F7C24C78FD}\ProxyStubClsid32)", "", "{2bd40f38-de45-429d-9d04-24f7c24c78fd}"),
  Sz(52, HKCR, R"(Interface\{E202D31E-A9AC-4A36-B531-59A5A64C6DDA})", "", "AsyncISmapiProxy"),
  Sz(53, HKCR, R"(Interface\{E202D31E-A9AC-4A36-B531-59A5A64C6DDA}\SynchronousInterface)", "", "{2bd40f38-de45-429d-9d04-24f7c24c78fd}"),
};

// Written after the URL protocols: step 109 first, then 78 to 86.
constexpr RegistrationRow kProgIds[] = {
  Sz(109, HKCR, "WindowsMail.AddressBook",          "", "Windows Mail Address Book"),
  Sz( 78, HKCR, R"(WindowsMail.AddressBook\CLSID)",   "", "{233A9694-667E-11d1-9DFB-006097D50408}"),
  Sz( 79, HKCR, R"(WindowsMail.AddressBook\CurVer)",  "", "WindowsMail.AddressBook.1"),
  Sz( 80, HKCR, "WindowsMail.AddressBook.1",        "", "Windows Mail Address Book"),
  Sz( 81, HKCR, R"(WindowsMail.AddressBook.1\CLSID)", "", "{233A9694-667E-11d1-9DFB-006097D50408}"),
  Sz( 82, HKCR, "WindowsMail.Envelope",             "", "Windows Mail Envelope"),
  Sz( 83, HKCR, R"(WindowsMail.Envelope\CLSID)",      "", "{A08AF898-C2A3-11d1-BE23-00C04FA31009}"),
  Sz( 84, HKCR, R"(WindowsMail.Envelope\CurVer)",     "", "WindowsMail.Envelope.1"),
  Sz( 85, HKCR, "WindowsMail.Envelope.1",           "", "Windows Mail Envelope"),
  Sz( 86, HKCR, R"(WindowsMail.Envelope.1\CLSID)",    "", "{A08AF898-C2A3-11d1-BE23-00C04FA31009}"),
};
// clang-format on

// ---- The 32-bit mirror ----

constexpr uint8_t kFirstMirrorStep = 145;
constexpr std::string_view kMirrorPrefix = R"(Wow6432Node\)";
// The spam-filter class is registered for 64-bit programs only: it has no mirror.
constexpr std::string_view kUnmirroredClass = R"(CLSID\{5DC9BE2F-F850-4688-8BA9-9F6754A1D4FF})";
constexpr std::string_view kMiscStatusNotInsertable = R"(\MiscStatus\NotInsertable)";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

bool IsMirrored(const RegistrationRow& row) {
  return !StartsWith(row.key, kUnmirroredClass);
}

// The mirror's NotInsertable key lies directly below the class key, not below MiscStatus.
std::string MirrorKeyPath(std::string_view key) {
  std::string path(kMirrorPrefix);
  if (EndsWithIgnoringCase(key, kMiscStatusNotInsertable)) {
    path += key.substr(0, key.size() - kMiscStatusNotInsertable.size());
    path += R"(\NotInsertable)";
  } else {
    path += key;
  }
  return path;
}

// In-process servers and the address-book icon are written unquoted in the mirror.
bool LosesQuotesInMirror(const RegistrationRow& row) {
  return row.name.empty() && (EndsWithIgnoringCase(row.key, R"(\InprocServer32)") ||
                              EndsWithIgnoringCase(row.key, R"(\DefaultIcon)"));
}

std::string_view WithoutEnclosingQuotes(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    return text.substr(1, text.size() - 2);
  return text;
}

RegistrationEntry MirrorOf(const RegistrationRow& row, uint8_t mirror_step) {
  RegistrationEntry entry = EntryOf(row);
  entry.step = mirror_step;
  entry.key = MirrorKeyPath(row.key);
  if (LosesQuotesInMirror(row))
    entry.value = Variant::Text(std::string(WithoutEnclosingQuotes(row.text)));
  return entry;
}

// Mirror steps follow the main blocks in order: each main step gets the next mirror number.
void AppendMirror(RowList rows, uint8_t& next_step, std::vector<RegistrationEntry>& mirror) {
  int previous_main_step = -1;
  for (const RegistrationRow& row : rows) {
    if (!IsMirrored(row)) continue;
    if (previous_main_step != -1 && row.step != previous_main_step) ++next_step;
    previous_main_step = row.step;
    mirror.push_back(AtMachineClasses(MirrorOf(row, next_step)));
  }
  ++next_step;
}

}  // namespace

RowList ComClassRows() {
  return ListOf(kComClasses);
}
RowList ComInterfaceRows() {
  return ListOf(kComInterfaces);
}
RowList ProgIdRows() {
  return ListOf(kProgIds);
}

std::vector<RegistrationEntry> Wow64Registration() {
  std::vector<RegistrationEntry> mirror;
  uint8_t next_step = kFirstMirrorStep;
  AppendMirror(ComClassRows(), next_step, mirror);
  AppendMirror(ComInterfaceRows(), next_step, mirror);
  return mirror;
}

}  // namespace movrix
