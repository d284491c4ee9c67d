// A HostSystem over a fresh temporary root for one test.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/host/host_system.h"

namespace movrix::testing {

class HostTest : public ::testing::Test {
 protected:
  HostTest() : root_(FreshRoot()), host_(root_) {}
  ~HostTest() override { std::filesystem::remove_all(root_); }

  // The message boxes shown so far, as "title|text" lines, for readable failure messages.
  std::string BoxTitles() const {
    std::string titles;
    for (const HostSystem::Box& box : host_.boxes()) titles += box.title + "|" + box.text + "\n";
    return titles;
  }

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
