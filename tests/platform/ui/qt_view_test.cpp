// The Qt view, offscreen: real widgets, real input through them, and a picture of the result.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTabBar>
#include <QImage>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>

#include "platform/runtime/testing.h"
#include "platform/store/file.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "tests/support/lock_holder.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace {

const char* kFrame = R"(
window QtFrame frame "Quillbox" size 400,260 wallpaper "MainBG.bmp" icon "Browser.ico" status -1,60
  menubar
    menu ?FILE "&File"
      item ?OPEN "&Open child" msg "Opens the child"
      separator
      item ?EXIT "E&xit"
    end
    menu ?TOOLS "&Tools"
      item ?TIDY "&Tidy"
    end
  end
  toolbar height 26
    button ?TBOPEN "&Websites" at 3,2 size 65,22 icon "Browser.ico" tip "Browse"
  end
end
)";

const char* kPlain = R"(
window QtPlain plain "A box of its own" size 120,60 center
  button ?OK "&OK" at 40,40 size 40,14
end
)";

const char* kChild = R"(
window QtChild mdi "Child window" size 220,120 wallpaper "WinBG2.bmp"
  prompt ?P "&Name:" at 5,6 size 30,10
  entry ?LOC:NAME at 40,5 size 100,12 picture "@s20"
  list ?LIST at 5,22 size 210,60 format "10L(2)|I~F~@n3@80L(2)|M*~Description~@s20@"
  button ?ASK "&Ask" at 5,95 size 45,14
  button ?CLOSE "&Close" at 60,95 size 45,14
end
)";

QApplication& app() { return qbtest::qtApp(); }

template <class T>
T* findTop() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) return t;
  return nullptr;
}

QAction* actionNamed(QWidget* top, const QString& text) {
  for (QAction* a : top->findChildren<QAction*>())
    if (a->text() == text) return a;
  return nullptr;
}

// Each test starts from a fresh runtime and window layer in a folder of its own, and ends
// every program thread and the Qt view whatever it left open.
class QtView : public ::testing::Test {
 protected:
  void SetUp() override {
    app();
    pf::testing::resetRuntime();
    pf::resetWindowLayer();
  }
  void TearDown() override {
    pf::endAllThreads();
    pf::qt::uninstall();
    pf::resetWindowLayer();
    pf::testing::resetRuntime();
  }
  // The frame's program: "&Open child" opens the plain window (OK closes it), Exit ends.
  static void startFrameWithPlain() {
    pf::start([] {
      pf::Window w("QtFrame");
      w.open();
      while (w.accept()) {
        if (w.event() == pf::EVENT::Accepted && w.field() == w.feq("?OPEN")) {
          pf::Window p("QtPlain");
          p.open();
          while (p.accept())
            if (p.event() == pf::EVENT::Accepted) p.close();
        }
        if (w.event() == pf::EVENT::Accepted && w.field() == w.feq("?EXIT")) w.close();
      }
    }, 50000);
  }
  static QWidget* shownFrame() {
    pf::qt::pump(2000, [] { return pf::qt::frameWidget() && pf::qt::frameWidget()->isVisible(); });
    return pf::qt::frameWidget();
  }
  static void exitFrame(QWidget* frame) {
    actionNamed(frame, "E&xit")->trigger();
    pf::qt::pump(2000, [] { return pf::qt::frameWidget() == nullptr; });
  }

  qbtest::TempDir dir;
};

