// What the indexed driver shares with other code that opens its databases
// (joint_change.cpp).
#pragma once

namespace pf {

// An SQLite result code as the platform's error number.
int sqliteError(int rc);

}  // namespace pf
