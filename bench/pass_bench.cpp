// The whole-file passes and the search on the Qt view (offscreen) over many websites, each
// run five times (medians): the category rename of a category every website carries, the
// Color tagging reset, the integrity check until its preview knows every page, the CSV
// export until its count message (and the sqlcipher program's export of the same rows
// from the same file), Find Next for a word no website holds, down from the top and up
// from the end, and the longest gap between two turns of the event loop during the rename.
// Prints `name value` lines.
//
//   pass_bench [N]      (N websites, default 100000, as quillbox-gen writes them)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/generator.h"
#include "bench/steps.h"
#include "data/access.h"
#include "data/globals.h"
#include "maintenance/maintenance.h"
#include "platform/classes/error_manager.h"
#include "platform/os/program.h"
#include "platform/runtime/runtime.h"
#include "platform/store/view.h"
#include "platform/ui/keys.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "reports/reports.h"
#include "sites/categories.h"

namespace {

using qb::bench::boxSaying;
using qb::bench::Step;
using qb::bench::windowNamed;

constexpr int kRuns = 5;
const char* const kCategories[] = {"Everything", "Everyone"};
const char* const kNoSuchWord = "zqxjv";

// Every website in one category, so that the rename changes all of them.
void makeData(int n) {
  std::vector<qb::bench::Website> sites = qb::bench::makeWebsites(n, 1);
  for (auto& s : sites) s.category = kCategories[0];
  std::string error;
  if (qb::bench::writeWebsites(sites, &error) != 0) {
    std::fprintf(stderr, "pass_bench: %s\n", error.c_str());
    std::exit(1);
  }
  FreeThreadAccess();
  DefaultsRecord p;
  p.RECORDNUMBER = 1;
  p.SHOWPWORDS = p.SHOWCATS = 1;
  p.DEFAULTCAT = "All Categories";
  pf::File def(DefaultsDesc(), &p);
  def.create();
  def.open();
  def.add();
  def.close();
}

// The same rows as the export, written by the sqlcipher program: its own timer on the
// statement, after a first statement that pays for the key derivation.
double sqlcipherExport() {
  std::string script = "/tmp/qb_pass_bench_" + std::to_string(::getpid()) + ".sql";
  std::string out = script + ".csv";
  {
    FILE* f = std::fopen(script.c_str(), "w");
    std::fprintf(f,
                 "PRAGMA key='%s';\nPRAGMA cipher_page_size=4096;\nSELECT count(*) FROM sqlite_master;\n"
                 ".mode csv\n.output %s\n.timer on\n"
                 "SELECT trim(WEBADDRESS) FROM rec WHERE _k_WEBADDRESS<>'' AND trim(WEBADDRESS)<>'' "
                 "ORDER BY _k_WEBADDRESS,_pos;\n",
                 OwnerPassword().data(), out.c_str());
    std::fclose(f);
  }
  std::string cmd = "sqlcipher -batch wsites.tps < " + script + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  double real = -1;
  char line[512];
  while (p && std::fgets(line, sizeof line, p))
    if (std::sscanf(line, "Run Time: real %lf", &real) == 1) {}
  if (p) pclose(p);
  ::unlink(script.c_str());
  ::unlink(out.c_str());
  return real < 0 ? -1 : real * 1000;
}

int passThread = 0;

void startPass(std::function<void()> pass) { passThread = pf::start(std::move(pass), 50000); }
bool passOver() { return !pf::threadAlive(passThread); }

// Answers the box that says `text` once it is up; true when it was.
bool answered(const std::string& text) {
  pf::Dialog* d = boxSaying(text);
  if (!d) return false;
  pf::answerDialog(d->id, 1);
  return true;
}

// Every sixth website gets a colour again, so that each reset has colours to remove.
void colourSome() {
  if (Relate_WSites().RelationOpen() != pf::Level::Benign) return;
  pf::View v(WSites());
  v.open();
  WSites().logout();
  int n = 0;
  while (v.next() == 0)
    if (++n % 6 == 0) {
      WEB->TEXTCOLOR = 2 + n % 7;
      v.put();
    }
  WSites().commit();
  v.close();
  Relate_WSites().RelationClose();
}

pf::Window* browse() { return windowNamed("BrowseWebsites"); }

bool browseShown() {
  pf::Window* w = browse();
  return w && !pf::anyRunnable() && w->rowCount(w->feq("?BROWSE:1")) > 0;
}

pf::Window* searchWindow() { return windowNamed("BuscadorF3"); }

void findNext(int direction) {
  pf::Window* s = searchWindow();
  s->userFocus(s->feq("?BRW1:PRC:PAL"));
  s->userType(s->feq("?BRW1:PRC:PAL"), kNoSuchWord);
  s->userPress(s->feq(direction == 1 ? "?BRW1:PRC:DIR:ARRIBA" : "?BRW1:PRC:DIR:ABAJO"));
  s->userPress(s->feq("?F3BOT_SIGUIENTE"));
}

}  // namespace

