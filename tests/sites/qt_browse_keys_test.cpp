// The websites browse on the Qt view (offscreen) as a keyboard and mouse user meets it:
// the notes pane follows the clicked row, and Tab walks the window's buttons, also once the
// frame has been activated; the splitter bar is drawn while it is dragged.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>

#include <string>
#include <vector>

#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "shell/main_program.h"
#include "tests/sites/sites_fixture.h"
#include "tests/support/qt_desktop.h"

namespace {

using qbtest::findByName;
using qbtest::treeOf;

void writeDefaults() {
  DefaultsRecord p;
  p.RECORDNUMBER = 1;
  p.AUTOOPENBROWSE = 1;
  p.SHOWPWORDS = 1;
  p.SHOWCATS = 1;
  p.DEFAULTCAT = "All Categories";
  pf::File f(DefaultsDesc(), &p);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(), 0);
  ASSERT_EQ(f.add(), 0);
  f.close();
}

// The control whose widget holds the keyboard focus, by its layout name.
std::string focusedControl(pf::Window& w) {
  for (QObject* o = QApplication::focusWidget(); o; o = o->parent()) {
    QVariant f = o->property("qbFeq");
    if (f.isValid()) {
      const pf::Control* c = w.control(f.toInt());
      return c ? c->name : std::string();
    }
  }
  return {};
}

TEST(QtBrowseKeys, NotesTabAndTheDraggedBar) {
  qbtest::TempDir dir;
  qbtest::QtApp app;
  qbtest::addCategories({"All Categories", "News", "Travel"});
  qbtest::addSites({{"Atlas", "http://a.example", "Travel", 0, 0, 1, "", "", "Maps of the world."},
                    {"Bank", "http://b.example", "News", 0, 0, 1, "", "", "Second line\nof notes"},
                    {"Cinema", "http://c.example", "News"}});
  writeDefaults();
  qb::installThreadHooks();
  qb::registerHelp();

  pf::Window* b = nullptr;
  QTreeWidget* tree = nullptr;
  QPlainTextEdit* notes = nullptr;
  auto notesShow = [&](const char* text) { return notes && notes->toPlainText() == text; };
  auto clickRow = [&](int row) {
    QRect r = tree->visualItemRect(tree->topLevelItem(row - 1));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(r.left() + 120, r.center().y()));
  };
  const std::vector<std::string> round = {"?CAT:CATEGORY", "?INTERNETLINK", "?LOGON_BUT", "?PWORD_BUT",
                                          "?YELLOW_HL", "?CLR1", "?CLR2", "?CLR3", "?CLR4", "?CLR5",
                                          "?CLR6", "?CLR7", "?CLR8", "?QLBUT", "?EMAILBUT", "?VIEW",
                                          "?SECURITYBUT", "?CATBUT", "?INSERT:3", "?CHANGE:3", "?DELETE:3",
                                          "?GISBUSKDAF3", "?PRINTBUT", "?HELP", "?CLOSE", "?BROWSE:1"};
  std::vector<std::string> seen;
  std::string before;
  bool frameDrawn = false;
  auto tab = [&] {
    before = focusedControl(*b);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  };
  auto moved = [&] {
    std::string now = focusedControl(*b);
    if (now == before || now.empty()) return false;
    seen.push_back(now);
    // The style draws a button's focus frame only when told the focus moved by the keyboard.
    if (now == "?LOGON_BUT")
      frameDrawn = QApplication::focusWidget()->window()->testAttribute(Qt::WA_KeyboardFocusChange);
    return true;
  };

  std::vector<qbtest::QtStep> steps = {
      {[&] {
         b = findByName("BrowseWebsites");
         if (!b || !pf::qt::widgetFor(b->id()) || !pf::qt::widgetFor(b->id())->isVisible()) return false;
         tree = treeOf(*b, b->feq("?BROWSE:1"));
         notes = qobject_cast<QPlainTextEdit*>(pf::qt::controlWidget(b->id(), b->feq("?WEB:SITENOTES")));
         return tree && tree->topLevelItemCount() == 3 && notesShow("Maps of the world.");
       },
       [&] {
         // The window manager hands the focus to the frame, which passes it to its child.
         QEvent activate(QEvent::WindowActivate);
         QApplication::sendEvent(pf::qt::frameWidget(), &activate);
         clickRow(2);
       }},
      {[&] { return notesShow("Second line\nof notes"); }, [&] { clickRow(3); }},
      {[&] { return notesShow(""); }, [&] { clickRow(1); }},
      {[&] { return notesShow("Maps of the world.") && focusedControl(*b) == "?BROWSE:1"; }, tab},
  };
  for (std::size_t i = 1; i < round.size(); ++i) steps.push_back({moved, tab});
  // The bar pressed and pulled up is drawn where it goes; released, it is not drawn.
  QWidget* bar = nullptr;
  QColor held, released, dark;
  auto mouse = [&](QEvent::Type type, int y, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(50, y), bar->mapToGlobal(QPointF(50, y)), Qt::LeftButton, buttons, {});
    QApplication::sendEvent(bar, &e);
  };
  auto barTop = [&] { return static_cast<int>(b->propInt(b->feq("?HSPLIT"), pf::Prop::Ypos)); };
  steps.push_back({moved, [&] {
                     bar = pf::qt::controlWidget(b->id(), b->feq("?HSPLIT"));
                     mouse(QEvent::MouseButtonPress, 1, Qt::LeftButton);
                     mouse(QEvent::MouseMove, -40, Qt::LeftButton);
                   }});
  steps.push_back({[&] { return barTop() < 220; },
                   [&] {
                     held = bar->grab().toImage().pixelColor(10, 1);
                     dark = bar->palette().color(QPalette::Dark);
                     mouse(QEvent::MouseButtonRelease, -40, Qt::NoButton);
                   }});
  steps.push_back({[&] { return !bar->property("qbHeld").toBool(); },
                   [&] {
                     released = bar->grab().toImage().pixelColor(10, 1);
                     pf::appFrame()->userClose();
                   }});
  std::size_t taken = qbtest::runMainProgramWhen(steps);

  EXPECT_EQ(taken, steps.size());
  EXPECT_EQ(seen, round);
  EXPECT_TRUE(frameDrawn);
  EXPECT_EQ(held.rgb(), dark.rgb());
  EXPECT_NE(released.rgb(), held.rgb());
}

}  // namespace
