// The indexed driver: one SQLCipher database per file, one table `rec` with a typed
// column per field, the row id as the record's position, and one partial index per key
// over hidden, case-folded copies of the key fields.
#include <malloc.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <unordered_map>

#include "platform/core/field.h"
#include "platform/core/strings.h"
#include "platform/runtime/runtime.h"
#include "platform/store/cipher.h"
#include "platform/store/connection.h"
#include "platform/store/driver.h"
#include "platform/store/file_key.h"
#include "platform/store/lock_wait.h"
#include "platform/store/share_lock.h"
#include "platform/store/sql_functions.h"

namespace pf {
namespace {

constexpr const char* kFormat = "quillbox-store 1";
// Page cache of a connection (KiB): SQLite's default while reading, more inside a frame,
// and room for the whole file while a pass reads it from end to end (quick scanning):
// an order other than the table's visits table pages at random, and a small cache
// decrypts the same pages again and again.
constexpr int kReadCacheKb = 2000, kFrameCacheKb = 32768, kScanCacheKb = 262144;
constexpr int kPageFirst = 32, kPageMax = 256, kQuickFirst = 256, kQuickMax = 2048;
// A transaction with more changes than this commits on a worker's OS thread.
constexpr int kInlineCommitChanges = 64;

std::string quoteId(const std::string& s) {
  std::string r = "\"";
  for (char c : s) {
    if (c == '"') r += '"';
    r += c;
  }
  return r + "\"";
}

std::string quoteText(const std::string& s) {
  std::string r = "'";
  for (char c : s) {
    if (c == '\'') r += '\'';
    r += c;
  }
  return r + "'";
}

std::string baseName(const std::string& name) {
  auto p = name.rfind(':');
  std::string b = p == std::string::npos ? name : name.substr(p + 1);
  return b.empty() ? name : b;
}

bool isText(FieldType t) { return t == FieldType::String || t == FieldType::CString || t == FieldType::Memo; }

// The text a field holds, as stored: STRING and CSTRING without trailing blanks. `p` is
// the field's place in a record.
std::string fieldTextAt(const FieldDesc& f, const char* p) {
  switch (f.type) {
    case FieldType::String: return clip(std::string_view(p, f.size));
    case FieldType::CString: return clip(std::string_view(p, strnlen(p, f.size)));
    case FieldType::Memo: return std::string(p, strnlen(p, f.size));
    default: return {};
  }
}

std::int64_t fieldIntAt(const FieldDesc& f, const char* p) {
  switch (f.type) {
    case FieldType::Byte: return static_cast<unsigned char>(p[0]);
    case FieldType::Long: return reinterpret_cast<const Long*>(p)->get();
    case FieldType::Date: return reinterpret_cast<const Date*>(p)->get();
    case FieldType::Time: return reinterpret_cast<const Time*>(p)->get();
    default: return 0;
  }
}

std::string fieldText(const FieldDesc& f, const char* buf) { return fieldTextAt(f, buf + f.offset); }
std::int64_t fieldInt(const FieldDesc& f, const char* buf) { return fieldIntAt(f, buf + f.offset); }

// A column's value into the field at `p`, as every read takes it: a value of another kind
// than the field's is converted the way SQLite converts it, a text cut to the field.
void storeText(const FieldDesc& f, char* p, const char* t, int bytes) {
  std::string_view v(t ? t : "", t ? static_cast<std::size_t>(bytes) : 0);
  std::size_t room = f.type == FieldType::CString ? (f.size ? f.size - 1 : 0) : f.size;
  std::size_t n = utf8Fit(v, room);
  std::memcpy(p, v.data(), n);
  std::memset(p + n, f.type == FieldType::String ? ' ' : 0, f.size - n);
}

void storeNumber(const FieldDesc& f, char* p, std::int64_t v) {
  switch (f.type) {
    case FieldType::Byte: p[0] = static_cast<char>(static_cast<unsigned char>(v)); break;
    case FieldType::Long: reinterpret_cast<Long*>(p)->set(static_cast<std::int32_t>(v)); break;
    case FieldType::Date: reinterpret_cast<Date*>(p)->set(static_cast<std::int32_t>(v)); break;
    case FieldType::Time: reinterpret_cast<Time*>(p)->set(static_cast<std::int32_t>(v)); break;
    default: break;
  }
}

void storeField(const FieldDesc& f, char* buf, sqlite3_stmt* st, int col) {
  char* p = buf + f.offset;
  if (isText(f.type))
    storeText(f, p, reinterpret_cast<const char*>(sqlite3_column_text(st, col)), sqlite3_column_bytes(st, col));
  else
    storeNumber(f, p, sqlite3_column_int64(st, col));
}

}  // namespace

int sqliteError(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW: return Err::None;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return Err::Locked;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return Err::AccessDenied;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT: return Err::InvalidFile;
    default: return Err::FileSystemError;
  }
}

int configureConnection(sqlite3* db, const FileDesc& desc, bool* derivedKey) {
  // Locks are waited for outside SQLite (lock_wait.h).
  sqlite3_busy_timeout(db, 0);
  sqlite3_extended_result_codes(db, 0);
  if (registerFilterFunctions(db) != SQLITE_OK) return SQLITE_ERROR;
  return keyConnection(db, currentKey(desc), derivedKey);
}

namespace {

// One value of a key column: folded text or a number.
struct KeyVal {
  bool text = false;
  std::string s;
  std::int64_t n = 0;
  bool operator==(const KeyVal& o) const { return text == o.text && s == o.s && n == o.n; }
};

void bindKeyVal(sqlite3_stmt* st, int i, const KeyVal& v) {
  if (v.text)
    sqlite3_bind_text(st, i, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
  else
    sqlite3_bind_int64(st, i, v.n);
}

KeyVal columnKeyVal(sqlite3_stmt* st, int col, bool text) {
  KeyVal v;
  v.text = text;
  if (text) {
    const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    v.s.assign(t ? t : "", t ? static_cast<std::size_t>(sqlite3_column_bytes(st, col)) : 0);
  } else {
    v.n = sqlite3_column_int64(st, col);
  }
  return v;
}

void bindValue(sqlite3_stmt* st, int i, const ExprValue& v) {
  if (v.isText) {
    sqlite3_bind_text(st, i, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
  } else if (v.number == static_cast<double>(static_cast<std::int64_t>(v.number))) {
    sqlite3_bind_int64(st, i, static_cast<std::int64_t>(v.number));
  } else {
    sqlite3_bind_double(st, i, v.number);
  }
}

// Key values in a Position: "<key name>|s<text>|n<number>...", with bytes that would
// not survive a blank-padded text field escaped as %XX.
std::string escape(const std::string& s) {
  static const char* hex = "0123456789ABCDEF";
  std::string r;
  for (unsigned char c : s) {
    if (c <= ' ' || c == '%' || c == '|' || c == 0x7F) {
      r += '%';
      r += hex[c >> 4];
      r += hex[c & 15];
    } else {
      r += static_cast<char>(c);
    }
  }
  return r;
}

std::string unescape(const std::string& s) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string r;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
      r += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
      i += 2;
      continue;
    }
    r += s[i];
  }
  return r;
}

std::string encodeKey(const std::string& keyName, const std::vector<KeyVal>& vals) {
  std::string r = escape(keyName);
  for (const auto& v : vals) r += v.text ? "|s" + escape(v.s) : "|n" + std::to_string(v.n);
  return r;
}

bool decodeKey(const std::string& s, const std::string& keyName, std::size_t count, std::vector<KeyVal>& out) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (;;) {
    auto bar = s.find('|', from);
    parts.push_back(s.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
    if (bar == std::string::npos) break;
    from = bar + 1;
  }
  if (parts.size() != count + 1 || upper(unescape(parts[0])) != upper(keyName)) return false;
  out.clear();
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::string& p = parts[i];
    if (p.empty()) return false;
    KeyVal v;
    if (p[0] == 's') {
      v.text = true;
      v.s = unescape(p.substr(1));
    } else if (p[0] == 'n') {
      try {
        v.n = std::stoll(p.substr(1));
      } catch (...) {
        return false;
      }
    } else {
      return false;
    }
    out.push_back(std::move(v));
  }
  return true;
}

class IndexedDriver;

struct Row {
  std::int64_t pos = 0;
  std::vector<char> image;
  std::vector<KeyVal> key;
};

