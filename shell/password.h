// The start-up password gate, run by the frame before its window opens, and its window.
#pragma once

namespace qb {

// Texts the program ends with when the password is not given.
inline constexpr const char* HaltThreeWrong = "Access Denied - Incorrect Password 3 times";
inline constexpr const char* HaltCancelled = "[Cancel] selected - Closing program";
inline constexpr const char* HaltNotEntered = "Access Denied - Incorrect Password entry";
inline constexpr const char* HaltUnreadable = "Access Denied - The password file cannot be read";

// Asks for the program password when one is set. Returns only when no password is set or
// the right one was entered; every other outcome ends the program.
void CheckStartupPassword();

// The password window over GLO_ProgramPassword: true only after a correct entry (a wrong
// entry three times, Cancel or closing the window end the program inside it).
bool ValidatePassword();

}  // namespace qb
