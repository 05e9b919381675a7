// Made-up but plausible websites for benchmarks and for trying the program on a full
// file. The same seed always gives the same websites.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/dictionary.h"
#include "platform/store/file.h"

namespace qb::bench {

struct Website {
  std::string description;
  std::string address;
  std::string category;
  std::string logonId;
  std::string password;
  std::string notes;
  std::uint8_t favourite = 0;
  std::uint8_t highlight = 0;
  std::uint8_t textColor = 1;
  std::int32_t dateAdded = 0;
  std::int32_t dateUpdated = 0;
  std::int32_t lastVisit = 0;
  std::int32_t visits = 0;
};

// A small deterministic generator (the standard distributions differ between libraries).
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint64_t next() {
    s_ ^= s_ >> 12;
    s_ ^= s_ << 25;
    s_ ^= s_ >> 27;
    return s_ * 0x2545F4914F6CDD1Dull;
  }
  // 0 .. n-1
  std::uint32_t below(std::uint32_t n) { return n ? static_cast<std::uint32_t>(next() % n) : 0; }
  bool chance(int percent) { return below(100) < static_cast<std::uint32_t>(percent); }

 private:
  std::uint64_t s_;
};

// The ordinary categories the websites are spread over (the reserved "Default" is used
// as well; "All Categories" never is, since it means no category filter).
const std::vector<std::string>& siteCategories();

Website makeWebsite(Rng& rng);
std::vector<Website> makeWebsites(std::int64_t n, std::uint64_t seed = 1);
// The buffer as a new record primed by the access object, then the website's values.
void fillRecord(const Website& w, WSitesRecord& rec);

// Frames a run of writes the way a whole-file pass does: one transaction per timer
// event, the batch doubling while it stays inside the 100-hundredths time slice and
// halving when it overruns. `step` writes one record: 1 written, 0 no more, <0 failed.
// Returns 0, or the first error code (of the step, the frame or its commit).
struct FrameStats {
  int frames = 0;
  std::int64_t records = 0;
};
int runFramed(pf::File& file, const std::function<int()>& step, FrameStats* stats = nullptr,
              int timeSliceMs = 1000);

// Adds n websites to wsites.tps in the current folder through the calling thread's
// access objects (made when the thread has none), creating the file when missing, and
// adds each category they use to Category.tps unless it is there already. Returns 0 or
// a platform error code; `error` gets a line of explanation.
int writeWebsites(const std::vector<Website>& sites, std::string* error = nullptr,
                  FrameStats* stats = nullptr);

}  // namespace qb::bench
