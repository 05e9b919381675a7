#include "shell/procedures.h"

#include <map>

#include "shell/about.h"
#include "shell/update_password.h"
#include "sites/categories.h"

namespace qb {

void BrowseWebsites();

namespace {

// One line per procedure. Replace `{}` with the procedure when it is built.
const std::map<std::string, pf::Procedure>& builtProcedures() {
  static const std::map<std::string, pf::Procedure> table = {
      {"BrowseWebsites", BrowseWebsites},
      {"BrowseCategories", BrowseCategories},
      {"UpdateCategory", UpdateCategory},
      {"Win_OtherLink", {}},
      {"Rpt_Websites", {}},
      {"Rpt_WebsitesByCat", {}},
      {"Rpt_Visits", {}},
      {"Rpt_WebsitesSelectedCat", {}},
      {"Rpt_FavoritesOnly", {}},
      {"Rpt_WebsitesSecurityOnly", {}},
      {"Rpt_Integrity", {}},
      {"Win_Preferences", {}},
      {"RemoveTagging", {}},
      {"Win_BackupData", {}},
      {"Update_Password", Update_Password},
      {"Create_CSV", {}},
      {"Win_About", Win_About},
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
