#include "platform/store/joint_change.h"

#include <sqlite3.h>

#include "platform/core/errors.h"
#include "platform/core/field.h"
#include <optional>

#include "platform/runtime/runtime.h"
#include "platform/store/cipher.h"
#include "platform/store/driver.h"
#include "platform/store/sql_functions.h"
#include "platform/store/connection.h"

namespace pf {
namespace {

// As long as the store's own connections wait for another writer; this wait is off
// the GUI thread.
constexpr int kBusyWaitMs = 3000;
// Enough page cache to hold every page a whole-file change dirties until its commit.
constexpr const char* kCacheSize = "PRAGMA main.cache_size=-131072";

bool isText(FieldType t) { return t == FieldType::String || t == FieldType::CString; }

// A text as a write of its record stores it: cut to the field at a character boundary,
// without the blanks that pad the field.
std::string storedText(const FieldDesc& f, const std::string& text) {
  std::string_view t(text);
  if (f.type == FieldType::CString) t = t.substr(0, t.find('\0'));
  t = t.substr(0, utf8Fit(t, f.type == FieldType::CString && f.size > 0 ? f.size - 1 : f.size));
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  return std::string(t);
}

struct Database {
  File* file;
  std::string path, schema;
  std::optional<CipherKey> key;  // copied: the job must not read the key source
  const CipherKey* keyOrPlain() const { return key ? &*key : nullptr; }
};

struct Statement {
  std::string sql;
  std::string to, from;
  std::int64_t row = 0;
  bool byName = true;
  bool checkFrom = false;
  std::string existsSql;  // a set: whether its record is still there
  std::size_t db = 0;
  // A rewrite by name: how to count its records and the file's, and the indexes that
  // hold the field ({qualified name, CREATE INDEX qualified}).
  std::string countSql, totalSql;
  std::vector<std::pair<std::string, std::string>> indexes;
};

// Index maintenance record by record costs more than making the index again once about
// this share of the records changes.
constexpr std::int64_t kRebuildShare = 4;

std::int64_t countOf(sqlite3* db, const std::string& sql, const std::string* text, std::int64_t row = 0) {
  sqlite3_stmt* st = nullptr;
  std::int64_t n = -1;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
    if (text) sqlite3_bind_text(st, 1, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
    if (row) sqlite3_bind_int64(st, 1, row);
    if (sqlite3_step(st) == SQLITE_ROW) n = sqlite3_column_int64(st, 0);
  }
  sqlite3_finalize(st);
  return n;
}

// The transaction, run on whichever OS thread commit() chose.
struct Job {
  std::vector<Database> dbs;
  std::vector<Statement> stmts;
  // Results.
  int code = Err::None;
  std::size_t failedDb = 0;
  std::string detail;
  std::vector<std::int64_t> changed;

  void fail(int sqliteRc, sqlite3* db, std::size_t which, int asCode = -1) {
    code = asCode >= 0 ? asCode : sqliteError(sqliteRc);
    if (code == Err::None) code = Err::FileSystemError;
    failedDb = which;
    if (detail.empty()) detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(sqliteRc);
  }

