// What every SQLite connection to an indexed data file shares (store internals only).
#pragma once

#include <string>

#include "platform/core/record.h"

struct sqlite3;

namespace pf {

// The busy wait, the filter functions and, for an encrypted file, its key: the same for
// the driver's own connections and for the copies made of the file. An SQLite code.
// `derivedKey`: as for keyConnection.
int configureConnection(sqlite3* db, const FileDesc& desc, bool* derivedKey = nullptr);

// Maps an SQLite result code to the platform's error number.
int sqliteError(int rc);

// A consistent copy of the database at `from` as the new file `to` (created readable by
// its owner only, keyed as the source is), through SQLite's online backup. A platform
// error number; `detail` says why on failure, and no file is left at `to` then.
int onlineCopy(const FileDesc& desc, const std::string& from, const std::string& to, std::string& detail);

}  // namespace pf
