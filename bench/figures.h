// The figures a benchmark prints: each one's values over several runs, printed as their
// median under a name that says the size of the file it ran over.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qb::bench {

// The websites a benchmark runs over when it is not told otherwise.
inline constexpr std::int64_t kDefaultWebsites = 100000;

// 1000 -> "1k", 100000 -> "100k", 2500 -> "2500".
std::string sizeName(std::int64_t n);

// A figure's name for a run over `websites`: the name itself at the default size, so that
// figures stay comparable with earlier ones; at any other size the name carries that size,
// in place of the default size it names ("category_rename_100k_ms" -> "category_rename_1k_ms"),
// else before its unit ("browse_open_ms" -> "browse_open_1k_ms"), else at its end
// ("csv_export_vs_sqlcipher" -> "csv_export_vs_sqlcipher_1k").
std::string figureName(const std::string& name, std::int64_t websites);

// The middle value; the mean of the two middle ones for an even count; -1 for none.
double median(std::vector<double> values);

// Each figure's values in the order they came.
class Figures {
 public:
  explicit Figures(std::int64_t websites) : websites_(websites) {}
  void record(const std::string& name, double value);
  double median(const std::string& name) const;  // -1 when none was recorded
  // The name it is printed under.
  std::string name(const std::string& figure) const { return figureName(figure, websites_); }
  // "name median" on standard output, every value on standard error.
  void print() const;

 private:
  std::int64_t websites_;
  std::vector<std::pair<std::string, std::vector<double>>> all_;
};

}  // namespace qb::bench
