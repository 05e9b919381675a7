// The store at the size of a large collection: QB_BENCH_N websites (100,000) in the
// folder QB_BENCH_DIR (./store-bench-data), written and read the way the program does
// it. Each benchmark's name is the figure it gives, in milliseconds per iteration (the
// CSV output wants the same counters in every row, so details go in labels).
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/generator.h"
#include "data/access.h"
#include "platform/classes/error_manager.h"
#include "platform/store/view.h"

namespace {

using Clock = std::chrono::steady_clock;
using qb::bench::Website;

double msSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

std::int64_t sitesWanted() {
  const char* n = std::getenv("QB_BENCH_N");
  long long v = n ? std::atoll(n) : qb::bench::kDefaultWebsites;
  return v > 0 ? v : qb::bench::kDefaultWebsites;
}

const std::vector<Website>& sites() {
  static const std::vector<Website> s = qb::bench::makeWebsites(sitesWanted(), 1);
  return s;
}

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error(what + ": error " + std::to_string(pf::errorcode()) + " " + pf::error() +
                           " (" + pf::errorfile() + ") " + pf::currentErrorStatus().extra);
}

void removeDataFiles() {
  for (const char* f : {"wsites.tps", "Category.tps", "wsites.tps-journal", "Category.tps-journal"}) ::unlink(f);
}

// Fresh files holding exactly the generated websites.
double writeAll() {
  removeDataFiles();
  auto t = Clock::now();
  std::string error;
  if (qb::bench::writeWebsites(sites(), &error) != 0) throw std::runtime_error(error);
  return msSince(t);
}

bool dataReady = false;

void ensureData() {
  if (dataReady) return;
  bool have = false;
  if (Relate_WSites().RelationOpen() == pf::Level::Benign)
    have = WSites().records() == static_cast<std::int64_t>(sites().size());
  Relate_WSites().RelationClose();
  if (!have) writeAll();
  dataReady = true;
}

// The websites file open through its relation object for one benchmark.
struct OpenSites {
  OpenSites() {
    ensureData();
    if (Relate_WSites().RelationOpen() != pf::Level::Benign) fail("open");
  }
  ~OpenSites() { Relate_WSites().RelationClose(); }
};

const pf::KeyDesc* keyByIndex(int i) {
  switch (i) {
    case 0: return &WEB_KeyDescription();
    case 1: return &WEB_KeyWebsite();
    case 2: return &WEB_CategoryKey();
    case 3: return &WEB_VisitsKey();
    default: return nullptr;  // record order
  }
}

// ------------------------------------------------------------------ writes

void insertAll(benchmark::State& state) {
  for (auto _ : state) {
    state.SetIterationTime(writeAll() / 1000.0);
    dataReady = true;
  }
  state.SetLabel(std::to_string(sites().size()) + " records");
}

// A browse's one-field change: read the record again, change it, write it through the
// relation object, which commits it at once.
void singleUpdate(benchmark::State& state) {
  OpenSites open;
  std::vector<pf::Position> where;
  {
    pf::View v(WSites());
    v.open();
    while (v.next() == 0) where.push_back(v.position());
  }
  qb::bench::Rng rng(7);
  for (auto _ : state) {
    pf::Position p = where[rng.below(static_cast<std::uint32_t>(where.size()))];
    auto t = Clock::now();
    if (WSites().reget(p) != 0) fail("reget");
    WEB->FAVOURITEYN = WEB->FAVOURITEYN ? 0 : 1;
    if (Relate_WSites().RelationUpdate() != pf::Level::Benign) fail("update");
    state.SetIterationTime(msSince(t) / 1000.0);
  }
}

// A whole-file pass rewriting 10,000 records in record order, framed per time slice; a
// file of fewer records is read again from its start, so that every size does the same
// writes.
void framedUpdates(benchmark::State& state) {
  OpenSites open;
  const std::int64_t wanted = state.range(0);
  int frames = 0;
  for (auto _ : state) {
    auto t = Clock::now();
    WSites().send("QUICKSCAN=on");
    pf::View v(WSites());
    if (v.open() != 0) fail("view");
    std::int64_t done = 0;
    qb::bench::FrameStats stats;
    int r = qb::bench::runFramed(WSites(), [&]() -> int {
          if (done == wanted) return 0;
          int e = v.next();
          if (e == pf::Err::RecordNotAvailable && done > 0) {
            v.set();
            e = v.next();
          }
          if (e) return -e;
          WEB->TEXTCOLOR = WEB->TEXTCOLOR == 1 ? 2 : 1;
          if ((e = v.put()) != 0) return -e;
          ++done;
          return 1;
        }, &stats);
    if (r) fail("framed update");
    WSites().send("QUICKSCAN=off");
    frames = stats.frames;
    state.SetIterationTime(msSince(t) / 1000.0);
  }
  state.SetLabel(std::to_string(frames) + " frames");
}

