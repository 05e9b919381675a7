// Two programs on one folder writing the same records: the shipped driver playing the
// user in one, another writer (this test, or a second driver) in the other. Neither
// writer's change may be lost.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "data/dictionary.h"
#include "platform/core/strings.h"
#include "platform/store/file.h"
#include "platform/store/joint_change.h"
#include "tests/support/child_process.h"
#include "tests/support/lock_holder.h"
#include "tests/support/record_files.h"
#include "tests/support/temp_dir.h"

namespace qbtest {
namespace {

using namespace std::chrono_literals;

void generate(int websites) {
  ChildProcess gen({QUILLBOX_GEN, std::to_string(websites)});
  gen.closeInput();
  ASSERT_EQ(gen.wait(), 0);
}

// The websites in description order, as the browse lists them.
std::vector<WSitesRecord> byDescription() {
  std::vector<WSitesRecord> out;
  WSitesRecord r;
  pf::File f(WSitesDesc(), &r);
  if (f.open() != 0) return out;
  f.set(WEB_KeyDescription());
  while (f.next() == 0) out.push_back(r);
  f.close();
  return out;
}

// Waits until the program has played what it was sent before its output reached `from`:
// the last action sent was "clipboard".
void waitForMarker(ChildProcess& program, std::size_t from) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (program.output().find("  clipboard:", from) == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    program.waitFor("\x01", 100);
  ASSERT_NE(program.output().find("  clipboard:", from), std::string::npos) << program.output();
}

// Plays `actions` and waits until they are done.
void play(ChildProcess& program, const std::string& actions) {
  const std::size_t from = program.output().size();
  program.send(actions + "\nclipboard");
  waitForMarker(program, from);
}

void quit(ChildProcess& program) {
  program.send("quit");
  program.closeInput();
  EXPECT_EQ(program.wait(), 0);
  EXPECT_EQ(program.output().find("user cannot"), std::string::npos) << program.output();
}

TEST(TwoWriters, ABrowseChangeThatWaitsForTheOtherWriterKeepsTheOthersChange) {
  TempDir dir;
  generate(5);
  ChildProcess browse({QUILLBOX_DRIVE, "--quiet"});
  play(browse, "row ?BROWSE:1 3");
  const WSitesRecord before = byDescription().at(2);

  // The other writer changes the same website and holds the file while the browse
  // tries to colour it.
  WSitesRecord r;
  pf::File other(WSitesDesc(), &r);
  ASSERT_EQ(other.open(), 0);
  ASSERT_EQ(other.logout(), 0);
  other.set(WEB_KeyDescription());
  for (int i = 0; i < 3; ++i) ASSERT_EQ(other.next(), 0);
  ASSERT_EQ(r.DESCRIPTION.clip(), before.DESCRIPTION.clip());
  r.VISITS = before.VISITS.get() + 100;
  r.HIGHLIGHT = before.HIGHLIGHT == 0 ? 1 : 0;
  ASSERT_EQ(other.put(), 0);
  const std::size_t from = browse.output().size();
  browse.send("click ?CLR5\nclipboard");
  ASSERT_TRUE(browse.waitFor("> click ?CLR5")) << browse.output();
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(other.commit(), 0);
  other.close();
  waitForMarker(browse, from);
  quit(browse);
  EXPECT_EQ(browse.output().find("box"), std::string::npos) << browse.output();

  const WSitesRecord after = byDescription().at(2);
  EXPECT_EQ(after.DESCRIPTION.clip(), before.DESCRIPTION.clip());
  EXPECT_EQ(after.TEXTCOLOR, 5) << "the browse's change";
  EXPECT_EQ(after.VISITS.get(), before.VISITS.get() + 100) << "the other writer's change";
  EXPECT_EQ(after.HIGHLIGHT, before.HIGHLIGHT == 0 ? 1 : 0) << "the other writer's change";
}

// What another program's writer does to the website with a description while the form of
// the driver has it open.
struct OtherWrite {
  const char* name;
  void (*write)(const std::string& description);
};

// As another program's website form saves it.
void savePasswordAndNotes(const std::string& description) {
  WSitesRecord r;
  pf::File f(WSitesDesc(), &r);
  ASSERT_EQ(f.open(), 0);
  r.DESCRIPTION = description;
  ASSERT_EQ(f.get(WEB_KeyDescription()), 0);
  r.PASSWORD = "saved-by-the-other";
  r.SiteNotes = "Notes the other program saved.";
  ASSERT_EQ(f.put(), 0);
  f.close();
}

// As another program's category form renames a category: its websites and its record.
void renameCategory(const std::string& old, const std::string& to) {
  WSitesRecord web;
  CategoryRecord cat;
  pf::File w(WSitesDesc(), &web), c(CategoryDesc(), &cat);
  ASSERT_EQ(w.open(), 0);
  ASSERT_EQ(c.open(), 0);
  cat.CATEGORY = old;
  ASSERT_EQ(c.get(CAT_CatKey()), 0);
  pf::JointChange change;
  change.rewrite(w, WSitesDesc().fieldIndex("WEB:CATEGORY"), old, to);
  change.set(c, c.position(), CategoryDesc().fieldIndex("CAT:CATEGORY"), to);
  ASSERT_EQ(change.commit(), 0);
  w.close();
  c.close();
}

void renameItsCategory(const std::string& description) {
  WSitesRecord web;
  pf::File w(WSitesDesc(), &web);
  ASSERT_EQ(w.open(), 0);
  web.DESCRIPTION = description;
  ASSERT_EQ(w.get(WEB_KeyDescription()), 0);
  w.close();
  renameCategory(web.CATEGORY.clip(), "Renamed Meanwhile");
}

WSitesRecord websiteOnFile(const std::string& description) {
  WSitesRecord r;
  pf::File f(WSitesDesc(), &r);
  EXPECT_EQ(f.open(), 0);
  r.DESCRIPTION = description;
  EXPECT_EQ(f.get(WEB_KeyDescription()), 0);
  f.close();
  return r;
}

// The fields of `after` that differ from `before`, by name.
std::vector<std::string> fieldsChanged(const WSitesRecord& before, const WSitesRecord& after) {
  std::vector<std::string> out;
  for (const auto& f : WSitesDesc().fields)
    if (!pf::sameFieldValue(f, &before, &after)) out.push_back(f.name);
  return out;
}

// The website form of one program saves a logon ID over a record that another program
// changed after the form had read it: the first OK says so and writes nothing, the form
// stays open on the record as it is now with the user's logon ID in it, and the second
// OK writes both programs' changes.
TEST(TwoWriters, AWebsiteFormNeverPutsBackWhatAnotherProgramSavedMeanwhile) {
  const OtherWrite cases[] = {
      {"another form saved the password and notes", savePasswordAndNotes},
      {"another program renamed the category", renameItsCategory},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    generate(5);
    const std::string description = byDescription().at(2).DESCRIPTION.clip();
    ChildProcess program({QUILLBOX_DRIVE});
    play(program, "row ?BROWSE:1 3\nclick ?CHANGE:3\nenter ?WEB:LOGONID typed-in-the-form");
    c.write(description);
    const WSitesRecord other = websiteOnFile(description);

    std::size_t from = program.output().size();
    play(program, "click ?OK");
    const std::string refused = program.output().substr(from);
    EXPECT_NE(refused.find("box \"Record was not updated\""), std::string::npos) << refused;
    EXPECT_NE(refused.find("Record Changed By Another Station"), std::string::npos) << refused;
    EXPECT_EQ(fieldsChanged(other, websiteOnFile(description)), std::vector<std::string>{}) << "nothing written";

    from = program.output().size();
    play(program, "answer OK\ntext ?WEB:PASSWORD\ntext ?CAT:CATEGORY\ntext ?WEB:LOGONID");
    const std::string shown = program.output().substr(from);
    EXPECT_NE(shown.find("window UpdateWebsites \"Edit Website\" thread 2 active"), std::string::npos) << shown;
    EXPECT_NE(shown.find("focus ?WEB:DESCRIPTION"), std::string::npos) << shown;
    EXPECT_NE(shown.find(other.PASSWORD.clip()), std::string::npos) << shown;
    EXPECT_NE(shown.find(other.CATEGORY.clip()), std::string::npos) << shown;
    EXPECT_NE(shown.find("typed-in-the-form"), std::string::npos) << shown;

    play(program, "click ?OK");
    quit(program);
    const WSitesRecord after = websiteOnFile(description);
    EXPECT_EQ(after.LOGONID.clip(), "typed-in-the-form");
    EXPECT_EQ(after.PASSWORD.clip(), other.PASSWORD.clip());
    EXPECT_EQ(after.SiteNotes.clip(), other.SiteNotes.clip());
    EXPECT_EQ(after.CATEGORY.clip(), other.CATEGORY.clip());
  }
}

// The category names on file, and how many websites carry each.
std::map<std::string, int> categoriesInUse() {
  std::map<std::string, int> out;
  for (const auto& c : readRecords<CategoryRecord>(CategoryDesc())) out[c.CATEGORY.clip()] += 0;
  for (const auto& w : readRecords<WSitesRecord>(WSitesDesc())) out[w.CATEGORY.clip()] += 1;
  return out;
}

// The category form of one program renames a category that another program renamed
// after the form had read it: the first OK says so and renames nothing, the second
// renames the category under its name of now, with every website that carries it.
TEST(TwoWriters, ACategoryFormRenamesFromTheNameAnotherProgramGaveMeanwhile) {
  TempDir dir;
  generate(5);
  ChildProcess program({QUILLBOX_DRIVE});
  play(program, "choose ?BROWSECATEGORIES\nin BrowseCategories\npick ?BROWSE:1 Work\nclick ?CHANGE:2\n"
                "in UpdateCategory\ntype ?CAT:CATEGORY Office");
  renameCategory("Work", "Studio");
  const std::map<std::string, int> other = categoriesInUse();
  ASSERT_EQ(other.at("Studio"), 1);

  std::size_t from = program.output().size();
  play(program, "click ?OK\nin\nadvance 1s");
  const std::string refused = program.output().substr(from);
  EXPECT_NE(refused.find("Record Changed By Another Station"), std::string::npos) << refused;
  EXPECT_EQ(categoriesInUse(), other) << "nothing renamed";

  from = program.output().size();
  play(program, "answer OK\ntext ?CAT:CATEGORY");
  const std::string shown = program.output().substr(from);
  EXPECT_NE(shown.find("window UpdateCategory \"Change Category\""), std::string::npos) << shown;
  EXPECT_NE(shown.find("?CAT:CATEGORY \"Office\""), std::string::npos) << shown;

  play(program, "in UpdateCategory\nclick ?OK\nin\nadvance 1s");
  quit(program);
  std::map<std::string, int> expected = other;
  expected.erase("Studio");
  expected["Office"] = 1;
  EXPECT_EQ(categoriesInUse(), expected);
}

DefaultsRecord preferencesOnFile() {
  std::vector<DefaultsRecord> all = readRecords<DefaultsRecord>(DefaultsDesc());
  EXPECT_EQ(all.size(), 1u);
  return all.empty() ? DefaultsRecord{} : all.front();
}

// The preferences form of one program over preferences that another program saved after
// the form had read them: the OK says so and saves nothing, puts nothing in force, and
// the form shows the other program's home page beside the user's choices. Saved again,
// both programs' changes are kept; cancelled, neither the file nor the program takes
// the user's.
TEST(TwoWriters, ThePreferencesFormNeverPutsBackWhatAnotherProgramSavedMeanwhile) {
  struct Case {
    const char* then;
    const char* browseCaption;  // the browse opens on the default category in force
    bool saved;
  } cases[] = {
      {"click ?OK", "\"News by description\"", true},
      {"click ?CANCEL", "\"All sites by description\"", false},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.then);
    TempDir dir;
    generate(5);
    ChildProcess program({QUILLBOX_DRIVE});
    play(program, "in BrowseWebsites\nclick ?CLOSE\nin\nchoose ?PREFERENCESSEL\npick ?CAT:CATEGORY News\n"
                  "check ?PREF:TOOLTIPSONOFF on");
    DefaultsRecord other = preferencesOnFile();
    other.HOMEPAGE = "https://other.example/";
    other.COLUMN4WIDTH = 30;
    {
      DefaultsRecord r;
      pf::File f(DefaultsDesc(), &r);
      ASSERT_EQ(f.open(), 0);
      f.set();
      ASSERT_EQ(f.next(), 0);
      r = other;
      ASSERT_EQ(f.put(), 0);
      f.close();
    }

    std::size_t from = program.output().size();
    play(program, "click ?OK");
    const std::string refused = program.output().substr(from);
    EXPECT_NE(refused.find("Record Changed By Another Station"), std::string::npos) << refused;
    DefaultsRecord now = preferencesOnFile();
    EXPECT_EQ(now.TOOLTIPSONOFF, 0) << "nothing saved";
    EXPECT_EQ(now.DEFAULTCAT.clip(), other.DEFAULTCAT.clip()) << "nothing saved";
    EXPECT_EQ(now.HOMEPAGE.str(), other.HOMEPAGE.str());

    from = program.output().size();
    play(program, "answer OK\ntext ?PREF:HOMEPAGE");
    const std::string shown = program.output().substr(from);
    EXPECT_NE(shown.find("window Win_Preferences \"Your default preferences...\" thread 1 active"),
              std::string::npos) << shown;
    EXPECT_NE(shown.find("focus ?PREF:AUTOOPENBROWSE"), std::string::npos) << shown;
    EXPECT_NE(shown.find("?PREF:HOMEPAGE \"https://other.example/\""), std::string::npos) << shown;

    from = program.output().size();
    play(program, std::string(c.then) + "\nchoose ?BROWSESITES");
    const std::string browse = program.output().substr(from);
    EXPECT_NE(browse.find(c.browseCaption), std::string::npos) << browse;
    quit(program);
    now = preferencesOnFile();
    EXPECT_EQ(now.TOOLTIPSONOFF, c.saved ? 1 : 0);
    EXPECT_EQ(now.DEFAULTCAT.clip(), c.saved ? "News" : other.DEFAULTCAT.clip());
    EXPECT_EQ(now.HOMEPAGE.str(), other.HOMEPAGE.str());
    EXPECT_EQ(now.COLUMN4WIDTH, 30) << "the other program's column width";
  }();
}

// Row `n` of the browse list as the last action left it in `output`.
std::string shownRow(const std::string& output, int n) {
  const std::string mark = "    " + std::to_string(n) + ": |";
  std::size_t at = output.rfind(mark);
  if (at == std::string::npos) return {};
  return output.substr(at, output.find('\n', at) - at);
}

// A tick, highlight or colour given in the browse while another program holds the
// websites file locked: the browse waits, then says the website was not changed, and
// neither the file nor the list shows it changed.
TEST(TwoWriters, ABrowseChangeThatALockHoldsUpIsNeverDroppedSilently) {
  const struct {
    const char* name;
    const char* action;
  } cases[] = {{"the favourite tick", "row ?BROWSE:1 3 1"}, {"a colour", "click ?CLR5"}};
  TempDir dir;
  generate(5);
  ChildProcess program({QUILLBOX_DRIVE});
  play(program, "row ?BROWSE:1 3");
  const WSitesRecord before = byDescription().at(2);
  const std::string row = shownRow(program.output(), 3);
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.name);
    LockHolder other("wsites.tps", "BEGIN EXCLUSIVE", -1, keyStatements(DataKey().current()));
    ASSERT_TRUE(other.holding());
    std::size_t from = program.output().size();
    play(program, c.action);
    const std::string told = program.output().substr(from);
    EXPECT_NE(told.find("box \"Record was not updated\""), std::string::npos) << told;
    EXPECT_NE(told.find("File Is Already Locked"), std::string::npos) << told;
    other.release();
    play(program, "answer OK");
    EXPECT_EQ(shownRow(program.output(), 3), row);
    EXPECT_EQ(fieldsChanged(before, byDescription().at(2)), std::vector<std::string>{});
  }();
  quit(program);
}

