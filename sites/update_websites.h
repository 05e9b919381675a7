// The website form: add, change, view or delete the website in the thread's buffer.
#pragma once

#include <string>

namespace qb {

// Reads GLO:Request and the thread's WSites buffer; leaves the outcome in GLO:Response.
void UpdateWebsites();

// An address with its scheme and host in lower case; path, query and fragment keep
// their letters. Leading and trailing blanks are removed.
std::string normaliseAddress(const std::string& address);

// Whether an address is empty or only the primed "http://www." (any letter case,
// surrounding blanks ignored).
bool addressMissing(const std::string& address);

}  // namespace qb
