// A HostSystem over a fresh temporary root for one test, and a readable form of its boxes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/host/host_system.h"

namespace movrix::testing {

// The message boxes shown so far, one "title|text|icon" line each ("|yes/no" added for a
// question), so that a whole sequence of boxes is checked, and shown, in one assertion.
inline std::string ShownBoxes(const HostSystem& host) {
  static const char* const kIconNames[] = {"none", "critical", "question", "information"};
  std::string shown;
  for (const HostSystem::Box& box : host.boxes()) {
    shown += box.title + "|" + box.text + "|" + kIconNames[int(box.icon)];
    if (box.buttons == Buttons::kYesNo) shown += "|yes/no";
    shown += "\n";
  }
  return shown;
}

class HostTest : public ::testing::Test {
 protected:
  HostTest() : root_(FreshRoot()), host_(root_) {}
  ~HostTest() override { std::filesystem::remove_all(root_); }

  std::string Boxes() const { return ShownBoxes(host_); }

  std::filesystem::path root_;
  HostSystem host_;

 private:
  static std::filesystem::path FreshRoot() {
    static int counter = 0;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    auto root = std::filesystem::temp_directory_path() /
                ("movrix-" + std::string(test ? test->name() : "test") + "-" +
                 std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    return root;
  }
};

}  // namespace movrix::testing
