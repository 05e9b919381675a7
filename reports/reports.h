// The report chooser and the reports: each a pass over the websites with a progress
// window and a print preview. Started without parameters; they leave GLO:Response.
#pragma once

namespace qb {

void Rpt_Websites();
void Rpt_WebsitesByCat();
void Rpt_WebsitesSelectedCat();   // runs the category picker first
void Rpt_FavoritesOnly();
void Rpt_WebsitesSecurityOnly();
void Rpt_Visits();
void Rpt_Integrity();

// The chooser: runs the chosen report on the calling thread, then closes.
void Win_Reports();

}  // namespace qb
