// The preview drawn by the Qt view (offscreen), and a print into a PDF. With
// QB_SCREENSHOTS set to a folder, the picture is saved there to be looked at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>

#include "data/access.h"
#include "platform/report/print.h"
#include "platform/runtime/testing.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "reports/reports.h"
#include "tests/reports/reports_fixture.h"

namespace qbtest {
namespace {

using Screens = ReportsTest;

pf::Window* named(const std::string& name) {
  for (pf::Window* w : pf::windowsInZOrder())
    if (w->name() == name) return w;
  return nullptr;
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(Screens, PreviewDrawsAndPrintsIntoPdf) {
  int argc = 1;
  char arg0[] = "screens";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  std::vector<Site> sites;
  for (int i = 0; i < 40; ++i)
    sites.push_back({"Website number " + std::to_string(10 + i), "http://www.example" +
                     std::to_string(i) + ".com/index.html", i % 2 ? "News" : "Shops", i});
  addSites(sites);
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
  pf::qt::install(false);
  pf::setPrintToFile(dir.file("report.pdf"));
  pf::start(
      [] {
        if (!HasThreadAccess()) MakeThreadAccess();
        qb::Rpt_Websites();
      },
      50000);
  pf::qt::pump(3000, [] { return !pf::openDialogs().empty(); });
  ASSERT_FALSE(pf::openDialogs().empty()) << "the options question";
  pf::answerDialog(pf::openDialogs()[0]->id, 2);
  pf::qt::pump(2000, [] { return named("Rpt_Websites") != nullptr; });
  if (pf::Window* progress = named("Rpt_Websites")) {
    QImage p = pf::qt::screenshot(progress->id());
    EXPECT_FALSE(p.isNull());
    if (const char* folder = std::getenv("QB_SCREENSHOTS"))
      p.save(QString::fromStdString(std::string(folder) + "/report_progress.png"));
  }
  pf::qt::pump(5000, [] { return named("_PreviewWindow_") != nullptr; });
  pf::Window* preview = named("_PreviewWindow_");
  ASSERT_NE(preview, nullptr);
  pf::qt::pump(300);
  QImage img = pf::qt::screenshot(preview->id());
  ASSERT_FALSE(img.isNull());
  EXPECT_GT(img.width(), 300);
  if (const char* folder = std::getenv("QB_SCREENSHOTS"))
    img.save(QString::fromStdString(std::string(folder) + "/report_preview.png"));

  preview->userPress(preview->feq("?PREVIEW:PRINTBUTTON"));
  pf::qt::pump(3000, [] { return !pf::printJobs().empty(); });
  pf::setPrintToFile("");
  ASSERT_EQ(pf::printJobs().size(), 1u);
  std::ifstream in(dir.file("report.pdf"), std::ios::binary);
  std::stringstream pdf;
  pdf << in.rdbuf();
  EXPECT_EQ(pdf.str().substr(0, 5), "%PDF-");
  EXPECT_EQ(count(pdf.str(), "/Type /Page\n") + count(pdf.str(), "/Type /Page\r") +
                count(pdf.str(), "/Type /Page "),
            2);
  pf::qt::uninstall();
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
}

template <class T>
T* shownWidget() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) return t;
  return nullptr;
}

QPushButton* button(QWidget* in, const QString& text) {
  for (QPushButton* b : in->findChildren<QPushButton*>())
    if (b->text().remove('&') == text) return b;
  return nullptr;
}

// What a command prints on its standard output.
std::string output(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// Without a printer, Print says so in a box over the preview, which stays open; from the
// box's Print Setup the user prints the report into a PDF file, which holds its pages.
TEST_F(Screens, PrintWithoutPrinterGoesIntoAPdfFromTheBox) {
  int argc = 1;
  char arg0[] = "screens";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  std::vector<Site> sites;
  for (int i = 0; i < 40; ++i)
    sites.push_back({"Website number " + std::to_string(10 + i), "http://www.example" +
                     std::to_string(i) + ".com/", "News", i});
  addSites(sites);
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
  pf::qt::install(false);
  pf::setDesktopPrinters({});
  const std::string pdf = dir.file("report.pdf");
  int thread = pf::start(
      [] {
        if (!HasThreadAccess()) MakeThreadAccess();
        qb::Rpt_Websites();
      },
      50000);
  pf::qt::pump(3000, [] { return !pf::openDialogs().empty(); });
  ASSERT_FALSE(pf::openDialogs().empty()) << "the options question";
  pf::answerDialog(pf::openDialogs()[0]->id, 1);
  pf::qt::pump(5000, [] { return named("_PreviewWindow_") != nullptr; });
  pf::Window* preview = named("_PreviewWindow_");
  ASSERT_NE(preview, nullptr);

  preview->userPress(preview->feq("?PREVIEW:PRINTBUTTON"));
  pf::qt::pump(3000, [] { return shownWidget<QMessageBox>() != nullptr; });
  QMessageBox* box = shownWidget<QMessageBox>();
  ASSERT_NE(box, nullptr);
  EXPECT_NE(box->text().toStdString().find("No printer is installed"), std::string::npos)
      << box->text().toStdString();
  if (const char* folder = std::getenv("QB_SCREENSHOTS"))
    box->grab().save(QString::fromStdString(std::string(folder) + "/print_failure.png"));
  ASSERT_NE(button(box, "Print Setup..."), nullptr);
  button(box, "Print Setup...")->click();
  pf::qt::pump(3000, [] { return shownWidget<QPrintDialog>() != nullptr; });
  QPrintDialog* setup = shownWidget<QPrintDialog>();
  ASSERT_NE(setup, nullptr);
  EXPECT_NE(named("_PreviewWindow_"), nullptr) << "the preview stays open";
  auto* printers = setup->findChild<QComboBox*>("printers");
  auto* name = setup->findChild<QLineEdit*>("filename");
  ASSERT_TRUE(printers && name);
  printers->setCurrentIndex(printers->findText("Print to File (PDF)"));
  name->setText(QString::fromStdString(pdf));
  ASSERT_NE(button(setup, "Print"), nullptr);
  button(setup, "Print")->click();
  pf::qt::pump(10000, [&] { return !pf::threadAlive(thread); });
  EXPECT_FALSE(pf::threadAlive(thread)) << "printed, the preview closes";
  ASSERT_EQ(pf::printJobs().size(), 1u);
  EXPECT_EQ(pf::printJobs()[0].output, pdf);
  struct stat st {};
  ASSERT_EQ(stat(pdf.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "it may hold the passwords";

  EXPECT_NE(output("pdfinfo '" + pdf + "'").find("Pages:           2\n"), std::string::npos)
      << output("pdfinfo '" + pdf + "' 2>&1");
  std::string page1 = output("pdftotext -f 1 -l 1 -layout '" + pdf + "' -");
  for (const char* text : {"Quillbox", "All by Description", "Website number 10", "http://www.example0.com/",
                           "Page 1"}) {
    SCOPED_TRACE(text);
    EXPECT_NE(page1.find(text), std::string::npos) << page1;
  }
  EXPECT_EQ(page1.find("Page 2"), std::string::npos);
  pf::qt::uninstall();
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
}

// A long print goes out in slices under a progress window; Cancel stops it, leaves no job
// and no half-written file.
TEST_F(Screens, PrintingShowsProgressAndCancelRemovesThePdf) {
  int argc = 1;
  char arg0[] = "screens";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  std::vector<Site> sites;
  for (int i = 0; i < 6000; ++i)
    sites.push_back({"Website number " + std::to_string(10000 + i), "http://www.example.com/" +
                     std::to_string(i), "News", i});
  addSites(sites);
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
  pf::qt::install(false);
  const std::string pdf = dir.file("report.pdf");
  pf::setPrintToFile(pdf);
  int thread = pf::start(
      [] {
        if (!HasThreadAccess()) MakeThreadAccess();
        qb::Rpt_Websites();
      },
      50000);
  pf::qt::pump(2000, [] { return !pf::openDialogs().empty(); });
  ASSERT_FALSE(pf::openDialogs().empty()) << "the options question";
  pf::answerDialog(pf::openDialogs()[0]->id, 1);
  auto counted = [] {
    pf::Window* p = named("_PreviewWindow_");
    return p && p->text(p->feq("?PREVIEW:PAGECOUNT")) == "of 207";
  };
  pf::qt::pump(20000, counted);
  ASSERT_TRUE(counted());
  pf::Window* preview = named("_PreviewWindow_");
  preview->userPress(preview->feq("?PREVIEW:PRINTBUTTON"));
  pf::qt::pump(5000, [] { return named("_PrintProgress_") != nullptr; });
  pf::Window* progress = named("_PrintProgress_");
  ASSERT_NE(progress, nullptr);
  pf::qt::pump(100);
  QImage img = pf::qt::screenshot(progress->id());
  EXPECT_FALSE(img.isNull());
  if (const char* folder = std::getenv("QB_SCREENSHOTS"))
    img.save(QString::fromStdString(std::string(folder) + "/print_progress.png"));
  ASSERT_NE(named("_PrintProgress_"), nullptr) << "still printing";
  progress->userPress(progress->feq("?PROGRESS:CANCEL"));
  pf::qt::pump(5000, [&] { return !pf::threadAlive(thread); });
  pf::setPrintToFile("");
  EXPECT_FALSE(pf::threadAlive(thread));
  EXPECT_TRUE(pf::printJobs().empty());
  EXPECT_FALSE(std::ifstream(pdf).good()) << "the cancelled PDF is removed";
  pf::qt::uninstall();
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
}

}  // namespace
}  // namespace qbtest