// Record positions: a bit for each, in words of 64.
class RowSet {
 public:
  bool insert(std::int64_t pos) {
    std::uint64_t& word = words_[pos >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (pos & 63);
    bool fresh = (word & bit) == 0;
    word |= bit;
    return fresh;
  }
  bool has(std::int64_t pos) const {
    auto it = words_.find(pos >> 6);
    return it != words_.end() && (it->second & (std::uint64_t{1} << (pos & 63))) != 0;
  }
  void erase(std::int64_t pos) {
    auto it = words_.find(pos >> 6);
    if (it != words_.end()) it->second &= ~(std::uint64_t{1} << (pos & 63));
  }
  void clear() { words_.clear(); }

 private:
  std::unordered_map<std::int64_t, std::uint64_t> words_;
};

struct SeqState {
  enum Kind { Start, Bound, After } kind = Start;
  std::vector<KeyVal> key;
  std::int64_t pos = 0;
  bool posKnown = true;
  Position last;
};

// ---------------------------------------------------------------- driver

class IndexedDriver final : public FileDriver {
 public:
  struct KeyCol {
    std::string column;  // quoted
    bool desc = false;
    bool text = false;
  };
  struct Hidden {
    std::string column;
    int field;
    bool fold;  // else the negated number
  };
  struct KeyInfo {
    const KeyDesc* key;
    std::string index;      // quoted index name
    std::vector<KeyCol> cols;
    std::vector<int> fields;  // per column
    std::vector<bool> negate;
    std::string member;     // the partial index condition
    std::string createSql;
    // The key's records by the file's count fields, then the key's own columns: a count
    // of the key's records that tests only those reads this index alone.
    std::string countIndex;  // quoted; empty when the file has no count fields
    std::vector<std::string> countCols;
    std::string countSql;
    bool countReady = false;  // the open file has it
  };

  IndexedDriver(const FileDesc& desc, void* buffer) : FileDriver(desc, buffer) { layout(); }
  ~IndexedDriver() override { closeDb(); }

  // ---- FileDriver
  int open(int mode) override;
  int create() override;
  int close() override {
    if (!db_) return Err::NotOpen;
    closeDb();
    return Err::None;
  }
  bool isOpen() const override { return db_ != nullptr; }
  int send(const std::string& option) override;
  std::unique_ptr<Cursor> cursor(const CursorSpec& spec) override;
  int get(const KeyDesc& key) override;
  int get(const Position& pos) override;
  Position current() const override { return Position{current_, {}}; }
  void setCurrent(const Position& pos) override { current_ = pos.row; }
  int add() override;
  int put() override;
  int remove() override;
  std::int64_t records() override;
  std::int64_t count(const CursorSpec& spec) override;
  int build() override;
  int logout() override;
  int commit() override;
  int rollback() override;
  bool inTransaction() const override { return txn_; }
  std::vector<std::string> sqlColumns() const override { return columns_; }
  std::string sqlTable() const override { return "rec"; }
  std::vector<std::pair<std::string, std::string>> sqlIndexesOf(int field) const override {
    std::vector<std::string> cols;
    if (field >= 0 && static_cast<std::size_t>(field) < columns_.size()) cols.push_back(columns_[static_cast<std::size_t>(field)]);
    for (const auto& h : hidden_)
      if (h.field == field) cols.push_back(h.column);
    auto holds = [&](const std::vector<std::string>& in) {
      for (const auto& c : cols)
        if (std::find(in.begin(), in.end(), c) != in.end()) return true;
      return false;
    };
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& k : keys_) {
      std::vector<std::string> keyCols;
      for (const auto& c : k.cols) keyCols.push_back(c.column);
      if (holds(keyCols)) out.emplace_back(k.index, k.createSql);
      if (k.countReady && holds(k.countCols)) out.emplace_back(k.countIndex, k.countSql);
    }
    return out;
  }
  std::string sqlFoldColumn(int field) const override {
    for (const auto& h : hidden_)
      if (h.field == field && h.fold) return h.column;
    return {};
  }

  // ---- for cursors
  const KeyInfo* keyInfo(const KeyDesc* key) const {
    if (!key) return nullptr;
    for (const auto& k : keys_)
      if (k.key == key || upper(k.key->name) == upper(key->name)) return &k;
    return nullptr;
  }
  std::vector<KeyVal> keyFromBuffer(const KeyInfo& k) const { return keyOf(k, buffer_); }
  // The key value a record's fields make, as every write stores it.
  std::vector<KeyVal> keyOf(const KeyInfo& k, const char* record) const {
    std::vector<KeyVal> v;
    for (std::size_t i = 0; i < k.cols.size(); ++i) {
      const FieldDesc& f = desc_.fields[static_cast<std::size_t>(k.fields[i])];
      KeyVal kv;
      if (k.cols[i].text) {
        kv.text = true;
        kv.s = caseFold(fieldText(f, record));
      } else {
        kv.n = fieldInt(f, record);
        if (k.negate[i]) kv.n = -kv.n;
      }
      v.push_back(std::move(kv));
    }
    return v;
  }
  int damagedKey(std::int64_t pos) {
    return fail(Err::KeyFileRebuild, "the key value of record " + std::to_string(pos) + " is not the one its fields make");
  }
  // `seen`: leaves out the records in it.
  int query(const KeyInfo* k, const SqlFilter* filter, const SeqState& st, bool back,
            int limit, std::vector<Row>& out, const RowSet* seen = nullptr);
  int lookupKey(const KeyInfo& k, std::int64_t pos, std::vector<KeyVal>& out, bool& found);
  std::uint64_t generation() const { return generation_; }
  // True when the only write since `since` rewrote the record at `pos` and left its
  // value of `k` (nullptr: record order) as `key`: a page read ahead is still good.
  bool onlyRewrote(std::uint64_t since, std::int64_t pos, const KeyInfo* k,
                   const std::vector<KeyVal>& key) const {
    if (generation_ != since + 1 || putGeneration_ != generation_ || putRow_ != pos) return false;
    if (!k) return true;
    auto i = static_cast<std::size_t>(k - keys_.data());
    return i < putKeys_.size() && putKeys_[i] == key;
  }
  bool quickScan() const { return quick_; }
  void setCurrentRow(std::int64_t pos) { current_ = pos; }
  // Another connection's commit (another thread's or another program's) is looked for
  // once a turn, and always when a write frame begins: pages read ahead before it are
  // then read again, so no write puts back a record as it was before that commit.
  void noticeOthers(bool always);
  // qb_read(value, field number): the field's value as every read takes it into the
  // record, so that a filter run as SQL sees what its evaluation over the record sees.
  // qb_key(value, field number): the key copy a write stores for that value; keys are
  // rebuilt with it.
  static void fnRead(sqlite3_context* c, int, sqlite3_value** v) { fieldAsRead(c, v, false); }
  static void fnKey(sqlite3_context* c, int, sqlite3_value** v) { fieldAsRead(c, v, true); }
  static void fieldAsRead(sqlite3_context* c, sqlite3_value** v, bool key) {
    const auto* d = static_cast<const IndexedDriver*>(sqlite3_user_data(c));
    const auto field = static_cast<std::size_t>(sqlite3_value_int64(v[1]));
    if (field >= d->desc_.fields.size()) return sqlite3_result_error(c, "no such field", -1);
    const FieldDesc& f = d->desc_.fields[field];
    std::vector<char> p(f.size);
    if (isText(f.type)) {
      storeText(f, p.data(), reinterpret_cast<const char*>(sqlite3_value_text(v[0])), sqlite3_value_bytes(v[0]));
      std::string t = key ? caseFold(fieldTextAt(f, p.data())) : fieldTextAt(f, p.data());
      sqlite3_result_text(c, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    } else {
      storeNumber(f, p.data(), sqlite3_value_int64(v[0]));
      sqlite3_result_int64(c, key ? -fieldIntAt(f, p.data()) : fieldIntAt(f, p.data()));
    }
  }
  // qb_seen(_pos): whether the records a query leaves out hold the record.
  static void fnSeen(sqlite3_context* c, int, sqlite3_value** v) {
    const auto* d = static_cast<const IndexedDriver*>(sqlite3_user_data(c));
    sqlite3_result_int(c, d->seen_ && d->seen_->has(sqlite3_value_int64(v[0])) ? 1 : 0);
  }

 private:
  void layout();
  void closeDb();
  int openDb(const std::string& path, int mode, bool checkKeys);
  int checkTable(std::string& why);
  bool keyKindsFit();
  int beginRead(int waitMs);
  int firstStep(sqlite3_stmt* st);
  int configure(bool* derivedKey = nullptr);
  int keyCurrent();
  int exec(const std::string& sql);
  sqlite3_stmt* stmt(const std::string& sql, int* rc);
  int stepDone(sqlite3_stmt* st);
  void bindRecord(sqlite3_stmt* st);
  void bindField(sqlite3_stmt* st, int i, const FieldDesc& f);
  void bindHidden(sqlite3_stmt* st, int i, const Hidden& h);
  std::string fieldsDecl() const;
  std::string keysDecl() const;
  std::string tableSql() const;
  int writable() const {
    if (!db_) return Err::NotOpen;
    if (readOnly_) return Err::AccessDenied;
    return Err::None;
  }
  int sqlFail(int rc) { return fail(sqliteError(rc), db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)); }
  // The page cache the connection's present work wants.
  void applyCache();
  // Every open write transaction of the process is counted (lock_wait.h).
  void setTxn(bool open) {
    if (open != txn_) countWriteTransaction(open);
    txn_ = open;
  }
  // The file's indexes on rec: name -> CREATE statement as SQLite keeps it.
  std::unordered_map<std::string, std::string> indexesOnFile() const;
  // Makes the count indexes the open file lacks, when it can; notes which it has.
  void prepareCountIndexes();

