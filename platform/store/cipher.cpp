#include "platform/store/cipher.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>

#include "platform/runtime/runtime.h"

namespace pf {
namespace {

// Stretching a passphrase costs SQLCipher a few hundredths on every connection (a tenth
// and more with a password). The same passphrase, rounds and file salt always give the
// same key, so each is stretched once a process and handed to SQLCipher as a raw key
// with the file's salt. The stretch is SQLCipher's own (PBKDF2-HMAC-SHA1, 32 bytes from
// the 16 bytes of salt at the start of the file); a file that refuses the raw key while
// its passphrase opens it ends the use of raw keys for the process.
constexpr int kSaltBytes = 16, kKeyBytes = 32;
// Held with the raw keys they were made from: a few files, a few passwords tried.
constexpr std::size_t kMaxDerived = 16;

struct DerivedKeys {
  std::mutex m;
  std::map<std::string, Secret> raw;   // digest of passphrase, rounds and salt -> "x'...'"
  std::atomic<int> state{0};           // 1 proven, -1 SQLCipher stretches differently
  std::atomic<int> skew{0};            // tests' rounds added to the stretch
};

void (*stretchProbe_)() = nullptr;

// Never destroyed: a worker may key a connection while the process exits.
DerivedKeys& derived() {
  static DerivedKeys* d = new DerivedKeys;
  return *d;
}

bool readSalt(const std::string& path, unsigned char* salt) {
  if (plainHeader(path)) return false;
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(salt), kSaltBytes);
  return in.gcount() == kSaltBytes;
}

std::string hex(const unsigned char* p, std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (std::size_t i = 0; i < n; ++i) {
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}

// The raw key SQLCipher would stretch from `key` for the file at `path`; empty for a file
// without a salt yet (a new one) or when raw keys are not to be used.
Secret rawKeyFor(const CipherKey& given, const std::string& path) {
  // Its own copy: while the stretch runs, a change of key on another program thread may
  // wipe and replace the key the caller was given.
  const CipherKey key = given;
  DerivedKeys& d = derived();
  unsigned char salt[kSaltBytes];
  if (d.state.load() < 0 || path.empty() || !readSalt(path, salt)) return {};
  Secret material(key.passphrase.view());
  material.append(std::string_view(reinterpret_cast<const char*>(salt), kSaltBytes));
  material.append(std::to_string(key.rounds));
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestLen = 0;
  if (EVP_Digest(material.data(), material.size(), digest, &digestLen, EVP_sha256(), nullptr) != 1) return {};
  const std::string name(reinterpret_cast<const char*>(digest), digestLen);
  {
    std::lock_guard<std::mutex> l(d.m);
    auto it = d.raw.find(name);
    if (it != d.raw.end()) return it->second;
  }
  unsigned char out[kKeyBytes];
  int ok = 0;
  const int rounds = key.rounds + d.skew.load();
  // The windows go on while it stretches.
  runOffThread([&] {
    if (stretchProbe_) stretchProbe_();
    ok = PKCS5_PBKDF2_HMAC_SHA1(key.passphrase.data(), static_cast<int>(key.passphrase.size()), salt, kSaltBytes,
                                rounds, kKeyBytes, out);
  });
  if (ok != 1) return {};
  std::string text = "x'" + hex(out, kKeyBytes) + hex(salt, kSaltBytes) + "'";
  wipeBytes(out, sizeof out);
  Secret raw(text);
  wipe(text);
  std::lock_guard<std::mutex> l(d.m);
  if (d.raw.size() >= kMaxDerived) d.raw.clear();
  d.raw.emplace(name, raw);
  return raw;
}

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

int keyConnection(sqlite3* db, const CipherKey* key, bool* derivedKey) {
  if (derivedKey) *derivedKey = false;
  if (!key) return SQLITE_OK;
  Secret raw;
  if (derivedKey) {
    const char* path = sqlite3_db_filename(db, "main");
    raw = rawKeyFor(*key, path ? path : "");
    *derivedKey = !raw.empty();
  }
  const Secret& given = raw.empty() ? key->passphrase : raw;
  int rc = sqlite3_key_v2(db, "main", given.data(), static_cast<int>(given.size()));
  if (rc != SQLITE_OK) return rc;
  return settings(db, "main", *key);
}

void setStretchProbe(void (*probe)()) { stretchProbe_ = probe; }

bool derivedKeysProven() { return derived().state.load() > 0; }

void derivedKeyOpened(bool opened) { derived().state.store(opened ? 1 : -1); }

void resetDerivedKeys(int skewRounds) {
  DerivedKeys& d = derived();
  std::lock_guard<std::mutex> l(d.m);
  d.raw.clear();
  d.state.store(0);
  d.skew.store(skewRounds);
}

int attachKeyed(sqlite3* db, const std::string& path, const std::string& schema, const CipherKey* key) {
  sqlite3_stmt* st = nullptr;
  std::string sql = "ATTACH DATABASE ?1 AS \"" + schema + "\" KEY ?2";
  int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
  if (rc != SQLITE_OK) return rc;
  sqlite3_bind_text(st, 1, path.c_str(), -1, SQLITE_TRANSIENT);
  // An empty key attaches a plain file; no key at all would give it the main one's.
  Secret raw;
  if (key && derivedKeysProven()) raw = rawKeyFor(*key, path);
  const Secret* given = key ? (raw.empty() ? &key->passphrase : &raw) : nullptr;
  if (given)
    sqlite3_bind_blob(st, 2, given->data(), static_cast<int>(given->size()), SQLITE_STATIC);
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

bool laterPagesTakeKey(const std::string& path, const CipherKey& given) {
  const CipherKey key = given;  // stretched on a worker: a copy a key change cannot touch
  // SQLCipher's page check: HMAC-SHA1 over the page's ciphertext and IV and its number,
  // with a key stretched twice from the page key and the salt masked with 0x3a; the IV
  // and the check sit in the 48 bytes it reserves at the end of every page.
  constexpr int kReserve = 48, kIv = 16, kMacBytes = 20, kPagesTried = 3;
  std::ifstream in(path, std::ios::binary);
  std::string bytes(static_cast<std::size_t>(kCipherPageSize) * (kPagesTried + 1), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  const int pages = static_cast<int>(in.gcount() / kCipherPageSize);
  if (pages < 2) return false;
  unsigned char salt[kSaltBytes], macSalt[kSaltBytes], pageKey[kKeyBytes], macKey[kKeyBytes];
  std::memcpy(salt, bytes.data(), kSaltBytes);
  for (int i = 0; i < kSaltBytes; ++i) macSalt[i] = salt[i] ^ 0x3a;
  // The page key as the file's opens stretch it, once a process: "x'<key><salt>'" in hex.
  Secret raw = rawKeyFor(key, path);
  bool stretched = raw.size() == 3 + 2 * (kKeyBytes + kSaltBytes);
  for (int i = 0; stretched && i < kKeyBytes; ++i) {
    auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    pageKey[i] = static_cast<unsigned char>(nibble(raw.data()[2 + 2 * i]) << 4 | nibble(raw.data()[3 + 2 * i]));
  }
  int ok = 0;
  runOffThread([&] {
    ok = (stretched || PKCS5_PBKDF2_HMAC_SHA1(key.passphrase.data(), static_cast<int>(key.passphrase.size()), salt,
                                              kSaltBytes, key.rounds, kKeyBytes, pageKey) == 1) &&
         PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char*>(pageKey), kKeyBytes, macSalt, kSaltBytes, 2, kKeyBytes,
                                macKey) == 1;
  });
  wipeBytes(pageKey, sizeof pageKey);
  bool taken = false;
  for (int n = 2; ok && !taken && n <= pages; ++n) {
    const auto* page = reinterpret_cast<const unsigned char*>(bytes.data()) + (n - 1) * kCipherPageSize;
    const std::size_t covered = kCipherPageSize - kReserve + kIv;
    unsigned char number[4] = {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                               static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)};
    // The page's covered bytes and its number, signed as one.
    unsigned char signedBytes[kCipherPageSize + sizeof number];
    std::memcpy(signedBytes, page, covered);
    std::memcpy(signedBytes + covered, number, sizeof number);
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int macLen = 0;
    if (HMAC(EVP_sha1(), macKey, kKeyBytes, signedBytes, covered + sizeof number, mac, &macLen))
      taken = macLen >= static_cast<unsigned int>(kMacBytes) && std::memcmp(mac, page + covered, kMacBytes) == 0;
  }
  wipeBytes(macKey, sizeof macKey);
  return taken;
}

}  // namespace pf
