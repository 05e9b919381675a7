// The two link dialogs, played by a user: pasting, opening, closing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classes/error_manager.h"
#include "platform/classes/ini_manager.h"
#include "platform/classes/window_controller.h"
#include "platform/os/desktop.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/ui.h"
#include "shell/main_program.h"
#include "sites/link_dialogs.h"
#include "tests/support/temp_dir.h"

namespace qbtest {
namespace {

class LinkDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    pf::AppErrors.init();
    pf::AppIni.init("Linkvue.ini");
    qb::installThreadHooks();
    pf::setDesktopShell(&shell);
  }
  void TearDown() override {
    pf::setDesktopShell(nullptr);
    pf::AppIni.kill();
  }
  std::string box() { return d.box() ? d.box()->message.caption + ": " + d.box()->message.text : ""; }

  TempDir dir;
  pf::RecordingDesktopShell shell;
  pf::TestDriver d;
};

struct PasteCase {
  const char* name;
  std::string before;      // already in the field
  std::string clipboard;
  const char* answer;      // to the overwrite question; null when none is asked
  std::string boxCaption;  // the refusal or question shown first ("" none)
  std::string after;       // the field afterwards
  const char* focus;
};


TEST_F(LinkDialogs, OtherLinkPasteRules) {
  const std::string l254(254, 'a'), l255(255, 'b');
  const PasteCase cases[] = {
      {"empty clipboard", "", "", nullptr, "Clipboard empty...", "", "?LOC:URL"},
      {"blanks only", "x", "    ", nullptr, "Clipboard empty...", "x", "?LOC:URL"},
      {"into empty field", "", "http://a.org", nullptr, "", "http://a.org", "?LINKBUT"},
      {"254 taken whole", "", l254, nullptr, "", l254, "?LINKBUT"},
      {"255 refused", "old", l255, nullptr, "255 Characters Max...", "old", "?LOC:URL"},
      {"trailing blanks ignored", "", l254 + "   ", nullptr, "", l254, "?LINKBUT"},
      {"overwrite", "http://www.", "http://b.org", "&Overwrite", "URL field is not empty...", "http://b.org",
       "?LINKBUT"},
      {"cancel keeps", "http://old.org", "http://b.org", "&Cancel", "URL field is not empty...", "http://old.org",
       "?LOC:URL"},
  };
  d.start(qb::Win_OtherLink);
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.name);
    d.enter("?LOC:URL", c.before);
    pf::setClipboard(c.clipboard);
    d.click("?PASTEBUT");
    if (!c.boxCaption.empty()) {
      ASSERT_NE(d.box(), nullptr);
      EXPECT_EQ(d.box()->message.caption, c.boxCaption);
      d.answer(c.answer ? c.answer : "&OK");
    }
    EXPECT_EQ(d.box(), nullptr) << box();
    EXPECT_EQ(d.text("?LOC:URL"), c.after);
    EXPECT_EQ(d.focused(), c.focus);
  }();
  EXPECT_TRUE(shell.opened.empty());
}

TEST_F(LinkDialogs, EmailPasteLimitIs85Kept84) {
  d.start(qb::Win_EmailLink);
  pf::setClipboard(std::string(86, 'm'));
  d.click("?PASTEBUT");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.caption, "85 Characters Max...");
  EXPECT_EQ(d.box()->message.text,
            "The text being pasted is to long for this entry field.||Please e-mail from your e-mail program.");
  d.answer(1);
  EXPECT_EQ(d.text("?LOC:EMAIL"), "");
  pf::setClipboard(std::string(85, 'n'));
  d.click("?PASTEBUT");
  EXPECT_EQ(d.box(), nullptr) << box();
  EXPECT_EQ(d.text("?LOC:EMAIL"), std::string(84, 'n'));
  pf::setClipboard("me@example.org");
  d.click("?PASTEBUT");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "Do you want to overwrite the existing e-mail address?");
  EXPECT_EQ(d.box()->message.caption, "Field is not empty...");
  d.answer("&Overwrite");
  EXPECT_EQ(d.text("?LOC:EMAIL"), "me@example.org");
}

TEST_F(LinkDialogs, GoToWebsiteChecksAndStaysOpen) {
  int response = -1;
  d.start([&] {
    qb::Win_OtherLink();
    response = pf::GLO_Response();
  });
  d.click("?LINKBUT");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "No website address (URL) entered.");
  EXPECT_EQ(d.box()->message.caption, "No URL...");
  d.answer(1);
  EXPECT_EQ(d.focused(), "?LOC:URL");
  EXPECT_TRUE(shell.opened.empty());

  struct Case {
    const char* typed;
    bool warned;
  };
  const Case cases[] = {{"http://a.org  ", false}, {"www.b.org", true}, {"HTTP://C.ORG", true}};
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.typed);
    d.enter("?LOC:URL", c.typed);
    d.click("?LINKBUT");
    if (c.warned) {
      ASSERT_NE(d.box(), nullptr);
      EXPECT_EQ(d.box()->message.text, "This URL does not appear to be a correct website link?");
      EXPECT_EQ(d.box()->message.caption, "This link may not work!");
      d.answer(1);
    }
    EXPECT_EQ(d.box(), nullptr) << box();
    EXPECT_EQ(d.window().name(), "Win_OtherLink");
  }();
  // Handed on without trailing blanks; the desktop layer decides what it opens.
  ASSERT_EQ(shell.opened.size(), 3u);
  EXPECT_EQ(shell.opened[0], "http://a.org");
  d.click("?CLOSE");
  EXPECT_TRUE(d.windows().empty());
  EXPECT_EQ(response, pf::Response::Cancelled);
}

TEST_F(LinkDialogs, EmailWithAndWithoutAddress) {
  int response = -1;
  d.start([&] {
    qb::Win_EmailLink();
    response = pf::GLO_Response();
  });
  EXPECT_EQ(d.focused(), "?LINKBUT");
  d.click("?LINKBUT");
  d.enter("?LOC:EMAIL", "me@example.org ");
  d.click("?LINKBUT");
  EXPECT_EQ(d.box(), nullptr) << box();
  EXPECT_EQ(shell.opened, (std::vector<std::string>{"mailto:", "mailto:me@example.org"}));
  EXPECT_EQ(d.window().name(), "Win_EmailLink");
  d.closeBox();
  EXPECT_TRUE(d.windows().empty());
  EXPECT_EQ(response, pf::Response::Cancelled);
}

}  // namespace
}  // namespace qbtest