  void run() {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(dbs[0].path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    bool derivedKey = false;
    if (rc == SQLITE_OK) rc = keyConnection(db, dbs[0].keyOrPlain(), derivedKeysProven() ? &derivedKey : nullptr);
    if (rc == SQLITE_OK) rc = registerFilterFunctions(db);
    if (rc != SQLITE_OK) {
      fail(rc, db, 0);
      sqlite3_close_v2(db);
      return;
    }
    sqlite3_busy_timeout(db, kBusyWaitMs);
    for (std::size_t i = 1; i < dbs.size(); ++i) {
      rc = attachKeyed(db, dbs[i].path, dbs[i].schema, dbs[i].keyOrPlain());
      if (rc != SQLITE_OK) {
        fail(rc, db, i);
        sqlite3_close_v2(db);
        return;
      }
    }
    auto exec = [&](const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr); };
    exec(kCacheSize);
    // Rollback journals on every file: together with fully synchronous writes, they are
    // what makes the commit atomic across the files.
    exec("PRAGMA journal_mode=TRUNCATE");
    for (const auto& d : dbs) exec("PRAGMA \"" + d.schema + "\".synchronous=FULL");
    rc = exec("BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
      fail(rc, db, 0);
      sqlite3_close_v2(db);
      return;
    }
    for (const auto& s : stmts) {
      // A name most records carry: its indexes are dropped and made again after the
      // change, inside the same transaction.
      bool rebuild = false;
      if (s.byName && !s.indexes.empty()) {
        std::int64_t n = countOf(db, s.countSql, &s.from), total = countOf(db, s.totalSql, nullptr);
        rebuild = n > 1000 && n * kRebuildShare > total;
      }
      rc = SQLITE_OK;
      for (std::size_t i = 0; rebuild && rc == SQLITE_OK && i < s.indexes.size(); ++i)
        rc = exec("DROP INDEX " + s.indexes[i].first);
      if (rc != SQLITE_OK) {
        fail(rc, db, s.db);
        break;
      }
      sqlite3_stmt* st = nullptr;
      rc = sqlite3_prepare_v2(db, s.sql.c_str(), -1, &st, nullptr);
      if (rc == SQLITE_OK) {
        sqlite3_bind_text(st, 1, s.to.data(), static_cast<int>(s.to.size()), SQLITE_TRANSIENT);
        if (s.byName)
          sqlite3_bind_text(st, 2, s.from.data(), static_cast<int>(s.from.size()), SQLITE_TRANSIENT);
        else
          sqlite3_bind_int64(st, 2, s.row);
        if (s.checkFrom) sqlite3_bind_text(st, 3, s.from.data(), static_cast<int>(s.from.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(st);
        if (rc == SQLITE_DONE) rc = SQLITE_OK;
      }
      sqlite3_finalize(st);
      std::int64_t n = sqlite3_changes(db);
      for (std::size_t i = 0; rebuild && rc == SQLITE_OK && i < s.indexes.size(); ++i)
        rc = exec(s.indexes[i].second);
      if (rc != SQLITE_OK) {
        fail(rc, db, s.db);
        break;
      }
      if (!s.byName && n != 1) {
        if (s.checkFrom && countOf(db, s.existsSql, nullptr, s.row) == 1) {
          fail(SQLITE_OK, db, s.db, Err::FileChanged);
          detail = "another writer changed the record after it was read";
        } else {
          fail(SQLITE_OK, db, s.db, Err::RecordNotAvailable);
          detail = "the record is no longer in the file";
        }
        break;
      }
      changed.push_back(n);
    }
    if (code == Err::None) {
      rc = exec("COMMIT");
      if (rc != SQLITE_OK) fail(rc, db, 0);
    }
    if (code != Err::None) {
      exec("ROLLBACK");
      changed.clear();
    }
    sqlite3_close_v2(db);
  }
};

}  // namespace

void JointChange::setIfStill(File& file, const Position& pos, int field, const std::string& from,
                             const std::string& to) {
  set(file, pos, field, to);
  steps_.back().checkFrom = true;
  steps_.back().from = from;
}

void JointChange::rewrite(File& file, int field, const std::string& from, const std::string& to) {
  Step s;
  s.file = &file;
  s.field = field;
  s.from = from;
  s.to = to;
  steps_.push_back(std::move(s));
}

void JointChange::set(File& file, const Position& pos, int field, const std::string& to) {
  Step s;
  s.file = &file;
  s.field = field;
  s.byName = false;
  s.row = pos.row;
  s.to = to;
  steps_.push_back(std::move(s));
}

int JointChange::commit() {
  changed_.clear();
  failed_ = nullptr;
  if (steps_.empty()) {
    clearError();
    return Err::None;
  }
  auto refuse = [&](File& f, int code, const std::string& why) {
    failed_ = &f;
    setError(code, f.name(), why);
    return code;
  };
  Job job;
  for (const Step& s : steps_) {
    File& f = *s.file;
    FileDriver* d = f.driver();
    if (!f.isOpen()) return refuse(f, Err::NotOpen, {});
    if (f.readOnly()) return refuse(f, Err::AccessDenied, "the file is open read-only");
    if (!d || d->sqlTable().empty()) return refuse(f, Err::BadRecord, "not an indexed file");
    const auto& fields = f.desc().fields;
    if (s.field < 0 || static_cast<std::size_t>(s.field) >= fields.size() ||
        !isText(fields[static_cast<std::size_t>(s.field)].type))
      return refuse(f, Err::BadRecord, "not a text field");
    std::string path = d->path();
    std::size_t which = 0;
    while (which < job.dbs.size() && job.dbs[which].path != path) ++which;
    if (which == job.dbs.size()) {
      Database db{&f, path, which == 0 ? "main" : "f" + std::to_string(which), std::nullopt};
      if (const CipherKey* key = currentKey(f.desc())) db.key = *key;
      job.dbs.push_back(std::move(db));
    }
    const std::string table = "\"" + job.dbs[which].schema + "\"." + d->sqlTable();
    const std::string column = d->sqlColumns()[static_cast<std::size_t>(s.field)];
    const std::string fold = d->sqlFoldColumn(s.field);
    Statement st;
    st.db = which;
    st.byName = s.byName;
    st.to = storedText(fields[static_cast<std::size_t>(s.field)], s.to);
    st.from = s.from;
    st.row = s.row;
    // A failed statement ends in a rollback of the whole change, so SQLite need not keep
    // a statement journal of its own (a copy of every page the rename touches).
    st.sql = "UPDATE OR FAIL " + table + " SET " + column + "=?1" + (fold.empty() ? "" : "," + fold + "=qb_fold(?1)") + " WHERE ";
    const std::string match = (fold.empty() ? "qb_fold(" + column + ")" : fold) + "=qb_fold(?1)";
    if (s.byName)
      st.sql += (fold.empty() ? "qb_fold(" + column + ")" : fold) + "=qb_fold(?2)";
    else
      st.sql += "rowid=?2";
    st.checkFrom = s.checkFrom;
    if (s.checkFrom) {
      st.sql += " AND rtrim(" + column + ",' ')=rtrim(?3,' ')";
      st.existsSql = "SELECT count(*) FROM " + table + " WHERE rowid=?1";
    }
    if (s.byName) {
      st.countSql = "SELECT count(*) FROM " + table + " NOT INDEXED WHERE " + match;
      st.totalSql = "SELECT count(*) FROM " + table;
      const std::string schema = "\"" + job.dbs[which].schema + "\".";
      for (const auto& [name, create] : d->sqlIndexesOf(s.field)) {
        // "CREATE INDEX [IF NOT EXISTS] name ON rec(...)" in the file's own schema.
        std::string made = create;
        auto at = made.find(name);
        if (at == std::string::npos) continue;
        made.insert(at, schema);
        st.indexes.emplace_back(schema + name, made);
      }
    }
    job.stmts.push_back(std::move(st));
  }
  runOffThread([&job] { job.run(); });
  if (job.code != Err::None) {
    failed_ = job.dbs[job.failedDb].file;
    setError(job.code, failed_->name(), job.detail);
    return job.code;
  }
  changed_ = std::move(job.changed);
  clearError();
  return Err::None;
}

}  // namespace pf
