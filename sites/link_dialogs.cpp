#include "sites/link_dialogs.h"

#include <string>

#include "platform/classes/window_controller.h"
#include "platform/core/field.h"
#include "platform/core/strings.h"
#include "platform/core/visible_text.h"
#include "platform/runtime/message.h"
#include "platform/ui/binding.h"
#include "platform/ui/ui.h"
#include "shell/open_url.h"

namespace qb {
namespace {

// What differs between the two dialogs' paste buttons.
struct PasteRules {
  const char* entry;
  std::size_t limit;   // longest clipboard text taken (trailing blanks ignored)
  const char* tooLong;
  const char* tooLongCaption;
  const char* overwrite;
  const char* overwriteCaption;
};

template <std::size_t N>
class LinkDialog : public pf::WindowController {
 public:
  LinkDialog(const char* procedure, const char* firstField, const PasteRules& rules)
      : WindowController(procedure), first_(firstField), rules_(rules) {
    WindowTopic = "Win_QuickLink.htm";
    win().bind(rules.entry + 1, pf::use(field_));
  }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = SetupBegin()) return rc;
    FIRSTFIELD = feq(first_);
    WindowAddButton(feq("?CLOSE"), pf::Response::Cancelled);
    OpenWindow();
    SetupEnd();
    return 0;
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    return TearDownEnd();
  }

  std::uint8_t OnAccepted() override {
    if (win().field() == feq("?PASTEBUT") && !paste()) return pf::Answer::Handled;
    return WindowController::OnAccepted();
  }

 protected:
  int feq(const char* name) { return win().feq(name); }
  pf::String<N> field_;

 private:
  // False when the paste stops and the window stays as it is.
  bool paste() {
    // Pasted as typed: what the field cannot show is not taken.
    std::string text = pf::enteredText(pf::clipboard());
    int entry = feq(rules_.entry);
    std::string clipped = pf::clip(text);
    if (clipped.empty()) {
      pf::message("Nothing to Paste from the Windows Clipboard?", "Clipboard empty...", pf::Icon::Question);
      win().select(entry);
      return false;
    }
    // Counted in bytes: a text the field cannot hold whole is refused, never cut short.
    if (clipped.size() > rules_.limit) {
      pf::message(rules_.tooLong, rules_.tooLongCaption, pf::Icon::Exclamation);
      win().select(entry);
      return false;
    }
    if (!field_.blank()) {
      if (pf::message(rules_.overwrite, rules_.overwriteCaption, pf::Icon::Question, "&Overwrite|&Cancel", 1) != 1) {
        win().select(entry);
        return false;
      }
      field_ = text;
    } else {
      field_ = text;
    }
    win().select(feq("?LINKBUT"));
    win().display(entry);
    return true;
  }

  const char* first_;
  PasteRules rules_;
};

const PasteRules OtherLinkPaste{"?LOC:URL", 254, "The text being pasted is to long for this entry field",
                                "255 Characters Max...", "Do you want to overwrite the existing address?",
                                "URL field is not empty..."};

const PasteRules EmailPaste{"?LOC:EMAIL", 85,
                            "The text being pasted is to long for this entry field.||Please e-mail from your "
                            "e-mail program.",
                            "85 Characters Max...", "Do you want to overwrite the existing e-mail address?",
                            "Field is not empty..."};

class OtherLinkWindow : public LinkDialog<254> {
 public:
  OtherLinkWindow() : LinkDialog("Win_OtherLink", "?LOC:URL:PROMPT", OtherLinkPaste) {}

  std::uint8_t OnAccepted() override {
    if (win().field() != feq("?LINKBUT")) return LinkDialog::OnAccepted();
    if (field_.blank()) {
      pf::message("No website address (URL) entered.", "No URL...", pf::Icon::Exclamation);
      win().select(feq("?LOC:URL"));
      return pf::Answer::Handled;
    }
    // Exact letters: "HTTP" is warned about too.
    if (field_.view().substr(0, 4) != "http")
      pf::message("This URL does not appear to be a correct website link?", "This link may not work!",
                  pf::Icon::Exclamation);
    std::uint8_t rc = LinkDialog::OnAccepted();
    OpenURL(win().id(), field_.clip());
    return rc;
  }
};

class EmailLinkWindow : public LinkDialog<84> {
 public:
  EmailLinkWindow() : LinkDialog("Win_EmailLink", "?LINKBUT", EmailPaste) {}

  std::uint8_t OnAccepted() override {
    std::uint8_t rc = LinkDialog::OnAccepted();
    if (win().field() == feq("?LINKBUT")) OpenURL(win().id(), "mailto:" + field_.clip());
    return rc;
  }
};

}  // namespace

void Win_OtherLink() {
  OtherLinkWindow w;
  pf::GLO_Response() = w.Execute();
}

void Win_EmailLink() {
  EmailLinkWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
