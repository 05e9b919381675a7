// The procedures by which one procedure starts another across libraries: the frame starts
// them all, and sites and reports, which are peers and link neither each other nor the
// frame, start one another's. The frame registers every one before its first window opens.
#pragma once

#include <array>
#include <string_view>

#include "platform/runtime/runtime.h"

namespace qb {

enum class Proc {
  BrowseWebsites,
  BrowseCategories,
  UpdateCategory,
  Win_OtherLink,
  Win_EmailLink,
  Rpt_Websites,
  Rpt_WebsitesByCat,
  Rpt_Visits,
  Rpt_WebsitesSelectedCat,
  Rpt_FavoritesOnly,
  Rpt_WebsitesSecurityOnly,
  Rpt_Integrity,
  Win_Reports,
  Win_SelectCategory,
  Win_Preferences,
  RemoveTagging,
  Win_BackupData,
  Update_Password,
  Create_CSV,
  Win_About,
  ViewSaveCSV,
};

inline constexpr std::array AllProcs{
    Proc::BrowseWebsites,
    Proc::BrowseCategories,
    Proc::UpdateCategory,
    Proc::Win_OtherLink,
    Proc::Win_EmailLink,
    Proc::Rpt_Websites,
    Proc::Rpt_WebsitesByCat,
    Proc::Rpt_Visits,
    Proc::Rpt_WebsitesSelectedCat,
    Proc::Rpt_FavoritesOnly,
    Proc::Rpt_WebsitesSecurityOnly,
    Proc::Rpt_Integrity,
    Proc::Win_Reports,
    Proc::Win_SelectCategory,
    Proc::Win_Preferences,
    Proc::RemoveTagging,
    Proc::Win_BackupData,
    Proc::Update_Password,
    Proc::Create_CSV,
    Proc::Win_About,
    Proc::ViewSaveCSV,
};

[[nodiscard]] std::string_view procName(Proc p);

// The registered procedure. One never registered is a fault of the build: it ends the
// program with the procedure's name instead of leaving a choice that does nothing.
[[nodiscard]] pf::Procedure procedure(Proc p);

void registerProcedure(Proc p, pf::Procedure body);

// Replaces a procedure (tests). An empty procedure puts the registered one back.
void setProcedure(Proc p, pf::Procedure replacement);

}  // namespace qb
