#include "data/protection.h"

#include <utility>
#include <vector>

#include "data/dictionary.h"
#include "platform/store/key_change.h"

namespace {

using pf::KeyFit;

std::vector<const pf::FileDesc*> keyedFiles() { return {&WSitesDesc(), &AccessDesc()}; }

// A password file under the key in force, holding no record yet.
void remakeAccess() {
  AccessRecord rec;
  pf::File file(AccessDesc(), &rec);
  file.create();
}

}  // namespace

int StartProtection(std::string* why) {
  int code = pf::completeKeyChange(keyedFiles(), why);
  DataKey().use(DataKey().with({}));
  return code;
}

Protection ProbeProtection() {
  pf::CipherKey owner = DataKey().with({});
  KeyFit web = pf::tryKey(WSitesDesc(), owner);
  KeyFit acc = pf::tryKey(AccessDesc(), owner);
  // The data decides: a password file removed, emptied or replaced opens nothing.
  if (web == KeyFit::WrongKey) return Protection::Password;
  if (web == KeyFit::Opens)
    return acc == KeyFit::Opens || acc == KeyFit::Missing || acc == KeyFit::Locked ? Protection::None
                                                                                   : Protection::Unreadable;
  // No data to go by (none yet, held by another program, or damaged whatever the key):
  // the password file decides, and the data file's open says what it meets.
  if (acc == KeyFit::WrongKey) return Protection::Password;
  if (acc == KeyFit::Damaged) return Protection::Unreadable;
  if (acc == KeyFit::Opens) return Protection::None;
  if (web == KeyFit::Locked || acc == KeyFit::Locked) return Protection::Locked;
  return Protection::None;
}

bool UseProgramPassword(std::string_view entry) {
  pf::CipherKey key = DataKey().with(entry);
  KeyFit web = pf::tryKey(WSitesDesc(), key);
  KeyFit acc = pf::tryKey(AccessDesc(), key);
  bool right;
  if (web == KeyFit::Opens) {
    right = true;
  } else if (web == KeyFit::Damaged && pf::tryKey(WSitesDesc(), DataKey().with({})) != KeyFit::Damaged) {
    // Only this key gets past the first page: the damage behind it is the file's own,
    // and opening the file reports it.
    right = true;
  } else if (web == KeyFit::WrongKey) {
    right = false;
  } else {
    right = acc == KeyFit::Opens;  // no data file, or one damaged whatever the key
  }
  if (!right) return false;
  DataKey().use(std::move(key));
  if (acc != KeyFit::Opens) remakeAccess();
  return true;
}

int ChangeProgramPassword(std::string_view password, std::string* why) {
  return pf::changeKey(keyedFiles(), DataKey(), DataKey().with(password), why);
}
