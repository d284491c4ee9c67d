#include <unistd.h>

#include <filesystem>

#include "platform/host/host_system.h"
#include "tests/contract/contract_env.h"

namespace movrix::contract {
namespace {

HostSystem& Host() {
  static const std::filesystem::path root = [] {
    auto path =
        std::filesystem::temp_directory_path() / ("movrix-contract-" + std::to_string(::getpid()));
    std::filesystem::remove_all(path);
    return path;
  }();
  static HostSystem host(root);
  return host;
}

}  // namespace

System& TheSystem() {
  return Host();
}
bool Is64BitSystem() {
  return Host().Is64BitSystem();
}

std::string ScratchFolder(const std::string& test_name) {
  std::string folder = "C:\\movrix-contract\\" + test_name + "\\";
  std::filesystem::remove_all(Host().HostPath(folder));
  Host().MakeFolder(folder);
  return folder;
}

void WriteFileDirect(const std::string& windows_path, const std::string& content) {
  Host().WriteFile(windows_path, content);
}

std::string ReadFileDirect(const std::string& windows_path) {
  return Host().ReadFile(windows_path);
}

std::string ScratchKey(const std::string& test_name) {
  // Every test program starts with an empty registry: a fresh name is a fresh key.
  return "Software\\MovrixContract\\" + test_name;
}

}  // namespace movrix::contract
