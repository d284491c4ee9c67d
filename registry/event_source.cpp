#include "registry/event_source.h"

namespace movrix {
namespace {

// The step that names the source's key in a box, past every step of the registration.
constexpr uint8_t kEventSourceStep = 250;
// Information, warning and error: the kinds of entry the runs write.
constexpr int32_t kTypesSupported = 0x7;

}  // namespace

std::vector<RegistrationEntry> EventSourceRegistration(const std::string& program) {
  RegistrationEntry message_file;
  message_file.step = kEventSourceStep;
  message_file.root = kLocalMachine;
  message_file.key = kEventSourceKey;
  message_file.name = "EventMessageFile";
  message_file.type = kRegExpandSz;
  message_file.value = Variant::Text(program);
  RegistrationEntry types = message_file;
  types.name = "TypesSupported";
  types.type = kRegDword;
  types.value = Variant::Number(kTypesSupported);
  return {message_file, types};
}

}  // namespace movrix
