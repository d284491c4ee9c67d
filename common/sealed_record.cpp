#include "common/sealed_record.h"

#include <stdexcept>

#include "common/sha256.h"
#include "common/text.h"

namespace movrix {
namespace {

constexpr int kFormatVersion = 1;
constexpr const char* kEndWord = "fin";

std::string Header(const std::string& kind) {
  return "Movrix18 " + kind + " format " + std::to_string(kFormatVersion);
}

bool HoldsLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

// The lines of `text`, each ended by CR LF; nullopt when it ends elsewhere or holds a lone CR or
// LF.
std::optional<std::vector<std::string>> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(kCrLf, start);
    if (end == std::string::npos) return std::nullopt;
    lines.push_back(text.substr(start, end - start));
    if (HoldsLineBreak(lines.back())) return std::nullopt;
    start = end + 2;
  }
  return lines;
}

std::string PassingName(const std::string& path) {
  return path + ".partiel";
}

void RemoveIfThere(FileSystem& system, const std::string& path) {
  if (system.PathAttributes(path) >= 0) system.RemoveFile(path);
}

}  // namespace

std::string SealRecord(const std::string& kind, const std::vector<std::string>& lines) {
  if (HoldsLineBreak(kind)) throw std::invalid_argument("record kind with a line break");
  std::string text = Header(kind) + kCrLf;
  for (const std::string& line : lines) {
    if (HoldsLineBreak(line)) throw std::invalid_argument("record line with a line break");
    text += line + kCrLf;
  }
  return text + kEndWord + " " + std::to_string(lines.size()) + " " + Sha256Hex(text) + kCrLf;
}

std::optional<std::vector<std::string>> UnsealRecord(const std::string& kind,
                                                     const std::string& text) {
  std::optional<std::vector<std::string>> lines = SplitLines(text);
  if (!lines || lines->size() < 2 || lines->front() != Header(kind)) return std::nullopt;
  const std::string sealed = text.substr(0, text.size() - lines->back().size() - 2);
  const size_t body = lines->size() - 2;
  if (lines->back() != std::string(kEndWord) + " " + std::to_string(body) + " " + Sha256Hex(sealed))
    return std::nullopt;
  return std::vector<std::string>(lines->begin() + 1, lines->end() - 1);
}

void WriteRecordFile(FileSystem& system, const std::string& path, const std::string& text) {
  const std::string passing = PassingName(path);
  RemoveIfThere(system, passing);
  {
    std::unique_ptr<AppendableFile> file = system.OpenToAppend(passing, true);
    file->Append(text);
    file->Flush();
  }
  system.MoveReplacingWrittenThrough(passing, path);
}

void RemoveRecordFile(FileSystem& system, const std::string& path) {
  RemoveIfThere(system, PassingName(path));
  RemoveIfThere(system, path);
}

}  // namespace movrix
