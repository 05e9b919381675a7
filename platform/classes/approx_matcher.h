// A fuzzy text matcher the program sets up and shuts down with itself (AppMatcher).
#pragma once

#include <string>

namespace pf {

class ApproxMatcher {
 public:
  void Init();
  void Kill();
  // Option 1: ignore letter case (1 on). Option 2: whole words only (1 on).
  void SetOption(int option, int value);
  int GetOption(int option) const;
  // How well `query` matches `text`: 100 for an exact find, 0 for none; otherwise
  // the share of the query's characters that follow in order in the text.
  int Match(const std::string& text, const std::string& query) const;
  bool inited() const { return inited_; }

 private:
  bool inited_ = false;
  int ignoreCase_ = 0;
  int wholeWords_ = 0;
};

extern ApproxMatcher AppMatcher;

}  // namespace pf
