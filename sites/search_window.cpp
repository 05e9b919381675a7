#include "sites/search_window.h"

#include <cstring>
#include <map>

#include "platform/classes/window_controller.h"
#include "platform/core/strings.h"
#include "platform/ui/ui.h"

namespace qb {

namespace {

std::map<std::int32_t, SearchState*>& liveStates() {
  static std::map<std::int32_t, SearchState*> m;
  return m;
}
std::int32_t lastHandle = 0;

std::string tenDigits(std::int32_t n) {
  std::string s = std::to_string(n < 0 ? 0 : n);
  return std::string(s.size() < 10 ? 10 - s.size() : 0, '0') + s;
}

}  // namespace

std::int32_t registerSearchState(SearchState* state) {
  // Handles are not reused, so a stale one never reaches a newer browse's block.
  if (lastHandle == 999999999) lastHandle = 0;
  liveStates()[++lastHandle] = state;
  return lastHandle;
}

void releaseSearchState(std::int32_t handle) { liveStates().erase(handle); }

SearchState* findSearchState(std::int32_t handle) {
  auto it = liveStates().find(handle);
  return it == liveStates().end() ? nullptr : it->second;
}

std::string searchParameter(std::int32_t thread, std::int32_t handle) {
  return tenDigits(thread) + tenDigits(handle);
}

bool parseSearchParameter(const std::string& p, std::int32_t& thread, std::int32_t& handle) {
  if (p.size() != 20) return false;
  for (char c : p)
    if (c < '0' || c > '9') return false;
  long long t = std::stoll(p.substr(0, 10)), h = std::stoll(p.substr(10, 10));
  if (t > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
  thread = static_cast<std::int32_t>(t);
  handle = static_cast<std::int32_t>(h);
  return true;
}

namespace {

class SearchWindow : public pf::WindowController {
 public:
  explicit SearchWindow(const std::string& parameter) : WindowController("BuscadorF3") {
    ResizeStrategy = 0;
    HelpFile.clear();  // the search window carries no help object
    if (parseSearchParameter(parameter, browseThread_, handle_)) {
      if (SearchState* s = findSearchState(handle_)) std::memcpy(&copy_, s, sizeof copy_);
    }
    word_ = copy_.SearchWord.str();
    char d = copy_.SearchDirection.b[0];
    direction_ = d == '1' ? 1 : 2;
    win().bind(feq("?BRW1:PRC:PAL"), pf::use(word_));
    win().bind(feq("?BRW1:PRC:DIR"), pf::use(direction_));
  }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = SetupBegin()) return rc;
    OpenWindow();
    SetupEnd();
    return 0;
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    return TearDownEnd();
  }

  std::uint8_t OnAccepted() override {
    int c = win().field();
    if (c == feq("?F3BOT_CANCELAR")) {
      cancelled();
      win().close();
      return pf::Answer::Handled;
    }
    if (c == feq("?F3BOT_SIGUIENTE")) {
      win().update();
      if (word_.blank()) return pf::Answer::Handled;
      pf::setFrameStatus(1, "Find Next");
      copy_.SearchWord = word_.str();
      copy_.SearchDirection = direction_ == 1 ? "1" : "2";
      copy_.SearchRequest = "2";
      writeBack();
      askBrowse();
      return pf::Answer::Handled;
    }
    return WindowController::OnAccepted();
  }

  std::uint8_t OnCloseRequest() override {
    // The browse that sends CloseDown may be gone already: its block is left alone.
    if (win().event() == pf::EVENT::CloseWindow) cancelled();
    return WindowController::OnCloseRequest();
  }

 private:
  int feq(const char* name) { return win().feq(name); }

  void cancelled() {
    copy_.SearchRequest = "1";
    copy_.SearchOpen = "0";
    writeBack();
  }

  void writeBack() {
    if (SearchState* s = findSearchState(handle_)) std::memcpy(s, &copy_, sizeof copy_);
  }

  // The browse's Search button, pressed on the browse's own thread.
  void askBrowse() {
    for (pf::Window* w : pf::windowsInZOrder()) {
      if (w->thread() != browseThread_ || w->name() != "BrowseWebsites") continue;
      pf::Event e;
      e.code = pf::EVENT::Accepted;
      e.control = w->feq("?GISBUSKDAF3");
      e.window = w->id();
      pf::post(e, browseThread_);
      return;
    }
  }

  std::int32_t browseThread_ = 0;
  std::int32_t handle_ = 0;
  SearchState copy_;
  pf::String<20> word_;
  std::uint8_t direction_ = 2;
};

}  // namespace

void BuscadorF3(const std::string& parameter) {
  SearchWindow w(parameter);
  w.Execute();
}

}  // namespace qb
