// Windows Mail declared as the mail and news client: the current user's choices and setup values,
// the machine-wide client keys, application paths, Explorer folder types and registered
// applications.
#include "registry/registration_table.h"

namespace movrix {
namespace {

constexpr KeyHandle HKCU = kCurrentUser;
constexpr KeyHandle HKLM = kLocalMachine;

// The moment 0x01CFCDD1364571FA (a file time, 11 September 2014 15:01:05.94 UTC) as eight
// characters whose codes are its little-endian bytes. It is fixed: never the time of the run.
constexpr std::string_view kDelayStartTime = "\u00FAqE6\u00D1\u00CD\u00CF\x01";

// clang-format off
constexpr RegistrationRow kMailBeep[] = {
  Sz(99, HKCU, R"(AppEvents\EventLabels\MailBeep)", "", "New Mail Notification"),
  Sz(99, HKCU, R"(AppEvents\EventLabels\MailBeep)", "DispFileName", "@mmsys.cpl,-5837"),
};

constexpr RegistrationRow kCurrentUserMailClient[] = {
  Sz(110, HKCU, R"(Software\Clients\Mail)", "", "Windows Mail"),
};

constexpr RegistrationRow kMailSetup[] = {
  Dword (112, HKCU, R"(Software\Microsoft\Windows Mail Setup)", "DelayInitialized", 4),
  Binary(112, HKCU, R"(Software\Microsoft\Windows Mail Setup)", "DelayStartTime", kDelayStartTime),
};

// The client's icon spells the program "WinMail.exe", its commands "winmail.exe".
constexpr RegistrationRow kMailClient[] = {
  Sz      (113, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail)", "", "Windows Mail"),
  ExpandSz(113, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail)", "DLLPath", R"(%ProgramFiles%\Windows Mail\msoeres.dll)"),
  ExpandSz(113, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail)", "LocalizedString", R"(@%ProgramFiles%\Windows Mail\msoeres.dll,-4211)"),
  ExpandSz(114, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Capabilities)", "ApplicationDescription", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-215)"),
  ExpandSz(114, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Capabilities)", "ApplicationName", R"(@%ProgramFiles%\Windows Mail\msoeres.dll,-4211)"),
  Dword   (114, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Capabilities)", "Hidden", 0),
  Sz      (115, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Capabilities\FileAssociations)", ".eml", "Microsoft Internet Mail Message"),
  Sz      (116, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Capabilities\StartMenu)", "Mail", "Windows Mail"),
  Sz      (117, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Capabilities\URLAssociations)", "mailto", "WindowsMail.Url.mailto"),
  Sz      (118, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Envelope\CLSID)", "", "{A08AF898-C2A3-11d1-BE23-00C04FA31009}"),
  Sz      (119, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Envelope\CurVer)", "", "WindowsMail.Envelope.1"),
  ExpandSz(120, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\InstallInfo)", "HideIconsCommand", R"("%ProgramFiles%\Windows Mail\WinMail.exe" OCInstallHideOE)"),
  Dword   (120, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\InstallInfo)", "IconsVisible", 1),
  ExpandSz(120, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\InstallInfo)", "ReinstallCommand", R"("%ProgramFiles%\Windows Mail\WinMail.exe" OCInstallReinstallOE)"),
  ExpandSz(120, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\InstallInfo)", "ShowIconsCommand", R"("%ProgramFiles%\Windows Mail\WinMail.exe" OCInstallShowOE)"),
  Sz      (121, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Protocols\mailto)", "", "URL:Mail Protocol"),
  Dword   (121, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Protocols\mailto)", "EditFlags", 524288),
  Sz      (121, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Protocols\mailto)", "URL Protocol", ""),
  ExpandSz(122, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Protocols\mailto\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\WinMail.exe,-2)"),
  ExpandSz(123, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\Protocols\mailto\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /mailurl:%1)"),
  ExpandSz(124, HKLM, R"(SOFTWARE\Clients\Mail\Windows Mail\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe")"),
};

// No Hidden value and no StartMenu key for the news client. Its protocols are written one at a
// time: key, icon, command.
constexpr RegistrationRow kNewsClient[] = {
  Sz      (125, HKLM, R"(SOFTWARE\Clients\News)", "", "Windows Mail"),
  Sz      (126, HKLM, R"(SOFTWARE\Clients\News\Windows Mail)", "", "Windows Mail"),
  ExpandSz(126, HKLM, R"(SOFTWARE\Clients\News\Windows Mail)", "DLLPath", R"(%ProgramFiles%\Windows Mail\msoe.dll)"),
  ExpandSz(126, HKLM, R"(SOFTWARE\Clients\News\Windows Mail)", "LocalizedString", R"(@%ProgramFiles%\Windows Mail\msoeres.dll,-4211)"),
  ExpandSz(127, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Capabilities)", "ApplicationDescription", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-216)"),
  ExpandSz(127, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Capabilities)", "ApplicationName", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-217)"),
  Sz      (128, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Capabilities\FileAssociations)", ".nws", "Microsoft Internet News Message"),
  Sz      (129, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Capabilities\URLAssociations)", "news", "WindowsMail.Url.news"),
  Sz      (129, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Capabilities\URLAssociations)", "nntp", "WindowsMail.Url.nntp"),
  Sz      (129, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Capabilities\URLAssociations)", "snews", "WindowsMail.Url.snews"),

  Sz      (130, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\news)", "", "URL:News Protocol"),
  Dword   (130, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\news)", "EditFlags", 2),
  Sz      (130, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\news)", "URL Protocol", ""),
  ExpandSz(131, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\news\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe,-3)"),
  ExpandSz(132, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\news\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /newsurl:%1)"),

  Sz      (133, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\nntp)", "", "URL:NNTP Protocol"),
  Dword   (133, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\nntp)", "EditFlags", 2),
  Sz      (133, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\nntp)", "URL Protocol", ""),
  ExpandSz(134, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\nntp\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe,-3)"),
  ExpandSz(135, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\nntp\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /newsurl:%1)"),

  Sz      (136, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\snews)", "", "URL:Snews Protocol"),
  Dword   (136, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\snews)", "EditFlags", 2),
  Sz      (136, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\snews)", "URL Protocol", ""),
  ExpandSz(137, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\snews\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe,-3)"),
  ExpandSz(138, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\Protocols\snews\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /newsurl:%1)"),

  ExpandSz(139, HKLM, R"(SOFTWARE\Clients\News\Windows Mail\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /news)"),
};

