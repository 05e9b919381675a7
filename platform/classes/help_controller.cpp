#include "platform/classes/help_controller.h"

#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace pf {
namespace {

// Texts keep at most this many bytes, as the help buffers do.
std::string cut(std::string s, std::size_t max) {
  s = clip(s);
  if (s.size() > max) s.resize(max);
  return s;
}

HelpViewer* installedViewer = nullptr;
int processHelpKey = 0;

// The keyword look-up block stays valid after the call that filled it.
struct KeywordBlock {
  std::string keyword, text, caption;
} lookupBlock;

void present(const std::string& file, const std::string& page, bool contents = false) {
  HelpShown what{file, page, false, contents};
  helpPageHtml(file, page, &what.found);
  helpShown().push_back(what);
  if (installedViewer) installedViewer->show(what);
}

// F1 acts as the help key in every window while a help object is ready; the help key
// becomes an alert key of the window, whose alert-key event the object watches.
Window* bindHelpKeys(HelpController* help, int key, Window* window, int& handlerId) {
  Window* w = window ? window : topWindow();
  setKeyAlias(Key::F1, key);
  if (!w) return nullptr;
  w->alert(key);
  w->registerHandler(
      EVENT::AlertKey,
      [help](Window& win, const Event& e) {
        (void)e;
        help->HelpOnKey(win.keyCode(), win.focus());
        return 0;
      },
      help);
  handlerId = 1;
  return w;
}

void unbindHelpKeys(HelpController* help, Window* window, int& handlerId) {
  clearKeyAlias(Key::F1);
  if (window && handlerId) window->unregisterHandler(EVENT::AlertKey, help);
  handlerId = 0;
}

}  // namespace

int helpKeyF1() { return Key::F1; }
int helpKeyF12() { return Key::F12; }

void setHelpViewer(HelpViewer* viewer) { installedViewer = viewer; }

std::vector<HelpShown>& helpShown() {
  static std::vector<HelpShown> shown;
  return shown;
}

int helpKey() { return processHelpKey; }

HelpController::~HelpController() { HelpKill(); }

std::uint8_t HelpController::HelpInit(const std::string& helpFile, int key, Window* window) {
  BINITDONE = 0;
  SZHELPFILE = cut(helpFile, 255);
  if (key == helpKeyF1()) {
    stopBox("HTML Help Cannot use the F1Key as it's Aliased KEY!");
    return 0;
  }
  processHelpKey = key;
  window_ = bindHelpKeys(this, key, window, handlerId_);
  QHELPTOPICS = new std::vector<Topic>;
  BINITDONE = 1;
  return 1;
}

std::uint8_t HelpController::HelpKill() {
  if (!BINITDONE) return 1;
  BINITDONE = 0;
  unbindHelpKeys(this, window_, handlerId_);
  window_ = nullptr;
  handlerId_ = 0;
  delete QHELPTOPICS;
  QHELPTOPICS = nullptr;
  return 1;
}

void HelpController::HelpSetTopic(const std::string& page) {
  if (!BINITDONE) return;
  PROCEDURETOPIC = cut(page, 255);
}

void HelpController::HelpAddTopic(std::int32_t control, const std::string& page) {
  if (!BINITDONE) return;
  std::string p = cut(page, 255);
  for (auto& t : *QHELPTOPICS) {
    if (t.ICONTROL == control) {
      t.SZTOPIC = p;
      return;
    }
  }
  QHELPTOPICS->push_back({control, p});
}

void HelpController::HelpShowContents() {
  if (!BINITDONE || SZHELPFILE.empty()) return;
  const HelpBook* book = findHelpBook(SZHELPFILE);
  present(SZHELPFILE, book ? book->contents : std::string("index.html"), true);
}

void HelpController::HelpShowTopic(const std::string& page) {
  if (!BINITDONE || SZHELPFILE.empty()) return;
  // The address is "file::/page", at most 511 bytes; the page is what follows "::/".
  std::string address = SZHELPFILE + "::/" + cut(page, 255);
  if (address.size() > 511) address.resize(511);
  present(SZHELPFILE, address.substr(SZHELPFILE.size() + 3));
}

std::uint8_t HelpController::HelpShowControlTopic(std::int32_t control) {
  if (!BINITDONE || SZHELPFILE.empty()) return 0;
  for (const auto& t : *QHELPTOPICS) {
    if (t.ICONTROL == control) {
      HelpShowTopic(t.SZTOPIC);
      return 0;
    }
  }
  if (PROCEDURETOPIC.empty())
    HelpShowContents();
  else
    HelpShowTopic(PROCEDURETOPIC);
  return 0;
}

void HelpController::HelpKeywordLookup(const std::string& keyword, const std::string& text,
                                       const std::string& caption) {
  if (!BINITDONE) return;
  lookupBlock.keyword = cut(keyword, 127);
  lookupBlock.text = cut(text, 127);
  lookupBlock.caption = cut(caption, 79);
  const HelpBook* book = findHelpBook(SZHELPFILE);
  if (book) {
    auto it = book->keywords.find(lower(lookupBlock.keyword));
    if (it != book->keywords.end()) {
      present(SZHELPFILE, it->second);
      return;
    }
  }
  message(lookupBlock.text, lookupBlock.caption, Icon::Information);
}

std::uint8_t HelpController::HelpOnKey(int key, std::int32_t focusedControl) {
  if (!BINITDONE || SZHELPFILE.empty()) return 0;
  if (key == processHelpKey || key == helpKeyF1()) HelpShowControlTopic(focusedControl);
  return 0;
}

}  // namespace pf
