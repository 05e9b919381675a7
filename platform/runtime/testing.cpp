#include "platform/runtime/testing.h"

#include "platform/runtime/runtime_internal.h"

namespace pf::testing {

void resetRuntime() {
  detail::resetState(false);
  detail::resetClock();
}

MessageRecorder::MessageRecorder()
    : previousMessage_(messageHandler()), previousHalt_(haltHandler()) {
  setMessageHandler([this](const MessageRequest& r) {
    messages_.push_back(r);
    if (answers_.empty()) return r.defaultButton;
    int a = answers_.front();
    answers_.pop_front();
    return a;
  });
  setHaltHandler([this](const std::string& text) { halts_.push_back(text); });
}

MessageRecorder::~MessageRecorder() {
  setMessageHandler(std::move(previousMessage_));
  setHaltHandler(std::move(previousHalt_));
}

}  // namespace pf::testing
