// The file part of the system layer and the existence tests built on it, against the stand-in
// and against the real system alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "files/mod_file_mngr.h"
#include "tests/contract/contract_env.h"

namespace movrix {
namespace {

using contract::ReadFileDirect;
using contract::ScratchFolder;
using contract::TheSystem;
using contract::WriteFileDirect;

// The name of a search record, cut at its first NUL.
std::string NameOf(const FindData& data) {
  return data.name.substr(0, data.name.find('\0'));
}

// Every entry a listing of `pattern` returns, in its order.
std::vector<FindData> ListAll(const std::string& pattern) {
  std::vector<FindData> entries;
  FindData data;
  std::unique_ptr<FileSearch> search = TheSystem().FindFirst(pattern, data);
  if (!search) return entries;
  do entries.push_back(data);
  while (search->Next(data));
  return entries;
}

// The code of the SystemError that `call` throws; 0 when it throws none.
template <typename Call>
uint32_t ErrorCodeOf(Call&& call) {
  try {
    call();
  } catch (const SystemError& error) {
    return error.code() ? error.code() : 0xFFFFFFFF;
  }
  return 0;
}

TEST(FilesContract, FileExistsNeedsAFileLongerThanZeroBytes) {
  const std::string folder = ScratchFolder("FileExists");
  WriteFileDirect(folder + "empty.dll", "");
  WriteFileDirect(folder + "full.dll", "MZ");
  System& system = TheSystem();
  EXPECT_EQ(system.FileLength(folder + "empty.dll"), 0);
  EXPECT_EQ(system.FileLength(folder + "full.dll"), 2);
  EXPECT_FALSE(FileExists(system, folder + "empty.dll", false));
  EXPECT_TRUE(FileExists(system, folder + "full.dll", false));
  EXPECT_FALSE(FileExists(system, folder + "missing.dll", false));
  EXPECT_FALSE(FileExists(system, folder, false)) << "a folder is not a file";
  // The length of a missing file, or of a file in a missing folder, throws the system's code.
  EXPECT_EQ(ErrorCodeOf([&] { system.FileLength(folder + "missing.dll"); }), 2u);
  EXPECT_EQ(ErrorCodeOf([&] { system.FileLength(folder + "none\\missing.dll"); }), 3u);
}

TEST(FilesContract, FolderExistsWithOrWithoutFinalBackslash) {
  const std::string folder = ScratchFolder("FolderExists");
  WriteFileDirect(folder + "Windows Mail\\wab.exe", "x");
  WriteFileDirect(folder + "Windows Mail.orlo", "a file, not a folder");
  struct Case {
    std::string path;
    bool exists;
  } cases[] = {
      {folder + "Windows Mail", true},
      {folder + "Windows Mail\\", true},
      {folder + "windows mail\\", true},
      {folder + "Windows Mail.orlo", false},
      {folder + "Windows Mail.orlo\\", false},
      {folder + "Missing", false},
      {folder + "Missing\\", false},
      {folder + "Missing\\Deeper\\", false},
      {"C:\\", true},
  };
  for (const Case& c : cases) EXPECT_EQ(FolderExists(TheSystem(), c.path), c.exists) << c.path;
  // The attributes under the test: the folder mark, and -1 for a missing path.
  System& system = TheSystem();
  EXPECT_EQ(system.PathAttributes(folder + "Windows Mail.orlo") & kAttributeDirectory, 0);
  EXPECT_EQ(system.PathAttributes(folder + "missing\\file.txt"), -1);
}

TEST(FilesContract, ShellCopyCreatesEveryMissingFolderOfItsDestination) {
  const std::string folder = ScratchFolder("ShellCopy");
  WriteFileDirect(folder + "source\\wab.exe", "program");
  const std::string destination = folder + "target\\Windows Mail\\fr-FR\\wab.exe";
  EXPECT_EQ(TheSystem().ShellCopyFile(folder + "source\\wab.exe", destination), 0);
  EXPECT_EQ(ReadFileDirect(destination), "program");
  // A second copy replaces the file without asking.
  WriteFileDirect(folder + "source\\wab.exe", "program 2");
  EXPECT_EQ(TheSystem().ShellCopyFile(folder + "source\\wab.exe", destination), 0);
  EXPECT_EQ(ReadFileDirect(destination), "program 2");
  // A missing source fails and leaves nothing behind.
  EXPECT_NE(TheSystem().ShellCopyFile(folder + "missing.dll", folder + "copy.dll"), 0);
  EXPECT_EQ(TheSystem().PathAttributes(folder + "copy.dll"), -1);
}

TEST(FilesContract, RenameMovesFilesAndFoldersButNeverOverAnExistingName) {
  const std::string folder = ScratchFolder("Rename");
  WriteFileDirect(folder + "Windows Mail\\wab.exe", "x");
  WriteFileDirect(folder + "taken.orlo", "y");
  System& system = TheSystem();
  system.Rename(folder + "Windows Mail", folder + "Windows Mail.orlo");
  EXPECT_EQ(ReadFileDirect(folder + "Windows Mail.orlo\\wab.exe"), "x");
  EXPECT_EQ(system.PathAttributes(folder + "Windows Mail"), -1);

  EXPECT_NE(
      ErrorCodeOf([&] { system.Rename(folder + "Windows Mail.orlo", folder + "taken.orlo"); }), 0u);
  EXPECT_EQ(ReadFileDirect(folder + "taken.orlo"), "y");
  EXPECT_EQ(ErrorCodeOf([&] { system.Rename(folder + "missing", folder + "other"); }), 2u);
}

TEST(FilesContract, CopyFileOverReplacesAFileFoundWhateverItsCase) {
  const std::string folder = ScratchFolder("CopyFileOver");
  WriteFileDirect(folder + "new.dll", "new");
  WriteFileDirect(folder + "System.DLL", "old content");
  System& system = TheSystem();
  system.CopyFileOver(folder + "NEW.dll", folder + "system.dll");
  EXPECT_EQ(ReadFileDirect(folder + "System.DLL"), "new");
  // A new file keeps the case it was given.
  system.CopyFileOver(folder + "new.dll", folder + "mixedCASE.dll.orlo");
  std::vector<FindData> entries = ListAll(folder + "*.orlo");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(NameOf(entries[0]), "mixedCASE.dll.orlo");
  EXPECT_EQ(ErrorCodeOf([&] { system.CopyFileOver(folder + "missing.dll", folder + "x.dll"); }),
            2u);
  EXPECT_EQ(
      ErrorCodeOf([&] { system.CopyFileOver(folder + "new.dll", folder + "fr-FR\\new.dll"); }), 3u);
}

TEST(FilesContract, ListingGivesDotEntriesFirstThenEveryEntry) {
  const std::string folder = ScratchFolder("Listing");
  WriteFileDirect(folder + "wab.exe", "x");
  WriteFileDirect(folder + "README", "no dot");
  WriteFileDirect(folder + ".hidden", "dot");
  WriteFileDirect(folder + "Café crème.txt", "accents");
  WriteFileDirect(folder + "fr-FR\\wab.exe.mui", "x");

  std::vector<FindData> entries = ListAll(folder + "*.*");
  ASSERT_GE(entries.size(), 2u);
  EXPECT_EQ(NameOf(entries[0]), ".");
  EXPECT_EQ(NameOf(entries[1]), "..");
  std::set<std::string> files, folders;
  for (const FindData& entry : entries) {
    EXPECT_GE(entry.name.size(), kFindNameLength) << NameOf(entry);
    EXPECT_EQ(entry.name.find_first_not_of('\0', NameOf(entry).size()), std::string::npos)
        << "only NULs follow the name " << NameOf(entry);
    (entry.attributes & kAttributeDirectory ? folders : files).insert(NameOf(entry));
  }
  EXPECT_EQ(folders, (std::set<std::string>{".", "..", "fr-FR"}));
  EXPECT_EQ(files, (std::set<std::string>{"wab.exe", "README", ".hidden", "Café crème.txt"}));
  // The listing of a missing folder cannot start.
  FindData data;
  EXPECT_EQ(TheSystem().FindFirst(folder + "missing\\*.*", data), nullptr);
}

TEST(FilesContract, RedirectionOffSendsSystem32PathsToTheNativeFolder) {
  if (!contract::Is64BitSystem()) GTEST_SKIP() << "a 32-bit system has no redirection";
  System& system = TheSystem();
  const std::string windir = system.GetEnv("windir");
  const std::string name = "movrix-contract-redirection.dll";
  WriteFileDirect(windir + "\\system32\\" + name, "native 64-bit");
  WriteFileDirect(windir + "\\syswow64\\" + name, "32-bit");
  const std::string path = windir + "\\System32\\" + name;

  EXPECT_EQ(system.FileLength(path), 6) << "redirected to syswow64";
  const Wow64Value previous = system.DisableWow64Redirection();
  EXPECT_EQ(system.FileLength(path), 13) << "the native folder while redirection is off";
  const std::string source = ScratchFolder("Redirection") + "source.dll";
  WriteFileDirect(source, "copied");
  system.CopyFileOver(source, path);
  system.RevertWow64Redirection(previous);
  EXPECT_EQ(system.FileLength(path), 6) << "redirected again after the restore";
  EXPECT_EQ(ReadFileDirect(windir + "\\system32\\" + name), "copied");
  EXPECT_EQ(ReadFileDirect(windir + "\\syswow64\\" + name), "32-bit");
}

TEST(FilesContract, StartedCommandIsNotAwaited) {
  System& system = TheSystem();
  EXPECT_NO_THROW(system.StartCommand(system.GetEnv("comspec") + " /c exit 3"));
  EXPECT_NO_THROW(system.ProcessPendingMessages());
}

}  // namespace
}  // namespace movrix
