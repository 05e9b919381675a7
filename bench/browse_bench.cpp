// The websites browse on the Qt view (offscreen) over many websites: each figure runs
// from the user's action until the list's rows are painted, five times over (medians).
// Prints `name value` lines.
//
//   browse_bench [N]      (N websites, default 100000; made in a folder of its own)
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/steps.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/core/strings.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/keys.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace {

constexpr int kRuns = 5;

const char* const Categories[] = {"News", "Shops", "Travel", "Banking", "Email", "Music", "Sport",
                                  "Work", "Games", "Health", "Cooking", "Software", "Science",
                                  "Weather", "Books", "Movies", "Family", "Forums", "Maps", "Photos"};
const char* const Words[] = {"Daily", "Global", "Green", "City", "Open", "Smart", "Blue", "Quick",
                             "Planet", "Home", "Digital", "Bright", "North", "Silver", "Cloud",
                             "River", "Urban", "Prime", "Star", "Metro", "Harbor", "Maple", "Pixel"};
const char* const Kinds[] = {"News", "Market", "Bank", "Mail", "Radio", "Club", "Store", "Forum",
                             "Guide", "Library", "Studio", "Kitchen", "Journal", "Outlet", "Hub"};

// N websites written straight into the data files of the current folder.
void makeData(int n) {
  CategoryRecord c;
  pf::File cat(CategoryDesc(), &c);
  cat.create();
  cat.open();
  for (const char* name : {"All Categories", "Default"}) {
    c.CATEGORY = name;
    cat.add();
  }
  for (const char* name : Categories) {
    c.CATEGORY = name;
    cat.add();
  }
  cat.close();

  std::mt19937 rng(42);
  auto pick = [&](auto& list) { return list[rng() % std::size(list)]; };
  WSitesRecord r;
  pf::File web(WSitesDesc(), &r);
  web.create();
  web.open();
  web.logout();
  for (int i = 0; i < n; ++i) {
    r = WSitesRecord{};
    std::string a = pick(Words), b = pick(Kinds);
    r.DESCRIPTION = a + " " + b + " " + std::to_string(i);
    std::string host = pf::lower(a) + pf::lower(b) + std::to_string(i % 977);
    r.WEBADDRESS = (rng() % 5 ? "https://www." : "http://") + host + (rng() % 3 ? ".com/" : ".org/home?id=") +
                   std::to_string(i);
    r.CATEGORY = pick(Categories);
    if (rng() % 3) r.LOGONID = "user" + std::to_string(rng() % 10000);
    if (rng() % 3) r.PASSWORD = "pw" + std::to_string(rng() % 1000000);
    if (rng() % 4 == 0) r.SiteNotes = "Joined in " + std::to_string(2000 + rng() % 26) + ".\r\nRenew each year.";
    r.FAVOURITEYN = rng() % 10 == 0;
    r.HIGHLIGHT = rng() % 15 == 0;
    r.TEXTCOLOR = rng() % 6 == 0 ? 1 + rng() % 8 : 1;
    r.VISITS = static_cast<std::int32_t>(rng() % 50);
    r.DATEADDED = pf::today() - static_cast<std::int32_t>(rng() % 3000);
    web.add();
    if (i % 5000 == 4999) {
      web.commit();
      web.logout();
    }
  }
  web.commit();
  web.close();

  DefaultsRecord p;
  p.RECORDNUMBER = 1;
  p.SHOWPWORDS = p.SHOWCATS = 1;
  p.DEFAULTCAT = "All Categories";
  p.COLUMN4WIDTH = 75;
  p.COLUMN5WIDTH = 75;
  p.COLUMN6WIDTH = 100;
  pf::File def(DefaultsDesc(), &p);
  def.create();
  def.open();
  def.add();
  def.close();
}

double rssMb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

pf::Window* browse() { return qb::bench::windowNamed("BrowseWebsites"); }

QTreeWidget* tree(pf::Window& w) {
  QWidget* c = pf::qt::controlWidget(w.id(), w.feq("?BROWSE:1"));
  if (!c) return nullptr;
  if (auto* t = qobject_cast<QTreeWidget*>(c)) return t;
  return c->findChild<QTreeWidget*>();
}

// The list on screen shows what the model holds, and every program thread waits.
bool painted(const std::string& caption) {
  pf::Window* w = browse();
  if (!w || pf::anyRunnable()) return false;
  if (!caption.empty() && w->caption() != caption) return false;
  QTreeWidget* t = tree(*w);
  int list = w->feq("?BROWSE:1");
  int n = w->rowCount(list);
  if (!t || n == 0 || t->topLevelItemCount() != n) return false;
  auto same = [&](int r) {
    return t->topLevelItem(r - 1)->text(1).trimmed().toStdString() == pf::trim(w->cellText(list, r, 2));
  };
  if (!same(1) || !same(n)) return false;
  t->viewport()->repaint();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qb::bench::Desktop desktop(argc, argv, "quillbox-browse-bench", makeData);
  const int n = desktop.websites();

  qb::bench::Figures figures(n);
  // The category change and the keys show no caption of their own: the model's changes
  // settle and the screen follows.
  auto shows = [](std::string caption) { return [caption] { return painted(caption); }; };
  std::vector<qb::bench::Step> steps;
  for (int run = 0; run < kRuns; ++run) {
    std::vector<qb::bench::Step> one = {
        {"browse_open_ms", [] { pf::appFrame()->userPress(pf::appFrame()->feq("?LINKSBUT")); },
         shows("All sites by description")},
        {"browse_tab_change_ms", [] { browse()->userChooseTab(browse()->feq("?CURRENTTAB"), 2); },
         shows("All sites by address (URL)")},
        {"browse_category_change_ms", [] { browse()->userSelectRow(browse()->feq("?CAT:CATEGORY"), 12, -1); },
         shows("")},
        {"", [] { browse()->userChooseTab(browse()->feq("?CURRENTTAB"), 1); }, shows("")},
        {"browse_locator_step_ms",
         [] {
           browse()->userFocus(browse()->feq("?BROWSE:1"));
           browse()->userKey('M');
         },
         shows("")},
        {"browse_toggle_ms", [] { browse()->userPress(browse()->feq("?YELLOW_HL")); }, shows("")},
        {"browse_scroll_end_ms",
         [] {
           browse()->userFocus(browse()->feq("?BROWSE:1"));
           browse()->userKey(pf::Key::CtrlEnd);
         },
         shows("")},
        {"", [&] { figures.record("browse_memory_mb", rssMb()); }, [] { return true; }},
        // Every run starts from the same list: all categories, then the browse closed.
        {"", [] { browse()->userSelectRow(browse()->feq("?CAT:CATEGORY"), 1, -1); },
         shows("All sites by description")},
        {"", [] { browse()->userClose(); }, [] { return !browse() && !pf::anyRunnable(); }},
    };
    steps.insert(steps.end(), one.begin(), one.end());
  }
  qb::bench::playSteps(steps, figures);
  figures.print();
  std::printf("%s %d\n", figures.name("browse_websites_count").c_str(), n);
  return 0;
}
