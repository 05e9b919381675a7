// What the benchmarks on the Qt view share: a list of user actions played one after the
// other on the running program, each timed until its end is seen, and the figures they
// give over several runs.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/folder.h"

class QApplication;

namespace pf {
struct Dialog;
class Window;
}  // namespace pf

namespace qb::bench {

// A benchmark's program before it runs: N websites (the first argument, 100,000 when
// none) made by `makeData` in a fresh folder, Qt offscreen unless told otherwise, and the
// program's thread hooks and help pages.
class Desktop {
 public:
  Desktop(int& argc, char** argv, const std::string& folder, const std::function<void(int)>& makeData);
  ~Desktop();
  int websites() const { return n_; }
  const BenchFolder& folder() const { return dir_; }

 private:
  int n_;
  BenchFolder dir_;
  std::unique_ptr<QApplication> app_;
};

pf::Dialog* boxSaying(const std::string& text);
pf::Window* windowNamed(const std::string& name);

struct Step {
  std::string name;            // figure; empty: not measured
  std::function<void()> act;
  std::function<bool()> done;  // polled
  std::string gap = {};        // the figure its longest event-loop gap feeds, if any
};

// Runs the program on the desktop and plays the steps, each once the previous one has
// settled (no program thread runnable); a step not done within two minutes records -1.
// Returns when the program has ended.
void playSteps(std::vector<Step>& steps, Figures& figures);

}  // namespace qb::bench
