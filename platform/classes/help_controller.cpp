#include "platform/classes/help_controller.h"

#include <algorithm>
#include <cctype>

#include "platform/runtime/message.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace pf {
namespace {

std::string fold(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string clip(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Texts keep at most this many bytes, as the help buffers do.
std::string cut(std::string s, std::size_t max) {
  s = clip(std::move(s));
  if (s.size() > max) s.resize(max);
  return s;
}

std::map<std::string, HelpBook>& books() {
  static std::map<std::string, HelpBook> b;
  return b;
}

HelpViewer* installedViewer = nullptr;
int processHelpKey = 0;

// The keyword look-up block stays valid after the call that filled it.
struct KeywordBlock {
  std::string keyword, text, caption;
} lookupBlock;

std::string notFoundPage(const HelpShown& what) {
  return "<html><body><h1>Page not found</h1><p>The page \"" + what.page +
         "\" is not in the help file \"" + what.file + "\".</p></body></html>";
}

void present(const std::string& file, const std::string& page) {
  HelpShown what{file, page, false};
  std::string html;
  if (const HelpBook* book = findHelpBook(file)) {
    auto it = book->pages.find(page);
    if (it != book->pages.end()) {
      what.found = true;
      html = it->second;
    }
  }
  if (!what.found) html = notFoundPage(what);
  helpShown().push_back(what);
  if (installedViewer) installedViewer->show(what, html);
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

void registerHelpBook(const std::string& fileName, HelpBook book) {
  books()[fold(fileName)] = std::move(book);
}

const HelpBook* findHelpBook(const std::string& fileName) {
  auto it = books().find(fold(clip(fileName)));
  return it == books().end() ? nullptr : &it->second;
}

HelpBook helpBookFromFiles(const std::vector<std::pair<std::string, std::string>>& files) {
  HelpBook book;
  for (const auto& [name, body] : files) {
    std::string low = fold(name);
    auto ends = [&](const std::string& tail) {
      return low.size() >= tail.size() && low.compare(low.size() - tail.size(), tail.size(), tail) == 0;
    };
    if (ends(".htm") || ends(".html")) {
      book.pages[name] = body;
    } else if (low == "keywords.txt") {
      std::size_t at = 0;
      while (at < body.size()) {
        std::size_t end = body.find('\n', at);
        if (end == std::string::npos) end = body.size();
        std::string line = body.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        auto bar = line.find('|');
        if (bar == std::string::npos) continue;
        book.keywords[fold(clip(line.substr(0, bar)))] = line.substr(bar + 1);
      }
    }
  }
  return book;
}

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
  present(SZHELPFILE, book ? book->contents : std::string("index.html"));
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
    auto it = book->keywords.find(fold(lookupBlock.keyword));
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
