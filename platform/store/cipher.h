// Keying SQLCipher connections: the one place a key reaches SQLCipher. Every connection
// to an encrypted file (a driver's own, an attached file, a copy or a re-key) goes
// through these, so all of them agree on the cipher settings.
#pragma once

#include <sqlite3.h>

#include <string>

#include "platform/core/record.h"
#include "platform/store/file_key.h"

namespace pf {

// Every encrypted file's page size.
constexpr int kCipherPageSize = 4096;

// The key the file is opened with now; nullptr for a plain file.
const CipherKey* currentKey(const FileDesc& desc);

// Keys the connection's main database with `key` (nullptr: plain). Call right after
// sqlite3_open_v2, before anything is read.
int keyConnection(sqlite3* db, const CipherKey* key);

// ATTACH DATABASE `path` AS `schema` with `key` (nullptr: a plain file). An existing
// encrypted file is read at once, so its settings are in place before the attach.
int attachKeyed(sqlite3* db, const std::string& path, const std::string& schema, const CipherKey* key);

// True when the first bytes of the file at `path` are those of a plain SQLite database.
bool plainHeader(const std::string& path);

}  // namespace pf
