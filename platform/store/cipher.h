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
// sqlite3_open_v2, before anything is read. Given `derivedKey`, an existing file is keyed
// with the raw key SQLCipher would stretch from the passphrase, stretched once a process;
// *derivedKey says whether it was, and the caller tells derivedKeyOpened how it went.
int keyConnection(sqlite3* db, const CipherKey* key, bool* derivedKey = nullptr);
// True once a file has opened with a derived key: attaches use them from then on.
bool derivedKeysProven();
// A file keyed with a derived key opened (true), or refused it while its passphrase opens
// it (false: this SQLCipher stretches differently, and no raw key is used again).
void derivedKeyOpened(bool opened);
// For tests in this process: forgets every derived key and what was learnt of them; a
// skew stretches with that many more rounds, as an SQLCipher that stretches otherwise.
void resetDerivedKeys(int skewRounds = 0);

// For tests: called on the worker as a passphrase's stretch begins.
void setStretchProbe(void (*probe)());

// ATTACH DATABASE `path` AS `schema` with `key` (nullptr: a plain file). An existing
// encrypted file is read at once, so its settings are in place before the attach.
int attachKeyed(sqlite3* db, const std::string& path, const std::string& schema, const CipherKey* key);

// True when the first bytes of the file at `path` are those of a plain SQLite database.
bool plainHeader(const std::string& path);

// True when a page of the encrypted file at `path` behind the first carries the check
// `key` gives it: the key is the file's even where its first page no longer opens.
[[nodiscard]] bool laterPagesTakeKey(const std::string& path, const CipherKey& key);

}  // namespace pf
