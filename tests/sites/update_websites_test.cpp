// The website form: its checks on OK in order, the dates it sets, the address rules,
// the address and notes buttons, and its category list.
#include <gtest/gtest.h>
#include <ostream>
#include <string>

#include "data/access.h"
#include "shell/procedures.h"
#include "sites/update_websites.h"
#include "tests/sites/sites_fixture.h"

namespace {

using qbtest::Site;

class FormTest : public qbtest::SitesTest {
 protected:
  void TearDown() override {
    qb::setProcedure(qb::Proc::UpdateCategory, {});
    qbtest::SitesTest::TearDown();
  }
  // Opens the form for `request`: a new record, or the first website on file.
  void openForm(std::uint8_t request) {
    d.start([this, request] {
      if (request == pf::Request::Insert) {
        Access_WSites().FilePrimeRecord();
      } else {
        Relate_WSites().RelationOpen();
        WSites().set(WEB_KeyDescription());
        WSites().next();
      }
      pf::GLO_Request() = request;
      qb::UpdateWebsites();
      response = pf::GLO_Response();
      if (request != pf::Request::Insert) Relate_WSites().RelationClose();
    });
  }
  // Every box's caption from the newest answered on, answering each with OK.
  std::vector<std::string> answerAll() {
    std::vector<std::string> out;
    while (d.box()) {
      out.push_back(d.box()->message.caption);
      d.answer(1);
    }
    return out;
  }
  int response = -1;
};

TEST_F(FormTest, OkChecksInOrder) {
  struct Case {
    const char* description;
    const char* address;
    const char* password;
    std::vector<std::string> boxes;
    const char* focus;   // empty: saved
  } cases[] = {
      // The description first, even when the address is missing too.
      {"", "", "", {"Small problem..."}, "?WEB:DESCRIPTION"},
      {"Site", "", "", {"Small problem..."}, "?WEB:WEBADDRESS"},
      {"Site", " HTTP://WWW. ", "", {"Small problem..."}, "?WEB:WEBADDRESS"},
      // No category: the note, then the scheme warning, and saved.
      {"Site", "www.site.example", "", {"Please note...", "URL OK?"}, ""},
      {"Site", "http://site.example", "pass word", {"Please note...", "Just a point to note..."}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.description) + "|" + c.address);
    response = -1;
    openForm(pf::Request::Insert);
    d.enter("?WEB:DESCRIPTION", c.description);
    d.enter("?WEB:WEBADDRESS", c.address);
    d.enter("?WEB:PASSWORD", c.password);
    d.click("?OK");
    EXPECT_EQ(answerAll(), c.boxes);
    if (*c.focus) {
      EXPECT_EQ(d.focused(), c.focus);
      d.click("?CANCEL");
      answerAll();
      if (d.box()) d.answer("No");
    } else {
      EXPECT_EQ(response, pf::Response::Completed);
    }
    EXPECT_TRUE(d.windows().empty());
  }
  auto all = qbtest::readSites();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].CATEGORY.clip(), "Default");
  EXPECT_EQ(all[0].WEBADDRESS.str(), "www.site.example");
  EXPECT_EQ(all[0].TEXTCOLOR, 1);
}

TEST_F(FormTest, ThePasswordNoteIsForNewSitesOnly) {
  qbtest::addSites({{"Site", "http://site.example", "News", 0, 0, 0, "", "pass word"}});
  openForm(pf::Request::Change);
  EXPECT_EQ(d.window().caption(), "Edit Website");
  d.enter("?WEB:DESCRIPTION", "Site two");
  d.click("?OK");
  EXPECT_TRUE(answerAll().empty());
  EXPECT_EQ(response, pf::Response::Completed);
  auto r = qbtest::readSites()[0];
  EXPECT_EQ(r.DESCRIPTION.clip(), "Site two");
  EXPECT_EQ(r.TEXTCOLOR, 1);   // 0 is written as 1
}

TEST_F(FormTest, DatesAddedAndUpdated) {
  std::int32_t today = pf::dateToDay(2026, 12, 10);
  struct Case {
    std::int32_t added, updated;
    std::int32_t wantAdded, wantUpdated;
  } cases[] = {
      {0, 0, today, today},
      {today - 30, today - 20, today - 30, today},
      {today + 5, today - 20, today + 5, today - 20},   // a future date added keeps it
  };
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.added);
    pf::removeFile("wsites.tps");
    qbtest::addSites({{"Site", "http://site.example", "News"}});
    {
      WSitesRecord r;
      pf::File f(WSitesDesc(), &r);
      ASSERT_EQ(f.open(), 0);
      f.set();
      ASSERT_EQ(f.next(), 0);
      r.DATEADDED = c.added;
      r.DATEUPDATED = c.updated;
      ASSERT_EQ(f.put(), 0);
      f.close();
    }
    openForm(pf::Request::Change);
    d.enter("?WEB:LOGONID", "me");
    d.click("?OK");
    ASSERT_TRUE(answerAll().empty());
    auto r = qbtest::readSites()[0];
    EXPECT_EQ(r.DATEADDED.get(), c.wantAdded);
    EXPECT_EQ(r.DATEUPDATED.get(), c.wantUpdated);
  }();
}

