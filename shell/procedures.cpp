#include "shell/procedures.h"

#include <map>

#include "reports/reports.h"
#include "shell/about.h"
#include "shell/update_password.h"
#include "sites/categories.h"
#include "sites/link_dialogs.h"
#include "maintenance/maintenance.h"

namespace qb {

void BrowseWebsites();

namespace {

// One line per procedure. Replace `{}` with the procedure when it is built.
const std::map<std::string, pf::Procedure>& builtProcedures() {
  static const std::map<std::string, pf::Procedure> table = {
      {"BrowseWebsites", BrowseWebsites},
      {"BrowseCategories", BrowseCategories},
      {"UpdateCategory", UpdateCategory},
      {"Win_OtherLink", Win_OtherLink},
      {"Rpt_Websites", Rpt_Websites},
      {"Rpt_WebsitesByCat", Rpt_WebsitesByCat},
      {"Rpt_Visits", Rpt_Visits},
      {"Rpt_WebsitesSelectedCat", Rpt_WebsitesSelectedCat},
      {"Rpt_FavoritesOnly", Rpt_FavoritesOnly},
      {"Rpt_WebsitesSecurityOnly", Rpt_WebsitesSecurityOnly},
      {"Rpt_Integrity", Rpt_Integrity},
      {"Win_Reports", Win_Reports},
      {"Win_SelectCategory", Win_SelectCategory},
      {"Win_Preferences", Win_Preferences},
      {"RemoveTagging", RemoveTagging},
      {"Win_BackupData", Win_BackupData},
      {"Update_Password", Update_Password},
      {"Create_CSV", Create_CSV},
      {"Win_About", Win_About},
      {"Win_EmailLink", Win_EmailLink},
      {"ViewSaveCSV", ViewSaveCSV},
  };
  return table;
}

std::map<std::string, pf::Procedure>& replaced() {
  static std::map<std::string, pf::Procedure> m;
  return m;
}

}  // namespace

pf::Procedure procedure(const std::string& name) {
  auto r = replaced().find(name);
  if (r != replaced().end()) return r->second;
  auto it = builtProcedures().find(name);
  return it == builtProcedures().end() ? pf::Procedure{} : it->second;
}

std::vector<std::string> proceduresNotBuilt() {
  std::vector<std::string> out;
  for (const auto& [name, proc] : builtProcedures())
    if (!proc) out.push_back(name);
  return out;
}

void setProcedure(const std::string& name, pf::Procedure replacement) {
  if (replacement)
    replaced()[name] = std::move(replacement);
  else
    replaced().erase(name);
}

}  // namespace qb