  std::vector<std::string> columns_;  // quoted, per field
  std::vector<Hidden> hidden_;
  std::vector<KeyInfo> keys_;
  std::string selectList_;
  std::string insertSql_;

  sqlite3* db_ = nullptr;
  ShareLock lock_;
  std::unordered_map<std::string, sqlite3_stmt*> stmts_;
  std::int64_t current_ = 0;
  bool txn_ = false;
  bool quick_ = false;
  int cacheKb_ = 0;
  int recoverMs_ = 0;
  std::uint64_t keyGeneration_ = 0;  // of the key the connection was opened with
  std::uint64_t generation_ = 0;
  std::uint64_t noticedTurn_ = 0;
  int changesAtBegin_ = 0;           // SQLite's count of changes when the transaction began
  std::int64_t dataVersion_ = -1;    // -1: not known
  const RowSet* seen_ = nullptr;     // of the query running
  // The last put: the generation it made, its record and the record's key values.
  std::uint64_t putGeneration_ = 0;
  std::int64_t putRow_ = 0;
  std::vector<std::vector<KeyVal>> putKeys_;
};

void IndexedDriver::layout() {
  std::vector<std::string> used;
  auto unique = [&](std::string name) {
    std::string u = upper(name);
    std::string candidate = name;
    for (int n = 2; std::find(used.begin(), used.end(), upper(candidate)) != used.end(); ++n)
      candidate = name + "_" + std::to_string(n);
    used.push_back(upper(candidate));
    return candidate;
  };
  used.push_back("_POS");
  for (const auto& f : desc_.fields) columns_.push_back(quoteId(unique(baseName(f.name))));

  int keyNo = 0;
  for (const auto& k : desc_.keys) {
    KeyInfo info;
    info.key = &k;
    info.index = quoteId("key" + std::to_string(++keyNo) + "_" + baseName(k.name));
    std::string cols, member;
    for (const auto& c : k.components) {
      if (c.field < 0 || static_cast<std::size_t>(c.field) >= desc_.fields.size()) continue;
      const FieldDesc& f = desc_.fields[static_cast<std::size_t>(c.field)];
      KeyCol kc;
      bool negate = false;
      if (isText(f.type)) {
        kc.text = true;
        kc.desc = c.descending;
        std::string name = "_k_" + baseName(f.name);
        auto it = std::find_if(hidden_.begin(), hidden_.end(), [&](const Hidden& h) { return h.field == c.field && h.fold; });
        if (it == hidden_.end()) {
          hidden_.push_back({quoteId(unique(name)), c.field, true});
          it = hidden_.end() - 1;
        }
        kc.column = it->column;
      } else if (c.descending) {
        // A descending number is kept negated so every key reads in one direction.
        negate = true;
        std::string name = "_kd_" + baseName(f.name);
        auto it = std::find_if(hidden_.begin(), hidden_.end(), [&](const Hidden& h) { return h.field == c.field && !h.fold; });
        if (it == hidden_.end()) {
          hidden_.push_back({quoteId(unique(name)), c.field, false});
          it = hidden_.end() - 1;
        }
        kc.column = it->column;
      } else {
        kc.column = columns_[static_cast<std::size_t>(c.field)];
      }
      if (!cols.empty()) cols += ",";
      cols += kc.column + (kc.desc ? " DESC" : "");
      if (!member.empty()) member += " OR ";
      member += kc.column + (kc.text ? "<>''" : "<>0");
      info.cols.push_back(kc);
      info.fields.push_back(c.field);
      info.negate.push_back(negate);
    }
    if (info.cols.empty()) continue;
    info.member = "(" + member + ")";
    info.createSql = "CREATE INDEX " + info.index + " ON rec(" + cols + ") WHERE " + info.member;
    keys_.push_back(std::move(info));
  }
  // After every key: the fold columns are all known by now.
  for (auto& info : keys_) {
    auto wanted = std::find_if(desc_.countIndexes.begin(), desc_.countIndexes.end(),
                               [&](const CountIndexDesc& c) { return upper(c.key) == upper(info.key->name); });
    if (wanted == desc_.countIndexes.end() || wanted->fields.empty()) continue;
    // The first count field leads, so that a count by its value seeks; the key's columns
    // follow, so that a change of any other count field keeps the record's entry in place.
    auto add = [&](const std::string& c) {
      if (std::find(info.countCols.begin(), info.countCols.end(), c) == info.countCols.end())
        info.countCols.push_back(c);
    };
    std::vector<std::string> fieldCols;
    for (int f : wanted->fields) {
      if (f < 0 || static_cast<std::size_t>(f) >= desc_.fields.size()) continue;
      std::string c = columns_[static_cast<std::size_t>(f)];
      for (const auto& h : hidden_)
        if (h.field == f && h.fold) c = h.column;
      fieldCols.push_back(c);
    }
    if (fieldCols.empty()) continue;
    add(fieldCols[0]);
    for (const auto& kc : info.cols) add(kc.column);
    for (const auto& c : fieldCols) add(c);
    std::string list;
    for (const auto& c : info.countCols) list += (list.empty() ? "" : ",") + c;
    info.countIndex = quoteId("count_" + info.index.substr(1, info.index.size() - 2));
    info.countSql = "CREATE INDEX IF NOT EXISTS " + info.countIndex + " ON rec(" + list + ") WHERE " + info.member;
  }

  selectList_ = "_pos";
  for (const auto& c : columns_) selectList_ += "," + c;
  std::string names, values;
  int n = 0;
  auto addCol = [&](const std::string& c) {
    ++n;
    if (!names.empty()) names += ",", values += ",";
    names += c;
    values += "?" + std::to_string(n);
  };
  for (const auto& c : columns_) addCol(c);
  for (const auto& h : hidden_) addCol(h.column);
  // A write of one record that fails has changed nothing, so OR FAIL loses nothing; with
  // SQLite's ABORT every write inside a frame keeps a statement journal, which encrypts
  // each page it touches once more and doubles what a pass's write costs.
  insertSql_ = "INSERT OR FAIL INTO rec(" + names + ") VALUES(" + values + ")";
}

std::string IndexedDriver::fieldsDecl() const {
  static const char* kType[] = {"STRING", "CSTRING", "BYTE", "LONG", "DATE", "TIME", "MEMO"};
  std::string r;
  for (const auto& f : desc_.fields)
    r += upper(f.name) + " " + kType[static_cast<int>(f.type)] + "(" + std::to_string(f.size) + ");";
  return r;
}

std::string IndexedDriver::keysDecl() const {
  std::string r;
  for (const auto& k : keys_) r += k.createSql + ";";
  return r;
}

std::string IndexedDriver::tableSql() const {
  std::string r = "CREATE TABLE rec(_pos INTEGER PRIMARY KEY AUTOINCREMENT";
  for (std::size_t i = 0; i < columns_.size(); ++i)
    r += "," + columns_[i] + (isText(desc_.fields[i].type) ? " TEXT NOT NULL DEFAULT ''" : " INTEGER NOT NULL DEFAULT 0");
  for (const auto& h : hidden_) r += "," + h.column + (h.fold ? " TEXT NOT NULL DEFAULT ''" : " INTEGER NOT NULL DEFAULT 0");
  return r + ")";
}

void IndexedDriver::applyCache() {
  if (!db_) return;
  int kb = quick_ ? kScanCacheKb : txn_ ? kFrameCacheKb : kReadCacheKb;
  if (kb == cacheKb_) return;
  bool shrinks = kb < cacheKb_;
  exec("PRAGMA cache_size=-" + std::to_string(kb));
  cacheKb_ = kb;
  // A whole file's pages go back to the system once the pass is over.
  if (shrinks) malloc_trim(0);
}

std::unordered_map<std::string, std::string> IndexedDriver::indexesOnFile() const {
  std::unordered_map<std::string, std::string> have;
  sqlite3_stmt* q = nullptr;
  sqlite3_prepare_v2(db_, "SELECT name, sql FROM sqlite_master WHERE type='index' AND tbl_name='rec'", -1, &q, nullptr);
  while (q && sqlite3_step(q) == SQLITE_ROW) {
    const char* name = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
    const char* sql = reinterpret_cast<const char*>(sqlite3_column_text(q, 1));
    if (name) have[name] = sql ? sql : "";
  }
  sqlite3_finalize(q);
  return have;
}