TEST_F(FormTest, AddressLetterCase) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"HTTP://WWW.Example.COM/Path/File.HTML?Q=AbC#Top", "http://www.example.com/Path/File.HTML?Q=AbC#Top"},
      {"  https://User:PW@Host.Example:8080/X  ", "https://User:PW@host.example:8080/X"},
      {"WWW.Example.com/Docs", "www.example.com/Docs"},
      {"Mailto:Joe.Bloggs@Mail.Example", "mailto:Joe.Bloggs@mail.example"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(qb::normaliseAddress(c.in), c.out) << c.in;
  EXPECT_TRUE(qb::addressMissing("   "));
  EXPECT_TRUE(qb::addressMissing(" Http://Www. "));
  EXPECT_FALSE(qb::addressMissing("http://www.x"));

  // Typed into the field, the address changes as soon as the field is left.
  openForm(pf::Request::Insert);
  d.enter("?WEB:WEBADDRESS", "HTTP://Shop.Example/Cart");
  EXPECT_EQ(d.text("?WEB:WEBADDRESS"), "http://shop.example/Cart");
  d.enter("?WEB:LOGONID", "   joe");
  EXPECT_EQ(d.text("?WEB:LOGONID"), "joe");
}

TEST_F(FormTest, AddressButtons) {
  openForm(pf::Request::Insert);
  d.click("?CLEARBUT");   // nothing to clear
  EXPECT_EQ(d.box(), nullptr);
  d.click("?PRIMEBUT");
  EXPECT_EQ(d.text("?WEB:WEBADDRESS"), "http://www.");
  d.click("?PRIMEBUT");
  EXPECT_EQ(boxCaption(), "Please note...");
  d.answer(1);
  // Paste over the primed text asks first.
  pf::setClipboard("HTTP://Pasted.Example");
  d.click("?PASTEBUT");
  EXPECT_EQ(boxCaption(), "Field not empty...");
  d.answer("&Overwrite");
  EXPECT_EQ(d.text("?WEB:WEBADDRESS"), "HTTP://Pasted.Example");
  d.click("?CLEARBUT");
  EXPECT_EQ(boxCaption(), "Remove?");
  d.answer("&Remove");
  EXPECT_EQ(d.text("?WEB:WEBADDRESS"), "");
  struct Case {
    std::string clip;
    const char* caption;
  } cases[] = {{"   ", "Clipboard empty..."}, {std::string(255, 'a'), "255 Characters Max..."}};
  for (const Case& c : cases) {
    pf::setClipboard(c.clip);
    d.click("?PASTEBUT");
    EXPECT_EQ(boxCaption(), c.caption);
    d.answer(1);
    EXPECT_EQ(d.text("?WEB:WEBADDRESS"), "");
  }
  pf::setClipboard(std::string(254, 'b'));
  d.click("?PASTEBUT");
  EXPECT_EQ(d.box(), nullptr);
  EXPECT_EQ(d.text("?WEB:WEBADDRESS"), std::string(254, 'b'));
}

TEST_F(FormTest, NotesButtons) {
  qbtest::addSites({{"Site", "http://site.example", "News"}});
  openForm(pf::Request::Change);
  d.click("?DELNOTESBUT");
  EXPECT_EQ(boxText(), "There are no notes to delete.");
  d.answer(1);
  d.click("?ADDHISTBUT");
  std::string notes = d.text("?WEB:SITENOTES");
  EXPECT_EQ(notes.rfind(" History of Site as at: 10/12/2026\r\n", 0), 0u) << notes;
  EXPECT_NE(notes.find(" Updated:  10/12/2026\r\n"), std::string::npos);
  EXPECT_NE(notes.find(" Number of visits:  "), std::string::npos);
  d.click("?ADDHISTBUT");
  EXPECT_NE(d.text("?WEB:SITENOTES").find("\r\n\r\n\r\n\r\n History of"), std::string::npos);
  // Delete asks, Cancel first.
  d.click("?DELNOTESBUT");
  EXPECT_EQ(boxCaption(), "Please confirm...");
  d.answer("&Cancel");
  EXPECT_FALSE(d.text("?WEB:SITENOTES").empty());
  d.click("?DELNOTESBUT");
  d.answer("&Delete");
  EXPECT_EQ(boxCaption(), "Deleted in error?");
  d.answer(1);
  EXPECT_EQ(d.text("?WEB:SITENOTES"), "");
}

