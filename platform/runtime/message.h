// Message boxes and halts as the procedures ask for them. The window layer installs the
// handlers that show them; without one (plain tests) a box answers its default button.
#pragma once

#include <functional>
#include <string>

namespace pf {

enum class Icon { None, Information, Exclamation, Question, Hand, RedCross, Asterisk };

struct MessageRequest {
  std::string text;      // "|" breaks the line, "||" leaves an empty line
  std::string caption;   // empty: the program's default caption
  Icon icon = Icon::None;
  std::string buttons;   // "&Remove|&Cancel"; empty: a single OK button
  int defaultButton = 1; // 1-based
};

// Shows a modal box on the calling program thread and returns the 1-based answer.
// Other threads' windows stay live while it waits.
int message(const std::string& text, const std::string& caption = {}, Icon icon = Icon::None,
            const std::string& buttons = {}, int defaultButton = 1);
int message(const MessageRequest& request);

// The platform's stop box: the text with Abort (ends the program) and Ignore (goes on).
// Captioned "Stop"; Ignore is the default so that a stray Enter does not end the program.
void stopBox(const std::string& text);

// Shows the halt text and ends the program; never returns to the caller.
[[noreturn]] void halt(const std::string& text);

using MessageHandler = std::function<int(const MessageRequest&)>;
using HaltHandler = std::function<void(const std::string&)>;
void setMessageHandler(MessageHandler handler);
void setHaltHandler(HaltHandler handler);
const MessageHandler& messageHandler();
const HaltHandler& haltHandler();

// Thrown through a program thread's stack when the program ends inside it; caught at
// the thread's entry. Never catch it elsewhere.
struct ProgramEnded {};

}  // namespace pf
