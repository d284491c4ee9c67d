#include "tests/logic/fixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace movrix::testing {
namespace {

std::filesystem::path Native(const std::string& utf8_path) {
  return std::filesystem::u8path(utf8_path);
}

}  // namespace

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + kCrLf;
  return text;
}

LogicTest::LogicTest() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  root_ = std::string("C:\\movrix-tests\\") + test->test_suite_name() + "." + test->name() + "\\";
  std::filesystem::remove_all(Native(root_));
  std::filesystem::create_directories(Native(root_));
}

LogicTest::~LogicTest() {
  // The start-up makes the program's folder current; a current folder cannot be removed.
  std::filesystem::current_path("C:\\");
  std::error_code ignored;
  std::filesystem::remove_all(Native(root_), ignored);
}

void LogicTest::Write(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(Native(path).parent_path());
  std::ofstream(Native(path), std::ios::binary) << content;
}

std::string LogicTest::Read(const std::string& path) {
  std::ifstream file(Native(path), std::ios::binary);
  if (!file) return "<missing>";
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

void LogicTest::MakeFolder(const std::string& path) {
  std::filesystem::create_directories(Native(path));
}

void LogicTest::Remove(const std::string& path) {
  std::filesystem::remove_all(Native(path));
}

}  // namespace movrix::testing
