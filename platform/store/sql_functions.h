// The SQL forms of the filter language's operations, registered on every connection so
// that a filter run as SQL gives exactly the results of its evaluation in C++.
#pragma once

struct sqlite3;

namespace pf {

// qb_cmp, qb_num, qb_str, qb_true, qb_clip, qb_left, qb_upper, qb_lower, qb_sub,
// qb_instring, qb_len, qb_pad, qb_div, qb_mod, qb_cat, qb_fold. Returns an SQLite code.
int registerFilterFunctions(sqlite3* db);

}  // namespace pf
