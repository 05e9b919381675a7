#include "shell/procedures.h"

#include <cstdio>
#include <cstdlib>

namespace qb {

namespace {

constexpr std::size_t kCount = AllProcs.size();

struct Slots {
  std::array<pf::Procedure, kCount> registered;
  std::array<pf::Procedure, kCount> replaced;
};

Slots& slots() {
  static Slots s;
  return s;
}

std::size_t index(Proc p) { return static_cast<std::size_t>(p); }

}  // namespace

std::string_view procName(Proc p) {
  switch (p) {
    case Proc::BrowseWebsites: return "BrowseWebsites";
    case Proc::BrowseCategories: return "BrowseCategories";
    case Proc::UpdateCategory: return "UpdateCategory";
    case Proc::Win_OtherLink: return "Win_OtherLink";
    case Proc::Win_EmailLink: return "Win_EmailLink";
    case Proc::Rpt_Websites: return "Rpt_Websites";
    case Proc::Rpt_WebsitesByCat: return "Rpt_WebsitesByCat";
    case Proc::Rpt_Visits: return "Rpt_Visits";
    case Proc::Rpt_WebsitesSelectedCat: return "Rpt_WebsitesSelectedCat";
    case Proc::Rpt_FavoritesOnly: return "Rpt_FavoritesOnly";
    case Proc::Rpt_WebsitesSecurityOnly: return "Rpt_WebsitesSecurityOnly";
    case Proc::Rpt_Integrity: return "Rpt_Integrity";
    case Proc::Win_Reports: return "Win_Reports";
    case Proc::Win_SelectCategory: return "Win_SelectCategory";
    case Proc::Win_Preferences: return "Win_Preferences";
    case Proc::RemoveTagging: return "RemoveTagging";
    case Proc::Win_BackupData: return "Win_BackupData";
    case Proc::Update_Password: return "Update_Password";
    case Proc::Create_CSV: return "Create_CSV";
    case Proc::Win_About: return "Win_About";
    case Proc::ViewSaveCSV: return "ViewSaveCSV";
  }
  return "?";
}

pf::Procedure procedure(Proc p) {
  const Slots& s = slots();
  if (s.replaced[index(p)]) return s.replaced[index(p)];
  if (!s.registered[index(p)]) {
    std::string_view name = procName(p);
    std::fprintf(stderr, "quillbox: procedure %.*s was never registered\n", static_cast<int>(name.size()), name.data());
    std::abort();
  }
  return s.registered[index(p)];
}

void registerProcedure(Proc p, pf::Procedure body) { slots().registered[index(p)] = std::move(body); }

void setProcedure(Proc p, pf::Procedure replacement) { slots().replaced[index(p)] = std::move(replacement); }

}  // namespace qb
