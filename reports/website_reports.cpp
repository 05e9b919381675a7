// The five website listings, the visits report and the data integrity check.
#include <string>

#include "data/globals.h"
#include "platform/classes/error_manager.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/store/bind.h"
#include "reports/report_pass.h"
#include "reports/reports.h"
#include "shell/procedures.h"

namespace qb {

namespace {

constexpr std::int32_t Navy = 0x800000;
const pf::ReportFont HeaderFont{"MS Sans Serif", 8};
const pf::ReportFont TitleFont{"Arial", 14, false, false, Navy};
const pf::ReportFont DetailFont{"Arial", 8};

struct Subtitle {
  std::string text;
  double x, y, w, h;
};

struct Listing {
  const char* procedure;
  Subtitle subtitle;
  const pf::KeyDesc& (*key)();
  bool byCategory;
  std::string filter;
  double storeX = 62, storeW = 93;
};

// The question of every listing; blank store note and no IDs unless "&Include".
void askIncludeIds(std::uint8_t& includeIds, pf::String<30>& store) {
  int answer = pf::message("Include your Logon ID and Passwords in this report?", "Report options...",
                           pf::Icon::Question, "&Exclude|&Include", 1);
  if (answer == 1) {
    includeIds = 0;
    store.clear();
  } else if (answer == 2) {
    includeIds = 1;
    store = "Store in a safe place";
  }
}

void runListing(const Listing& l, const std::function<void(ReportPass&)>& extra = {}) {
  std::uint8_t LOC_INCLUDEIDS = 0;
  pf::String<20> LOC_LOGON;
  pf::String<25> LOC_PWORD;
  pf::String<30> LOC_STORE;

  ReportPass w(l.procedure);
  pf::Report& r = w.report;
  auto& h = r.header(1, 0, 206, 21, HeaderFont);
  r.text(h, "?STRING12", "Quillbox", 7, 7, 55, 7).withFont(TitleFont);
  r.field(h, "?LOC:STORE", pf::use(LOC_STORE, "s30"), l.storeX, 8, l.storeW, 5, pf::Align::Center)
      .underline();
  r.text(h, "?STRING16", l.subtitle.text, l.subtitle.x, l.subtitle.y, l.subtitle.w, l.subtitle.h,
         pf::Align::Right);
  r.text(h, "?HEADERTITLE:1", "Description/Address", 7, 16, 34, 4);
  r.text(h, "?HEADERTITLE:2", "Category", 77, 16, 29, 4);
  r.text(h, "?HEADERTITLE:3", "Logon ID", 120, 16, 15, 4);
  r.text(h, "?HEADERTITLE:4", "Password", 156, 16, 15, 4);
  r.text(h, "?HEADERTITLE:5", "Visits", 185, 16, 9, 4);
  r.line(h, "?LINE2", 7, 20, 185, 0);

  auto& d = r.detail("?DETAIL", 203, 8, DetailFont);
  r.line(d, "?DETAILLINE:0", 0, 0, 0, 6);
  r.field(d, "?WEB:DESCRIPTION", pf::use(WEB->DESCRIPTION, "s45"), 8, 0, 68, 5).bold();
  r.field(d, "?WEB:CATEGORY", pf::use(WEB->CATEGORY, "s25"), 78, 0, 41, 5);
  r.field(d, "?LOC:LOGON", pf::use(LOC_LOGON, "s20"), 121, 0, 34, 5);
  r.field(d, "?LOC:PWORD", pf::use(LOC_PWORD, "s25"), 157, 0, 43, 5);
  r.field(d, "?WEB:WEBADDRESS", pf::use(WEB->WEBADDRESS, "s254"), 8, 3, 170, 5);
  r.field(d, "?WEB:VISITS", pf::use(WEB->VISITS, "N8B"), 181, 3, 14, 5, pf::Align::Right);
  addReportFooter(r);

  w.key = &l.key();
  w.valueField = l.byCategory ? pf::use(WEB->CATEGORY) : pf::use(WEB->DESCRIPTION);
  w.filter = l.filter;
  w.beforeWalk = [&] { askIncludeIds(LOC_INCLUDEIDS, LOC_STORE); };
  w.process.step = [&] {
    LOC_LOGON.clear();
    LOC_PWORD.clear();
    if (LOC_INCLUDEIDS == 1) {
      // Printed cut to the column although the record holds more.
      LOC_LOGON = pf::trim(WEB->LOGONID.view());
      LOC_PWORD = pf::trim(WEB->PASSWORD.view());
    }
    w.report.print("?DETAIL");
  };
  if (extra) extra(w);
  pf::GLO_Response() = w.Execute();
}

}  // namespace

void Rpt_Websites() {
  runListing({"Rpt_Websites", {"All by Description", 164, 8, 29, 5}, WEB_KeyDescription, false, {}});
}

void Rpt_WebsitesByCat() {
  runListing({"Rpt_WebsitesByCat", {"All by Category", 167, 8, 27, 5}, WEB_CategoryKey, true, {}});
}

void Rpt_FavoritesOnly() {
  runListing({"Rpt_FavoritesOnly", {"Favorites Only", 163, 8, 28, 5}, WEB_KeyDescription, false,
              "WEB:FavouriteYN=1"});
}

void Rpt_WebsitesSecurityOnly() {
  runListing({"Rpt_WebsitesSecurityOnly",
              {"Only websites with an ID and/or Password.", 136, 8, 58, 5},
              WEB_KeyDescription,
              false,
              "CLIP(WEB:LogonID) > '' OR CLIP( WEB:Password) > ''",
              77,
              55});
}

void Rpt_WebsitesSelectedCat() {
  // Letter case ignored, as the category key compares names.
  runListing({"Rpt_WebsitesSelectedCat", {"By a selected category only", 154, 8, 39, 5},
              WEB_CategoryKey, true, "UPPER(CLIP(WEB:Category))=UPPER(CLIP(GLO:DelCategory))"},
             [](ReportPass& w) {
               auto question = w.beforeWalk;
               w.beforeWalk = [question] {
                 pf::bind("GLO:DelCategory",
                          pf::BoundValue{pf::FieldType::String, GLO_DelCategory.b, 25});
                 pf::GLO_Request() = 0;
                 pf::GLO_Response() = 0;
                 // The picker leaves its choice in GLO:DelCategory; its answer is not read.
                 procedure(Proc::Win_SelectCategory)();
                 question();
               };
               w.afterClose = [] { GLO_DelCategory.clear(); };
             });
}

void Rpt_Visits() {
  ReportPass w("Rpt_Visits");
  pf::Report& r = w.report;
  auto& h = r.header(1, 0, 206, 21, HeaderFont);
  r.text(h, "?STRING12", "Quillbox", 7, 7, 55, 7).withFont(TitleFont);
  r.text(h, "?STRING16", "Sorted by visits.", 165, 9, 28, 5, pf::Align::Right);
  r.text(h, "?HEADERTITLE:1", "Description", 7, 16, 34, 4);
  r.text(h, "?HEADERTITLE:2", "Category", 77, 16, 29, 4);
  r.text(h, "?HEADERTITLE:5", "Added", 123, 16, 15, 4);
  r.text(h, "?HEADERTITLE:6", "Updated", 141, 16, 15, 4);
  r.text(h, "?HEADERTITLE:4", "Last visit", 159, 16, 15, 4);
  r.text(h, "?HEADERTITLE:3", "Visits to date", 176, 16, 20, 4);
  r.line(h, "?LINE2", 7, 20, 185, 0);

  auto& d = r.detail("?DETAIL", 203, 3, DetailFont);
  r.line(d, "?DETAILLINE:0", 0, 0, 0, 6);
  r.field(d, "?WEB:DESCRIPTION", pf::use(WEB->DESCRIPTION, "s45"), 8, 0, 68, 3).bold();
  r.field(d, "?WEB:CATEGORY", pf::use(WEB->CATEGORY, "s25"), 78, 0, 41, 3);
  r.field(d, "?WEB:DATEADDED", pf::use(WEB->DATEADDED, "D017B"), 124, 0, 13, 3);
  r.field(d, "?WEB:DATEUPDATED", pf::use(WEB->DATEUPDATED, "D017B"), 142, 0, 13, 3);
  r.field(d, "?WEB:LASTVISIT", pf::use(WEB->LASTVISIT, "D017B"), 160, 0, 14, 3);
  r.field(d, "?WEB:VISITS", pf::use(WEB->VISITS, "N8B"), 180, 0, 19, 3, pf::Align::Right).bold();
  addReportFooter(r, "Excludes any websites that have not yet been visited.");

  w.key = &WEB_VisitsKey();
  w.valueField = pf::use(WEB->VISITS);
  w.numericValue = true;
  w.stepControls = 0x14;
  w.process.step = [&] { w.report.print("?DETAIL"); };
  pf::GLO_Response() = w.Execute();
}

// One reason per failed check, in this order.
static std::vector<std::string> integrityReasons(const std::string& address, std::int32_t visits,
                                          const std::string& category,
                                          const std::string& description) {
  std::vector<std::string> out;
  if (pf::clip(pf::lower(pf::sub(address, 1, 4))) != "http")
    out.push_back("URL does not begin with http - Is this OK?");
  if (pf::trim(address) == "http://www.") out.push_back("No URL, has 'http://www.' only?");
  if (visits == 0) out.push_back("This website has not been visited to date");
  if (pf::isBlank(category)) out.push_back("This website does not have a category?");
  if (pf::isBlank(description)) out.push_back("This website does not have a description?");
  return out;
}

void Rpt_Integrity() {
  pf::String<45> LOC_RPTSTRG;
  std::int32_t LOC_ISSUECOUNT = 0;

  ReportPass w("Rpt_Integrity");
  pf::Report& r = w.report;
  auto& h = r.header(1, 0, 206, 21, HeaderFont);
  r.text(h, "?STRING12", "Integrity Report", 7, 7, 55, 7).withFont(TitleFont);
  r.text(h, "?HEADERTITLE:1", "Description/Address", 7, 16, 34, 4);
  r.text(h, "?HEADERTITLE:2", "Category", 80, 16, 29, 4);
  r.text(h, "?HEADERTITLE:5", "Reason", 123, 16, 15, 4);
  r.line(h, "?LINE2", 7, 20, 185, 0);

  auto& d = r.detail("?DETAIL", 203, 8, DetailFont);
  r.line(d, "?DETAILLINE:0", 0, 0, 0, 6);
  r.field(d, "?WEB:DESCRIPTION", pf::use(WEB->DESCRIPTION, "s45"), 8, 0, 71, 5).bold();
  r.field(d, "?WEB:CATEGORY", pf::use(WEB->CATEGORY, "s25"), 81, 0, 41, 5);
  r.field(d, "?LOC:RPTSTRG", pf::use(LOC_RPTSTRG, "s45"), 124, 0, 74, 5);
  r.field(d, "?WEB:WEBADDRESS", pf::use(WEB->WEBADDRESS, "s254"), 8, 3, 194, 5);
  addReportFooter(r);

  w.key = &WEB_KeyDescription();
  // Every website is checked: one without a description is not in the key.
  w.leftOutByKey = "CLIP(WEB:Description) = ''";
  w.valueField = pf::use(WEB->DESCRIPTION);
  w.process.step = [&] {
    for (const std::string& reason :
         integrityReasons(std::string(WEB->WEBADDRESS.view()), WEB->VISITS,
                          WEB->CATEGORY.clip(), WEB->DESCRIPTION.clip())) {
      LOC_RPTSTRG = reason;
      w.report.print("?DETAIL");
      ++LOC_ISSUECOUNT;
    }
  };
  w.afterClose = [&] {
    if (w.RESPONSE == pf::Response::Completed && LOC_ISSUECOUNT == 0)
      pf::message("All website records have been checked and no irregularities were found.",
                  "Process complete...", pf::Icon::Information);
    LOC_ISSUECOUNT = 0;
  };
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
