// The keyboard on the Qt view, offscreen: every key goes to the widget that has Qt's focus,
// as a real keyboard's would. Hot keys, the menu bar, boxes and dialogs, and the focus
// that comes back after a box.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "platform/runtime/testing.h"
#include "platform/ui/keys.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace {

const char* kFrame = R"(
window KeysFrame frame "Quillbox" size 420,280 status -1,60
  menubar
    menu ?FILE "&File"
      item ?TIDY "&Tidy"
      item ?OPEN "&Open child"
      separator
      item ?EXIT "E&xit"
    end
    menu ?WINDOWMENU "&Window"
      item ?TILE "T&ile"
    end
  end
  toolbar height 26
    button ?TBWEB "&Websites" at 3,2 size 65,22
    button ?TBCAT "Categ&ories" at 72,2 size 65,22
  end
end
)";

// A form like the website form: prompts with hot keys before their entries, a tick box,
// tabs, OK and Cancel; one letter ("O") also on the frame's toolbar, one ("F") on a tab and
// the frame's menu.
const char* kChild = R"(
window KeysChild mdi "Keys child" size 260,150
  sheet ?SHEET at 2,2 size 256,110
    tab ?TAB1 "&Main"
      prompt ?P1 "&Description:" at 5,20 size 45,10
      entry ?LOC:ONE at 55,19 size 100,11 picture "@s20"
      prompt ?P2 "&Logon ID:" at 5,35 size 45,10
      entry ?LOC:TWO at 55,34 size 100,11 picture "@s20"
      check ?LOC:HL "Tick to &Highlight" at 5,50 size 100,10 values "1" "0"
    end
    tab ?TAB2 "&File tab"
    end
    tab ?TAB3 "&Notes"
    end
  end
  button ?OK "&OK" at 100,125 size 40,14 default
  button ?CANCEL "&Cancel" at 150,125 size 40,14
end
)";

QApplication& app() { return qbtest::qtApp(); }

pf::Window* named(const std::string& name) {
  for (pf::Window* w : pf::windowsInZOrder())
    if (w->name() == name) return w;
  return nullptr;
}

QWidget* widgetOf(pf::Window* w, const char* control) {
  return w ? pf::qt::controlWidget(w->id(), w->feq(control)) : nullptr;
}

// A key as the keyboard sends it: to the widget that has the focus.
void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  // An open menu has the keyboard to itself.
  QWidget* to = QApplication::activePopupWidget();
  if (!to) to = QApplication::focusWidget();
  if (!to) to = QApplication::activeWindow();
  ASSERT_NE(to, nullptr) << "no widget has the keyboard";
  QTest::keyClick(to, k, mods);
}

bool wait(const std::function<bool()>& until) {
  pf::qt::pump(5000, until);
  return until();
}

// The frame and the form: each writes down what it saw ("child ?OK", "frame ?TBWEB"); the
// form's F5 asks the boxes of `asks` one after the other and writes down each answer.
class QtKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    app();
    pf::testing::resetRuntime();
    pf::resetWindowLayer();
    pf::registerLayout("KeysFrame", kFrame);
    pf::registerLayout("KeysChild", kChild);
    pf::qt::install(false);
    pf::start([this] {
      pf::Window w("KeysFrame");
      w.open();
      while (w.accept()) {
        if (w.event() != pf::EVENT::Accepted) continue;
        if (const pf::Control* c = w.control(w.field())) seen.push_back("frame " + c->name);
        if (w.field() == w.feq("?OPEN")) pf::start([this] { child(); }, 50000);
        if (w.field() == w.feq("?EXIT")) w.close();
      }
    }, 50000);
    ASSERT_TRUE(wait([] { return pf::qt::frameWidget() && pf::qt::frameWidget()->isVisible(); }));
    pf::appFrame()->userPress(pf::appFrame()->feq("?OPEN"));
    ASSERT_TRUE(wait([] {
      pf::Window* c = named("KeysChild");
      return c && pf::activeWindow() == c && QApplication::focusWidget() == widgetOf(c, "?LOC:ONE");
    }));
    seen.clear();
  }
  void TearDown() override {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    pf::endAllThreads();
    pf::qt::pump(100);
    pf::qt::uninstall();
    pf::resetWindowLayer();
    pf::testing::resetRuntime();
  }

  void child() {
    pf::Window w("KeysChild");
    w.bind("LOC:ONE", pf::use(one));
    w.bind("LOC:TWO", pf::use(two));
    w.alert(pf::Key::F5);
    w.open();
    while (w.accept()) {
      // F5 asks as Delete asks "Confirm Delete" in a list: the focus stays where it was.
      if (w.event() == pf::EVENT::AlertKey && w.keyCode() == pf::Key::F5)
        for (auto& ask : asks) answers.push_back(ask());
      if (w.event() == pf::EVENT::NewSelection && w.field() == w.feq("?SHEET"))
        seen.push_back("tab " + std::to_string(w.choice(w.feq("?SHEET"))));
      if (w.event() != pf::EVENT::Accepted) continue;
      const pf::Control* c = w.control(w.field());
      if (!c || c->kind == pf::Kind::Entry) continue;
      seen.push_back("child " + c->name);
    }
  }

  std::vector<std::string> seen;
  std::vector<std::function<int()>> asks;
  std::vector<int> answers;
  pf::String<20> one, two;
  qbtest::TempDir dir;
};

