// Helpers for tests that run program threads headless.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/runtime/message.h"

namespace pf::testing {

// A clean runtime: no threads, numbers from 1 again, no hooks, notifier or event
// loop, the real clock. Message handlers are left alone.
void resetRuntime();

// Records every message box and halt while it lives and answers the boxes from a
// script; a box with no scripted answer gets its default button. Restores the
// previous handlers when destroyed.
class MessageRecorder {
 public:
  MessageRecorder();
  ~MessageRecorder();
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  void answer(int button) { answers_.push_back(button); }
  const std::vector<MessageRequest>& messages() const { return messages_; }
  const std::vector<std::string>& halts() const { return halts_; }
  // The text of the last box, or empty when none was shown.
  std::string lastText() const { return messages_.empty() ? std::string() : messages_.back().text; }
  void clear() { messages_.clear(); halts_.clear(); answers_.clear(); }

 private:
  std::vector<MessageRequest> messages_;
  std::vector<std::string> halts_;
  std::deque<int> answers_;
  MessageHandler previousMessage_;
  HaltHandler previousHalt_;
};

}  // namespace pf::testing
