// The maintenance procedures the frame calls or starts: preferences, backup, tagging
// reset, CSV export and its viewer.
#pragma once

#include <string>

namespace qb {

// The preferences form on the single Defaults record; on OK the GLO_ copies and the
// tooltip switch follow at once.
void Win_Preferences();
// Copies the closed data files into <drive folder>/SitesBup (drive letters: Drives.ini).
void Win_BackupData();
// Clears one kind of tag on every website, by GLO_RemoveTagMode (1 colours, 2 highlight,
// 3 favourites); GLO_RemoveTagMode is 0 afterwards.
void RemoveTagging();
// Writes every non-blank web address to "SitesCSV.csv", then shows it in ViewSaveCSV.
void Create_CSV();
// Shows "SitesCSV.csv" and saves copies of it.
void ViewSaveCSV();

// Where drive letters lead: the section [Drives] of "Drives.ini" in the working folder,
// one "letter=folder" entry each. Made with C= the home folder and D= to H= empty when
// missing. Empty when the letter leads nowhere.
inline constexpr const char* DriveTableFile = "Drives.ini";
std::string driveFolder(char letter);

}  // namespace qb
