#include "platform/runtime/message.h"

#include <cstdio>

#include "platform/runtime/runtime.h"

namespace pf {
namespace {

MessageHandler& messageSlot() {
  static MessageHandler h;
  return h;
}

HaltHandler& haltSlot() {
  static HaltHandler h;
  return h;
}

// Nothing must run after the program has been ended, on whichever stack we are.
[[noreturn]] void endProgram() {
  endAllThreads();
  throw ProgramEnded{};
}

}  // namespace

int message(const std::string& text, const std::string& caption, Icon icon,
            const std::string& buttons, int defaultButton) {
  MessageRequest r;
  r.text = text;
  r.caption = caption;
  r.icon = icon;
  r.buttons = buttons;
  r.defaultButton = defaultButton;
  return message(r);
}

int message(const MessageRequest& request) {
  if (messageSlot()) return messageSlot()(request);
  std::fprintf(stderr, "message [%s] %s {%s} -> %d\n", request.caption.c_str(), request.text.c_str(),
               request.buttons.empty() ? "&OK" : request.buttons.c_str(), request.defaultButton);
  return request.defaultButton;
}

void stopBox(const std::string& text) {
  if (message(text, "Stop", Icon::Hand, "&Abort|&Ignore", 2) == 1) endProgram();
}

void halt(const std::string& text) {
  if (haltSlot())
    haltSlot()(text);
  else
    std::fprintf(stderr, "halt: %s\n", text.c_str());
  endProgram();
}

void setMessageHandler(MessageHandler handler) { messageSlot() = std::move(handler); }
void setHaltHandler(HaltHandler handler) { haltSlot() = std::move(handler); }
const MessageHandler& messageHandler() { return messageSlot(); }
const HaltHandler& haltHandler() { return haltSlot(); }

}  // namespace pf
