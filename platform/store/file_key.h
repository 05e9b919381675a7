// The key encrypted files are opened with. One FileKey serves every file keyed alike, and
// every connection to those files takes its key from it at open, so a changed key reaches
// every program thread's own instance of the files.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/core/secret.h"

namespace pf {

// What SQLCipher is handed for a file: a passphrase, and the PBKDF2 rounds that stretch
// it with the salt SQLCipher keeps at the start of each file.
struct CipherKey {
  Secret passphrase;
  int rounds = 0;
  bool password = false;  // a user's password is in it
};

class FileKey {
 public:
  // The owner password alone: SQLCipher's own rounds. The password is compiled into the
  // program, so stretching it harder would protect nothing.
  static constexpr int OwnerRounds = 64000;
  // The owner password with a user's password: a guess has to pay for these.
  static constexpr int PasswordRounds = 256000;

  explicit FileKey(Secret owner);

  // The key `password` gives (leading and trailing blanks do not count); blank: the
  // owner password alone.
  CipherKey with(std::string_view password) const;
  const CipherKey& current() const { return current_; }
  // True while the files are keyed with a user's password.
  bool hasPassword() const { return current_.password; }
  // From now on every open uses `k`; connections opened earlier reopen with it before
  // their next read or write.
  void use(CipherKey k);
  std::uint64_t generation() const { return generation_; }

  // For tests in this process only: fewer rounds, so that files keyed with a password open
  // quickly. Nothing outside the process can reach it.
  void setPasswordRounds(int rounds) { passwordRounds_ = rounds; }

 private:
  Secret owner_;
  int passwordRounds_ = PasswordRounds;
  CipherKey current_;
  std::uint64_t generation_ = 1;
};

}  // namespace pf
