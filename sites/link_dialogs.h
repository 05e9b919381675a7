// The two small dialogs that hand an address to the desktop without storing it. Both run
// modally on the caller's thread and answer GLO:Response = 2 (cancelled).
#pragma once

namespace qb {

// "Link to a website not on file...": a typed or pasted web address, opened in the browser.
void Win_OtherLink();
// "E-Mail...": opens the e-mail program with "mailto:" and the optional address.
void Win_EmailLink();

}  // namespace qb
