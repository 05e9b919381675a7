// Drop lists and combos over the category file: loading, the first row by default,
// typed entries, duplicates.
#include <gtest/gtest.h>

#include "data/access.h"
#include "platform/classes/browse_manager.h"
#include "platform/ui/layout.h"
#include "tests/sites/sites_fixture.h"

namespace {

const char* Layout = R"(
window DropTest plain "Drop test" size 200,120
  droplist ?LIST at 10,10 size 80,12 drop 6 format "80L(2)|M@s25@"
  dropcombo ?COMBO at 10,30 size 80,12 drop 6 format "80L(2)|M@s25@"
  entry ?OTHER at 10,50 size 80,10
  button ?CLOSE "Close" at 10,70 size 40,14
end
)";

struct Options {
  std::uint8_t listDefaultFill = 1;
  std::uint8_t comboDefaultFill = 0;
  std::uint8_t removeDuplicates = 0;
  std::uint8_t completion = 0;
};

std::string listTarget, comboTarget, other;
pf::String<25> comboUse;
Options options;
std::string bufferAfterLoad;

class DropWindow : public pf::WindowController {
 public:
  DropWindow() : WindowController("DropTest") {}
  std::uint8_t Setup() override {
    if (auto rc = SetupBegin()) return rc;
    WindowAddButton(win().feq("?CLOSE"), pf::Response::Cancelled);
    SetupFiles({&Relate_Category()});
    win().bind(win().feq("?OTHER"), pf::use(other));
    OpenWindow();
    list.DropListInit(win().feq("?LIST"), listView, Relate_Category(), *this);
    list.ViewAddSortOrder(&CAT_CatKey());
    list.DropAddDisplayField(pf::use(CAT->CATEGORY));
    list.DropAddUpdateField(pf::use(CAT->CATEGORY), pf::use(listTarget));
    list.DEFAULTFILL = options.listDefaultFill;
    WindowAddComponent(list);
    combo.DropComboInit(pf::use(comboUse), win().feq("?COMBO"), comboView, Relate_Category(), *this, 0, 0, 0);
    combo.ENTRYCOMPLETION = options.completion;
    combo.DropAddDisplayField(pf::use(CAT->CATEGORY));
    combo.DropAddUpdateField(pf::use(CAT->CATEGORY), pf::use(comboTarget));
    combo.INITSYNCPAIR = 0;
    combo.DEFAULTFILL = options.comboDefaultFill;
    combo.REMOVEDUPLICATESFLAG = options.removeDuplicates;
    WindowAddComponent(combo);
    SetupEnd();
    return 0;
  }
  std::uint8_t OnEvent() override {
    std::uint8_t rc = WindowController::OnEvent();
    if (win().event() == pf::EVENT::OpenWindow) bufferAfterLoad = CAT->CATEGORY.clip();
    return rc;
  }
  pf::View listView{Category()};
  pf::View comboView{Category()};
  pf::DropListLookup list;
  pf::DropComboLookup combo;
};

class DropTest : public qbtest::SitesTest {
 protected:
  void SetUp() override {
    qbtest::SitesTest::SetUp();
    pf::registerLayout("DropTest", Layout);
    listTarget = comboTarget = other = "";
    comboUse = "";
    options = Options{};
  }
  void open() {
    d.start([] {
      DropWindow w;
      w.Execute();
    });
  }
  std::vector<std::string> shown(const char* control) {
    std::vector<std::string> out;
    for (const auto& r : d.rows(control)) out.push_back(pf::trim(r[0]));
    return out;
  }
};

TEST_F(DropTest, LoadingAndTheFirstRow) {
  // Read in record order; the combo orders its rows itself, letter case ignored.
  qbtest::addCategories({"zebra", "Apple", "mango"});
  listTarget = "No such";
  comboTarget = "No such";
  comboUse = "No such";
  open();
  EXPECT_EQ(shown("?LIST"), (std::vector<std::string>{"All Categories", "Apple", "Default", "mango", "News",
                                                       "Shops", "Travel", "zebra"}));
  EXPECT_EQ(shown("?COMBO"), shown("?LIST"));
  // The drop list takes its first row at once; the combo chooses nothing.
  EXPECT_EQ(listTarget, "All Categories");
  EXPECT_EQ(d.text("?COMBO"), "");
  EXPECT_EQ(comboTarget, "No such");
  EXPECT_EQ(bufferAfterLoad, "");
}