TEST_F(QtView, FrameMenuChildBoxAndScreenshot) {
  pf::registerLayout("QtFrame", kFrame);
  pf::registerLayout("QtChild", kChild);
  pf::qt::install(false);

  std::vector<std::string> seen;
  int answer = 0;
  std::string typed;
  pf::String<20> name;
  auto child = [&] {
    pf::Window w("QtChild");
    w.bind("LOC:NAME", pf::use(name));
    w.open();
    int list = w.feq("?LIST");
    pf::ListRow r1{"1", "Alpha"};
    r1.cells[0].icon = 1;
    r1.cells[1].fg = 0x0000FF;
    pf::ListRow r2{"0", "Beta"};
    r2.cells[1].bg = 0xCAFFFF;
    w.setRows(list, {r1, r2});
    w.setProp(list, pf::Prop::IconList, "~qztick4.ico", 1);
    while (w.accept()) {
      if (w.event() == pf::EVENT::Accepted && w.field() == w.feq("?LOC:NAME")) typed = name.clip();
      if (w.event() == pf::EVENT::Accepted && w.field() == w.feq("?ASK"))
        answer = pf::message("Remove it?||Sure?", "Are you sure?", pf::Icon::Question, "&Yes|&No", 2);
      if (w.event() == pf::EVENT::Accepted && w.field() == w.feq("?CLOSE")) w.close();
    }
  };
  pf::start([&] {
    pf::Window w("QtFrame");
    w.open();
    w.setStatusText(1, "Ready");
    while (w.accept()) {
      if (w.event() != pf::EVENT::Accepted) continue;
      seen.push_back(w.control(w.field())->name);
      if (w.field() == w.feq("?OPEN") || w.field() == w.feq("?TBOPEN")) pf::start(child, 50000);
      if (w.field() == w.feq("?EXIT")) w.close();
    }
  }, 50000);

  QWidget* frame = shownFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->windowTitle(), "Quillbox");

  // A menu click reaches the procedure, which opens an MDI child on its own thread.
  QAction* open = actionNamed(frame, "&Open child");
  ASSERT_NE(open, nullptr);
  open->trigger();
  auto* area = frame->findChild<QMdiArea*>();
  ASSERT_NE(area, nullptr);
  pf::qt::pump(2000, [&] { return area->subWindowList().size() == 1; });
  EXPECT_EQ(seen, (std::vector<std::string>{"?OPEN"}));
  ASSERT_EQ(area->subWindowList().size(), 1);
  EXPECT_EQ(area->subWindowList().front()->windowTitle(), "Child window");

  pf::Window* model = pf::activeWindow();
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->name(), "QtChild");
  auto* tree = qobject_cast<QTreeWidget*>(pf::qt::controlWidget(model->id(), model->feq("?LIST")));
  ASSERT_NE(tree, nullptr);
  pf::qt::pump(500, [&] { return tree->topLevelItemCount() == 2; });
  EXPECT_EQ(tree->topLevelItem(1)->text(1), "Beta");
  EXPECT_FALSE(tree->topLevelItem(0)->icon(0).isNull()) << "the tick icon comes from our resources";

  // Typing into the entry and leaving it takes the text into the variable.
  auto* edit = qobject_cast<QLineEdit*>(pf::qt::controlWidget(model->id(), model->feq("?LOC:NAME")));
  ASSERT_NE(edit, nullptr);
  edit->setText("Zed");
  emit edit->textEdited("Zed");
  auto* ask = qobject_cast<QAbstractButton*>(pf::qt::controlWidget(model->id(), model->feq("?ASK")));
  ASSERT_NE(ask, nullptr);
  ask->click();

  // The box shows without blocking Qt; answering it goes back to the waiting thread.
  pf::qt::pump(2000, [] { return findTop<QMessageBox>() != nullptr; });
  EXPECT_EQ(typed, "Zed");
  auto* box = findTop<QMessageBox>();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->windowTitle(), "Are you sure?");
  EXPECT_EQ(box->text(), "Remove it?\n\nSure?");
  EXPECT_TRUE(frame->isEnabled()) << "the frame's thread is not the one waiting";
  pf::qt::pump(100);
  QImage shot = pf::qt::screenshot();
  QAbstractButton* yes = nullptr;
  for (QAbstractButton* b : box->buttons())
    if (b->text() == "&Yes") yes = b;
  ASSERT_NE(yes, nullptr);
  yes->click();
  pf::qt::pump(2000, [&] { return answer != 0; });
  EXPECT_EQ(answer, 1);
  if (const char* out = std::getenv("QB_SCREENSHOTS")) {
    pf::qt::pump(100);
    pf::qt::screenshot().save(QString(out) + "/qt_view_after.png");
  }

  ASSERT_FALSE(shot.isNull());
  EXPECT_GT(shot.width(), 100);
  // Not a blank picture: the frame, its wallpaper and the child differ in colour.
  std::set<QRgb> colours;
  for (int y = 0; y < shot.height(); y += 7)
    for (int x = 0; x < shot.width(); x += 7) colours.insert(shot.pixel(x, y));
  EXPECT_GT(colours.size(), 20u);
  EXPECT_TRUE(shot.save(QString::fromStdString(dir.file("frame.png"))));
  if (const char* out = std::getenv("QB_SCREENSHOTS")) shot.save(QString(out) + "/qt_view_frame.png");

  // The toolbar button opens a second child; Exit closes the frame.
  auto* tb = frame->findChild<QAbstractButton*>(QString(), Qt::FindChildrenRecursively);
  (void)tb;
  exitFrame(frame);
  EXPECT_EQ(pf::qt::frameWidget(), nullptr);
}

