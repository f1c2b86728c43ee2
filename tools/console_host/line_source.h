// Where the console host's input lines come from: a script file, read whole
// at the start, or standard input, read by a reader thread so that the main
// thread never blocks and keeps dispatching messages while it waits.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace morvane::console_host {

class LineSource {
 public:
  // All lines of a file. Nothing, with error set, when it cannot be read.
  static std::unique_ptr<LineSource> FromFile(const std::string& path_utf8, std::string& error);
  // Standard input, read on a thread of its own until its end.
  static std::unique_ptr<LineSource> FromStandardInput();

  enum class Next { kLine, kNotYet, kEnd };
  // Takes the next line without its line break, without waiting.
  Next TryNext(std::string& line);

 private:
  // Shared with the reader thread, which may outlive the source: the thread
  // is left blocked in its read when the host ends before the input does.
  struct Queue {
    std::mutex mutex;  // guards lines and ended
    std::deque<std::string> lines;
    bool ended = false;
  };

  LineSource() : queue_(std::make_shared<Queue>()) {}
  static void ReadStandardInput(const std::shared_ptr<Queue>& queue);

  std::shared_ptr<Queue> queue_;
  bool first_line_ = true;
};

}  // namespace morvane::console_host