TEST_F(DropTest, CurrentValueIsChosen) {
  listTarget = "Shops";
  comboUse = "News";
  open();
  EXPECT_EQ(d.selected("?LIST"), 4);
  EXPECT_EQ(listTarget, "Shops");
  EXPECT_EQ(d.text("?COMBO"), "News");
  EXPECT_EQ(comboTarget, "News");
}

TEST_F(DropTest, TypedEntries) {
  open();
  struct Case {
    const char* typed;
    const char* shown;
    const char* target;
  } cases[] = {
      {"sho", "Shops", "Shops"},
      {"TRAVEL", "Travel", "Travel"},
      {"Nothing like it", "", ""},   // no ask procedure: chosen nothing, emptied
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    comboTarget = "before";
    d.enter("?COMBO", c.typed);
    EXPECT_EQ(d.text("?COMBO"), c.shown);
    EXPECT_EQ(comboTarget, c.target);
  }
  d.pick("?COMBO", "Default");
  EXPECT_EQ(comboTarget, "Default");
}

// Each keystroke completes the text from the list, the completing part selected so that
// the next key types over it; a text no row begins with stays as typed.
TEST_F(DropTest, TypingCompletesFromTheList) {
  options.completion = 1;
  open();
  struct Step {
    const char* keys;    // typed, or a key to press
    const char* shown;
    const char* selected;
    const char* target;
  } steps[] = {
      {"s", "Shops", "hops", "Shops"},
      {"x", "Sx", "", "Shops"},
      // After a text that matched nothing one keystroke passes before completion resumes.
      {"Backspace", "S", "", "Shops"},
      {"h", "Shops", "ops", "Shops"},
      // Backspace over a completion takes back the last typed letter.
      {"Backspace", "Shops", "hops", "Shops"},
      {"Backspace", "S", "", "Shops"},
      {"Backspace", "", "", "Shops"},
      {"t", "Travel", "ravel", "Travel"},
      {"R", "Travel", "avel", "Travel"},
      {"Right", "Travel", "", "Travel"},
  };
  d.focus("?COMBO");
  for (const Step& s : steps) {
    SCOPED_TRACE(s.keys);
    std::string k = s.keys;
    if (k == "Backspace" || k == "Right") d.press(k);
    else d.typeKeys("?COMBO", k);
    pf::Window& w = d.window();
    int f = w.feq("?COMBO");
    std::string text = w.text(f);
    auto from = static_cast<std::size_t>(w.propInt(f, pf::Prop::SelStart));
    auto to = static_cast<std::size_t>(w.propInt(f, pf::Prop::SelEnd));
    EXPECT_EQ(text, s.shown);
    EXPECT_EQ(text.substr(from, to - from), s.selected);
    EXPECT_EQ(comboTarget, s.target);
  }
  d.press("Tab");
  EXPECT_EQ(d.text("?COMBO"), "Travel");
  EXPECT_EQ(comboUse.clip(), "Travel");
  // Coming back selects the whole text, so that typing replaces it.
  d.typeKeys("?COMBO", "n");
  EXPECT_EQ(d.text("?COMBO"), "News");
  EXPECT_EQ(comboTarget, "News");
}

TEST_F(DropTest, DuplicatesLeftOut) {
  qbtest::addCategories({"news", "Shops"});
  options.removeDuplicates = 1;
  open();
  EXPECT_EQ(shown("?COMBO"), (std::vector<std::string>{"All Categories", "Default", "News", "Shops", "Travel"}));
  EXPECT_EQ(shown("?LIST").size(), 7u);
}

}  // namespace
