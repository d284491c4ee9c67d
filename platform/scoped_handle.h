// The one holder of every handle the installer opens: a kernel object, a folder listing, a
// registry key... Each kind of handle is described by a traits type, so that the ownership rules
// (never copied, closed exactly once) are written once.
#pragma once

#include <utility>

namespace movrix {

// Owns one handle and closes it when destroyed. `Traits` describes the handle:
//   using Handle = ...;                  the handle's type
//   static Handle Invalid();             the value that holds nothing
//   static bool IsValid(Handle handle);  false for every value that holds nothing
//   void Close(Handle handle);           closes a valid handle; a member, so that a closer may
//                                        carry what closing needs (the system of a registry key)
template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  explicit ScopedHandle(Handle handle = Traits::Invalid(), Traits traits = Traits())
      : handle_(handle), traits_(std::move(traits)) {}
  // A close that fails while the holder goes away has nothing to add: the holder goes away when
  // its work is done or while a failure is already on its way.
  ~ScopedHandle() {
    try {
      Close();
    } catch (...) {
    }
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  Handle get() const { return handle_; }
  bool valid() const { return Traits::IsValid(handle_); }

  // Closes the handle held, if any; a failure to close reaches the caller.
  void Close() {
    const Handle held = std::exchange(handle_, Traits::Invalid());
    if (Traits::IsValid(held)) traits_.Close(held);
  }

  // Closes the handle held, then hands out the empty slot for a call that opens the next one
  // into it, so that a failed open never leaves the previous handle there to be used.
  Handle& Receive() {
    Close();
    return handle_;
  }

 private:
  Handle handle_;
  Traits traits_;
};

}  // namespace movrix
