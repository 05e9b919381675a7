#include "platform/store/cipher.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>

namespace pf {
namespace {

int exec(sqlite3* db, const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr); }

std::string pragmaValue(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  std::string v;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
    const unsigned char* t = sqlite3_column_text(st, 0);
    if (t) v = reinterpret_cast<const char*>(t);
  }
  sqlite3_finalize(st);
  return v;
}

int settings(sqlite3* db, const std::string& schema, const CipherKey& key) {
  int rc = exec(db, "PRAGMA " + schema + ".cipher_page_size=" + std::to_string(kCipherPageSize));
  if (rc == SQLITE_OK) rc = exec(db, "PRAGMA " + schema + ".kdf_iter=" + std::to_string(key.rounds));
  return rc;
}

}  // namespace

const CipherKey* currentKey(const FileDesc& desc) { return desc.cipher ? &desc.cipher->current() : nullptr; }

int keyConnection(sqlite3* db, const CipherKey* key) {
  if (!key) return SQLITE_OK;
  int rc = sqlite3_key_v2(db, "main", key->passphrase.data(), static_cast<int>(key->passphrase.size()));
  if (rc != SQLITE_OK) return rc;
  return settings(db, "main", *key);
}

int attachKeyed(sqlite3* db, const std::string& path, const std::string& schema, const CipherKey* key) {
  sqlite3_stmt* st = nullptr;
  std::string sql = "ATTACH DATABASE ?1 AS \"" + schema + "\" KEY ?2";
  int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
  if (rc != SQLITE_OK) return rc;
  sqlite3_bind_text(st, 1, path.c_str(), -1, SQLITE_TRANSIENT);
  // An empty key attaches a plain file; no key at all would give it the main one's.
  if (key)
    sqlite3_bind_blob(st, 2, key->passphrase.data(), static_cast<int>(key->passphrase.size()), SQLITE_STATIC);
  else
    sqlite3_bind_text(st, 2, "", 0, SQLITE_STATIC);
  // SQLCipher reads an existing attached file with its process-wide defaults, before a
  // pragma could name the schema: those are set for the attach and put back.
  std::string pageSize, rounds;
  struct stat file {};
  const bool existing = ::stat(path.c_str(), &file) == 0 && file.st_size > 0;
  if (key) {
    pageSize = pragmaValue(db, "PRAGMA cipher_default_page_size");
    rounds = pragmaValue(db, "PRAGMA cipher_default_kdf_iter");
    exec(db, "PRAGMA cipher_default_page_size=" + std::to_string(kCipherPageSize));
    exec(db, "PRAGMA cipher_default_kdf_iter=" + std::to_string(key->rounds));
  }
  rc = sqlite3_step(st);
  sqlite3_finalize(st);
  if (key) {
    if (!pageSize.empty()) exec(db, "PRAGMA cipher_default_page_size=" + pageSize);
    if (!rounds.empty()) exec(db, "PRAGMA cipher_default_kdf_iter=" + rounds);
  }
  if (rc != SQLITE_DONE) return rc;
  // A new file is written with the schema's own settings. An existing one has them from
  // the defaults above; naming them again before its first read makes SQLCipher fail
  // every read of it ("out of memory").
  if (key && !existing) return settings(db, "\"" + schema + "\"", *key);
  return SQLITE_OK;
}

bool plainHeader(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[16] = {};
  in.read(head, sizeof head);
  return in.gcount() == sizeof head && std::memcmp(head, "SQLite format 3", 16) == 0;
}

}  // namespace pf
