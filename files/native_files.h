// The file calls of a 32-bit process on a 64-bit system as they would be made natively.
#pragma once

#include "platform/forwarding_system.h"

namespace movrix {

// Makes each file call with WOW64 file-system redirection switched off for that call alone, so
// that a path in the system folder names the native 64-bit folder. Only the file calls, and a file
// facet is all it is: while the redirection is off the loader takes libraries from the 64-bit
// folder too, and a load that failed so stays failed for the process. Programs started, boxes and
// the message pump therefore always run with the redirection as it was. The shell's copy is no
// file call here: it loads the shell's extensions.
class NativeFiles : public ForwardingFileSystem {
  // Puts the redirection back as it was when destroyed, on every way out of the call.
  class Reverting {
   public:
    explicit Reverting(Environment& process)
        : process_(process), previous_(process.DisableWow64Redirection()) {}
    ~Reverting() { process_.RevertWow64Redirection(previous_); }
    Reverting(const Reverting&) = delete;
    Reverting& operator=(const Reverting&) = delete;

   private:
    Environment& process_;
    Wow64Value previous_;
  };

  template <typename Call>
  auto Native(Call call) {
    const Reverting reverting(process_);
    return call();
  }

 public:
  NativeFiles(FileSystem& files, Environment& process)
      : ForwardingFileSystem(files), next_(files), process_(process) {}

  std::string ErrorText(uint32_t code) override { return next_.ErrorText(code); }

  std::string FileDateShortText(const std::string& path) override {
    return Native([&] { return next_.FileDateShortText(path); });
  }
  int64_t FileLength(const std::string& path) override {
    return Native([&] { return next_.FileLength(path); });
  }
  int64_t PathAttributes(const std::string& path) override {
    return Native([&] { return next_.PathAttributes(path); });
  }
  std::unique_ptr<FileSearch> FindFirst(const std::string& pattern, FindData& first) override {
    return Native([&] { return next_.FindFirst(pattern, first); });
  }
  void Rename(const std::string& from, const std::string& to) override {
    Native([&] { next_.Rename(from, to); });
  }
  std::unique_ptr<AppendableFile> OpenToAppend(const std::string& path, bool must_be_new) override {
    return Native([&] { return next_.OpenToAppend(path, must_be_new); });
  }
  void CreateFolder(const std::string& path) override {
    Native([&] { next_.CreateFolder(path); });
  }
  void CopyFileOver(const std::string& from, const std::string& to) override {
    Native([&] { next_.CopyFileOver(from, to); });
  }
  std::string ReadWholeFile(const std::string& path) override {
    return Native([&] { return next_.ReadWholeFile(path); });
  }
  std::unique_ptr<ReadableFile> OpenToRead(const std::string& path) override {
    return Native([&] { return next_.OpenToRead(path); });
  }
  void RemoveFile(const std::string& path) override {
    Native([&] { next_.RemoveFile(path); });
  }
  void RemoveFolder(const std::string& path) override {
    Native([&] { next_.RemoveFolder(path); });
  }
  void MoveReplacing(const std::string& from, const std::string& to) override {
    Native([&] { next_.MoveReplacing(from, to); });
  }
  void MoveReplacingWrittenThrough(const std::string& from, const std::string& to) override {
    Native([&] { next_.MoveReplacingWrittenThrough(from, to); });
  }
  void MoveAtRestart(const std::string& from, const std::string& to) override {
    Native([&] { next_.MoveAtRestart(from, to); });
  }
  void SetPathAttributes(const std::string& path, uint32_t attributes) override {
    Native([&] { next_.SetPathAttributes(path, attributes); });
  }
  std::string FileSecurity(const std::string& path) override {
    return Native([&] { return next_.FileSecurity(path); });
  }
  void PutFileSecurity(const std::string& path, const std::string& descriptor) override {
    Native([&] { next_.PutFileSecurity(path, descriptor); });
  }

 private:
  FileSystem& next_;
  Environment& process_;
};

}  // namespace movrix
