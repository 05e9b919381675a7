// Process-wide values shared by every program thread. All program threads run on the
// one GUI thread, so plain variables are enough. Zero or blank at start.
#pragma once

#include <cstdint>

#include "platform/core/field.h"

// Window-open flags.
extern std::uint8_t GLO_BrowseSitesOpen;
extern std::uint8_t GLO_BrowseCatsOpen;

// One-instance markers: the number of the thread that shows the window, 0 when none.
extern std::int32_t GLO_BrowseWebsitesThread;
extern std::int32_t GLO_UpdateWebsitesThread;
extern std::int32_t GLO_BrowseCategoriesThread;
extern std::int32_t GLO_Win_BackupDataThread;
extern std::int32_t GLO_Win_ReportsThread;
extern std::int32_t GLO_Win_SelectCategoryThread;
extern std::int32_t GLO_Win_AboutThread;
extern std::int32_t GLO_ValidatePasswordThread;

// Copies of the preferences record.
extern std::uint8_t GLO_AutoOpenBrowse;
extern std::uint8_t GLO_ShowPwords;
extern std::uint8_t GLO_ShowCats;
extern pf::CString<256> GLO_HomePage;
extern pf::String<1> GLO_DefaultBupDrive;
extern pf::String<25> GLO_DefaultCat;
extern std::uint8_t GLO_Column4Width;
extern std::uint8_t GLO_Column5Width;
extern std::uint8_t GLO_Column6Width;

// Modes handed to a procedure by its caller.
extern std::uint8_t GLO_RemoveTagMode;       // 1 colours, 2 highlight, 3 favourites
extern std::uint8_t GLO_PasswordChangeMode;  // 0 apply, 1 change or remove
extern std::uint8_t GLO_RenameMode;
extern pf::String<25> GLO_OldCategory;
extern pf::String<25> GLO_DelCategory;

// Start-up password gate.
extern std::uint8_t GLO_PasswordOn;
extern pf::String<45> GLO_ProgramPassword;

// Records handed to the running CSV export.
extern std::int32_t GLO_CSVRecordCount;
