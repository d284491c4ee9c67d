// File types, extensions and URL protocols tied to the Windows Mail program: below
// HKEY_CLASSES_ROOT, except the current user's open-with list of .NWS files.
#include "registry/registration_table.h"

namespace movrix {
namespace {

constexpr KeyHandle HKCR = kClassesRoot;
constexpr KeyHandle HKCU = kCurrentUser;

// clang-format off
constexpr RegistrationRow kExtensionsAndApplication[] = {
  Sz      (0, HKCR, ".eml", "", "Microsoft Internet Mail Message"),
  Sz      (0, HKCR, ".eml", "Content type", "message/rfc822"),
  Sz      (1, HKCR, R"(.eml\shellex\{8895B1C6-B41F-4C1C-A562-0D564250836F})", "", "{b9815375-5d7f-4ce2-9245-c9d4da436930}"),
  Sz      (2, HKCR, ".nws", "", "Microsoft Internet News Message"),
  Sz      (2, HKCR, ".nws", "Content type", "message/rfc822"),
  Sz      (3, HKCR, R"(.nws\shellex\{8895B1C6-B41F-4C1C-A562-0D564250836F})", "", "{b9815375-5d7f-4ce2-9245-c9d4da436930}"),
  ExpandSz(4, HKCR, R"(Applications\winmail.exe)", "FriendlyAppName", R"("@%ProgramFiles%\Windows Mail\msoeres.dll,-4211")"),
};

// A protocol key: (default), EditFlags, FriendlyTypeName, URL Protocol; then its icon; then its
// open command. mailto also names its default verb, in the block of its command.
constexpr RegistrationRow kMailto[] = {
  Sz      (54, HKCR, "mailto", "", "URL:Mail Protocol"),
  Dword   (54, HKCR, "mailto", "EditFlags", 2),
  ExpandSz(54, HKCR, "mailto", "FriendlyTypeName", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-211)"),
  Sz      (54, HKCR, "mailto", "URL Protocol", ""),
  ExpandSz(55, HKCR, R"(mailto\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe,-2)"),
  Sz      (56, HKCR, R"(mailto\shell)", "", "open"),
  ExpandSz(56, HKCR, R"(mailto\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /mailurl:%1)"),
};

// Every verb key's (default) is "Reply", the forward verb's included. The mail type's icon is
// unquoted and its reply-to-all verb is "Reply All"; the news type's icon is quoted and its verb
// is "ReplyAll".
constexpr RegistrationRow kMessageTypes[] = {
  Sz      (57, HKCR, "Microsoft Internet Mail Message", "", "Internet E-Mail Message"),
  ExpandSz(57, HKCR, "Microsoft Internet Mail Message", "FriendlyTypeName", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-221)"),
  Sz      (57, HKCR, "Microsoft Internet Mail Message", "InfoTip", "prop:System.Message.FromName;System.Subject;System.Message.DateReceived"),
  Sz      (57, HKCR, "Microsoft Internet Mail Message", "PreviewDetails", "prop:System.Message.FromAddress;System.Message.DateReceived;System.ItemFolderPathDisplay;System.Size"),
  Sz      (57, HKCR, "Microsoft Internet Mail Message", "PreviewTitle", "prop:System.Subject;System.Message.FromName"),
  Sz      (58, HKCR, R"(Microsoft Internet Mail Message\CLSID)", "", "{5645C8C3-E277-11CF-8FDA-00AA00A14F93}"),
  ExpandSz(59, HKCR, R"(Microsoft Internet Mail Message\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe,-4)"),
  Sz      (60, HKCR, R"(Microsoft Internet Mail Message\shell\Forward)", "", "Reply"),
  ExpandSz(60, HKCR, R"(Microsoft Internet Mail Message\shell\Forward)", "MUIVerb", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-203)"),
  ExpandSz(61, HKCR, R"(Microsoft Internet Mail Message\shell\Forward\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /forward:%1)"),
  ExpandSz(62, HKCR, R"(Microsoft Internet Mail Message\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /eml:%1)"),
  Sz      (63, HKCR, R"(Microsoft Internet Mail Message\shell\Reply)", "", "Reply"),
  ExpandSz(63, HKCR, R"(Microsoft Internet Mail Message\shell\Reply)", "MUIVerb", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-201)"),
  ExpandSz(64, HKCR, R"(Microsoft Internet Mail Message\shell\Reply\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /replyeml:%1)"),
  Sz      (65, HKCR, R"(Microsoft Internet Mail Message\shell\Reply All)", "", "Reply"),
  ExpandSz(65, HKCR, R"(Microsoft Internet Mail Message\shell\Reply All)", "MUIVerb", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-202)"),
  ExpandSz(66, HKCR, R"(Microsoft Internet Mail Message\shell\Reply All\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /replyalleml:%1)"),

  Sz      (67, HKCR, "Microsoft Internet News Message", "", "Internet News Message"),
  ExpandSz(67, HKCR, "Microsoft Internet News Message", "FriendlyTypeName", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-222)"),
  Sz      (67, HKCR, "Microsoft Internet News Message", "InfoTip", "prop:System.Message.FromName;System.Subject;System.Message.DateReceived"),
  Sz      (67, HKCR, "Microsoft Internet News Message", "PreviewDetails", "prop:System.Message.FromAddress;System.Message.DateReceived;System.ItemFolderPathDisplay;System.Size"),
  Sz      (67, HKCR, "Microsoft Internet News Message", "PreviewTitle", "prop:System.Subject;System.Message.FromName"),
  Sz      (68, HKCR, R"(Microsoft Internet News Message\CLSID)", "", "{5645C8C1-E277-11CF-8FDA-00AA00A14F93}"),
  ExpandSz(69, HKCR, R"(Microsoft Internet News Message\DefaultIcon)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe,-5")"),
  Sz      (70, HKCR, R"(Microsoft Internet News Message\shell\Forward)", "", "Reply"),
  ExpandSz(70, HKCR, R"(Microsoft Internet News Message\shell\Forward)", "MUIVerb", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-203)"),
  ExpandSz(71, HKCR, R"(Microsoft Internet News Message\shell\Forward\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /forwardnws:%1)"),
  ExpandSz(72, HKCR, R"(Microsoft Internet News Message\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /nws:%1)"),
  Sz      (73, HKCR, R"(Microsoft Internet News Message\shell\Reply)", "", "Reply"),
  ExpandSz(73, HKCR, R"(Microsoft Internet News Message\shell\Reply)", "MUIVerb", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-204)"),
  ExpandSz(74, HKCR, R"(Microsoft Internet News Message\shell\Reply\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /replynws:%1)"),
  Sz      (75, HKCR, R"(Microsoft Internet News Message\shell\ReplyAll)", "", "Reply"),
  ExpandSz(75, HKCR, R"(Microsoft Internet News Message\shell\ReplyAll)", "MUIVerb", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-205)"),
  ExpandSz(76, HKCR, R"(Microsoft Internet News Message\shell\ReplyAll\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /replyallnws:%1)"),
};

// The news protocols, numbered 77 then 100 onward. The scheme key spells "URL:SNews Protocol".
constexpr RegistrationRow kNewsProtocols[] = {
  Sz      ( 77, HKCR, "news", "", "URL:News Protocol"),
  Dword   ( 77, HKCR, "news", "EditFlags", 2),
  ExpandSz( 77, HKCR, "news", "FriendlyTypeName", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-213)"),
  Sz      ( 77, HKCR, "news", "URL Protocol", ""),
  ExpandSz(100, HKCR, R"(news\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe,-3)"),
  ExpandSz(101, HKCR, R"(news\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /newsurl:%1)"),

  Sz      (102, HKCR, "nntp", "", "URL:NNTP Protocol"),
  Dword   (102, HKCR, "nntp", "EditFlags", 2),
  ExpandSz(102, HKCR, "nntp", "FriendlyTypeName", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-212)"),
  Sz      (102, HKCR, "nntp", "URL Protocol", ""),
  ExpandSz(103, HKCR, R"(nntp\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe,-3)"),
  ExpandSz(104, HKCR, R"(nntp\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /newsurl:%1)"),

  Sz      (105, HKCR, "snews", "", "URL:SNews Protocol"),
  Dword   (105, HKCR, "snews", "EditFlags", 2),
  ExpandSz(105, HKCR, "snews", "FriendlyTypeName", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-214)"),
  Sz      (105, HKCR, "snews", "URL Protocol", ""),
  ExpandSz(106, HKCR, R"(snews\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe,-3)"),
  ExpandSz(107, HKCR, R"(snews\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /newsurl:%1)"),
};

constexpr RegistrationRow kNwsShellExtension[] = {
  Sz(108, HKCR, R"(SystemFileAssociations\.NWS\ShellEx\{8895b1c6-b41f-4c1c-a562-0d564250836f})", "", "{b9815375-5d7f-4ce2-9245-c9d4da436930}"),
};

// The per-scheme ProgIDs that the client capabilities point to. This snews spells
// "URL:Snews Protocol".
constexpr RegistrationRow kUrlProgIds[] = {
  Sz      (87, HKCR, "WindowsMail.Url.mailto", "", "URL:Mail Protocol"),
  Dword   (87, HKCR, "WindowsMail.Url.mailto", "EditFlags", 2),
  ExpandSz(87, HKCR, "WindowsMail.Url.mailto", "FriendlyTypeName", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-211)"),
  Sz      (87, HKCR, "WindowsMail.Url.mailto", "URL Protocol", ""),
  ExpandSz(88, HKCR, R"(WindowsMail.Url.mailto\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe,-2)"),
  ExpandSz(89, HKCR, R"(WindowsMail.Url.mailto\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /mailurl:%1)"),

  Sz      (90, HKCR, "WindowsMail.Url.news", "", "URL:News Protocol"),
  Dword   (90, HKCR, "WindowsMail.Url.news", "EditFlags", 2),
  ExpandSz(90, HKCR, "WindowsMail.Url.news", "FriendlyTypeName", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-213)"),
  Sz      (90, HKCR, "WindowsMail.Url.news", "URL Protocol", ""),
  ExpandSz(91, HKCR, R"(WindowsMail.Url.news\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe,-3)"),
  ExpandSz(92, HKCR, R"(WindowsMail.Url.news\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /newsurl:%1)"),

  Sz      (93, HKCR, "WindowsMail.Url.nntp", "", "URL:NNTP Protocol"),
  Dword   (93, HKCR, "WindowsMail.Url.nntp", "EditFlags", 2),
  ExpandSz(93, HKCR, "WindowsMail.Url.nntp", "FriendlyTypeName", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-212)"),
  Sz      (93, HKCR, "WindowsMail.Url.nntp", "URL Protocol", ""),
  ExpandSz(94, HKCR, R"(WindowsMail.Url.nntp\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe,-3)"),
  ExpandSz(95, HKCR, R"(WindowsMail.Url.nntp\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /newsurl:%1)"),

  Sz      (96, HKCR, "WindowsMail.Url.snews", "", "URL:Snews Protocol"),
  Dword   (96, HKCR, "WindowsMail.Url.snews", "EditFlags", 2),
  ExpandSz(96, HKCR, "WindowsMail.Url.snews", "FriendlyTypeName", R"(@%ProgramFiles%\Windows Mail\winmail.exe,-214)"),
  Sz      (96, HKCR, "WindowsMail.Url.snews", "URL Protocol", ""),
  ExpandSz(97, HKCR, R"(WindowsMail.Url.snews\DefaultIcon)", "", R"(%ProgramFiles%\Windows Mail\winmail.exe,-3)"),
  ExpandSz(98, HKCR, R"(WindowsMail.Url.snews\shell\open\command)", "", R"("%ProgramFiles%\Windows Mail\winmail.exe" /newsurl:%1)"),
};

// The value's name is the ProgID; it carries no data.
constexpr RegistrationRow kNwsOpenWith[] = {
  NoneNull(111, HKCU, R"(Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.NWS\OpenWithProgids)", "Microsoft Internet News Message"),
};
// clang-format on

}  // namespace

RowList ExtensionAndApplicationRows() {
  return ListOf(kExtensionsAndApplication);
}
RowList MailtoRows() {
  return ListOf(kMailto);
}
RowList MessageTypeRows() {
  return ListOf(kMessageTypes);
}
RowList NewsProtocolRows() {
  return ListOf(kNewsProtocols);
}
RowList NwsShellExtensionRows() {
  return ListOf(kNwsShellExtension);
}
RowList UrlProgIdRows() {
  return ListOf(kUrlProgIds);
}
RowList NwsOpenWithRows() {
  return ListOf(kNwsOpenWith);
}

}  // namespace movrix