// ------------------------------------------------------------------ reads

// Every record in one order through a view, quick scanning as a pass does.
void keyScan(benchmark::State& state) {
  OpenSites open;
  WSites().send("QUICKSCAN=on");
  pf::View v(WSites());
  v.setOrder(keyByIndex(static_cast<int>(state.range(0))));
  if (v.open() != 0) fail("view");
  std::int64_t n = 0;
  for (auto _ : state) {
    auto t = Clock::now();
    v.set();
    n = 0;
    int r;
    while ((r = v.next()) == 0) ++n;
    if (r != pf::Err::RecordNotAvailable) fail("scan");
    state.SetIterationTime(msSince(t) / 1000.0);
  }
  WSites().send("QUICKSCAN=off");
  state.SetLabel(std::to_string(n) + " records");
}

// The same ordered read by the sqlcipher command-line program, on the same file with
// the owner password: the statement the key's index serves, every column, output
// thrown away. Its own timer measures the statement alone.
std::string cliQuery(int keyIndex) {
  std::string key = keyIndex < 0 ? std::string() : keyByIndex(keyIndex)->name;
  std::string script = "/tmp/qb_bench_cli_" + std::to_string(::getpid()) + ".sql";
  std::string out = script + ".out";
  {
    FILE* f = std::fopen(script.c_str(), "w");
    std::fprintf(f, "PRAGMA key='%s';\nPRAGMA cipher_page_size=4096;\n.mode list\n"
                    "SELECT sql FROM sqlite_master WHERE type='index' AND sql IS NOT NULL;\n", OwnerPassword().data());
    std::fclose(f);
  }
  std::string cmd = "sqlcipher -batch wsites.tps < " + script + " > " + out + " 2>&1";
  if (std::system(cmd.c_str()) != 0) throw std::runtime_error("sqlcipher failed: " + cmd);
  std::string suffix = "_" + key.substr(key.find(':') + 1) + "\"";
  std::string order = "_pos", where = "1";
  FILE* f = std::fopen(out.c_str(), "r");
  char line[4096];
  while (keyIndex >= 0 && std::fgets(line, sizeof line, f)) {
    std::string s = line;
    auto on = s.find(" ON rec(");
    auto w = s.find(") WHERE ");
    // The key's own index, not the index its counts read.
    if (on == std::string::npos || w == std::string::npos || s.rfind("CREATE INDEX \"key", 0) != 0) continue;
    if (s.substr(0, on).size() < suffix.size() || s.substr(on - suffix.size(), suffix.size()) != suffix) continue;
    order = s.substr(on + 8, w - on - 8) + ",_pos";
    where = s.substr(w + 8);
    while (!where.empty() && (where.back() == '\n' || where.back() == '\r')) where.pop_back();
  }
  std::fclose(f);
  ::unlink(out.c_str());
  ::unlink(script.c_str());
  return "SELECT * FROM rec WHERE " + where + " ORDER BY " + order + ";";
}

void cliScan(benchmark::State& state) {
  ensureData();
  std::string query = cliQuery(static_cast<int>(state.range(0)));
  std::string script = "/tmp/qb_bench_cli_" + std::to_string(::getpid()) + ".sql";
  {
    FILE* f = std::fopen(script.c_str(), "w");
    // The first statement pays for the key derivation, which the store pays at open.
    std::fprintf(f, "PRAGMA key='%s';\nPRAGMA cipher_page_size=4096;\n.output /dev/null\n"
                    "SELECT count(*) FROM sqlite_master;\n.timer on\n%s\n", OwnerPassword().data(), query.c_str());
    std::fclose(f);
  }
  std::string cmd = "sqlcipher -batch wsites.tps < " + script + " 2>&1";
  for (auto _ : state) {
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) throw std::runtime_error("cannot run sqlcipher");
    double real = -1;
    char line[512];
    while (std::fgets(line, sizeof line, p))
      if (std::sscanf(line, "Run Time: real %lf", &real) == 1) {}
    pclose(p);
    if (real < 0) throw std::runtime_error("no timing from sqlcipher: " + query);
    state.SetIterationTime(real);
  }
  ::unlink(script.c_str());
  state.SetLabel(query);
}

