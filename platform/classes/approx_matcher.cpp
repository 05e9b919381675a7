#include "platform/classes/approx_matcher.h"

#include <algorithm>
#include <cctype>

namespace pf {

ApproxMatcher AppMatcher;

void ApproxMatcher::Init() {
  inited_ = true;
  ignoreCase_ = 0;
  wholeWords_ = 0;
}

void ApproxMatcher::Kill() { inited_ = false; }

void ApproxMatcher::SetOption(int option, int value) {
  if (option == 1) ignoreCase_ = value;
  if (option == 2) wholeWords_ = value;
}

int ApproxMatcher::GetOption(int option) const {
  return option == 1 ? ignoreCase_ : option == 2 ? wholeWords_ : 0;
}

int ApproxMatcher::Match(const std::string& text, const std::string& query) const {
  if (!inited_ || query.empty()) return 0;
  std::string t = text, q = query;
  if (ignoreCase_) {
    auto low = [](std::string& s) {
      std::transform(s.begin(), s.end(), s.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    };
    low(t);
    low(q);
  }
  auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
  for (std::size_t at = t.find(q); at != std::string::npos; at = t.find(q, at + 1)) {
    if (!wholeWords_) return 100;
    bool startOk = at == 0 || !isWordChar(t[at - 1]);
    std::size_t end = at + q.size();
    bool endOk = end >= t.size() || !isWordChar(t[end]);
    if (startOk && endOk) return 100;
  }
  std::size_t hit = 0;
  for (char c : t)
    if (hit < q.size() && c == q[hit]) ++hit;
  return static_cast<int>(hit * 99 / q.size());
}

}  // namespace pf
