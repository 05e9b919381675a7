// Files keyed with a password are stretched with fewer rounds in tests that run the
// program in-process: the count is a setting of the key, not what those tests look at.
// The shipped programs, run by the acceptance scripts and the kill tests, keep the real one.
#pragma once

namespace qbtest {
inline constexpr int kQuickRounds = 2000;
}  // namespace qbtest