// A box on the frame's thread disables the frame's menu bar while it is open; closing it
// leaves the menus the program disabled disabled, not drawn enabled until the next change.
TEST_F(QtView, ADisabledMenuStaysDisabledAfterABox) {
  pf::registerLayout("QtFrame", kFrame);
  pf::qt::install(false);
  int answer = 0;
  pf::start([&] {
    pf::Window w("QtFrame");
    w.open();
    w.setProp(w.feq("?TOOLS"), pf::Prop::Disable, 1);
    while (w.accept()) {
      if (w.event() == pf::EVENT::Accepted && w.field() == w.feq("?OPEN"))
        answer = pf::message("A question?", "Box", pf::Icon::Question, "&Yes|&No", 1);
      if (w.event() == pf::EVENT::Accepted && w.field() == w.feq("?EXIT")) w.close();
    }
  }, 50000);
  QWidget* frame = shownFrame();
  ASSERT_NE(frame, nullptr);
  QAction* tools = actionNamed(frame, "&Tools");
  ASSERT_NE(tools, nullptr);
  pf::qt::pump(300, [&] { return !tools->isEnabled(); });
  ASSERT_FALSE(tools->isEnabled());

  actionNamed(frame, "&Open child")->trigger();
  pf::qt::pump(2000, [] { return findTop<QMessageBox>() != nullptr; });
  auto* box = findTop<QMessageBox>();
  ASSERT_NE(box, nullptr);
  box->buttons().front()->click();
  pf::qt::pump(2000, [&] { return answer != 0; });
  pf::qt::pump(50);
  EXPECT_TRUE(actionNamed(frame, "&File")->isEnabled());
  EXPECT_FALSE(tools->isEnabled()) << "the disabled menu came back enabled";

  exitFrame(frame);
}

// The frame opens on the screen; a window of its own opens centred in the frame's client
// area, not at the desktop's corner over the frame's menu bar.
TEST_F(QtView, WindowsOpenInsideTheFrame) {
  pf::registerLayout("QtFrame", kFrame);
  pf::registerLayout("QtPlain", kPlain);
  pf::qt::install(false);
  startFrameWithPlain();
  auto* frame = qobject_cast<QMainWindow*>(shownFrame());
  ASSERT_NE(frame, nullptr);
  QRect screen = frame->screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(frame->frameGeometry())) << "the frame is off the screen";

  actionNamed(frame, "&Open child")->trigger();
  QWidget* plain = nullptr;
  pf::qt::pump(2000, [&] {
    for (QWidget* t : QApplication::topLevelWidgets())
      if (t->isVisible() && t->windowTitle() == "A box of its own") plain = t;
    return plain != nullptr;
  });
  ASSERT_NE(plain, nullptr);
  QWidget* inner = frame->centralWidget();
  QRect room(inner->mapToGlobal(QPoint(0, 0)), inner->size());
  QRect at = plain->frameGeometry();
  EXPECT_TRUE(room.contains(at)) << "opened outside the frame's client area";
  EXPECT_LE(std::abs(at.center().x() - room.center().x()), 2);
  EXPECT_LE(std::abs(at.center().y() - room.center().y()), 2);

  pf::Window* model = pf::activeWindow();
  ASSERT_NE(model, nullptr);
  QPointer<QWidget> gone = plain;
  model->userPress(model->feq("?OK"));
  pf::qt::pump(1000, [&] { return !gone || !gone->isVisible(); });
  exitFrame(frame);
}

