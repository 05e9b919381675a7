// Changing the key of encrypted files together: every file or none. Each file is copied
// under the new key beside itself; a journal written once all copies are whole marks the
// point of no return; then the copies replace the files. A crash before the journal
// leaves the old files (the copies are removed at the next start), one after it is
// finished at the next start: either way every file opens with one key.
#pragma once

#include <string>
#include <vector>

#include "platform/core/record.h"
#include "platform/store/file_key.h"

namespace pf {

// How a file answers a key.
enum class KeyFit {
  Missing,   // no such file
  Opens,     // the key opens it
  WrongKey,  // another key is needed
  Damaged,   // damaged (its first page, say) but not for want of another key
  Locked,    // another program holds it locked: the key cannot be tried now
};
// Opens the file of `desc` once, on its own connection, with `key`.
KeyFit tryKey(const FileDesc& desc, const CipherKey& key);

// Re-keys the files of `files` that exist, all keyed alike with the current key of
// `key`, to `next`; on success `key` uses `next`, so every later open of them does.
// Returns 0, or the error (with what failed in `why`) after which every file still
// opens with the old key. No other connection may hold a transaction on the files.
int changeKey(const std::vector<const FileDesc*>& files, FileKey& key, const CipherKey& next,
              std::string* why = nullptr);

// Finishes a change of the files' key that a crash interrupted past its point of no
// return, or clears away one interrupted before it. Run before the files are opened.
// A journal that names anything but the files' copies and the files themselves, in their
// own folder, as plain files of this user's, is refused: 0, or the error with `why`,
// and then no file was renamed or removed.
[[nodiscard]] int completeKeyChange(const std::vector<const FileDesc*>& files, std::string* why = nullptr);

// For tests: called after each step of a change (1, 2, ...) with the step's number.
void setKeyChangeProbe(void (*probe)(int step));

}  // namespace pf
