#include "line_source.h"

#include <cstdio>
#include <thread>
#include <vector>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"
#include "script_line.h"

namespace morvane::console_host {

std::unique_ptr<LineSource> LineSource::FromFile(const std::string& path_utf8, std::string& error) {
  std::vector<std::uint8_t> contents;
  auto result = platform::ReadWholeFile(Utf8ToUtf16(path_utf8), contents);
  if (result != platform::ReadFileResult::kRead) {
    error = "cannot read the script \"" + path_utf8 + "\"" +
            (result == platform::ReadFileResult::kMissing ? ": no such file" : "");
    return nullptr;
  }
  std::unique_ptr<LineSource> source(new LineSource());
  std::string line;
  for (std::uint8_t byte : contents) {
    if (byte == '\n') {
      source->queue_->lines.push_back(std::move(line));
      line.clear();
      continue;
    }
    line.push_back(static_cast<char>(byte));
  }
  if (!line.empty()) source->queue_->lines.push_back(std::move(line));
  source->queue_->ended = true;
  return source;
}

std::unique_ptr<LineSource> LineSource::FromStandardInput() {
  std::unique_ptr<LineSource> source(new LineSource());
  std::thread reader([queue = source->queue_] { ReadStandardInput(queue); });
  reader.detach();
  return source;
}

void LineSource::ReadStandardInput(const std::shared_ptr<Queue>& queue) {
  // A line longer than the parser accepts is kept only up to one byte past
  // the limit, so that endless input without a line break cannot exhaust
  // memory; the parser then refuses the line.
  std::string line;
  int c = 0;
  while ((c = std::getc(stdin)) != EOF) {
    if (c != '\n') {
      if (line.size() <= kMaxLineBytes) line.push_back(static_cast<char>(c));
      continue;
    }
    std::lock_guard lock(queue->mutex);
    queue->lines.push_back(std::move(line));
    line.clear();
  }
  std::lock_guard lock(queue->mutex);
  if (!line.empty()) queue->lines.push_back(std::move(line));
  queue->ended = true;
}

LineSource::Next LineSource::TryNext(std::string& line) {
  std::lock_guard lock(queue_->mutex);
  if (queue_->lines.empty()) return queue_->ended ? Next::kEnd : Next::kNotYet;
  line = std::move(queue_->lines.front());
  queue_->lines.pop_front();
  // A UTF-8 byte order mark at the start of the input is no part of the line.
  if (first_line_ && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
  first_line_ = false;
  return Next::kLine;
}

}  // namespace morvane::console_host
