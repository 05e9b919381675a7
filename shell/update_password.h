// The password form: apply a program password, or change or remove it
// (GLO_PasswordChangeMode 0 apply, 1 change or remove). Runs on a thread of its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qb {

void Update_Password();

// One failed check of the form's entries, as its message box shows it.
struct PasswordProblem {
  std::string text, caption;
  bool information = false;   // the information icon; else the exclamation
};
// The checks of "Validate Entries" in their order; empty when the entries are valid.
std::vector<PasswordProblem> checkPasswordEntries(std::string_view password, std::string_view again);

}  // namespace qb