// While one program thread waits for a lock that another program holds, the window
// system runs and the other threads' windows take input.
TEST_F(QtView, WindowsStayLiveWhileAThreadWaitsForAnotherProgramsLock) {
  pf::registerLayout("QtFrame", kFrame);
  pf::registerLayout("QtPlain", kPlain);
  pf::FileDesc desc;
  desc.label = "Locked";
  desc.prefix = "LCK";
  desc.diskName = "locked.tps";
  desc.recordSize = 4;
  desc.bufferSize = 4;
  desc.fields = {{"LCK:N", pf::FieldType::Long, 0, 4}};
  char buffer[4] = {};
  {
    pf::File f(desc, buffer);
    ASSERT_EQ(f.create(), 0);
  }
  qbtest::LockHolder other(dir.file("locked.tps"));
  ASSERT_TRUE(other.holding());
  pf::qt::install(false);
  bool plainShown = false;
  int openResult = -1;
  startFrameWithPlain();
  auto* frame = qobject_cast<QMainWindow*>(shownFrame());
  ASSERT_NE(frame, nullptr);
  pf::start([&] {
    pf::File f(desc, buffer);
    openResult = f.open();
  }, 50000);
  pf::qt::pump(100);
  ASSERT_EQ(openResult, -1) << "the open did not wait";

  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(10);
  actionNamed(frame, "&Open child")->trigger();
  pf::qt::pump(2000, [&] {
    for (QWidget* t : QApplication::topLevelWidgets())
      if (t->isVisible() && t->windowTitle() == "A box of its own") plainShown = true;
    return plainShown;
  });
  EXPECT_TRUE(plainShown);
  EXPECT_EQ(openResult, -1) << "the window opened only after the wait";

  pf::qt::pump(5000, [&] { return openResult != -1; });
  EXPECT_EQ(openResult, pf::Err::AccessDenied);
  EXPECT_GT(ticks, 100);
}

const char* kCombo = R"(
window QtCombo plain "Combo" size 220,140
  dropcombo ?COMBO at 5,5 size 100,12 drop 6 format "100L(2)|M@s25@"
  sheet ?SHEET at 5,25 size 200,80
    tab ?T1 "One"
      entry ?E1 at 10,45 size 60,12
    end
    tab ?T2 "Two"
      entry ?E2 at 10,45 size 60,12
    end
    tab ?T3 "Three"
      entry ?E3 at 10,45 size 60,12
    end
  end
  button ?HIDE "&Hide" at 5,115 size 45,14
end
)";

