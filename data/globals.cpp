#include "data/globals.h"

std::uint8_t GLO_BrowseSitesOpen = 0;
std::uint8_t GLO_BrowseCatsOpen = 0;

std::int32_t GLO_BrowseWebsitesThread = 0;
std::int32_t GLO_UpdateWebsitesThread = 0;
std::int32_t GLO_BrowseCategoriesThread = 0;
std::int32_t GLO_Win_BackupDataThread = 0;
std::int32_t GLO_Win_ReportsThread = 0;
std::int32_t GLO_Win_SelectCategoryThread = 0;
std::int32_t GLO_Win_AboutThread = 0;
std::int32_t GLO_ValidatePasswordThread = 0;

std::uint8_t GLO_AutoOpenBrowse = 0;
std::uint8_t GLO_ShowPwords = 0;
std::uint8_t GLO_ShowCats = 0;
pf::CString<256> GLO_HomePage;
pf::String<1> GLO_DefaultBupDrive;
pf::String<25> GLO_DefaultCat;
std::uint8_t GLO_Column4Width = 0;
std::uint8_t GLO_Column5Width = 0;
std::uint8_t GLO_Column6Width = 0;

std::uint8_t GLO_RemoveTagMode = 0;
std::uint8_t GLO_PasswordChangeMode = 0;
std::uint8_t GLO_RenameMode = 0;
pf::String<25> GLO_OldCategory;
pf::String<25> GLO_DelCategory;

std::uint8_t GLO_PasswordOn = 0;
pf::String<45> GLO_ProgramPassword;

std::int32_t GLO_CSVRecordCount = 0;
