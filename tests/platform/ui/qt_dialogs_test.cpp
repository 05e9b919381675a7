// The Qt view's dialogs, offscreen, answered through their own widgets.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QSpinBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "platform/runtime/testing.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace {

QApplication& app() { return qbtest::qtApp(); }

QPrintDialog* openPrintDialog() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QPrintDialog*>(w); d && d->isVisible()) return d;
  return nullptr;
}

// Picks Print to File (PDF) into `file` (or leaves the printer as shown when empty) and the
// copies, the way the user does in the dialog's own fields.
void fillIn(QPrintDialog* d, const QString& file, int copies) {
  if (!file.isEmpty()) {
    if (auto* printers = d->findChild<QComboBox*>("printers"))
      printers->setCurrentIndex(printers->findText("Print to File (PDF)"));
    if (auto* name = d->findChild<QLineEdit*>("filename")) name->setText(file);
  }
  if (auto* spin = d->findChild<QSpinBox*>("copies")) spin->setValue(copies);
}

// The printer set-up is the print dialog: a printer or Print to File (PDF), and the copies.
// OK answers 1 and keeps the choice for the reports (on the printer they print on and in the
// model); Cancel answers 0 and leaves both as they were. From the File menu nothing prints,
// so its OK reads "OK"; when a print waits on it, "Print".
TEST(QtDialogs, PrinterSetupKeepsWhatOkChose) {
  app();
  qbtest::TempDir dir;
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
  pf::qt::install(false);
  QPrinter& printer = pf::qt::printer();
  struct Case {
    const char* file;
    int copies;
    bool printing;
    QDialogButtonBox::StandardButton button;
    int answer;
    const char* fileAfter;
    int copiesAfter;
    const char* okText;
  } cases[] = {
      {"a.pdf", 2, false, QDialogButtonBox::Ok, 1, "a.pdf", 2, "OK"},
      {"b.pdf", 3, false, QDialogButtonBox::Cancel, 0, "a.pdf", 2, "OK"},
      {"c.pdf", 1, true, QDialogButtonBox::Ok, 1, "c.pdf", 1, "&Print"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    int answer = -1;
    QStringList buttons;
    QString okText;
    bool blocksOthers = true;
    const bool printing = c.printing;
    pf::start([&answer, printing] { answer = pf::printerSetup(printing); }, 25000);
    std::function<void()> poll = [&] {
      QPrintDialog* d = openPrintDialog();
      if (!d) {
        QTimer::singleShot(20, poll);
        return;
      }
      for (QPushButton* b : d->findChildren<QPushButton*>()) buttons << b->text();
      // Only its own program thread waits on it: Qt blocks no other window (a browse in the frame).
      blocksOthers = d->windowModality() != Qt::NonModal || QApplication::activeModalWidget() != nullptr;
      fillIn(d, QString::fromStdString(dir.file(c.file)), c.copies);
      if (auto* box = d->findChild<QDialogButtonBox*>()) {
        if (QPushButton* ok = box->button(QDialogButtonBox::Ok)) okText = ok->text();
        if (QPushButton* b = box->button(c.button)) b->click();
      }
    };
    QTimer::singleShot(20, poll);
    pf::qt::pump(10000, [&] { return answer != -1; });
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(okText.toStdString(), c.okText);
    EXPECT_FALSE(blocksOthers);
    EXPECT_EQ(pf::printerChoice().file, dir.file(c.fileAfter));
    EXPECT_EQ(pf::printerChoice().copies, c.copiesAfter);
    EXPECT_EQ(printer.outputFileName().toStdString(), dir.file(c.fileAfter));
    if (!c.printing) EXPECT_TRUE(buttons.filter("Print").isEmpty()) << buttons.join(", ").toStdString();
    pf::qt::pump(50);
    EXPECT_EQ(openPrintDialog(), nullptr);
  }
  pf::endAllThreads();
  pf::qt::uninstall();
  pf::resetWindowLayer();
  pf::testing::resetRuntime();
}

// Closed by the program (the asking thread is gone, the program ends) rather than by the
// user: the dialog goes, and the printer and the choice keep what they had.
TEST(QtDialogs, PrinterSetupClosedByTheProgramGoes) {
  app();
  qbtest::TempDir dir;
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
  pf::qt::install(false);
  int answer = -1;
  pf::start([&answer] { answer = pf::printerSetup(); }, 25000);
  bool seen = false;
  std::function<void()> poll = [&] {
    QPrintDialog* d = openPrintDialog();
    if (!d) {
      QTimer::singleShot(20, poll);
      return;
    }
    seen = true;
    fillIn(d, QString::fromStdString(dir.file("gone.pdf")), 4);
    for (pf::Dialog* open : pf::openDialogs()) pf::answerDialog(open->id, 0);
  };
  QTimer::singleShot(20, poll);
  pf::qt::pump(10000, [&] { return answer != -1; });
  pf::qt::pump(50);
  EXPECT_TRUE(seen);
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(openPrintDialog(), nullptr);
  EXPECT_EQ(pf::qt::printer().outputFileName().toStdString(), "");
  EXPECT_EQ(pf::printerChoice().file, "");
  EXPECT_EQ(pf::printerChoice().copies, 1);
  pf::endAllThreads();
  pf::qt::uninstall();
  pf::resetWindowLayer();
  pf::testing::resetRuntime();
}

}  // namespace
