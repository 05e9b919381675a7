// The Qt view's dialogs, offscreen, answered through their own widgets.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <functional>

#include "platform/runtime/testing.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace {

void app() {
  static int argc = 1;
  static char name[] = "pf_ui_qt_tests";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

QPageSetupDialog* openPageSetup() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QPageSetupDialog*>(w); d && d->isVisible()) return d;
  return nullptr;
}

// The printer set-up is the page set-up (OK and Cancel, nothing that prints). OK answers 1
// and leaves the chosen page on the printer that reports print on; Cancel answers 0 and
// leaves the printer as it was.
TEST(QtDialogs, PrinterSetupKeepsWhatOkChose) {
  app();
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
  pf::qt::install(false);
  QPrinter& printer = pf::qt::printer();
  printer.setPageOrientation(QPageLayout::Portrait);
  struct Case {
    const char* orientation;
    QDialogButtonBox::StandardButton button;
    int answer;
    QPageLayout::Orientation after;
  } cases[] = {
      {"Landscape", QDialogButtonBox::Ok, 1, QPageLayout::Landscape},
      {"Portrait", QDialogButtonBox::Cancel, 0, QPageLayout::Landscape},
      {"Portrait", QDialogButtonBox::Ok, 1, QPageLayout::Portrait},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orientation);
    int answer = -1;
    QStringList buttons;
    pf::start([&answer] { answer = pf::printerSetup(); }, 25000);
    // The dialog runs a loop of its own, so it is answered from a timer inside that loop.
    std::function<void()> poll = [&] {
      QPageSetupDialog* d = openPageSetup();
      if (!d) {
        QTimer::singleShot(20, poll);
        return;
      }
      for (QPushButton* b : d->findChildren<QPushButton*>()) buttons << b->text();
      for (QRadioButton* r : d->findChildren<QRadioButton*>())
        if (r->text() == c.orientation) r->click();
      if (auto* box = d->findChild<QDialogButtonBox*>())
        if (QPushButton* b = box->button(c.button)) b->click();
    };
    QTimer::singleShot(20, poll);
    pf::qt::pump(10000, [&] { return answer != -1; });
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(printer.pageLayout().orientation(), c.after);
    EXPECT_TRUE(buttons.contains("OK")) << buttons.join(", ").toStdString();
    EXPECT_TRUE(buttons.filter("Print").isEmpty()) << buttons.join(", ").toStdString();
    pf::qt::pump(50);
    EXPECT_EQ(openPageSetup(), nullptr);
  }
  printer.setPageOrientation(QPageLayout::Portrait);
  pf::endAllThreads();
  pf::qt::uninstall();
  pf::resetWindowLayer();
  pf::testing::resetRuntime();
}

// Closed by the program (the asking thread is gone, the program ends) rather than by the
// user: the dialog goes, and the printer keeps what it had.
TEST(QtDialogs, PrinterSetupClosedByTheProgramGoes) {
  app();
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
  pf::qt::install(false);
  pf::qt::printer().setPageOrientation(QPageLayout::Portrait);
  int answer = -1;
  pf::start([&answer] { answer = pf::printerSetup(); }, 25000);
  bool seen = false;
  std::function<void()> poll = [&] {
    QPageSetupDialog* d = openPageSetup();
    if (!d) {
      QTimer::singleShot(20, poll);
      return;
    }
    seen = true;
    for (QRadioButton* r : d->findChildren<QRadioButton*>())
      if (r->text() == "Landscape") r->click();
    for (pf::Dialog* open : pf::openDialogs()) pf::answerDialog(open->id, 0);
  };
  QTimer::singleShot(20, poll);
  pf::qt::pump(10000, [&] { return answer != -1; });
  pf::qt::pump(50);
  EXPECT_TRUE(seen);
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(openPageSetup(), nullptr);
  EXPECT_EQ(pf::qt::printer().pageLayout().orientation(), QPageLayout::Portrait);
  pf::endAllThreads();
  pf::qt::uninstall();
  pf::resetWindowLayer();
  pf::testing::resetRuntime();
}

}  // namespace
