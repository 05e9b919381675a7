// The program password, as the keys of wsites.tps and Access.tps: without one both files
// are keyed with the owner password alone, with one with a key derived from the owner
// password and the program password. Nothing on disk says which, except what opens them.
#pragma once

#include <string>
#include <string_view>

enum class Protection {
  None,        // the owner password opens the files
  Password,    // a program password is needed
  Unreadable,  // the password file is damaged, or keyed unlike the data it goes with
  Locked,      // another program holds the files locked, and nothing readable says which
};

// Finishes or clears away a change of the password that a crash interrupted, and puts
// the owner password alone in force. Run first at start, before the files are opened.
// 0, or the error with `why` when what the crash left could not be settled (a journal
// that is not the program's own is left alone, and so is every file it names).
[[nodiscard]] int StartProtection(std::string* why = nullptr);
// What the files on disk need.
Protection ProbeProtection();

// Checks a typed password (leading and trailing blanks do not count) by opening the files
// with it. When it is right it is in force from then on, and a password file that is
// missing or keyed otherwise is made again under it.
bool UseProgramPassword(std::string_view entry);

// Re-keys wsites.tps and Access.tps with `password` (blank: the owner password alone),
// both or neither. 0, or the error with what failed in `why`.
int ChangeProgramPassword(std::string_view password, std::string* why = nullptr);
