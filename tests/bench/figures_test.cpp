// Figures over several runs and sizes: the names that tell the sizes apart in one output,
// and the median printed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/figures.h"

namespace {

TEST(FigureNames, TellEverySizeApartAndKeepTheDefaultOnes) {
  const struct {
    const char* name;
    std::int64_t websites;
    const char* shown;
  } rows[] = {
      {"browse_open_ms", 100000, "browse_open_ms"},
      {"browse_open_ms", 1000, "browse_open_1k_ms"},
      {"browse_memory_mb", 1000, "browse_memory_1k_mb"},
      {"category_rename_100k_ms", 100000, "category_rename_100k_ms"},
      {"category_rename_100k_ms", 1000, "category_rename_1k_ms"},
      {"store_insert_100k_ms", 2500, "store_insert_2500_ms"},
      {"store_framed_updates_10k_ms", 1000, "store_framed_updates_10k_1k_ms"},
      {"csv_export_vs_sqlcipher", 1000, "csv_export_vs_sqlcipher_1k"},
      {"pass_websites_count", 100000, "pass_websites_count"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.name) + " at " + std::to_string(r.websites));
    EXPECT_EQ(qb::bench::figureName(r.name, r.websites), r.shown);
  }
}

TEST(FigureMedian, IsTheMiddleOfTheRunsWhateverTheirOrder) {
  const struct {
    std::vector<double> values;
    double median;
  } rows[] = {{{}, -1}, {{7}, 7}, {{9, 1, 5}, 5}, {{40, 10, 30, 20}, 25}, {{3, -1, 2, 8, 1}, 2}};
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::PrintToString(r.values));
    EXPECT_EQ(qb::bench::median(r.values), r.median);
  }
  qb::bench::Figures f(1000);
  for (double v : {12.0, 10.0, 11.0}) f.record("browse_open_ms", v);
  EXPECT_EQ(f.median("browse_open_ms"), 11);
  EXPECT_EQ(f.median("browse_tab_change_ms"), -1);
  EXPECT_EQ(f.name("browse_open_ms"), "browse_open_1k_ms");
}

}  // namespace