// One page of a browse list: 30 rows from a key value typed into the locator.
void pageFetch(benchmark::State& state) {
  OpenSites open;
  const pf::KeyDesc* key = keyByIndex(static_cast<int>(state.range(0)));
  pf::View v(WSites());
  v.setOrder(key);
  if (v.open() != 0) fail("view");
  qb::bench::Rng rng(11);
  for (auto _ : state) {
    const Website& w = sites()[rng.below(static_cast<std::uint32_t>(sites().size()))];
    auto t = Clock::now();
    WEB->DESCRIPTION = w.description;
    WEB->CATEGORY = w.category;
    v.setFromBuffer();
    for (int i = 0; i < 30; ++i)
      if (int r = v.next()) {
        if (r != pf::Err::RecordNotAvailable) fail("page");
        break;
      }
    state.SetIterationTime(msSince(t) / 1000.0);
  }
}

void count(benchmark::State& state, const pf::KeyDesc* key, const char* filter, const char* category) {
  OpenSites open;
  pf::View v(WSites());
  v.setOrder(key);
  if (filter) v.setFilter("9Z", filter);
  if (v.open() != 0) fail("view");
  std::int64_t n = 0;
  for (auto _ : state) {
    auto t = Clock::now();
    if (category) CAT->CATEGORY = category;
    n = v.count();
    if (n < 0) fail("count");
    state.SetIterationTime(msSince(t) / 1000.0);
  }
  state.SetLabel(std::to_string(n) + " records, " + (v.filterRunsAsSql() ? "filter as SQL" : "filter evaluated"));
}

void registerAll() {
  auto ms = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond)->UseManualTime(); };
  // Every figure's name says the size it ran at.
  auto named = [](const char* figure) { return qb::bench::figureName(figure, sitesWanted()); };
  ms(benchmark::RegisterBenchmark(named("store_insert_100k_ms").c_str(), insertAll)->Iterations(1));

  const char* keyNames[] = {"store_key_scan_ms", "store_key_scan_website_ms", "store_key_scan_category_ms",
                            "store_key_scan_visits_ms"};
  const char* cliNames[] = {"sqlite3_key_scan_ms", "sqlite3_key_scan_website_ms",
                            "sqlite3_key_scan_category_ms", "sqlite3_key_scan_visits_ms"};
  for (int k = 0; k < 4; ++k) {
    ms(benchmark::RegisterBenchmark(named(keyNames[k]).c_str(), keyScan)->Arg(k)->Iterations(3));
    ms(benchmark::RegisterBenchmark(named(cliNames[k]).c_str(), cliScan)->Arg(k)->Iterations(3));
  }
  ms(benchmark::RegisterBenchmark(named("store_record_scan_ms").c_str(), keyScan)->Arg(-1)->Iterations(3));
  ms(benchmark::RegisterBenchmark(named("sqlite3_record_scan_ms").c_str(), cliScan)->Arg(-1)->Iterations(3));

  ms(benchmark::RegisterBenchmark(named("store_page_fetch_ms").c_str(), pageFetch)->Arg(0)->Iterations(500));
  ms(benchmark::RegisterBenchmark(named("store_page_fetch_category_ms").c_str(), pageFetch)->Arg(2)->Iterations(500));

  ms(benchmark::RegisterBenchmark(named("store_count_ms").c_str(), [](benchmark::State& s) { count(s, nullptr, nullptr, nullptr); })
         ->Iterations(20));
  ms(benchmark::RegisterBenchmark(named("store_count_filtered_ms").c_str(), [](benchmark::State& s) {
       count(s, &WEB_CategoryKey(), "WEB:Category=CAT:Category", "Shopping");
     })->Iterations(10));
  ms(benchmark::RegisterBenchmark(named("store_count_favourites_ms").c_str(), [](benchmark::State& s) {
       count(s, &WEB_KeyDescription(), "WEB:FavouriteYN=1", nullptr);
     })->Iterations(10));

  ms(benchmark::RegisterBenchmark(named("store_single_update_ms").c_str(), singleUpdate)->Iterations(100));
  ms(benchmark::RegisterBenchmark(named("store_framed_updates_10k_ms").c_str(), framedUpdates)->Arg(10000)->Iterations(3));
}

}  // namespace

int main(int argc, char** argv) {
  const char* dir = std::getenv("QB_BENCH_DIR");
  std::string folder = dir && *dir ? dir : "store-bench-data";
  ::mkdir(folder.c_str(), 0777);
  if (::chdir(folder.c_str()) != 0) {
    std::perror(folder.c_str());
    return 1;
  }
  MakeThreadAccess();
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  int rc = 0;
  try {
    benchmark::RunSpecifiedBenchmarks();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "store_bench: %s\n", e.what());
    rc = 1;
  }
  benchmark::Shutdown();
  FreeThreadAccess();
  return rc;
}
