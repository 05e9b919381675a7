// Context help of one window: the help file, the window's page, per-control pages,
// F1 redirected to the help key, contents and keyword look-ups. One help window for
// the whole program shows the pages; it belongs to no program window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/classes/help_book.h"

namespace pf {

class Window;

// What the help window was asked to show.
struct HelpShown {
  std::string file;       // the help file name as given
  std::string page;       // the page shown ("index.html" for the contents)
  bool found = true;      // false: the file or page does not exist
  bool contents = false;  // the file was opened at its contents
};

// The window that shows help pages (helpPageHtml gives a page's HTML). Without one
// installed (headless), pages are only recorded in helpShown().
class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  virtual void show(const HelpShown& what) = 0;
};
void setHelpViewer(HelpViewer* viewer);
// Every page shown since the start (or the last clear), oldest first.
std::vector<HelpShown>& helpShown();

// Key codes the help object uses (the window layer's codes).
int helpKeyF1();
int helpKeyF12();

class HelpController {
 public:
  struct Topic {
    std::int32_t ICONTROL;
    std::string SZTOPIC;
  };

  HelpController() = default;
  ~HelpController();
  HelpController(const HelpController&) = delete;
  HelpController& operator=(const HelpController&) = delete;

  // Binds F1 and the help key to the current window of the calling thread (or `window`
  // when given). F1 as the help key is refused with the stop box.
  std::uint8_t HelpInit(const std::string& helpFile, int helpKey, Window* window = nullptr);
  std::uint8_t HelpKill();
  void HelpSetTopic(const std::string& page);
  void HelpAddTopic(std::int32_t control, const std::string& page);
  void HelpShowContents();
  void HelpShowTopic(const std::string& page);
  std::uint8_t HelpShowControlTopic(std::int32_t control);
  void HelpKeywordLookup(const std::string& keyword, const std::string& text,
                         const std::string& caption);
  // The alert-key handler: F1 or the help key open the focused control's help.
  std::uint8_t HelpOnKey(int key, std::int32_t focusedControl);

  // Fields, in order.
  std::string PROCEDURETOPIC;
  std::vector<Topic>* QHELPTOPICS = nullptr;
  std::string SZHELPFILE;
  std::uint8_t BINITDONE = 0;

 private:
  Window* window_ = nullptr;
  int handlerId_ = 0;
};

// Process-wide state shared by every help object.
int helpKey();

}  // namespace pf
