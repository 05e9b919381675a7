// The text viewer hosted by a small window of its own, with find and print enabled.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/classes/error_manager.h"
#include "platform/classes/text_viewer.h"
#include "platform/ui/keys.h"
#include "platform/ui/layout.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/window.h"
#include "tests/support/temp_dir.h"

namespace {

// What a window hosting the viewer does, without the window controller around it.
void viewerWindow(pf::TextSearcher* searcher, std::vector<std::string>* listAfterKill,
                  pf::TextViewer** running = nullptr) {
  pf::Window w("ViewerHost");
  pf::LineFile file;
  pf::TextViewer viewer;
  if (running) *running = &viewer;
  w.open();
  int list = w.feq("?LIST");
  if (!viewer.TextViewerInit(file, "lines.txt", w, list, pf::AppErrors,
                             pf::TextViewerFlag::Find | pf::TextViewerFlag::Print))
    return;
  if (searcher) viewer.TextViewerSetSearcher(*searcher);
  w.select(list);
  while (w.accept()) {
    if (w.event() == pf::EVENT::CloseWindow) {
      viewer.TextViewerKill();
      if (listAfterKill) {
        listAfterKill->push_back(w.propText(list, pf::Prop::Format));
        listAfterKill->push_back(std::to_string(w.rowCount(list)));
        listAfterKill->push_back(std::to_string(w.propInt(list, pf::Prop::Immediate)));
      }
      continue;
    }
    if (w.field() == list) viewer.TextViewerTakeEvent(w.event());
  }
}

class TextViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pf::registerLayout("ViewerHost", R"(
window ViewerHost plain "Lines" size 200,120
  list ?LIST at 4,4 size 192,100 format "50L(2)|M~Old~@s20@"
end
)");
    pf::AppErrors.init();
    std::ofstream out("lines.txt", std::ios::binary);
    for (int i = 1; i <= 40; ++i) out << "line\t" << i << "\n";
  }
  qbtest::TempDir dir;
};

TEST_F(TextViewerTest, PrintHandsTheChosenLinesOn) {
  std::vector<pf::TextPrintJob> jobs;
  pf::setTextPrintSink([&](const pf::TextPrintJob& job) {
    jobs.push_back(job);
    return true;
  });
  pf::TestDriver d;
  d.start([] { viewerWindow(nullptr, nullptr); });
  EXPECT_EQ(d.rows("?LIST").front().front(), "line    1") << "tabs line up";
  auto print = [&](const std::string& first, const std::string& last) {
    d.focus("?LIST");
    d.press("MouseRight");
    d.answer("&Print");
    ASSERT_EQ(d.window().caption(), "Print");
    if (!first.empty()) {
      d.pick("?Range", "Lines");
      d.type("?FirstLine", first);
      d.type("?LastLine", last);
    }
    d.click("?Print");
  };
  print("", "");
  print("39", "99");
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].lines.size(), 40u);
  EXPECT_EQ(jobs[0].title, "lines.txt");
  EXPECT_EQ(jobs[1].firstLine, 39);
  EXPECT_EQ(jobs[1].lines, (std::vector<std::string>{"line\t39", "line\t40"}));
  pf::setTextPrintSink({});
}

TEST_F(TextViewerTest, UsesTheWindowsOwnSearcherAndGivesTheListBack) {
  struct Recording : pf::TextSearcher {
    int asked = 0;
    void Ask(pf::TextViewer& viewer) override {
      ++asked;
      what = "\t3";
      viewer.showLine(Next(viewer, 0), true);
    }
  } searcher;
  std::vector<std::string> after;
  pf::TestDriver d;
  d.start([&] { viewerWindow(&searcher, &after); });
  d.focus("?LIST");
  d.press("MouseRight");
  d.answer("&Find");
  EXPECT_EQ(searcher.asked, 1);
  int row = d.selected("?LIST");
  ASSERT_GE(row, 1);
  EXPECT_EQ(d.rows("?LIST")[static_cast<std::size_t>(row - 1)].front(), "line    3");
  d.closeBox();
  EXPECT_EQ(after, (std::vector<std::string>{"50L(2)|M~Old~@s20@", "0", "0"}));
}

// One line of 10 MB: shown wrapped into rows of at most a record, read a record at a time;
// what the viewer holds stays small however long the line is.
TEST_F(TextViewerTest, AHugeLineWrapsAndKeepsMemoryFlat) {
  const std::string word = "lorem ";
  const std::size_t words = 10 * 1024 * 1024 / word.size();
  {
    std::ofstream out("lines.txt", std::ios::binary);
    out << "first\n";
    for (std::size_t i = 0; i < words; ++i) out << word;
    out << "needle\nlast\n";
  }
  pf::TextViewer* viewer = nullptr;
  pf::TestDriver d;
  d.start([&] { viewerWindow(nullptr, nullptr, &viewer); });
  ASSERT_NE(viewer, nullptr);
  auto rows = [&] {
    std::vector<std::string> out;
    for (const auto& r : d.rows("?LIST")) out.push_back(r.front());
    return out;
  };
  auto everyRowFits = [&] {
    for (const auto& r : rows()) EXPECT_LE(r.size(), 255u);
  };
  ASSERT_GE(rows().size(), 3u);
  EXPECT_EQ(rows()[0], "first");
  EXPECT_EQ(rows()[1].rfind("lorem lorem", 0), 0u);
  everyRowFits();

  d.focus("?LIST");
  d.press("Ctrl+PgDn");
  ASSERT_EQ(rows().back(), "last");
  EXPECT_EQ(rows()[rows().size() - 2].substr(rows()[rows().size() - 2].size() - 12), "lorem needle")
      << "the line's end is the row before the next line";
  everyRowFits();
  std::int64_t count = viewer->lineCount();
  EXPECT_GT(count, static_cast<std::int64_t>(words * word.size() / 255));

  pf::TextSearcher find;
  find.what = "needle";
  std::int64_t found = find.Next(*viewer, 0);
  EXPECT_EQ(found, count - 1);
  find.up = true;
  EXPECT_EQ(find.Next(*viewer, 0), 0) << "nothing above the first line";
  EXPECT_EQ(find.Next(*viewer, count), found);
  d.press("Ctrl+PgUp");
  EXPECT_EQ(rows()[0], "first");
  EXPECT_LT(viewer->heldBytes(), 64u * 1024) << "an index and a block of lines, not the line";
}

}  // namespace
