// Hands a web or mail address to the desktop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qb {

// The address the desktop is given for `text`, or nothing when it must not be opened.
// Only http, https, ftp and mailto go out; an address without a scheme is taken as
// http. Local programs and files never do. Trailing blanks are removed and at most 255
// characters are kept.
std::optional<std::string> desktopAddress(const std::string& text);

// Opens the address with the desktop's default handler. A refused or failed address
// shows nothing and changes nothing. Answers whether the desktop took it.
bool OpenURL(std::uintptr_t window, const std::string& address);

}  // namespace qb
