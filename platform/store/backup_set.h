// A backup folder that takes a new set of copies whole or not at all.
//
// The copies are written into a folder beside the destination ("<folder>.qbcopy") and
// the two folders then change places, so that after a crash at any moment the
// destination holds the whole old set or the whole new one. Whatever else the user keeps
// in the destination folder moves over with the set. The leftovers of a crash are put
// right before the next set is begun. Each operation sets the thread's error status.
#pragma once

#include <string>
#include <vector>

#include "platform/core/record.h"

namespace pf {

class BackupSet {
 public:
  // `members`: every data file a set may hold; only these names are ever replaced or
  // removed in the destination.
  explicit BackupSet(std::vector<const FileDesc*> members);
  ~BackupSet();  // an unfinished set is dropped; the destination stays as it was
  BackupSet(const BackupSet&) = delete;
  BackupSet& operator=(const BackupSet&) = delete;

  // Starts a set for `folder`, which must be a folder or not exist yet: anything else
  // (a plain file of that name) is refused with Err::AccessDenied and left alone.
  int begin(const std::string& folder);
  // Adds a consistent copy of a member's data file from the current directory.
  int add(const FileDesc& member);
  // Puts the set in place. A member not added keeps its older copy, if there is one.
  int commit();

  // The temporary names beside `folder`.
  static std::string stagingName(const std::string& folder);
  static std::string retiredName(const std::string& folder);

 private:
  bool isMember(const std::string& entry) const;
  void drop();

  std::vector<const FileDesc*> members_;
  std::vector<std::string> added_;
  std::string folder_, staging_, retired_;
  bool open_ = false;
};

}  // namespace pf
