// The Application event log on the real system.
#include <windows.h>

#include "platform/scoped_handle.h"
#include "platform/win32/win32_system.h"

namespace movrix {
namespace {

struct EventSourceTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  void Close(Handle handle) const { DeregisterEventSource(handle); }
};
using EventSourceHandle = ScopedHandle<EventSourceTraits>;

WORD EventType(EventKind kind) {
  switch (kind) {
    case EventKind::kWarning:
      return EVENTLOG_WARNING_TYPE;
    case EventKind::kError:
      return EVENTLOG_ERROR_TYPE;
    case EventKind::kInformation:
      break;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

}  // namespace

void Win32System::WriteEventLogEntry(const std::string& source, EventKind kind, uint32_t event_id,
                                     const std::vector<std::string>& inserts) {
  // A source that is not registered still opens the Application log: the entry is written, only
  // the viewer cannot find its text.
  EventSourceHandle log(RegisterEventSourceW(nullptr, Wide(source).c_str()));
  if (!log.valid()) ThrowLastError();
  std::vector<std::wstring> wide;
  for (const std::string& insert : inserts) wide.push_back(Wide(insert));
  std::vector<LPCWSTR> strings;
  for (const std::wstring& text : wide) strings.push_back(text.c_str());
  if (!ReportEventW(log.get(), EventType(kind), 0, event_id, nullptr, WORD(strings.size()), 0,
                    strings.data(), nullptr))
    ThrowLastError();
}

}  // namespace movrix
