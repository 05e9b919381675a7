// The About window: name, version, the author's website link and the licence agreement.
#pragma once

namespace qb {

// The author's website: shown in the About window and opened by its link.
inline constexpr const char* AuthorWebsite = "https://quillbox.example.org";
// The number of the link area the About window lays over the address.
inline constexpr int AboutLinkArea = 100;

void Win_About();

}  // namespace qb
