// Every form of the program on the Qt view (offscreen), typed into from the keyboard: after
// each Tab, the entry that shows the focus colour is the one the typing goes into.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <functional>
#include <string>
#include <vector>

#include "data/access.h"
#include "data/globals.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/ini_manager.h"
#include "platform/runtime/runtime.h"
#include "platform/runtime/testing.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "shell/main_frame.h"
#include "shell/main_program.h"
#include "tests/support/quick_rounds.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr std::int32_t FocusColour = 0xCAFFFF;

pf::Window* named(const std::string& name) {
  for (pf::Window* w : pf::windowsInZOrder())
    if (w->name() == name) return w;
  return nullptr;
}

bool wait(const std::function<bool()>& until, int ms = 10000) {
  pf::qt::pump(ms, until);
  return until();
}

// Answers every open box so that the form goes without saving: "Yes" to "Changes will be
// lost!", "No" to "Save Record", else "Cancel", else its only button.
void dismissBoxes() {
  for (int round = 0; round < 5 && !pf::openDialogs().empty(); ++round) {
    for (pf::Dialog* d : pf::openDialogs()) {
      int answer = d->kind == pf::DialogKind::Message ? 1 : 0;
      bool lose = d->message.caption == "Changes will be lost!";
      for (const char* want : {"Cancel", "No", lose ? "Yes" : "No"})
        for (std::size_t i = 0; i < d->buttons.size(); ++i)
          if (pf::stripAmpersand(d->buttons[i]) == want) answer = static_cast<int>(i) + 1;
      pf::answerDialog(d->id, answer);
    }
    pf::qt::pump(200, [] { return pf::openDialogs().empty(); });
  }
}

TEST(QtForms, TypingAfterTabGoesIntoTheHighlightedEntry) {
  qbtest::TempDir dir;
  int argc = 1;
  char arg0[] = "forms";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  DataKey().setPasswordRounds(qbtest::kQuickRounds);
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
  pf::qt::install(false);
  qb::installThreadHooks();
  pf::start(
      [] {
        pf::AppErrors.init();
        pf::AppIni.init("Linkvue.ini");
        MakeThreadAccess();
        qb::Main();
      },
      50000);
  // The first start opens Browse Websites by itself.
  ASSERT_TRUE(wait([] { return named("BrowseWebsites") && pf::openDialogs().empty(); }));
  auto press = [](const char* window, const char* control) {
    pf::Window* w = named(window);
    ASSERT_NE(w, nullptr) << window;
    int feq = w->feq(control);
    ASSERT_TRUE(wait([&] { return w->takesInput() && w->propInt(feq, pf::Prop::Enabled) != 0; })) << control;
    w->userPress(feq);
  };
  struct Form {
    const char* name;            // the form's procedure
    std::function<void()> open;  // the user's road to it
  } forms[] = {
      {"UpdateWebsites", [&] { press("BrowseWebsites", "?INSERT:3"); }},
      {"Win_EmailLink", [&] { press("BrowseWebsites", "?EMAILBUT"); }},
      {"Win_OtherLink", [&] { press("Main", "?BROWSENOTLISTED"); }},
      {"Update_Password", [&] { press("Main", "?FILEPWORDPROTECTION"); }},
      {"UpdateCategory", [&] {
         press("Main", "?BROWSECATEGORIES");
         ASSERT_TRUE(wait([] { return named("BrowseCategories") != nullptr; }));
         press("BrowseCategories", "?INSERT:2");
       }},
      {"Win_Preferences", [&] {
         press("BrowseWebsites", "?CLOSE");
         ASSERT_TRUE(wait([] { return !named("BrowseWebsites") && pf::appFrame()->takesInput(); }));
         press("Main", "?PREFERENCESSEL");
       }},
  };
  for (const Form& f : forms) {
    SCOPED_TRACE(f.name);
    f.open();
    // A note before the form (the password form's) is answered from the keyboard.
    wait([&] { return named(f.name) && pf::activeWindow() == named(f.name); }, 3000);
    for (int i = 0; i < 3 && !pf::openDialogs().empty(); ++i) {
      wait([] { return QApplication::activeWindow() && QApplication::focusWidget(); });
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
      wait([] { return pf::openDialogs().empty(); }, 2000);
    }
    pf::Window* w = nullptr;
    ASSERT_TRUE(wait([&] {
      w = named(f.name);
      return w && pf::activeWindow() == w && w->takesInput() && QApplication::focusWidget() &&
             QApplication::focusWidget() == pf::qt::controlWidget(w->id(), w->focus());
    })) << "the form did not take the keyboard";
    // Every stop of the Tab order once round: an entry that shows the focus colour takes
    // what is typed, and only it.
    int entries = 0;
    std::vector<int> visited;
    for (int step = 0; step < 40; ++step) {
      int at = w->focus();
      if (!visited.empty() && at == visited.front()) break;
      visited.push_back(at);
      const pf::Control* c = w->control(at);
      if (c && c->kind == pf::Kind::Entry && !c->readOnly && w->color(at) == FocusColour) {
        ++entries;
        SCOPED_TRACE(c->name);
        // One letter: some entries hold a single character.
        std::string typed = "k";
        std::string was = w->text(at);
        std::vector<std::string> before;
        for (const auto& x : w->controls()) before.push_back(x.kind == pf::Kind::Entry ? w->text(x.feq) : "");
        QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(typed));
        auto landed = [&] { return w->text(at) != was && w->text(at).find(typed) != std::string::npos; };
        wait(landed, 2000);
        EXPECT_TRUE(landed()) << "typed elsewhere: " << w->text(at);
        std::size_t i = 0;
        for (const auto& x : w->controls()) {
          if (x.kind == pf::Kind::Entry && x.feq != at) EXPECT_EQ(w->text(x.feq), before[i]) << x.name;
          ++i;
        }
      }
      QWidget* had = QApplication::focusWidget();
      QTest::keyClick(had, Qt::Key_Tab);
      // A box on the way (a check made on leaving an entry) is answered with its own key.
      wait([&] { return w->focus() != at || !pf::openDialogs().empty(); }, 2000);
      while (!pf::openDialogs().empty()) {
        wait([] { return QApplication::activeWindow() && QApplication::focusWidget(); }, 2000);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        wait([] { return pf::openDialogs().empty(); }, 2000);
        if (!pf::openDialogs().empty()) dismissBoxes();
      }
      if (w->focus() == at) break;
      wait([&] { return QApplication::focusWidget() == pf::qt::controlWidget(w->id(), w->focus()); }, 2000);
      EXPECT_EQ(QApplication::focusWidget(), pf::qt::controlWidget(w->id(), w->focus()))
          << "the keyboard is not where the focus shows";
    }
    EXPECT_GT(entries, 0) << "no entry reached by Tab";
    for (int round = 0; round < 3 && named(f.name); ++round) {
      dismissBoxes();
      if (pf::Window* x = named(f.name); x && x->takesInput()) x->userClose();
      wait([&] { return !pf::openDialogs().empty() || !named(f.name); }, 2000);
      dismissBoxes();
    }
    ASSERT_TRUE(wait([&] { return !named(f.name); })) << "the form did not close";
  }
  pf::endAllThreads();
  pf::qt::uninstall();
  pf::resetWindowLayer();
  pf::testing::resetRuntime();
}

}  // namespace
