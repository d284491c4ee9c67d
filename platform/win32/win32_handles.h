// The kinds of Win32 handle the real system holds, each closed by its own function, and the
// look-up of kernel32 functions that not every system has.
#pragma once

#include <windows.h>

#include "platform/scoped_handle.h"

namespace movrix {

// A kernel object (file, process, thread, snapshot, mutex), closed by CloseHandle. Functions
// that fail hand back either null or INVALID_HANDLE_VALUE, so neither is held.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle && handle != INVALID_HANDLE_VALUE; }
  void Close(Handle handle) { CloseHandle(handle); }
};
using KernelHandle = ScopedHandle<KernelHandleTraits>;

// A folder listing of FindFirstFileW (every name whole, whatever the code page), closed by
// FindClose.
struct SearchHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle handle) { return handle != INVALID_HANDLE_VALUE; }
  void Close(Handle handle) { FindClose(handle); }
};
using SearchHandle = ScopedHandle<SearchHandleTraits>;

// A GDI object (bitmap, font, brush), released by DeleteObject.
struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  void Close(Handle handle) { DeleteObject(handle); }
};
using GdiObject = ScopedHandle<GdiObjectTraits>;

// An icon of LoadImage, destroyed by DestroyIcon.
struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  void Close(Handle handle) { DestroyIcon(handle); }
};
using IconHandle = ScopedHandle<IconTraits>;

// The device context of a window (null: the screen) from GetDC, given back to that window by
// ReleaseDC.
struct WindowDcTraits {
  using Handle = HDC;
  HWND window = nullptr;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  void Close(Handle handle) { ReleaseDC(window, handle); }
};
using WindowDc = ScopedHandle<WindowDcTraits>;

// A memory device context of CreateCompatibleDC, deleted by DeleteDC.
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  void Close(Handle handle) { DeleteDC(handle); }
};
using MemoryDc = ScopedHandle<MemoryDcTraits>;

// The kernel32 function `name`, looked up rather than imported because some systems lack it;
// null where it is missing.
template <typename Function>
Function Kernel32Function(const char* name) {
  FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

}  // namespace movrix
