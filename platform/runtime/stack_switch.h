// Tells the address sanitizer when the OS thread moves from one program thread's stack to
// another's. Unannotated, an exception thrown on a fiber's stack (every thread's end unwinds
// one) leaves stale poison behind and the sanitizer reports accesses that are fine. In
// other builds every call here is empty.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define PF_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PF_ASAN 1
#endif
#endif

#ifdef PF_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

namespace pf::detail {

// Where a stack lies: its lowest address and its size.
struct StackBounds {
  const void* bottom = nullptr;
  std::size_t size = 0;
};

// Just before switching to the stack `to`. `fakeSave` keeps the leaving stack's own state
// until it is resumed; nullptr when the leaving stack is about to be freed.
inline void leaveStack([[maybe_unused]] void** fakeSave, [[maybe_unused]] const StackBounds& to) {
#ifdef PF_ASAN
  __sanitizer_start_switch_fiber(fakeSave, to.bottom, to.size);
#endif
}

// First thing after arriving on a stack: `fakeSaved` is what leaveStack kept when this stack
// was left (nullptr on a new one); `from`, when given, receives the stack that was left.
inline void arriveOnStack([[maybe_unused]] void* fakeSaved, [[maybe_unused]] StackBounds* from) {
#ifdef PF_ASAN
  const void* bottom = nullptr;
  std::size_t size = 0;
  __sanitizer_finish_switch_fiber(fakeSaved, &bottom, &size);
  if (from) *from = {bottom, size};
#endif
}

// A stack's memory going back to the system carries no poison into what is mapped there next.
inline void forgetStack([[maybe_unused]] const StackBounds& s) {
#ifdef PF_ASAN
  ASAN_UNPOISON_MEMORY_REGION(s.bottom, s.size);
#endif
}

}  // namespace pf::detail
