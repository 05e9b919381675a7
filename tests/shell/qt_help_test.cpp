// The help window over our own pages, on the Qt view (offscreen): F1 topics and keyword
// look-ups open their page, the contents tree follows, the index and the search find
// pages, Back and Forward walk the pages seen. With QB_SCREENSHOTS set to a folder, a
// picture of the window is saved there to be looked at.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include <cstdlib>
#include <string>

#include "platform/classes/help_controller.h"
#include "platform/os/help_window.h"
#include "platform/ui/keys.h"
#include "shell/main_program.h"
#include "tests/support/qt_desktop.h"

namespace {

class QtHelp : public ::testing::Test {
 protected:
  void SetUp() override {
    qb::registerHelp();
    pf::installQtHelpViewer();
    ASSERT_EQ(help.HelpInit("Linkvue.chm", pf::Key::F12), 1);
  }
  void TearDown() override {
    help.HelpKill();
    pf::closeQtHelpViewer();
    pf::setHelpViewer(nullptr);
  }

  template <typename T>
  T* part(const char* name) {
    QWidget* w = pf::qtHelpWindow();
    return w ? w->findChild<T*>(name) : nullptr;
  }
  QTextBrowser* page() { return part<QTextBrowser>("page"); }
  std::string title() { return page() ? page()->documentTitle().toStdString() : std::string(); }
  std::string treeItem() {
    QTreeWidget* t = part<QTreeWidget>("contents");
    return t && t->currentItem() ? t->currentItem()->text(0).toStdString() : std::string();
  }
  QAction* action(const char* name) { return part<QAction>(name); }

  qbtest::QtApp app;
  pf::HelpController help;
};

TEST_F(QtHelp, TopicsAndKeywordsOpenTheirPageInOneWindow) {
  struct Case {
    const char* what;
    std::function<void(pf::HelpController&)> ask;
    const char* title;   // of the page shown; the contents tree shows the same page
  } cases[] = {
      {"contents", [](auto& h) { h.HelpShowContents(); }, "Quillbox Help"},
      {"Maintenance menu", [](auto& h) { h.HelpShowTopic("Program defaults.htm"); }, "Program defaults"},
      {"category picker", [](auto& h) { h.HelpShowTopic("Win_SelectCategory.htm"); }, "Select a category"},
      {"link dialogs", [](auto& h) { h.HelpShowTopic("Win_QuickLink.htm"); }, "Link to a website not on file"},
      {"tour", [](auto& h) { h.HelpKeywordLookup("Browse websites tour", "Help Topic", "Not Found"); },
       "Browse websites tour"},
      {"form", [](auto& h) { h.HelpKeywordLookup("Edit a website", "Not found", "Help Topic"); }, "Edit a website"},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.what);
    c.ask(help);
    QWidget* w = pf::qtHelpWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->parentWidget(), nullptr) << "owned by no program window";
    EXPECT_EQ(title(), c.title);
  }();
  int windows = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) windows += w->objectName() == "helpWindow";
  EXPECT_EQ(windows, 1);
  EXPECT_EQ(pf::qtHelpWindow()->windowTitle().toStdString(), "Quillbox Help");

  // The contents tab comes forward for the contents; the tree marks the page shown.
  part<QTabWidget>("tabs")->setCurrentIndex(2);
  help.HelpShowContents();
  EXPECT_EQ(part<QTabWidget>("tabs")->currentIndex(), 0);
  EXPECT_EQ(treeItem(), "Quillbox Help");
  help.HelpShowTopic("edit_category.htm");
  EXPECT_EQ(treeItem(), "Edit a category");
  help.HelpShowTopic("nowhere.htm");
  EXPECT_EQ(title(), "");
  EXPECT_TRUE(page()->toPlainText().contains("nowhere.htm")) << "a missing page says so";
}

