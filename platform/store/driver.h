// What File and View need from a file driver (indexed, comma-delimited, ascii).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/store/expr.h"
#include "platform/store/file.h"

namespace pf {

// A condition a cursor adds to its reads, as SQL over the driver's columns. Parameter
// values are read at every query.
struct SqlFilter {
  std::string where;                                      // empty: none
  std::vector<std::pair<std::string, ExprValue>> params;  // ":a0" -> value
  std::vector<std::string> columns;                       // every column it reads
};

struct CursorSpec {
  const KeyDesc* key = nullptr;      // nullptr: record order
  bool reverse = false;
  const SqlFilter* filter = nullptr; // kept by the caller
  // A walk: from its start it reads each record once, however writers move records in
  // its order meanwhile (one moved behind it comes after the end of the order).
  bool eachOnce = false;
};

// One sequence over a driver's records: its order, its place, and the records it has
// read ahead. Reads go into the driver's record buffer and make that record current.
class Cursor {
 public:
  virtual ~Cursor() = default;
  virtual void setStart() = 0;
  virtual void setFromBuffer() = 0;       // at the buffer's key value (not below it)
  virtual void setAt(const Position& pos) = 0;
  virtual int next() = 0;                 // 0, Err::RecordNotAvailable at the end, or a read error
  virtual int previous() = 0;
  virtual Position position() const = 0;  // of the record last read
  // Reads the record last read again when the file may have changed since it was read;
  // when it is gone, reads the next one. As next().
  virtual int reread() { return Err::None; }
  virtual void setPageHint(int rows) { (void)rows; }
  virtual std::shared_ptr<void> save() const = 0;
  virtual void restore(const std::shared_ptr<void>& state) = 0;
};

class FileDriver {
 public:
  FileDriver(const FileDesc& desc, void* buffer) : desc_(desc), buffer_(static_cast<char*>(buffer)) {}
  virtual ~FileDriver() = default;
  FileDriver(const FileDriver&) = delete;
  FileDriver& operator=(const FileDriver&) = delete;

  const FileDesc& desc() const { return desc_; }
  char* buffer() const { return buffer_; }
  const std::string& detail() const { return detail_; }  // of the last error
  int lastError() const { return lastError_; }

  std::string path() const { return resolveName(desc_.diskName); }
  virtual int open(int mode) = 0;
  virtual int create() = 0;
  virtual int close() = 0;
  virtual bool isOpen() const = 0;
  bool readOnly() const { return readOnly_; }
  int openMode() const { return mode_; }
  virtual int send(const std::string& option) { (void)option; return 0; }
  virtual int replaceOnClose() { return fail(Err::AccessDenied, "this file is not replaced whole"); }

  // nullptr when the driver cannot read in that order.
  virtual std::unique_ptr<Cursor> cursor(const CursorSpec& spec) = 0;
  virtual int get(const KeyDesc& key) = 0;
  virtual int get(const Position& pos) = 0;
  virtual Position current() const = 0;
  virtual void setCurrent(const Position& pos) = 0;
  virtual int add() = 0;
  virtual int put() = 0;
  virtual int remove() = 0;
  virtual std::int64_t records() = 0;
  // Records of a sequence passing its SQL filter; -2 when the driver cannot count it.
  virtual std::int64_t count(const CursorSpec& spec) { (void)spec; return -2; }
  virtual int build() { return 0; }
  virtual int logout() { return Err::NoTransaction; }
  virtual int commit() { return Err::NoTransaction; }
  virtual int rollback() { return Err::NoTransaction; }
  virtual bool inTransaction() const { return false; }
  virtual std::string line() const { return {}; }
  // The SQL names of the fields' columns; empty when filters cannot run as SQL.
  virtual std::vector<std::string> sqlColumns() const { return {}; }
  // For a change over several files (joint_change.h): the records' SQL table (empty: not
  // an SQL store), and the column holding a text field's copy without letter case (""
  // when it has none).
  virtual std::string sqlTable() const { return {}; }
  virtual std::string sqlFoldColumn(int field) const { (void)field; return {}; }
  // The indexes that hold a field, as {quoted name, the CREATE INDEX statement}: a change
  // of the field in most records is cheaper with them made again afterwards.
  virtual std::vector<std::pair<std::string, std::string>> sqlIndexesOf(int field) const {
    (void)field;
    return {};
  }

  // The file's own sequence (SET/NEXT/PREVIOUS on the file itself).
  std::unique_ptr<Cursor> sequence;
  const KeyDesc* sequenceKey = nullptr;

 protected:
  int fail(int code, std::string detail = {}) {
    lastError_ = code;
    detail_ = std::move(detail);
    return code;
  }
  const FileDesc& desc_;
  char* buffer_;
  std::string detail_;
  int lastError_ = 0;
  bool readOnly_ = false;
  int mode_ = 0;
};

std::unique_ptr<FileDriver> makeIndexedDriver(const FileDesc& desc, void* buffer);
std::unique_ptr<FileDriver> makeBasicDriver(const FileDesc& desc, void* buffer);
std::unique_ptr<FileDriver> makeAsciiDriver(const FileDesc& desc, void* buffer);

// Maps an errno value of a file operation to the platform's error number.
int errnoToError(int e);

// Makes `path` a new, empty file that only its owner may read or write, whatever the
// umask, where the file system keeps modes (SQLite gives a database's journal the
// database's mode). 0 or an errno value.
int createPrivateFile(const std::string& path);

}  // namespace pf