// "Reset (clear) all Color tagging" in one program, one website a slice, while the
// browse of another highlights every website between two of its slices, after the reset
// had read some of them ahead: the reset completes and every highlight stays.
TEST(TwoWriters, ATaggingResetKeepsWhatTheOtherProgramTaggedBetweenItsSlices) {
  TempDir dir;
  generate(5);
  const std::vector<WSitesRecord> before = byDescription();
  ASSERT_EQ(before.size(), 5u);

  ChildProcess reset({QUILLBOX_DRIVE, "--slice", "1"});
  play(reset, "in BrowseWebsites\nclick ?CLOSE\nin\nchoose ?MAINTENANCERESETCOLORS\nanswer &Remove\nslice");
  // Another program on the same files: one program runs per data folder, so this one
  // runs in a folder of its own whose data files are the first folder's.
  const std::string other = dir.file("other");
  ASSERT_EQ(::mkdir(other.c_str(), 0700), 0);
  for (const char* f : {"wsites.tps", "Category.tps", "Defaults.tps", "Access.tps"})
    ASSERT_EQ(::symlink(dir.file(f).c_str(), (other + "/" + f).c_str()), 0) << f;
  ChildProcess browse({"/bin/sh", "-c", "cd \"$0\" && exec \"$1\" --quiet", other, QUILLBOX_DRIVE});
  std::string toggles;
  for (int row = 1; row <= 5; ++row) toggles += "row ?BROWSE:1 " + std::to_string(row) + "\nclick ?YELLOW_HL\n";
  play(browse, toggles + "text ?LOC:RECORDCOUNT");
  quit(browse);
  play(reset, "slice 20");
  quit(reset);
  EXPECT_NE(reset.output().find("All Color tagging has been removed."), std::string::npos) << reset.output();

  const std::vector<WSitesRecord> after = byDescription();
  ASSERT_EQ(after.size(), 5u);
  for (std::size_t i = 0; i < after.size(); ++i) {
    SCOPED_TRACE(after[i].DESCRIPTION.clip());
    EXPECT_EQ(after[i].TEXTCOLOR, 1) << "the reset's change";
    EXPECT_EQ(after[i].HIGHLIGHT, before[i].HIGHLIGHT == 0 ? 1 : 0) << "the other program's change";
  }
}

}  // namespace
}  // namespace qbtest
