#include "platform/core/secret.h"

#include <cstring>

namespace pf {

void wipeBytes(void* p, std::size_t n) {
  if (!p || n == 0) return;
  // Through a volatile pointer: a store the optimiser must not drop as dead.
  volatile unsigned char* v = static_cast<volatile unsigned char*>(p);
  while (n--) *v++ = 0;
}

void wipe(std::string& s) {
  // The characters and the unused room after them: an earlier, longer value may be there.
  s.resize(s.capacity());
  wipeBytes(s.data(), s.size());
  s.clear();
}

void Secret::append(std::string_view s) {
  if (s_.size() + s.size() > s_.capacity()) {
    // Growing moves the bytes: the old buffer is wiped before it is freed.
    std::string bigger;
    bigger.reserve((s_.size() + s.size()) * 2);
    bigger = s_;
    wipe(s_);
    s_.swap(bigger);
  }
  s_.append(s);
}

}  // namespace pf