TEST_F(QtHelp, ContentsIndexAndSearchFindPages) {
  help.HelpShowContents();
  // The contents: a click on an entry opens its page.
  QTreeWidget* tree = part<QTreeWidget>("contents");
  ASSERT_NE(tree, nullptr);
  auto found = tree->findItems("Printing reports", Qt::MatchExactly | Qt::MatchRecursive);
  ASSERT_EQ(found.size(), 1);
  tree->scrollToItem(found[0]);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(found[0]).center());
  EXPECT_EQ(title(), "Printing reports");

  // The index: typing picks the first keyword from the text on, Enter shows its page.
  part<QTabWidget>("tabs")->setCurrentIndex(1);
  QLineEdit* entry = part<QLineEdit>("indexEntry");
  QListWidget* index = part<QListWidget>("index");
  ASSERT_TRUE(entry && index);
  struct Typed {
    const char* text;
    const char* keyword;
  } typed[] = {{"rena", "Rename a category"}, {"EDIT A W", "Edit a website"}, {"bac", "Backup"}};
  for (const auto& t : typed) [&] {
    SCOPED_TRACE(t.text);
    entry->clear();
    QTest::keyClicks(entry, t.text);
    ASSERT_NE(index->currentItem(), nullptr);
    EXPECT_EQ(index->currentItem()->text().toStdString(), t.keyword);
  }();
  entry->clear();
  QTest::keyClicks(entry, "rena");
  QTest::keyClick(entry, Qt::Key_Return);
  EXPECT_EQ(title(), "Edit a category");

  // The search: pages that hold the words, most hits first; the word is marked.
  part<QTabWidget>("tabs")->setCurrentIndex(2);
  QLineEdit* words = part<QLineEdit>("searchEntry");
  QListWidget* results = part<QListWidget>("searchResults");
  ASSERT_TRUE(words && results);
  QTest::keyClicks(words, "clipboard");
  QTest::keyClick(words, Qt::Key_Return);
  ASSERT_GE(results->count(), 1);
  EXPECT_EQ(results->item(0)->text().toStdString(), "Browse websites tour");
  QTest::mouseClick(part<QPushButton>("searchShow"), Qt::LeftButton);
  EXPECT_EQ(title(), "Browse websites tour");
  EXPECT_EQ(page()->textCursor().selectedText().toLower().toStdString(), "clipboard");
  words->clear();
  QTest::keyClicks(words, "zebra");
  QTest::mouseClick(part<QPushButton>("searchGo"), Qt::LeftButton);
  ASSERT_EQ(results->count(), 1);
  EXPECT_EQ(results->item(0)->text().toStdString(), "No topics found.");
  EXPECT_FALSE(results->item(0)->flags() & Qt::ItemIsEnabled);
}

TEST_F(QtHelp, BackAndForwardWalkThePagesSeen) {
  help.HelpShowContents();
  EXPECT_FALSE(action("back")->isEnabled());
  // A link in the page, a topic asked by a window, the contents button.
  emit page()->anchorClicked(QUrl("tour.htm"));
  EXPECT_EQ(title(), "Browse websites tour");
  emit page()->anchorClicked(QUrl("add_website.htm"));
  help.HelpShowTopic("Win_QuickLink.htm");
  action("home")->trigger();
  EXPECT_EQ(title(), "Quillbox Help");

  std::vector<std::string> walked;
  for (const char* a : {"back", "back", "back", "forward", "back", "back", "back"}) {
    QAction* act = action(a);
    if (!act->isEnabled()) {
      walked.push_back(std::string(a) + " off");
      continue;
    }
    act->trigger();
    walked.push_back(title());
  }
  EXPECT_EQ(walked, (std::vector<std::string>{"Link to a website not on file", "Add a new website",
                                              "Browse websites tour", "Add a new website",
                                              "Browse websites tour", "Quillbox Help", "back off"}));
  EXPECT_TRUE(action("forward")->isEnabled());

  if (const char* folder = std::getenv("QB_SCREENSHOTS")) {
    help.HelpShowTopic("tour.htm");
    pf::qtHelpWindow()->grab().save(QString(folder) + "/help_contents.png");
    part<QTabWidget>("tabs")->setCurrentIndex(1);
    QTest::keyClicks(part<QLineEdit>("indexEntry"), "edit");
    pf::qtHelpWindow()->grab().save(QString(folder) + "/help_index.png");
    part<QTabWidget>("tabs")->setCurrentIndex(2);
    QTest::keyClicks(part<QLineEdit>("searchEntry"), "website");
    QTest::keyClick(part<QLineEdit>("searchEntry"), Qt::Key_Return);
    pf::qtHelpWindow()->grab().save(QString(folder) + "/help_search.png");
  }
}

}  // namespace