// Keystrokes in a combo's entry reach the program one by one, and the text and selection
// the program answers with are what the entry shows; a hidden chosen tab stays chosen.
TEST_F(QtView, ComboKeystrokesAndAHiddenChosenTab) {
  pf::registerLayout("QtCombo", kCombo);
  pf::qt::install(false);
  std::vector<std::string> typed;   // the entry's text before the cursor at each keystroke
  pf::Window* model = nullptr;
  pf::start([&] {
    pf::Window w("QtCombo");
    model = &w;
    w.open();
    int combo = w.feq("?COMBO");
    w.setRows(combo, {pf::ListRow{"Shops"}, pf::ListRow{"Sport"}, pf::ListRow{"Travel"}});
    w.setProp(combo, pf::Prop::Immediate, 1);
    while (w.accept()) {
      if (w.event() == pf::EVENT::NewSelection && w.field() == combo && w.currentEvent().param) {
        std::string t = w.text(combo);
        std::string before = t.substr(0, static_cast<std::size_t>(w.propInt(combo, pf::Prop::SelEnd)));
        typed.push_back(before);
        if (!before.empty() && std::string("Travel").compare(0, before.size(), before) == 0) {
          w.setText(combo, "Travel");
          w.setProp(combo, pf::Prop::SelStart, static_cast<std::int64_t>(before.size()));
          w.setProp(combo, pf::Prop::SelEnd, 6);
        }
      }
      if (w.event() == pf::EVENT::Accepted && w.field() == w.feq("?HIDE")) w.hide(w.feq("?T2"));
    }
    model = nullptr;
  }, 50000);
  pf::qt::pump(2000, [&] { return model && pf::qt::controlWidget(model->id(), model->feq("?COMBO")); });
  ASSERT_NE(model, nullptr);
  auto* cb = qobject_cast<QComboBox*>(pf::qt::controlWidget(model->id(), model->feq("?COMBO")));
  ASSERT_NE(cb, nullptr);
  QLineEdit* edit = cb->lineEdit();
  ASSERT_NE(edit, nullptr);
  pf::qt::pump(2000, [&] { return cb->count() == 3 && edit->isVisible(); });
  edit->setFocus();
  auto key = [&](Qt::Key k, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
    QApplication::sendEvent(edit, &press);
    std::size_t seen = typed.size();
    pf::qt::pump(2000, [&] { return typed.size() > seen; });
    pf::qt::pump(50);
  };
  struct Step {
    Qt::Key key;
    const char* text;
    const char* shown;
    const char* selected;
  } steps[] = {
      {Qt::Key_T, "T", "Travel", "ravel"},
      {Qt::Key_R, "r", "Travel", "avel"},
      {Qt::Key_X, "x", "Trx", ""},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.text);
    key(s.key, s.text);
    pf::qt::pump(2000, [&] { return edit->text() == s.shown; });
    EXPECT_EQ(edit->text().toStdString(), s.shown);
    EXPECT_EQ(edit->selectedText().toStdString(), s.selected);
  }
  EXPECT_EQ(typed, (std::vector<std::string>{"T", "Tr", "Trx"}));
  EXPECT_EQ(model->text(model->feq("?COMBO")), "Trx");

  // The chosen tab hidden stays chosen; the tab Qt then shows as current can be chosen
  // with a click.
  auto* tabs = pf::qt::controlWidget(model->id(), model->feq("?SHEET"))->findChild<QTabBar*>();
  ASSERT_NE(tabs, nullptr);
  tabs->setCurrentIndex(1);
  pf::qt::pump(2000, [&] { return model->choice(model->feq("?SHEET")) == 2; });
  ASSERT_EQ(model->choice(model->feq("?SHEET")), 2);
  qobject_cast<QAbstractButton*>(pf::qt::controlWidget(model->id(), model->feq("?HIDE")))->click();
  pf::qt::pump(2000, [&] { return !tabs->isTabVisible(1); });
  pf::qt::pump(50);
  EXPECT_FALSE(tabs->isTabVisible(1));
  EXPECT_EQ(model->choice(model->feq("?SHEET")), 2);
  int current = tabs->currentIndex();
  ASSERT_NE(current, 1);
  QPoint at = tabs->tabRect(current).center();
  QMouseEvent down(QEvent::MouseButtonPress, at, tabs->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(tabs, &down);
  QMouseEvent up(QEvent::MouseButtonRelease, at, tabs->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(tabs, &up);
  pf::qt::pump(2000, [&] { return model->choice(model->feq("?SHEET")) == current + 1; });
  EXPECT_EQ(model->choice(model->feq("?SHEET")), current + 1);
}

}  // namespace