int main(int argc, char** argv) {
  qb::bench::Desktop desktop(argc, argv, "quillbox-pass-bench", makeData);
  const int n = desktop.websites();

  qb::bench::Figures figures(n);
  auto record = [&](const std::string& name, double v) { figures.record(name, v); };

  // PASS_BENCH_ONLY=search|rename|tagging|integrity|export runs that group alone.
  const char* only = std::getenv("PASS_BENCH_ONLY");
  auto wanted = [only](const char* group) { return !only || std::string(only) == group; };
  std::vector<Step> steps;
  // Find Next on the browse, both ways, with no website to find.
  steps.push_back({"", [] { pf::appFrame()->userPress(pf::appFrame()->feq("?LINKSBUT")); }, browseShown});
  steps.push_back({"", [] { browse()->userPress(browse()->feq("?GISBUSKDAF3")); },
                   [] { return searchWindow() != nullptr; }});
  // Down from the top of the list (direction 2), up from its end (1).
  struct Way {
    const char* figure;
    int key, direction;
  };
  const Way ways[] = {{"search_nohit_down_ms", pf::Key::CtrlHome, 2}, {"search_nohit_up_ms", pf::Key::CtrlEnd, 1}};
  for (int i = 0; wanted("search") && i < kRuns; ++i)
    for (const Way& w : ways) {
      steps.push_back({"", [w] {
                         browse()->userFocus(browse()->feq("?BROWSE:1"));
                         browse()->userKey(w.key);
                       },
                       browseShown});
      steps.push_back({w.figure, [w] { findNext(w.direction); }, [] { return boxSaying("Search complete"); },
                       "ui_max_stall_search_ms"});
      steps.push_back({"", [] { answered("Search complete"); }, browseShown});
    }
  steps.push_back({"", [] { searchWindow()->userPress(searchWindow()->feq("?F3BOT_CANCELAR")); },
                   [] { return searchWindow() == nullptr; }});
  steps.push_back({"", [] { browse()->userClose(); }, [] { return browse() == nullptr; }});

  for (int i = 0; i < kRuns; ++i) {
    // The rename, there and back again.
    if (wanted("rename"))
    steps.push_back({"category_rename_100k_ms",
                     [i] {
                       startPass([i] {
                         std::string from = kCategories[i % 2], to = kCategories[(i + 1) % 2];
                         CAT->CATEGORY = from;
                         pf::Position record;
                         if (Access_Category().FileFetchQuiet(CAT_CatKey()) == 0) record = Category().position();
                         CAT->CATEGORY = to;
                         qb::DeleteCategory({1, to, from, record});
                       });
                     },
                     passOver, "ui_max_stall_rename_ms"});
    if (wanted("tagging")) {
    steps.push_back({"", [] { startPass(colourSome); }, passOver});
    steps.push_back({"tagging_reset_100k_ms",
                     [] {
                       GLO_RemoveTagMode = 1;
                       startPass([] { qb::RemoveTagging(); });
                     },
                     [] { return boxSaying("All Color tagging has been removed."); }, "ui_max_stall_tagging_ms"});
    steps.push_back({"", [] { answered("All Color tagging has been removed."); }, passOver});
    }
    if (wanted("integrity")) {
    steps.push_back({"integrity_check_100k_ms", [] { startPass([] { qb::Rpt_Integrity(); }); }, [] {
                       pf::Window* w = windowNamed("_PreviewWindow_");
                       if (!w || pf::anyRunnable()) return false;
                       std::string count = w->text(w->feq("?PREVIEW:PAGECOUNT"));
                       return count.rfind("of ", 0) == 0 && count.find("...") == std::string::npos;
                     }});
    steps.push_back({"", [] { windowNamed("_PreviewWindow_")->userClose(); }, passOver});
    }
    if (wanted("export")) {
    steps.push_back({"csv_export_ms", [] { startPass([] { qb::Create_CSV(); }); },
                     [] { return boxSaying("website records have been processed."); }});
    steps.push_back({"", [] { answered("website records have been processed."); },
                     [] { return windowNamed("ViewSaveCSV") != nullptr; }});
    steps.push_back({"", [] { windowNamed("ViewSaveCSV")->userClose(); }, passOver});
    steps.push_back({"", [&] { record("sqlcipher_export_ms", sqlcipherExport()); }, [] { return true; }});
    }
  }

  qb::bench::playSteps(steps, figures);

  auto value = [&](const std::string& name) { return figures.median(name); };
  figures.print();
  std::printf("%s %.1f\n", figures.name("search_nohit_ms").c_str(),
              std::max(value("search_nohit_down_ms"), value("search_nohit_up_ms")));
  if (value("sqlcipher_export_ms") > 0)
    std::printf("%s %.2f\n", figures.name("csv_export_vs_sqlcipher").c_str(),
                value("csv_export_ms") / value("sqlcipher_export_ms"));
  std::printf("%s %d\n", figures.name("pass_websites_count").c_str(), n);
  return 0;
}