void IndexedDriver::prepareCountIndexes() {
  std::unordered_map<std::string, std::string> have = indexesOnFile();
  // SQLite keeps the statement without its IF NOT EXISTS.
  static const std::string kMake = "CREATE INDEX IF NOT EXISTS ";
  auto state = [&](const KeyInfo& k) {
    auto it = have.find(k.countIndex.substr(1, k.countIndex.size() - 2));
    if (it == have.end()) return 0;
    return it->second == "CREATE INDEX " + k.countSql.substr(kMake.size()) ? 1 : -1;
  };
  std::string sql;
  for (const auto& k : keys_) {
    if (k.countIndex.empty()) continue;
    int st = state(k);
    if (st < 0) sql += "DROP INDEX " + k.countIndex + ";";
    if (st <= 0) sql += k.countSql + ";";
  }
  if (!sql.empty() && !readOnly_ && !txn_) {
    // Once per file; when the file cannot take them now, counts read the records.
    if (exec("BEGIN IMMEDIATE;" + sql + "COMMIT") != SQLITE_OK) exec("ROLLBACK");
    have = indexesOnFile();
  }
  for (auto& k : keys_) k.countReady = !k.countIndex.empty() && state(k) == 1;
}

void IndexedDriver::closeDb() {
  sequence.reset();
  for (auto& [sql, st] : stmts_) sqlite3_finalize(st);
  stmts_.clear();
  if (db_) {
    if (txn_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
  setTxn(false);
  cacheKb_ = 0;
  for (auto& k : keys_) k.countReady = false;
  lock_.release();
  current_ = 0;
  dataVersion_ = -1;
  ++generation_;
}

void IndexedDriver::noticeOthers(bool always) {
  if (!db_) return;
  std::uint64_t turn = schedulerTurn();
  // Inside a frame no other connection can commit.
  if (!always && (txn_ || turn == noticedTurn_)) return;
  noticedTurn_ = turn;
  int rc;
  sqlite3_stmt* st = stmt("PRAGMA data_version", &rc);
  std::int64_t version = st && sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
  if (st) sqlite3_reset(st);
  if (version == -1 || (dataVersion_ != -1 && version != dataVersion_)) ++generation_;
  dataVersion_ = version;
}

// Tried again after a lock only where SQLite allows it: outside a transaction, or a
// COMMIT, which keeps its transaction when it meets one.
int IndexedDriver::exec(const std::string& sql) {
  LockWait wait;
  int rc;
  do {
    char* msg = nullptr;
    rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &msg);
    if (msg) sqlite3_free(msg);
  } while (rc == SQLITE_BUSY && (sqlite3_get_autocommit(db_) || sql == "COMMIT") && wait.again(rc));
  return rc;
}

// A statement's first step is where it takes its lock. Inside a transaction the lock is
// the transaction's, and a statement that failed there is not tried again.
int IndexedDriver::firstStep(sqlite3_stmt* st) {
  LockWait wait;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_BUSY && sqlite3_get_autocommit(db_) && wait.again(rc)) sqlite3_reset(st);
  return rc;
}

// A read transaction for the open's checks, so that no other program writes the file
// between them. Waits up to `waitMs` for a program that holds it locked.
int IndexedDriver::beginRead(int waitMs) {
  LockWait wait(waitMs);
  for (;;) {
    int rc;
    auto first = [&] { rc = sqlite3_exec(db_, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr); };
    // The first read of an encrypted file stretches its key, which takes a good part of a
    // second with a password: the windows go on meanwhile.
    if (desc_.cipher)
      runOffThread(first);
    else
      first();
    if (rc == SQLITE_OK) return rc;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!wait.again(rc)) return rc;
  }
}

sqlite3_stmt* IndexedDriver::stmt(const std::string& sql, int* rc) {
  auto it = stmts_.find(sql);
  if (it != stmts_.end()) {
    *rc = SQLITE_OK;
    return it->second;
  }
  sqlite3_stmt* st = nullptr;
  LockWait wait;
  do *rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr);
  while (*rc == SQLITE_BUSY && wait.again(*rc));
  if (*rc != SQLITE_OK) {
    sqlite3_finalize(st);
    return nullptr;
  }
  stmts_.emplace(sql, st);
  return st;
}