// A hot key goes to the active window's own control first, then to the frame's toolbar,
// then to the frame's menus, then to the window's tabs; a prompt's hot key hands the focus
// to its entry; a letter nothing answers types nothing.
TEST_F(QtKeys, HotKeysReachTheControlTheyName) {
  struct Case {
    Qt::Key key;
    const char* expect;   // what was seen, "focus ?NAME", or "menu &File"
  } cases[] = {
      {Qt::Key_L, "focus ?LOC:TWO"},
      {Qt::Key_D, "focus ?LOC:ONE"},
      {Qt::Key_H, "child ?LOC:HL"},
      {Qt::Key_O, "child ?OK"},        // not the toolbar's "Categ&ories"
      {Qt::Key_W, "frame ?TBWEB"},     // the form has no W: the toolbar's
      {Qt::Key_F, "menu &File"},       // the menu, not the form's "&File tab"
      {Qt::Key_N, "tab 3"},
      {Qt::Key_Q, "nothing"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.expect);
    seen.clear();
    pf::Window* c = named("KeysChild");
    ASSERT_NE(c, nullptr) << "the form has gone";
    ASSERT_TRUE(wait([&] { return c->takesInput(); }));
    key(k.key, Qt::AltModifier);
    std::string expect = k.expect;
    auto menuOpen = [] {
      QMenu* m = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      return m && m->isVisible() ? "menu " + m->title().toStdString() : std::string();
    };
    auto got = [&] {
      if (!menuOpen().empty()) return menuOpen();
      if (expect.rfind("focus ", 0) == 0) {
        const pf::Control* f = c->control(c->focus());
        bool qtToo = QApplication::focusWidget() == pf::qt::controlWidget(c->id(), c->focus());
        return f && qtToo ? "focus " + f->name : std::string();
      }
      return seen.empty() ? std::string("nothing") : seen.front();
    };
    wait([&] { return got() == expect; });
    EXPECT_EQ(got(), expect);
    // Esc closes the menu, a second one leaves the menu bar.
    if (!menuOpen().empty()) key(Qt::Key_Escape);
    wait([&] { return !QApplication::activePopupWidget(); });
    if (qobject_cast<QMenuBar*>(QApplication::focusWidget())) key(Qt::Key_Escape);
    wait([&] { return !qobject_cast<QMenuBar*>(QApplication::focusWidget()); });
  }
  EXPECT_EQ(one.clip(), "") << "an Alt key typed into the entry";
  EXPECT_EQ(two.clip(), "");
  // The prompts draw their hot keys underlined.
  pf::Window* c = named("KeysChild");
  ASSERT_NE(c, nullptr);
  auto* prompt = qobject_cast<QLabel*>(widgetOf(c, "?P1"));
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(prompt->text(), "&Description:");
  EXPECT_EQ(prompt->buddy(), prompt);
}

