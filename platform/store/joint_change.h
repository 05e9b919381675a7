// One change over records of several indexed files that lands at once: the files'
// databases are attached to one connection and the change commits in one rollback-journal
// transaction, so after a crash or a failure at any moment every file holds all of it or
// none of it. Each step picks its records inside that transaction, so a record that
// another writer changed meanwhile is judged as it is now, and no read-ahead copy is
// ever written back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/store/file.h"

namespace pf {

class JointChange {
 public:
  // Every record of `file` whose text field number `field` (0-based) equals `from`,
  // letter case and trailing blanks ignored, gets `to` in that field.
  void rewrite(File& file, int field, const std::string& from, const std::string& to);
  // The record at `pos` gets `to` in its text field `field`; the whole change fails when
  // that record is no longer in the file.
  void set(File& file, const Position& pos, int field, const std::string& to);
  // The same for a record read earlier whose field held `from`: the whole change fails
  // with Err::FileChanged when another writer has given it something else meanwhile
  // (trailing blanks ignored, letter case counting).
  void setIfStill(File& file, const Position& pos, int field, const std::string& from, const std::string& to);
  bool empty() const { return steps_.empty(); }

  // Applies every step in one transaction; each file must be open for writing on this
  // thread and is reached with the key it was opened with. On a program thread the work
  // runs off the GUI thread while the other program threads go on. 0, or the error with
  // the thread's error status set (errorfile() the file of the step that failed); on
  // failure no file is changed.
  int commit();
  // After a successful commit: the records each step changed, in step order.
  const std::vector<std::int64_t>& changed() const { return changed_; }
  // After a failed commit: the file of the step that failed.
  File* failedFile() const { return failed_; }

 private:
  struct Step {
    File* file = nullptr;
    int field = 0;
    bool byName = true;  // rewrite; else set at `row`
    bool checkFrom = false;  // a set only while the field still holds `from`
    std::string from, to;
    std::int64_t row = 0;
  };
  std::vector<Step> steps_;
  std::vector<std::int64_t> changed_;
  File* failed_ = nullptr;
};

}  // namespace pf