int IndexedDriver::stepDone(sqlite3_stmt* st) {
  int rc = firstStep(st);
  while (rc == SQLITE_ROW) rc = sqlite3_step(st);
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int IndexedDriver::configure(bool* derivedKey) {
  keyGeneration_ = desc_.cipher ? desc_.cipher->generation() : 0;
  int rc = sqlite3_create_function_v2(db_, "qb_seen", 1, SQLITE_UTF8, this, fnSeen, nullptr, nullptr, nullptr);
  for (auto [name, fn] : {std::pair{"qb_key", &fnKey}, std::pair{"qb_read", &fnRead}})
    if (rc == SQLITE_OK)
      rc = sqlite3_create_function_v2(db_, name, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, this, fn, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  return configureConnection(db_, desc_, derivedKey);
}

// The table holds a column of its kind for every declared field and nothing else but the
// row id and the store's own key copies. A key copy that is missing is for the key check:
// rebuilding the keys adds it.
int IndexedDriver::checkTable(std::string& why) {
  std::unordered_map<std::string, std::string> want;  // upper name -> type
  want["_POS"] = "INTEGER";
  for (std::size_t i = 0; i < columns_.size(); ++i)
    want[upper(columns_[i].substr(1, columns_[i].size() - 2))] = isText(desc_.fields[i].type) ? "TEXT" : "INTEGER";
  sqlite3_stmt* q = nullptr;
  int rc = sqlite3_prepare_v2(db_, "PRAGMA table_info(rec)", -1, &q, nullptr);
  std::size_t found = 0;
  while (q && (rc = sqlite3_step(q)) == SQLITE_ROW) {
    const char* n = reinterpret_cast<const char*>(sqlite3_column_text(q, 1));
    const char* t = reinterpret_cast<const char*>(sqlite3_column_text(q, 2));
    std::string name = upper(n ? n : ""), type = upper(t ? t : "");
    auto it = want.find(name);
    if (it == want.end()) {
      if (name.rfind("_K_", 0) == 0 || name.rfind("_KD_", 0) == 0) continue;
      if (why.empty()) why = "the file has a column " + name + " that the record does not declare";
    } else if (it->second != type || (name == "_POS") != (sqlite3_column_int(q, 5) == 1)) {
      if (why.empty()) why = "the file's column " + name + " is not of the declared kind";
    } else {
      ++found;
    }
  }
  sqlite3_finalize(q);
  if (rc != SQLITE_DONE) return rc;
  if (why.empty() && found != want.size()) why = "the file lacks a column the record declares";
  return SQLITE_OK;
}

int IndexedDriver::openDb(const std::string& path, int mode, bool checkKeys) {
  int access = mode & 0x0F;
  bool wantWrite = access == OpenMode::ReadWrite || access == OpenMode::WriteOnly;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    int e = errno;
    if (e == ENOENT) {
      auto slash = path.rfind('/');
      std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
      struct stat ds {};
      if (::stat(dir.c_str(), &ds) != 0) return fail(Err::PathNotFound, path);
      return fail(Err::NoFile, path);
    }
    return fail(errnoToError(e), path);
  }
  if (S_ISDIR(st.st_mode)) return fail(Err::AccessDenied, path);
  if (::access(path.c_str(), R_OK) != 0) return fail(errnoToError(errno), path);
  if (st.st_size == 0) return fail(Err::InvalidFile, "empty file");
  // What a wrong key cannot explain: an encrypted file is whole pages.
  if (desc_.cipher && st.st_size % kCipherPageSize != 0) return fail(Err::InvalidFile, "not whole pages");
  if (wantWrite && ::access(path.c_str(), W_OK) != 0) return fail(Err::AccessDenied, path);

  const int lockWaitMs = recoverMs_ > 0 ? recoverMs_ : kLockWaitMs;
  int r = lock_.acquire(path, mode, recoverMs_);
  recoverMs_ = 0;
  if (r != Err::None) return fail(r, "the file is in use with sharing that refuses this open");

  int flags = (wantWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
  auto bail = [&](int code, const std::string& why) {
    std::string d = why.empty() && db_ ? sqlite3_errmsg(db_) : why;
    closeDb();
    return fail(code, d);
  };
  bool encrypted = desc_.cipher != nullptr;
  int rc;
  bool derivedKey = false;
  // The files' key may change while the key is stretched or the first read runs: the file
  // under the name is then another, under the new key, and the open starts again on it.
  for (int tries = 0;; ++tries) {
    rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) return bail(sqliteError(rc), {});
    if (configure(&derivedKey) != SQLITE_OK) return bail(Err::InvalidFile, {});
    rc = beginRead(lockWaitMs);
    if (!encrypted || desc_.cipher->generation() == keyGeneration_ || tries == 3) break;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
  if (derivedKey && (rc & 0xFF) == SQLITE_NOTADB) {
    // The key is wrong, or this SQLCipher stretches keys in another way, or the file
    // was replaced after its salt was read: the passphrase tells.
    sqlite3_close_v2(db_);
    db_ = nullptr;
    rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) return bail(sqliteError(rc), {});
    if (configure(nullptr) != SQLITE_OK) return bail(Err::InvalidFile, {});
    rc = beginRead(lockWaitMs);
    if (rc == SQLITE_OK && !derivedKeysProven()) derivedKeyOpened(false);
  } else if (derivedKey && rc == SQLITE_OK) {
    derivedKeyOpened(true);
  }
  if (rc == SQLITE_BUSY) return bail(Err::AccessDenied, "another program holds the file locked");
  if (rc != SQLITE_OK)
    return bail((rc & 0xFF) == SQLITE_NOTADB ? (encrypted ? Err::BadOwner : Err::InvalidFile) : sqliteError(rc), {});
  std::string format, fields, keys;
  {
    sqlite3_stmt* q = nullptr;
    rc = sqlite3_prepare_v2(db_, "SELECT name, value FROM meta", -1, &q, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(q);
      int code = (rc & 0xFF) == SQLITE_NOTADB ? (encrypted ? Err::BadOwner : Err::InvalidFile)
               : (rc & 0xFF) == SQLITE_ERROR ? Err::InvalidFile : sqliteError(rc);
      return bail(code, {});
    }
    while ((rc = sqlite3_step(q)) == SQLITE_ROW) {
      // A row without a name (SQLite lets one into a TEXT PRIMARY KEY) is none of ours.
      const char* n = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
      if (!n) continue;
      std::string name = n;
      const char* v = reinterpret_cast<const char*>(sqlite3_column_text(q, 1));
      std::string value = v ? v : "";
      if (name == "format") format = value;
      else if (name == "fields") fields = value;
      else if (name == "keys") keys = value;
    }
    sqlite3_finalize(q);
    if (rc != SQLITE_DONE) return bail(sqliteError(rc), {});
  }
  if (format != kFormat) return bail(Err::InvalidFile, "not a data file of this program");
  if (fields != fieldsDecl()) return bail(Err::BadRecord, "the file's record declaration differs");
  {
    std::string why;
    rc = checkTable(why);
    if (rc != SQLITE_OK) return bail(sqliteError(rc), {});
    if (!why.empty()) return bail(Err::BadRecord, why);
  }
  if (checkKeys) {
    if (keys != keysDecl()) return bail(Err::KeyFileRebuild, "the file's keys differ from their declaration");
    const std::unordered_map<std::string, std::string> have = indexesOnFile();
    for (const auto& k : keys_) {
      std::string name = k.index.substr(1, k.index.size() - 2);
      auto it = have.find(name);
      if (it == have.end() || it->second != k.createSql) return bail(Err::KeyFileRebuild, "key index missing or damaged");
    }
    if (!keyKindsFit()) return bail(Err::KeyFileRebuild, "a key holds a value of another kind than its field's");
  }
  sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (wantWrite) {
    if (sqlite3_db_readonly(db_, "main") == 1) return bail(Err::AccessDenied, {});
    // Still a rollback journal, but emptied at each commit instead of made and deleted:
    // that spares every single committed write a directory sync and an unlink.
    exec("PRAGMA journal_mode=TRUNCATE");
  }
  exec("PRAGMA synchronous=FULL");
  mode_ = mode;
  readOnly_ = !wantWrite;
  applyCache();
  if (checkKeys) prepareCountIndexes();
  current_ = 0;
  ++generation_;
  return Err::None;
}

// Whether every key value on file is of its field's kind, as far as the keys' own order
// tells it at once: SQLite orders numbers before texts and texts before blobs, so one seek
// in the index that a column leads finds a value of another kind. A number of the wrong
// value, or a text, is met when its record is read; so is a page that cannot be read, which
// the read that meets it reports.
bool IndexedDriver::keyKindsFit() {
  std::vector<std::string> done;
  for (const auto& k : keys_) {
    const KeyCol& c = k.cols.front();
    if (std::find(done.begin(), done.end(), c.column) != done.end()) continue;
    done.push_back(c.column);
    // Into a TEXT column SQLite turns every number into a text; only a blob stays.
    std::string other = c.column + (c.text ? ">=X''" : ">=''");
    sqlite3_stmt* q = nullptr;
    int rc = sqlite3_prepare_v2(db_, ("SELECT 1 FROM rec INDEXED BY " + k.index + " WHERE " + k.member + " AND " + other + " LIMIT 1").c_str(), -1, &q, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(q);
    sqlite3_finalize(q);
    if (rc == SQLITE_ROW) return false;
  }
  return true;
}

// A connection opened before the file's key changed is on the file as it was then: it
// opens the file again, with the key in force, keeping its place and its sequence.
int IndexedDriver::keyCurrent() {
  if (!db_ || !desc_.cipher || desc_.cipher->generation() == keyGeneration_) return Err::None;
  if (txn_) return fail(Err::NoTransaction, "the file's key changed inside a transaction");
  int mode = mode_;
  std::int64_t current = current_;
  std::unique_ptr<Cursor> seq = std::move(sequence);
  const KeyDesc* seqKey = sequenceKey;
  closeDb();
  int r = openDb(path(), mode, false);
  sequence = std::move(seq);
  sequenceKey = seqKey;
  current_ = current;
  return r;
}

int IndexedDriver::open(int mode) {
  if (db_) closeDb();
  detail_.clear();
  return openDb(path(), mode, true);
}

int IndexedDriver::create() {
  if (db_) closeDb();
  std::string target = path();
  std::string tmp = target + ".qbnew";
  ::unlink(tmp.c_str());
  auto slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  struct stat ds {};
  if (::stat(dir.c_str(), &ds) != 0 || !S_ISDIR(ds.st_mode)) return fail(Err::PathNotFound, dir);
  if (::access(dir.c_str(), W_OK) != 0) return fail(Err::AccessDenied, dir);

  if (int e = createPrivateFile(tmp)) return fail(errnoToError(e), tmp);
  int rc = sqlite3_open_v2(tmp.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  int code = Err::None;
  if (rc == SQLITE_OK) rc = configure();
  if (rc == SQLITE_OK && !desc_.cipher) rc = exec("PRAGMA page_size=4096");
  if (rc == SQLITE_OK) rc = exec("PRAGMA journal_mode=DELETE");
  if (rc == SQLITE_OK) {
    std::string sql = "BEGIN;" + tableSql() + ";";
    for (const auto& k : keys_) sql += k.createSql + ";" + (k.countIndex.empty() ? "" : k.countSql + ";");
    sql += "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT NOT NULL);";
    sql += "INSERT INTO meta VALUES('format'," + quoteText(kFormat) + ");";
    sql += "INSERT INTO meta VALUES('fields'," + quoteText(fieldsDecl()) + ");";
    sql += "INSERT INTO meta VALUES('keys'," + quoteText(keysDecl()) + ");";
    sql += "COMMIT;";
    rc = exec(sql);
  }
  if (rc != SQLITE_OK) {
    code = sqliteError(rc);
    detail_ = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
  }
  sqlite3_close_v2(db_);
  db_ = nullptr;
  if (code != Err::None) {
    ::unlink(tmp.c_str());
    return code;
  }
  // A journal left by the old file would be played back into the new one.
  ::unlink((target + "-journal").c_str());
  ::unlink((target + "-wal").c_str());
  ::unlink((target + "-shm").c_str());
  if (::rename(tmp.c_str(), target.c_str()) != 0) {
    int e = errno;
    ::unlink(tmp.c_str());
    return fail(errnoToError(e), target);
  }
  return Err::None;
}

int IndexedDriver::send(const std::string& option) {
  auto eq = option.find('=');
  std::string name = upper(trim(option.substr(0, eq)));
  std::string value = eq == std::string::npos ? std::string() : upper(trim(option.substr(eq + 1)));
  if (name == "QUICKSCAN") {
    quick_ = value == "ON" || value == "1";
    applyCache();
  } else if (name == "RECOVER") {
    // The next open waits this many tenths of a second for a lock another opener or
    // program holds, in place of the usual wait (which the refused open has spent).
    int n = 0;
    try { n = std::stoi(value); } catch (...) { n = 0; }
    recoverMs_ = std::clamp(n, 0, 100) * 100;
  }
  return Err::None;
}

void IndexedDriver::bindField(sqlite3_stmt* st, int i, const FieldDesc& f) {
  if (isText(f.type)) {
    std::string t = fieldText(f, buffer_);
    sqlite3_bind_text(st, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_int64(st, i, fieldInt(f, buffer_));
  }
}

void IndexedDriver::bindHidden(sqlite3_stmt* st, int i, const Hidden& h) {
  const FieldDesc& f = desc_.fields[static_cast<std::size_t>(h.field)];
  if (h.fold) {
    std::string t = caseFold(fieldText(f, buffer_));
    sqlite3_bind_text(st, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_int64(st, i, -fieldInt(f, buffer_));
  }
}

void IndexedDriver::bindRecord(sqlite3_stmt* st) {
  int i = 0;
  for (const auto& f : desc_.fields) bindField(st, ++i, f);
  for (const auto& h : hidden_) bindHidden(st, ++i, h);
}

int IndexedDriver::add() {
  if (int r = keyCurrent()) return r;
  if (int w = writable()) return fail(w);
  int rc;
  sqlite3_stmt* st = stmt(insertSql_, &rc);
  if (!st) return sqlFail(rc);
  bindRecord(st);
  rc = stepDone(st);
  if (rc != SQLITE_OK) return sqlFail(rc);
  current_ = sqlite3_last_insert_rowid(db_);
  ++generation_;
  return Err::None;
}

int IndexedDriver::put() {
  if (int r = keyCurrent()) return r;
  if (int w = writable()) return fail(w);
  if (current_ == 0) return fail(Err::RecordNotAvailable, "no current record");
  // Only the fields that differ from the record as the file has it now are written: the
  // record ends as the buffer has it, as when every field is written, but a pass that
  // rewrites every record changes few of them, and most indexes stay as they are.
  int rc;
  sqlite3_stmt* now = stmt("SELECT " + selectList_ + " FROM rec WHERE _pos=?1", &rc);
  if (!now) return sqlFail(rc);
  sqlite3_bind_int64(now, 1, current_);
  rc = firstStep(now);
  std::vector<std::size_t> changed;
  if (rc == SQLITE_ROW) {
    for (std::size_t i = 0; i < desc_.fields.size(); ++i) {
      const FieldDesc& f = desc_.fields[i];
      const int col = static_cast<int>(i + 1);
      bool same;
      if (isText(f.type)) {
        const char* t = reinterpret_cast<const char*>(sqlite3_column_text(now, col));
        std::string_view v(t ? t : "", t ? static_cast<std::size_t>(sqlite3_column_bytes(now, col)) : 0);
        same = sqlite3_column_type(now, col) == SQLITE_TEXT && v == fieldText(f, buffer_);
      } else {
        same = sqlite3_column_type(now, col) == SQLITE_INTEGER && sqlite3_column_int64(now, col) == fieldInt(f, buffer_);
      }
      if (!same) changed.push_back(i);
    }
  }
  sqlite3_reset(now);
  if (rc == SQLITE_DONE) return fail(Err::RecordNotAvailable, "the record is no longer in the file");
  if (rc != SQLITE_ROW) return sqlFail(rc);
  if (!changed.empty()) {
    std::string sets;
    int n = 0;
    for (std::size_t i : changed) {
      sets += (n ? "," : "") + columns_[i] + "=?" + std::to_string(n + 1);
      ++n;
      for (const auto& h : hidden_)
        if (static_cast<std::size_t>(h.field) == i) sets += "," + h.column + "=?" + std::to_string(++n);
    }
    // OR FAIL: as for an insert.
    sqlite3_stmt* st = stmt("UPDATE OR FAIL rec SET " + sets + " WHERE _pos=?" + std::to_string(n + 1), &rc);
    if (!st) return sqlFail(rc);
    int b = 0;
    for (std::size_t i : changed) {
      bindField(st, ++b, desc_.fields[i]);
      for (const auto& h : hidden_)
        if (static_cast<std::size_t>(h.field) == i) bindHidden(st, ++b, h);
    }
    sqlite3_bind_int64(st, n + 1, current_);
    rc = stepDone(st);
    if (rc != SQLITE_OK) return sqlFail(rc);
  }
  ++generation_;
  putGeneration_ = generation_;
  putRow_ = current_;
  putKeys_.clear();
  for (const auto& k : keys_) putKeys_.push_back(keyFromBuffer(k));
  return Err::None;
}

int IndexedDriver::remove() {
  if (int r = keyCurrent()) return r;
  if (int w = writable()) return fail(w);
  if (current_ == 0) return fail(Err::RecordNotAvailable, "no current record");
  int rc;
  sqlite3_stmt* st = stmt("DELETE FROM rec WHERE _pos=?1", &rc);
  if (!st) return sqlFail(rc);
  sqlite3_bind_int64(st, 1, current_);
  rc = stepDone(st);
  if (rc != SQLITE_OK) return sqlFail(rc);
  ++generation_;
  bool gone = sqlite3_changes(db_) == 0;
  current_ = 0;
  if (gone) return fail(Err::RecordNotAvailable, "the record is no longer in the file");
  return Err::None;
}

int IndexedDriver::get(const Position& pos) {
  if (int r = keyCurrent()) return r;
  if (!db_) return fail(Err::NotOpen);
  if (pos.row == 0) return fail(Err::RecordNotAvailable);
  int rc;
  sqlite3_stmt* st = stmt("SELECT " + selectList_ + " FROM rec WHERE _pos=?1", &rc);
  if (!st) return sqlFail(rc);
  sqlite3_bind_int64(st, 1, pos.row);
  rc = firstStep(st);
  if (rc == SQLITE_ROW) {
    for (std::size_t i = 0; i < desc_.fields.size(); ++i)
      storeField(desc_.fields[i], buffer_, st, static_cast<int>(i + 1));
    current_ = pos.row;
  }
  int done = rc == SQLITE_ROW ? SQLITE_OK : rc;
  sqlite3_reset(st);
  if (done == SQLITE_DONE) return fail(Err::RecordNotAvailable);
  if (done != SQLITE_OK) return sqlFail(done);
  return Err::None;
}

int IndexedDriver::get(const KeyDesc& key) {
  if (int r = keyCurrent()) return r;
  if (!db_) return fail(Err::NotOpen);
  const KeyInfo* k = keyInfo(&key);
  if (!k) return fail(Err::BadRecord, "unknown key " + key.name);
  std::vector<KeyVal> vals = keyFromBuffer(*k);
  std::string where = k->member, order;
  for (std::size_t i = 0; i < k->cols.size(); ++i) {
    where += " AND " + k->cols[i].column + "=?" + std::to_string(i + 1);
    order += k->cols[i].column + (k->cols[i].desc ? " DESC," : ",");
  }
  int rc;
  sqlite3_stmt* st = stmt("SELECT " + selectList_ + " FROM rec WHERE " + where + " ORDER BY " + order + "_pos LIMIT 1", &rc);
  if (!st) return sqlFail(rc);
  for (std::size_t i = 0; i < vals.size(); ++i) bindKeyVal(st, static_cast<int>(i + 1), vals[i]);
  rc = firstStep(st);
  if (rc == SQLITE_ROW) {
    for (std::size_t i = 0; i < desc_.fields.size(); ++i)
      storeField(desc_.fields[i], buffer_, st, static_cast<int>(i + 1));
    current_ = sqlite3_column_int64(st, 0);
  }
  int done = rc == SQLITE_ROW ? SQLITE_OK : rc;
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  if (done == SQLITE_DONE) return fail(Err::RecordNotAvailable);
  if (done != SQLITE_OK) return sqlFail(done);
  return Err::None;
}

std::int64_t IndexedDriver::records() {
  if (keyCurrent()) return -1;
  if (!db_) return fail(Err::NotOpen), -1;
  int rc;
  sqlite3_stmt* st = stmt("SELECT count(*) FROM rec", &rc);
  if (!st) return sqlFail(rc), -1;
  rc = firstStep(st);
  std::int64_t n = rc == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
  sqlite3_reset(st);
  if (n < 0) return sqlFail(rc), -1;
  return n;
}

std::int64_t IndexedDriver::count(const CursorSpec& spec) {
  if (keyCurrent()) return -1;
  if (!db_) return fail(Err::NotOpen), -1;
  const KeyInfo* k = keyInfo(spec.key);
  std::string where = k ? k->member : "1";
  bool filtered = spec.filter && !spec.filter->where.empty();
  if (filtered) where += " AND (" + spec.filter->where + ")";
  // A filter that tests only columns of the key's count index is answered by that index
  // alone; any other reads every record anyway, and in table order that is far cheaper
  // than through the key's index.
  std::string from = " FROM rec";
  if (filtered) {
    auto covers = [&](const std::vector<std::string>& cols) {
      for (const auto& c : spec.filter->columns)
        if (std::find(cols.begin(), cols.end(), c) == cols.end()) return false;
      return true;
    };
    std::vector<std::string> keyCols;
    if (k)
      for (const auto& c : k->cols) keyCols.push_back(c.column);
    if (k && covers(keyCols))
      from += " INDEXED BY " + k->index;
    else if (k && k->countReady && covers(k->countCols))
      from += " INDEXED BY " + k->countIndex;
    else
      from += " NOT INDEXED";
  }
  int rc;
  sqlite3_stmt* st = stmt("SELECT count(*)" + from + " WHERE " + where, &rc);
  if (!st) return sqlFail(rc), -1;
  if (spec.filter)
    for (const auto& [name, v] : spec.filter->params) {
      int i = sqlite3_bind_parameter_index(st, name.c_str());
      if (i > 0) bindValue(st, i, v);
    }
  rc = firstStep(st);
  std::int64_t n = rc == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  if (n < 0) return sqlFail(rc), -1;
  return n;
}

int IndexedDriver::lookupKey(const KeyInfo& k, std::int64_t pos, std::vector<KeyVal>& out, bool& found) {
  found = false;
  if (int r = keyCurrent()) return r;
  std::string cols;
  for (const auto& c : k.cols) cols += (cols.empty() ? "" : ",") + c.column;
  int rc;
  sqlite3_stmt* st = stmt("SELECT " + cols + " FROM rec WHERE _pos=?1", &rc);
  if (!st) return sqlFail(rc);
  sqlite3_bind_int64(st, 1, pos);
  rc = firstStep(st);
  found = rc == SQLITE_ROW;
  out.clear();
  const bool read = found;
  for (std::size_t i = 0; found && i < k.cols.size(); ++i) {
    const int c = static_cast<int>(i);
    // A value of another kind is no place to seek from: the position's own key is.
    found = sqlite3_column_type(st, c) == (k.cols[i].text ? SQLITE_TEXT : SQLITE_INTEGER);
    out.push_back(columnKeyVal(st, c, k.cols[i].text));
  }
  if (!found) out.clear();
  sqlite3_reset(st);
  if (!read && rc != SQLITE_DONE) return sqlFail(rc);
  return Err::None;
}

// Reads up to `limit` records after (or, at a bound, from) the state's place, in the
// key's order, backwards when `back`: keyset paging on (key columns, position).
int IndexedDriver::query(const KeyInfo* k, const SqlFilter* filter, const SeqState& state,
                         bool back, int limit, std::vector<Row>& out, const RowSet* seen) {
  out.clear();
  if (int r = keyCurrent()) return r;
  if (!db_) return fail(Err::NotOpen);
  // What the page is read from, for noticeOthers to tell a later commit by.
  if (dataVersion_ == -1) noticeOthers(true);
  std::vector<std::string> cols;
  std::vector<bool> desc;
  if (k)
    for (const auto& c : k->cols) {
      cols.push_back(c.column);
      desc.push_back(c.desc != back);
    }
  cols.push_back("_pos");
  desc.push_back(back);

  std::string sql = "SELECT " + selectList_;
  if (k)
    for (const auto& c : k->cols) sql += "," + c.column;
  // The key's own index gives the order; a filter's test of a count index's column
  // must not lead the planner to seek there and sort.
  sql += k ? " FROM rec INDEXED BY " + k->index + " WHERE " : std::string(" FROM rec WHERE ");
  std::string where = k ? k->member : "1";
  if (state.kind != SeqState::Start) {
    bool inclusive = state.kind == SeqState::Bound;
    bool uniform = std::all_of(desc.begin(), desc.end(), [&](bool d) { return d == desc[0]; });
    auto param = [](std::size_t i) { return ":k" + std::to_string(i); };
    if (uniform) {
      std::string l = "(", r = "(";
      for (std::size_t i = 0; i < cols.size(); ++i) {
        l += (i ? "," : "") + cols[i];
        r += (i ? "," : "") + param(i);
      }
      where += " AND " + l + ")" + (desc[0] ? "<" : ">") + (inclusive ? "=" : "") + r + ")";
    } else {
      // Mixed directions: a seek on the first column, then the exact place.
      where += " AND " + cols[0] + (desc[0] ? "<=" : ">=") + param(0) + " AND (";
      for (std::size_t i = 0; i < cols.size(); ++i) {
        if (i) where += " OR ";
        where += "(";
        for (std::size_t j = 0; j < i; ++j) where += cols[j] + "=" + param(j) + " AND ";
        bool last = i + 1 == cols.size();
        where += cols[i] + (desc[i] ? "<" : ">") + (last && inclusive ? "=" : "") + param(i) + ")";
      }
      where += ")";
    }
  }
  if (filter && !filter->where.empty()) where += " AND (" + filter->where + ")";
  if (seen) where += " AND NOT qb_seen(_pos)";
  sql += where + " ORDER BY ";
  for (std::size_t i = 0; i < cols.size(); ++i) sql += (i ? "," : "") + cols[i] + (desc[i] ? " DESC" : "");
  sql += " LIMIT :lim";

  int rc;
  sqlite3_stmt* st = stmt(sql, &rc);
  if (!st) return sqlFail(rc);
  if (state.kind != SeqState::Start) {
    for (std::size_t i = 0; i < state.key.size() && i + 1 < cols.size(); ++i)
      bindKeyVal(st, sqlite3_bind_parameter_index(st, (":k" + std::to_string(i)).c_str()), state.key[i]);
    std::int64_t pos = state.posKnown ? state.pos : (back ? INT64_MAX : INT64_MIN);
    sqlite3_bind_int64(st, sqlite3_bind_parameter_index(st, (":k" + std::to_string(cols.size() - 1)).c_str()), pos);
  }
  if (filter)
    for (const auto& [name, v] : filter->params) {
      int i = sqlite3_bind_parameter_index(st, name.c_str());
      if (i > 0) bindValue(st, i, v);
    }
  sqlite3_bind_int(st, sqlite3_bind_parameter_index(st, ":lim"), limit);
  // qb_seen finds the set through the driver, for as long as the statement runs.
  struct Lend {
    const RowSet*& slot;
    ~Lend() { slot = nullptr; }
  } lend{seen_};
  seen_ = seen;

  const int nf = static_cast<int>(desc_.fields.size());
  for (rc = firstStep(st); rc == SQLITE_ROW; rc = sqlite3_step(st)) {
    Row row;
    row.pos = sqlite3_column_int64(st, 0);
    row.image.assign(buffer_, buffer_ + desc_.bufferSize);
    for (int i = 0; i < nf; ++i) storeField(desc_.fields[static_cast<std::size_t>(i)], row.image.data(), st, i + 1);
    if (k) {
      bool fits = true;
      for (std::size_t i = 0; i < k->cols.size(); ++i) {
        int c = nf + 1 + static_cast<int>(i);
        fits = fits && sqlite3_column_type(st, c) == (k->cols[i].text ? SQLITE_TEXT : SQLITE_INTEGER);
        row.key.push_back(columnKeyVal(st, c, k->cols[i].text));
      }
      // Another program's edit, or a damaged disk: the record is not where its fields
      // put it, and a page sought from its value would bring it back for good. None of
      // the page is handed out, so that a sequence with nothing read yet can start
      // again, in the right order, once the keys are rebuilt.
      if (!fits || row.key != keyOf(*k, row.image.data())) {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        out.clear();
        return damagedKey(row.pos);
      }
    }
    out.push_back(std::move(row));
  }
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  if (rc != SQLITE_DONE) {
    out.clear();
    return sqlFail(rc);
  }
  return Err::None;
}

int IndexedDriver::build() {
  if (int r = keyCurrent()) return r;
  bool wasOpen = db_ != nullptr;
  if (wasOpen && readOnly_) return fail(Err::AccessDenied);
  if (wasOpen && txn_) return fail(Err::NoTransaction, "cannot rebuild keys inside a transaction");
  if (!wasOpen) {
    int r = openDb(path(), OpenMode::ReadWrite | OpenMode::DenyNone, false);
    if (r != Err::None) return r;
  }
  std::string sql = "BEGIN IMMEDIATE;";
  // Hidden columns the file does not have yet.
  std::vector<std::string> existing;
  {
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db_, "PRAGMA table_info(rec)", -1, &q, nullptr);
    while (q && sqlite3_step(q) == SQLITE_ROW)
      if (const char* n = reinterpret_cast<const char*>(sqlite3_column_text(q, 1))) existing.push_back(upper(n));
    sqlite3_finalize(q);
  }
  {
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db_, "SELECT name FROM sqlite_master WHERE type='index' AND tbl_name='rec' AND sql IS NOT NULL", -1, &q, nullptr);
    while (q && sqlite3_step(q) == SQLITE_ROW)
      if (const char* n = reinterpret_cast<const char*>(sqlite3_column_text(q, 0))) sql += "DROP INDEX " + quoteId(n) + ";";
    sqlite3_finalize(q);
  }
  std::string sets;
  for (const auto& h : hidden_) {
    std::string bare = h.column.substr(1, h.column.size() - 2);
    if (std::find(existing.begin(), existing.end(), upper(bare)) == existing.end())
      sql += "ALTER TABLE rec ADD COLUMN " + h.column + (h.fold ? " TEXT NOT NULL DEFAULT ''" : " INTEGER NOT NULL DEFAULT 0") + ";";
    const std::string& src = columns_[static_cast<std::size_t>(h.field)];
    // As a read takes the field: a value of another kind or too long for it makes the
    // key the program reads it by.
    sets += (sets.empty() ? "" : ",") + h.column + "=qb_key(" + src + "," + std::to_string(h.field) + ")";
  }
  if (!sets.empty()) sql += "UPDATE rec SET " + sets + ";";
  for (const auto& k : keys_) sql += k.createSql + ";" + (k.countIndex.empty() ? "" : k.countSql + ";");
  sql += "INSERT OR REPLACE INTO meta VALUES('keys'," + quoteText(keysDecl()) + ");COMMIT;";
  for (auto& [s, st] : stmts_) sqlite3_finalize(st);
  stmts_.clear();
  int rc = exec(sql);
  int code = Err::None;
  if (rc != SQLITE_OK) {
    code = sqlFail(rc);
    exec("ROLLBACK");
  }
  for (auto& k : keys_) k.countReady = code == Err::None && !k.countIndex.empty();
  ++generation_;
  if (!wasOpen) closeDb();
  return code;
}

int IndexedDriver::logout() {
  if (int r = keyCurrent()) return r;
  if (int w = writable()) return fail(w);
  if (txn_) return fail(Err::NoTransaction, "a transaction is already open");
  int rc = exec("BEGIN IMMEDIATE");
  if (rc != SQLITE_OK) return sqlFail(rc);
  setTxn(true);
  changesAtBegin_ = sqlite3_total_changes(db_);
  noticeOthers(true);
  // A frame's dirty pages stay in memory until its commit: spilling them mid-frame
  // encrypts and decrypts the same index pages again and again.
  applyCache();
  return Err::None;
}

int IndexedDriver::commit() {
  if (!db_) return fail(Err::NotOpen);
  if (!txn_) return fail(Err::NoTransaction, "no transaction is open");
  int rc;
  if (sqlite3_total_changes(db_) - changesAtBegin_ > kInlineCommitChanges) {
    // A pass's frame: encrypting and writing its pages takes a while, and the windows go
    // on meanwhile.
    LockWait wait;
    do runOffThread([&] { rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); });
    while (rc == SQLITE_BUSY && wait.again(rc));
  } else {
    rc = exec("COMMIT");
  }
  if (rc != SQLITE_OK) return sqlFail(rc);
  setTxn(false);
  applyCache();
  return Err::None;
}

int IndexedDriver::rollback() {
  if (!db_) return fail(Err::NotOpen);
  if (!txn_) return fail(Err::NoTransaction, "no transaction is open");
  int rc = exec("ROLLBACK");
  setTxn(false);
  applyCache();
  ++generation_;
  if (rc != SQLITE_OK) return sqlFail(rc);
  return Err::None;
}

// ---------------------------------------------------------------- cursor

class SqlCursor final : public Cursor {
 public:
  SqlCursor(IndexedDriver& d, const IndexedDriver::KeyInfo* key, bool reverse, const SqlFilter* filter,
            bool eachOnce)
      : d_(d), key_(key), reverse_(reverse), filter_(filter), eachOnce_(eachOnce) {}

  void setStart() override { restart(SeqState{}); }
  void setFromBuffer() override {
    SeqState s;
    if (key_) {
      s.kind = SeqState::Bound;
      s.key = d_.keyFromBuffer(*key_);
      s.posKnown = false;
    }
    restart(std::move(s));
  }
  void setAt(const Position& pos) override {
    SeqState s;
    s.kind = SeqState::Bound;
    s.pos = pos.row;
    if (key_) {
      bool found = false;
      int r = d_.lookupKey(*key_, pos.row, s.key, found);
      if (r != Err::None) {
        restart(SeqState{});
        pending_ = r;
        return;
      }
      if (!found && !decodeKey(pos.key, key_->key->name, key_->cols.size(), s.key)) s = SeqState{};
    }
    restart(std::move(s));
  }
  int next() override { return step(false); }
  int previous() override { return step(true); }
  Position position() const override { return state_.last; }
  int reread() override {
    d_.noticeOthers(false);
    if (gen_ == d_.generation() || state_.kind != SeqState::After || state_.last.empty()) return Err::None;
    // From its place again: it may have changed, moved, gone or left the filter.
    if (eachOnce_) seen_.erase(state_.pos);
    state_.kind = SeqState::Bound;
    page_.clear();
    idx_ = 0;
    return step(pageBack_ != reverse_);
  }
  void setPageHint(int rows) override { hint_ = rows; }
  std::shared_ptr<void> save() const override { return std::make_shared<SeqState>(state_); }
  void restore(const std::shared_ptr<void>& s) override {
    if (s) restart(*static_cast<const SeqState*>(s.get()));
  }

 private:
  void restart(SeqState s) {
    Position last = state_.last;
    state_ = std::move(s);
    if (state_.last.empty()) state_.last = last;
    page_.clear();
    idx_ = 0;
    pending_ = 0;
    size_ = 0;
    seen_.clear();
    moved_ = false;
    catchingUp_ = false;
    gen_ = d_.generation();
  }

  int step(bool prev) {
    if (pending_) {
      int r = pending_;
      pending_ = 0;
      return r;
    }
    bool back = prev != reverse_;
    d_.noticeOthers(false);
    // A pass that rewrites each record as it reads it keeps its page.
    if (gen_ != d_.generation() && state_.kind == SeqState::After &&
        d_.onlyRewrote(gen_, state_.pos, key_, state_.key))
      gen_ = d_.generation();
    for (;;) {
      if (idx_ >= page_.size() || pageBack_ != back || gen_ != d_.generation()) {
        // A write since the last page may have moved records ahead of the walk behind it.
        if (gen_ != d_.generation()) moved_ = true;
        int first = d_.quickScan() ? kQuickFirst : kPageFirst;
        int max = d_.quickScan() ? kQuickMax : kPageMax;
        first = std::max(first, hint_);
        max = std::max(max, hint_);
        size_ = (pageBack_ == back && size_ > 0 && gen_ == d_.generation()) ? std::min(size_ * 2, max) : first;
        std::vector<Row> rows;
        int r = d_.query(key_, filter_, state_, back, size_, rows, catchingUp_ ? &seen_ : nullptr);
        page_.clear();
        idx_ = 0;
        pageBack_ = back;
        gen_ = d_.generation();
        if (r != Err::None) {
          size_ = 0;
          return r;
        }
        if (rows.empty()) {
          size_ = 0;
          // Records that writers moved behind the walk (or put there) come last. In
          // record order nothing moves.
          if (!eachOnce_ || !key_ || !moved_) return Err::RecordNotAvailable;
          moved_ = false;
          catchingUp_ = true;
          Position last = state_.last;
          state_ = SeqState{};
          state_.last = last;
          continue;
        }
        page_ = std::move(rows);
      }
      Row& row = page_[idx_++];
      state_.kind = SeqState::After;
      state_.pos = row.pos;
      state_.posKnown = true;
      state_.key = row.key;
      // Read before at its old place: a writer moved it on ahead of the walk.
      if (eachOnce_ && !seen_.insert(row.pos)) continue;
      std::memcpy(d_.buffer(), row.image.data(), row.image.size());
      d_.setCurrentRow(row.pos);
      state_.last = Position{row.pos, key_ ? encodeKey(key_->key->name, row.key) : std::string()};
      return Err::None;
    }
  }

  IndexedDriver& d_;
  const IndexedDriver::KeyInfo* key_;
  bool reverse_;
  const SqlFilter* filter_;
  SeqState state_;
  std::vector<Row> page_;
  std::size_t idx_ = 0;
  bool pageBack_ = false;
  std::uint64_t gen_ = 0;
  int size_ = 0;
  int hint_ = 0;
  int pending_ = 0;
  bool eachOnce_ = false;
  RowSet seen_;            // of a walk: the records read
  bool moved_ = false;     // written since the walk or its catch-up began
  bool catchingUp_ = false;
};

std::unique_ptr<Cursor> IndexedDriver::cursor(const CursorSpec& spec) {
  const KeyInfo* k = nullptr;
  if (spec.key) {
    k = keyInfo(spec.key);
    if (!k) return nullptr;
  }
  return std::make_unique<SqlCursor>(*this, k, spec.reverse, spec.filter, spec.eachOnce);
}

}  // namespace

std::unique_ptr<FileDriver> makeIndexedDriver(const FileDesc& desc, void* buffer) {
  return std::make_unique<IndexedDriver>(desc, buffer);
}

}  // namespace pf
