// A view: one file read in one order (a key or record order), optionally reversed,
// through a filter made of named parts in the filter language.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/store/expr.h"
#include "platform/store/file.h"

namespace pf {

class Cursor;
struct SqlFilter;

class View {
 public:
  explicit View(File& file);
  ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  File& file() const { return file_; }

  void setOrder(const KeyDesc* key);  // nullptr: record order
  const KeyDesc* order() const { return order_; }
  void setReverse(bool reverse);
  bool reverse() const { return reverse_; }

  // A named part of the filter ("5 Standard", "9Z"); an empty expression removes it.
  // A record passes when every part holds; parts are taken in the order of their ids.
  void setFilter(const std::string& id, const std::string& expression);
  void clearFilter();
  std::string filter() const;  // the parts joined with AND

  // Err::NotOpen when the file is not open; Err::BadFilter when a part does not parse
  // or names an unknown name. Changes of order or filter apply at the next set.
  int open();
  int close();
  bool isOpen() const { return open_; }

  // Bound names in the filter are read here, at every restart of the sequence.
  void set();                          // the start of the order
  void setFromBuffer();                // first record whose key is not below the buffer's
  void setAt(const Position& pos);     // the record at pos (or where it would be)
  // 0 read into the file's buffer; Err::RecordNotAvailable (33) at the end; any other
  // code is a read error.
  int next();
  int previous();
  // The record last read, read again when the file may have changed since (another
  // thread's or program's write); when it is gone or no longer passes the filter, the
  // next one. As next().
  int refresh();
  Position position() const;

  // Records that pass the filter in this order; -1 with the error set on failure.
  std::int64_t count();
  // Writes the buffer over the record last read through the view.
  int put();

  // Every part evaluated in C++, never as SQL (the two must agree).
  void setEvaluateOnly(bool on);
  // A walk from the start reads each record once, even when writers move records in the
  // view's order meanwhile; one moved behind the walk comes after the end of the order.
  void setEachOnce(bool on);
  // True when the whole filter runs as SQL.
  bool filterRunsAsSql();

 private:
  int prepare();
  int restart();
  int step(bool prev);
  int finish(int code);

  File& file_;
  const KeyDesc* order_ = nullptr;
  bool reverse_ = false;
  std::map<std::string, std::string> parts_;
  bool open_ = false;
  bool dirty_ = true;
  bool evaluateOnly_ = false;
  bool eachOnce_ = false;

  std::vector<std::unique_ptr<Expression>> sqlParts_;
  std::vector<std::unique_ptr<Expression>> evalParts_;
  std::unique_ptr<SqlFilter> sqlFilter_;
  std::unique_ptr<Cursor> cursor_;
  int pending_ = 0;
  std::string detail_;
  bool readSinceSet_ = false;
};

}  // namespace pf
