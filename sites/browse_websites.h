// The websites browse: six tabs (three orders, three tag views) narrowed by a category,
// with the actions on the selected website.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

// The procedure the frame starts on a thread of its own.
void BrowseWebsites();

// The list's designed format string, also the value kept in the INI file.
extern const char* const BrowseWebsitesFormat;

// The colour a description is drawn in for WEB:TEXTCOLOR (0x00BBGGRR; -1: the default).
std::int32_t descriptionColour(std::uint8_t textColour);
// The normal background of a highlighted description.
constexpr std::int32_t HighlightBackground = 0xCAFFFF;

// The window caption for a tab (1 to 6) and a category ("All Categories": every site);
// empty for any other tab.
std::string browseCaption(int tab, const std::string& category);

}  // namespace qb