TEST_F(FormTest, CategoryList) {
  qbtest::addCategories({"apples"});   // out of name order in the file
  qbtest::addSites({{"Site", "http://site.example", "Gone"}});
  openForm(pf::Request::Change);
  // Every category but "All Categories", in name order whatever the case.
  std::vector<std::string> shown;
  for (const auto& r : d.rows("?CAT:CATEGORY")) shown.push_back(pf::trim(r[0]));
  EXPECT_EQ(shown, (std::vector<std::string>{"apples", "Default", "News", "Shops", "Travel"}));
  // A category no longer on file: the entry is blank and the website keeps it.
  EXPECT_EQ(d.text("?CAT:CATEGORY"), "");
  d.click("?OK");
  ASSERT_TRUE(answerAll().empty());
  EXPECT_EQ(qbtest::readSites()[0].CATEGORY.clip(), "Gone");

  // The first letters of a category choose it.
  openForm(pf::Request::Change);
  d.enter("?CAT:CATEGORY", "sh");
  EXPECT_EQ(d.text("?CAT:CATEGORY"), "Shops");
  d.click("?OK");
  EXPECT_EQ(qbtest::readSites()[0].CATEGORY.clip(), "Shops");
}

TEST_F(FormTest, AnUnknownCategoryAsksTheCategoryForm) {
  std::vector<std::string> asked;
  bool add = false;
  qb::setProcedure(qb::Proc::UpdateCategory, [&] {
    asked.push_back(CAT->CATEGORY.clip() + "/" + std::to_string(pf::GLO_Request()));
    if (add) {
      Relate_Category().RelationOpen();
      Access_Category().FileInsert();
      Relate_Category().RelationClose();
    }
    pf::GLO_Response() = add ? pf::Response::Completed : pf::Response::Cancelled;
  });
  qbtest::addSites({{"Site", "http://site.example", "News"}});
  openForm(pf::Request::Change);
  d.enter("?CAT:CATEGORY", "Zoo");
  EXPECT_EQ(asked, (std::vector<std::string>{"Zoo/1"}));
  EXPECT_EQ(d.text("?CAT:CATEGORY"), "");
  EXPECT_EQ(d.focused(), "?CAT:CATEGORY");
  add = true;
  d.enter("?CAT:CATEGORY", "Zoo");
  EXPECT_EQ(d.text("?CAT:CATEGORY"), "Zoo");
  d.click("?OK");
  EXPECT_TRUE(answerAll().empty());
  EXPECT_EQ(qbtest::readSites()[0].CATEGORY.clip(), "Zoo");
}

TEST_F(FormTest, OneFormAtATime) {
  openForm(pf::Request::Insert);
  ASSERT_EQ(d.windows().size(), 1u);
  int before = response;
  openForm(pf::Request::Insert);
  EXPECT_EQ(d.windows().size(), 1u);
  EXPECT_EQ(response, pf::Response::Cancelled);
  (void)before;
}

}  // namespace

namespace {

// Leaving the program while a changed website form is open: its save question decides.
struct ExitCase {
  const char* answer;
  bool ends;
  const char* saved;   // the description on file afterwards
};
void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.answer; }

class ExitTest : public FormTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitTest, WithAChangedForm) {
  const ExitCase& c = GetParam();
  qbtest::addSites({{"Paper", "http://p.example", "News"}});
  d.run(qb::MainProgram, [&] {
    d.choose("?BROWSESITES");
    d.click("?CHANGE:3", "BrowseWebsites");
    d.type("?WEB:DESCRIPTION", "Changed", "UpdateWebsites");
    d.choose("?EXIT", "Quillbox");
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.caption, "Save Record");
    d.answer(c.answer);
    d.advance(300);
    EXPECT_EQ(d.programEnded(), c.ends);
    if (c.ends) return;
    // The Exit is over: closing the form and the browse later leaves the frame open.
    d.closeBox("UpdateWebsites");
    d.answer("&No");
    d.click("?CLOSE", "BrowseWebsites");
    d.advance(300);
    EXPECT_FALSE(d.programEnded());
    ASSERT_EQ(d.windows().size(), 1u);
    EXPECT_EQ(d.windows()[0].name, "Main");
  });
  auto sites = qbtest::readSites();
  ASSERT_EQ(sites.size(), 1u);
  EXPECT_EQ(sites[0].DESCRIPTION.clip(), c.saved);
}

INSTANTIATE_TEST_SUITE_P(Answers, ExitTest,
                         ::testing::Values(ExitCase{"&No", true, "Paper"},
                                           ExitCase{"&Cancel", false, "Paper"},
                                           ExitCase{"&Yes", true, "Changed"}),
                         [](const ::testing::TestParamInfo<ExitCase>& info) {
                           return std::string(info.param.answer + 1);  // "&No" -> "No"
                         });

}  // namespace
