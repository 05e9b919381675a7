// quillbox-gen N: adds N made-up websites to the data files of the current folder.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/generator.h"
#include "data/access.h"

int main(int argc, char** argv) {
  long long n = argc == 2 || argc == 3 ? std::atoll(argv[1]) : -1;
  if (n < 0 || (argc == 3 && std::atoll(argv[2]) <= 0)) {
    std::fprintf(stderr, "usage: quillbox-gen N [SEED]\n"
                         "Adds N websites to wsites.tps (and their categories to Category.tps)\n"
                         "in the current folder, creating the files when missing.\n");
    return 2;
  }
  std::uint64_t seed = argc == 3 ? static_cast<std::uint64_t>(std::atoll(argv[2])) : 1;
  auto sites = qb::bench::makeWebsites(n, seed);
  std::string error;
  qb::bench::FrameStats stats;
  int code = qb::bench::writeWebsites(sites, &error, &stats);
  FreeThreadAccess();
  if (code) {
    std::fprintf(stderr, "quillbox-gen: %s\n", error.c_str());
    return 1;
  }
  std::printf("%lld websites written in %d transactions\n", static_cast<long long>(stats.records), stats.frames);
  return 0;
}