constexpr RegistrationRow kAppPaths[] = {
  ExpandSz(140, HKLM, R"(SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\msimn.exe)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe)"),
  ExpandSz(141, HKLM, R"(SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\WinMail.exe)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe)"),
};

// Two folder types that name each other; step 143 writes the first one's Modifiers key, then the
// second type.
constexpr RegistrationRow kFolderTypes[] = {
  Sz   (142, HKLM, R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\FolderTypes\{6772c27f-12ca-4857-90f2-901494c4c7c7})", "CanonicalName", "EmailStacked"),
  Dword(142, HKLM, R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\FolderTypes\{6772c27f-12ca-4857-90f2-901494c4c7c7})", "IconSize", 96),
  Dword(142, HKLM, R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\FolderTypes\{6772c27f-12ca-4857-90f2-901494c4c7c7})", "LogicalViewMode", 3),
  Sz   (142, HKLM, R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\FolderTypes\{6772c27f-12ca-4857-90f2-901494c4c7c7})", "Parent", "{91475fe5-586b-4eba-8d75-d17434b8cdf6}"),
  Sz   (143, HKLM, R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\FolderTypes\{6772c27f-12ca-4857-90f2-901494c4c7c7}\Modifiers)", "CID", "{98e8e94c-0e11-4f8a-827e-106df642335d}"),
  Sz   (143, HKLM, R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\FolderTypes\{98e8e94c-0e11-4f8a-827e-106df642335d})", "CanonicalName", "EmailStackedCID"),
  Dword(143, HKLM, R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\FolderTypes\{98e8e94c-0e11-4f8a-827e-106df642335d})", "IconSize", 48),
  Sz   (143, HKLM, R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\FolderTypes\{98e8e94c-0e11-4f8a-827e-106df642335d})", "Parent", "{6772c27f-12ca-4857-90f2-901494c4c7c7}"),
};

// Windows Calendar's capabilities key is not written here: it belongs to another program.
constexpr RegistrationRow kRegisteredApplications[] = {
  Sz(144, HKLM, R"(SOFTWARE\RegisteredApplications)", "Windows Mail", R"(Software\Clients\Mail\Windows Mail\Capabilities)"),
  Sz(144, HKLM, R"(SOFTWARE\RegisteredApplications)", "Windows Mail (News)", R"(Software\Clients\News\Windows Mail\Capabilities)"),
  Sz(144, HKLM, R"(SOFTWARE\RegisteredApplications)", "Windows Calendar", R"(Software\Clients\Calendar\Windows Calendar\Capabilities)"),
};
// clang-format on

}  // namespace

RowList MailBeepRows() {
  return ListOf(kMailBeep);
}
RowList CurrentUserMailClientRows() {
  return ListOf(kCurrentUserMailClient);
}
RowList MailSetupRows() {
  return ListOf(kMailSetup);
}
RowList MailClientRows() {
  return ListOf(kMailClient);
}
RowList NewsClientRows() {
  return ListOf(kNewsClient);
}
RowList AppPathRows() {
  return ListOf(kAppPaths);
}
RowList FolderTypeRows() {
  return ListOf(kFolderTypes);
}
RowList RegisteredApplicationRows() {
  return ListOf(kRegisteredApplications);
}

}  // namespace movrix
