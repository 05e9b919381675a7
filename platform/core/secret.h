// Text that must not outlive its use: passwords and keys. Its bytes are overwritten
// before its memory is given back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pf {

// Overwrites the whole buffer of `s` (capacity included), then empties it.
void wipe(std::string& s);
// Overwrites `n` bytes at `p` in a way the compiler keeps.
void wipeBytes(void* p, std::size_t n);

class Secret {
 public:
  Secret() = default;
  explicit Secret(std::string_view s) : s_(s) {}
  Secret(const Secret& o) : s_(o.s_) {}
  Secret(Secret&& o) noexcept : s_(std::move(o.s_)) { wipe(o.s_); }
  Secret& operator=(const Secret& o) {
    if (this != &o) {
      wipe(s_);
      s_ = o.s_;
    }
    return *this;
  }
  Secret& operator=(Secret&& o) noexcept {
    if (this != &o) {
      wipe(s_);
      s_.swap(o.s_);
      wipe(o.s_);
    }
    return *this;
  }
  ~Secret() { wipe(s_); }

  void append(std::string_view s);
  void clear() { wipe(s_); }
  bool empty() const { return s_.empty(); }
  std::size_t size() const { return s_.size(); }
  const char* data() const { return s_.data(); }
  std::string_view view() const { return s_; }
  friend bool operator==(const Secret& a, const Secret& b) { return a.s_ == b.s_; }

 private:
  std::string s_;
};

}  // namespace pf
