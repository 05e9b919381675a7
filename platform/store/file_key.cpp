#include "platform/store/file_key.h"

#include <utility>

namespace pf {

FileKey::FileKey(Secret owner) : owner_(std::move(owner)) { current_ = with({}); }

CipherKey FileKey::with(std::string_view password) const {
  std::size_t from = password.find_first_not_of(' ');
  std::size_t to = password.find_last_not_of(' ');
  CipherKey k;
  k.passphrase.append(owner_.view());
  if (from == std::string_view::npos) {
    k.rounds = OwnerRounds;
    return k;
  }
  // A separator no typed password holds, so "owner" + "x" never equals "ownerx" + "".
  k.passphrase.append(std::string_view("\x1f", 1));
  k.passphrase.append(password.substr(from, to - from + 1));
  k.rounds = passwordRounds_;
  k.password = true;
  return k;
}

void FileKey::use(CipherKey k) {
  current_ = std::move(k);
  ++generation_;
}

}  // namespace pf
