#include "bench/figures.h"

#include <algorithm>
#include <cstdio>

namespace qb::bench {

std::string sizeName(std::int64_t n) {
  return n % 1000 == 0 ? std::to_string(n / 1000) + "k" : std::to_string(n);
}

std::string figureName(const std::string& name, std::int64_t websites) {
  if (websites == kDefaultWebsites) return name;
  const std::string size = "_" + sizeName(websites);
  const std::string standard = "_" + sizeName(kDefaultWebsites);
  std::string::size_type at = name.find(standard + "_");
  if (at != std::string::npos) return name.substr(0, at) + size + name.substr(at + standard.size());
  for (const char* unit : {"_ms", "_mb"}) {
    std::string u = unit;
    if (name.size() > u.size() && name.compare(name.size() - u.size(), u.size(), u) == 0)
      return name.substr(0, name.size() - u.size()) + size + u;
  }
  return name + size;
}

double median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  std::size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

void Figures::record(const std::string& name, double value) {
  for (auto& [k, values] : all_)
    if (k == name) return values.push_back(value);
  all_.push_back({name, {value}});
}

double Figures::median(const std::string& name) const {
  for (const auto& [k, values] : all_)
    if (k == name) return bench::median(values);
  return -1;
}

void Figures::print() const {
  for (const auto& [figure, values] : all_) {
    std::string shown = name(figure);
    std::printf("%s %.1f\n", shown.c_str(), bench::median(values));
    std::fprintf(stderr, "%s:", shown.c_str());
    for (double v : values) std::fprintf(stderr, " %.1f", v);
    std::fprintf(stderr, "\n");
  }
}

}  // namespace qb::bench