// F10 and the hot keys open the frame's menus; Enter on an item chooses it and closes the menu.
TEST_F(QtKeys, MenusOpenFromTheKeyboardAndEnterChooses) {
  struct Case {
    Qt::Key open;
    Qt::KeyboardModifiers mods;
    const char* menu;
  } cases[] = {
      {Qt::Key_F10, Qt::NoModifier, "&File"},
      {Qt::Key_F, Qt::AltModifier, "&File"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.menu);
    seen.clear();
    key(k.open, k.mods);
    ASSERT_TRUE(wait([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; }));
    EXPECT_EQ(qobject_cast<QMenu*>(QApplication::activePopupWidget())->title().toStdString(), k.menu);
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    wait([&] { return !seen.empty(); });
    EXPECT_EQ(seen, std::vector<std::string>{"frame ?TIDY"});
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "the menu stayed open";
  }
}

QWidget* openBox() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && (qobject_cast<QMessageBox*>(w) || qobject_cast<QDialog*>(w))) return w;
  return nullptr;
}

// Each box takes the keyboard when it opens, also the one that follows another; Enter
// presses its default button, Esc its cancelling one; afterwards the form's control has
// the keyboard again, not the frame's toolbar.
TEST_F(QtKeys, BoxesAnswerEnterAndEscAndGiveTheFocusBack) {
  struct Case {
    const char* what;
    std::function<int()> ask;
    Qt::Key key;
    int answer;
  } cases[] = {
      {"save record, Enter", [] { return pf::message("Save?", "Save Record", pf::Icon::Question, "&Yes|&No|&Cancel", 3); }, Qt::Key_Return, 3},
      {"save record, Esc", [] { return pf::message("Save?", "Save Record", pf::Icon::Question, "&Yes|&No|&Cancel", 1); }, Qt::Key_Escape, 3},
      {"remove, Enter", [] { return pf::message("Remove?", "Are you sure?", pf::Icon::Exclamation, "&Remove|&Cancel", 2); }, Qt::Key_Return, 2},
      {"yes no, Esc", [] { return pf::message("Save it?", "Save?", pf::Icon::Question, "&Yes|&No", 1); }, Qt::Key_Escape, 2},
      {"note, Enter", [] { return pf::message("Please note", "Note"); }, Qt::Key_Return, 1},
      {"note, Esc", [] { return pf::message("URL OK?", "Link"); }, Qt::Key_Escape, 1},
      {"calendar, Enter", [] { return pf::calendarDialog(pf::CalendarRequest{}) != 0 ? 1 : 0; }, Qt::Key_Return, 1},
      {"calendar, Esc", [] { return pf::calendarDialog(pf::CalendarRequest{}) != 0 ? 1 : 0; }, Qt::Key_Escape, 0},
      {"file, Esc", [] {
         std::string name;
         return pf::fileDialog(pf::FileRequest{"File to save to", "SitesCSV.csv", "CSV files|*.csv", true}, name) ? 1 : 0;
       }, Qt::Key_Escape, 0},
  };
  for (const Case& k : cases) asks.push_back(k.ask);
  pf::Window* c = named("KeysChild");
  ASSERT_NE(c, nullptr);
  c->userPress(c->feq("?LOC:TWO"));
  ASSERT_TRUE(wait([&] { return QApplication::focusWidget() == widgetOf(c, "?LOC:TWO"); }));
  key(Qt::Key_F5);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].what);
    QWidget* box = nullptr;
    bool focused = wait([&] {
      box = openBox();
      return box && answers.size() == i && QApplication::activeWindow() == box && QApplication::focusWidget() &&
             box->isAncestorOf(QApplication::focusWidget());
    });
    EXPECT_TRUE(focused) << "the box did not take the keyboard";
    if (!box) break;
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box, cases[i].key);
    wait([&] { return answers.size() > i; });
    ASSERT_GT(answers.size(), i) << "the key did not answer the box";
    EXPECT_EQ(answers[i], cases[i].answer);
  }
  // The form's entry that had the focus has it again, and typing goes there.
  EXPECT_TRUE(wait([&] { return QApplication::focusWidget() == widgetOf(c, "?LOC:TWO"); }));
  key(Qt::Key_X);
  key(Qt::Key_Tab);
  EXPECT_TRUE(wait([&] { return two.clip() == "x"; }));
}

}  // namespace
