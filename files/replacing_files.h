// What a step that replaces files the system holds uses, and nothing more.
#pragma once

#include <type_traits>

#include "platform/system.h"

namespace movrix {

// The files, their native view below the system folder (the process's redirection), and the
// rights commands with the messages that flow while they run. Made from any system that has them
// all, and shows no box: it has no user interface.
struct ReplacingFiles {
  // Not explicit: a caller hands its whole system, and the step sees these four facets of it.
  template <typename Services, typename = std::enable_if_t<
                                   !std::is_same_v<std::remove_cv_t<Services>, ReplacingFiles>>>
  ReplacingFiles(Services& services) : ReplacingFiles(services, services, services, services) {}

  // The same facets, but for the files, which `other_files` stands for, such as their native view.
  ReplacingFiles With(FileSystem& other_files) const {
    return ReplacingFiles(other_files, process, programs, window);
  }

  FileSystem& files;
  Environment& process;
  Processes& programs;
  MessagePump& window;

 private:
  ReplacingFiles(FileSystem& files, Environment& process, Processes& programs, MessagePump& window)
      : files(files), process(process), programs(programs), window(window) {}
};

}  // namespace movrix
