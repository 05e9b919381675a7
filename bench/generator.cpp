#include "bench/generator.h"

#include <algorithm>
#include <chrono>
#include <cctype>
#include <set>

#include "data/access.h"
#include "platform/classes/error_manager.h"
#include "platform/core/dates.h"
#include "platform/core/errors.h"

namespace qb::bench {
namespace {

struct Kind {
  const char* category;
  std::vector<const char*> suffixes;
  std::vector<const char*> paths;
};

const std::vector<Kind>& kinds() {
  static const std::vector<Kind> k = {
      {"Banking", {"Bank", "Savings", "Credit Union", "Building Society"}, {"login", "online-banking", "personal/accounts"}},
      {"Shopping", {"Store", "Outlet", "Shop", "Emporium", "Direct"}, {"shop", "cart", "deals/today", "account/orders"}},
      {"News", {"Times", "Herald", "Gazette", "Daily", "Chronicle"}, {"news", "world", "local/weather"}},
      {"Travel", {"Travel", "Holidays", "Airways", "Rail", "Tours"}, {"bookings", "flights", "my-trips"}},
      {"Email", {"Mail", "Post", "Inbox"}, {"inbox", "mail/u/0", "webmail"}},
      {"Social", {"Friends", "Circle", "Chat", "Network"}, {"feed", "profile", "messages"}},
      {"Work", {"Intranet", "Portal", "Timesheets", "Wiki"}, {"hr/leave", "projects", "wiki/Main_Page"}},
      {"Software", {"Software", "Downloads", "Labs", "Code"}, {"download", "releases/latest", "docs/index.html"}},
      {"Music", {"Records", "Radio", "Music", "Sounds"}, {"charts", "listen", "artists?id=%"}},
      {"Video", {"TV", "Films", "Video", "Cinema"}, {"watch?v=%", "catalogue", "on-demand"}},
      {"Games", {"Games", "Arcade", "Puzzles"}, {"play", "leaderboard", "forum/topic-%"}},
      {"Sport", {"Sports", "Football Club", "Cycling", "Golf Club"}, {"fixtures", "results", "members"}},
      {"Health", {"Clinic", "Pharmacy", "Health", "Surgery"}, {"appointments", "repeat-prescriptions"}},
      {"Recipes", {"Kitchen", "Recipes", "Bakery", "Cookbook"}, {"recipes/%", "baking", "search?q=soup"}},
      {"Education", {"College", "University", "Academy", "School"}, {"courses", "library", "student/login"}},
      {"Government", {"Council", "Tax Office", "Registry"}, {"services/bins", "self-assessment", "forms"}},
      {"Hobbies", {"Models", "Crafts", "Photography", "Gardening Club"}, {"gallery", "shop/paints", "tips"}},
      {"Forums", {"Forum", "Board", "Community"}, {"viewtopic.php?t=%", "latest", "members/%"}},
      {"Utilities", {"Energy", "Water", "Broadband", "Mobile"}, {"my-account", "bills", "meter-reading"}},
      {"Reference", {"Encyclopaedia", "Dictionary", "Maps", "Atlas"}, {"wiki/%", "search", "define?w=lorem"}},
  };
  return k;
}

const char* const kPrefixes[] = {"North", "Blue", "Green", "Silver", "Red", "Bright", "Old", "Quick",
                                 "Golden", "Grand", "Little", "Royal", "West", "East", "Sunny", "Iron",
                                 "Crystal", "Maple", "Oak", "Harbour", "Summit", "Meadow", "Stone", "Swift",
                                 "Clear", "Kings", "Lake", "Cedar", "Bay", "Pine", "Star", "Valley"};
const char* const kNouns[] = {"River", "Garden", "Market", "Forge", "Pixel", "Lantern", "Anchor", "Bridge",
                              "Castle", "Falcon", "Harvest", "Compass", "Beacon", "Orchard", "Quarry", "Thistle",
                              "Willow", "Harbor", "Meridian", "Otter", "Copper", "Juniper", "Kestrel", "Lighthouse",
                              "Mill", "Nimbus", "Pebble", "Robin", "Saffron", "Tide", "Umbra", "Vista",
                              "Wren", "Yardley", "Zephyr", "Acorn", "Badger", "Cobalt", "Delta", "Ember"};
const char* const kTlds[] = {".com", ".co.uk", ".org", ".net", ".de", ".com.au", ".io", ".fr", ".ie", ".nz"};
const char* const kFirst[] = {"jane", "john", "amy", "raj", "li", "maria", "tom", "sofia", "ahmed", "kate",
                              "pete", "nina", "oscar", "grace", "ivan", "lucy", "sam", "zoe", "ben", "eva"};
const char* const kLast[] = {"smith", "jones", "patel", "chen", "garcia", "brown", "taylor", "wilson",
                             "nguyen", "murphy", "kowalski", "evans", "ross", "king", "ward", "hughes"};
const char* const kNoteLines[] = {
    "Renewal due in March.",
    "Use the backup e-mail address for password resets.",
    "Security question: name of first pet.",
    "Customer number is on the last statement.",
    "Two-factor codes go to the old mobile.",
    "Account shared with the family.",
    "Cancel before the free trial ends!",
    "Support line open 9am - 5pm weekdays.",
    "Remember to download the yearly statement.",
    "Membership number 00451-22.",
    "Loyalty points expire after 12 months.",
    "Changed the password after the breach notice.",
    "Prefers Firefox; the site breaks in other browsers.",
    "Ask for Dave in the accounts team.",
};

template <class T, std::size_t N>
const T& pick(Rng& rng, const T (&a)[N]) {
  return a[rng.below(N)];
}
template <class T>
const T& pick(Rng& rng, const std::vector<T>& v) {
  return v[rng.below(static_cast<std::uint32_t>(v.size()))];
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string slug(const std::string& s) {
  std::string r;
  for (char c : lower(s))
    if (std::isalnum(static_cast<unsigned char>(c))) r += c;
  return r;
}

std::string password(Rng& rng) {
  static const char kChars[] = "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789!#$%&*?";
  std::string p;
  int n = 8 + static_cast<int>(rng.below(9));
  for (int i = 0; i < n; ++i) p += kChars[rng.below(sizeof kChars - 1)];
  return p;
}

// A few categories hold most of the websites, as in a real collection.
const Kind& pickKind(Rng& rng) {
  const auto& k = kinds();
  std::uint32_t a = rng.below(static_cast<std::uint32_t>(k.size()));
  std::uint32_t b = rng.below(static_cast<std::uint32_t>(k.size()));
  return k[std::min(a, b)];
}

// Computed on first use: the date tables of platform/core may not be ready during
// static initialisation.
std::int32_t firstDay() { static const std::int32_t d = pf::dateToDay(2005, 1, 1); return d; }
std::int32_t lastDay() { static const std::int32_t d = pf::dateToDay(2024, 12, 31); return d; }

}  // namespace

const std::vector<std::string>& siteCategories() {
  static const std::vector<std::string> c = [] {
    std::vector<std::string> r;
    for (const auto& k : kinds()) r.push_back(k.category);
    return r;
  }();
  return c;
}

Website makeWebsite(Rng& rng) {
  Website w;
  const Kind& kind = pickKind(rng);
  w.category = rng.chance(5) ? DefaultCategory : kind.category;

  std::string prefix = pick(rng, kPrefixes), noun = pick(rng, kNouns), suffix = pick(rng, kind.suffixes);
  w.description = prefix + " " + noun + " " + suffix;
  int shape = static_cast<int>(rng.below(20));
  if (shape == 0) w.description = lower(w.description);
  else if (shape == 1) w.description += " - Login";
  else if (shape == 2) w.description = noun + " " + suffix + " (" + pick(rng, kFirst) + ")";

  int scheme = static_cast<int>(rng.below(100));
  w.address = scheme < 80 ? "https://" : scheme < 97 ? "http://" : "ftp://";
  if (rng.chance(70)) w.address += "www.";
  w.address += slug(prefix + noun) + (rng.chance(30) ? "-" + slug(suffix) : std::string()) + pick(rng, kTlds);
  if (rng.chance(60)) {
    std::string path = pick(rng, kind.paths);
    auto pc = path.find('%');
    if (pc != std::string::npos) path.replace(pc, 1, std::to_string(rng.below(100000)));
    w.address += "/" + path;
  } else if (rng.chance(50)) {
    w.address += "/";
  }
  w.address = lower(w.address);  // as the website form stores it

  if (rng.chance(70)) {
    std::string first = pick(rng, kFirst), last = pick(rng, kLast);
    switch (rng.below(4)) {
      case 0: w.logonId = first[0] + last; break;
      case 1: w.logonId = first + "." + last + std::to_string(rng.below(100)); break;
      case 2: w.logonId = first + "." + last + "@mailbox.example"; break;
      default: w.logonId = std::to_string(10000000 + rng.below(90000000)); break;
    }
    if (rng.chance(85)) w.password = password(rng);
  }

  if (rng.chance(20)) {
    int lines = 1 + static_cast<int>(rng.below(4));
    for (int i = 0; i < lines; ++i) w.notes += std::string(i ? "\r\n" : "") + pick(rng, kNoteLines);
  }

  w.favourite = rng.chance(10) ? 1 : 0;
  w.highlight = rng.chance(5) ? 1 : 0;
  w.textColor = rng.chance(75) ? 1 : static_cast<std::uint8_t>(2 + rng.below(7));

  std::uint32_t span = static_cast<std::uint32_t>(lastDay() - firstDay());
  w.dateAdded = firstDay() + static_cast<std::int32_t>(rng.below(span + 1));
  std::uint32_t after = static_cast<std::uint32_t>(lastDay() - w.dateAdded);
  w.dateUpdated = rng.chance(40) ? w.dateAdded : w.dateAdded + static_cast<std::int32_t>(rng.below(after + 1));
  if (!rng.chance(55)) {
    // Mostly a handful of visits, now and then hundreds.
    int scale = rng.chance(10) ? 500 : rng.chance(30) ? 50 : 8;
    w.visits = 1 + static_cast<std::int32_t>(rng.below(static_cast<std::uint32_t>(scale)));
    w.lastVisit = w.dateAdded + static_cast<std::int32_t>(rng.below(after + 1));
  }
  return w;
}

std::vector<Website> makeWebsites(std::int64_t n, std::uint64_t seed) {
  Rng rng(seed);
  std::vector<Website> v;
  v.reserve(static_cast<std::size_t>(std::max<std::int64_t>(n, 0)));
  for (std::int64_t i = 0; i < n; ++i) v.push_back(makeWebsite(rng));
  return v;
}

void fillRecord(const Website& w, WSitesRecord& rec) {
  rec.DESCRIPTION = w.description;
  rec.WEBADDRESS = w.address;
  rec.CATEGORY = w.category;
  rec.LOGONID = w.logonId;
  rec.PASSWORD = w.password;
  rec.FAVOURITEYN = w.favourite;
  rec.HIGHLIGHT = w.highlight;
  rec.TEXTCOLOR = w.textColor;
  rec.DATEADDED = w.dateAdded;
  rec.DATEUPDATED = w.dateUpdated;
  rec.LASTVISIT = w.lastVisit;
  rec.VISITS = w.visits;
  rec.SiteNotes = w.notes;
}

int runFramed(pf::File& file, const std::function<int()>& step, FrameStats* stats, int timeSliceMs) {
  using Clock = std::chrono::steady_clock;
  FrameStats local;
  FrameStats& s = stats ? *stats : local;
  std::int64_t perCycle = 1;
  for (;;) {
    if (int e = file.logout()) return e;
    ++s.frames;
    auto start = Clock::now();
    std::int64_t done = 0;
    int last = 1;
    for (;;) {
      while (done < perCycle && (last = step()) == 1) ++done;
      if (last != 1) break;
      std::int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      std::int64_t slice = timeSliceMs;
      if (ms * 5 < slice * 4 && perCycle < (1 << 24)) perCycle *= 2;
      if (ms * 2 < slice) continue;
      if (ms * 2 > slice * 3 && perCycle > 1) perCycle /= 2;
      break;
    }
    s.records += done;
    if (last < 0) {
      file.rollback();
      return -last;
    }
    if (int e = file.commit()) {
      file.rollback();
      return e;
    }
    if (last == 0) return pf::Err::None;
  }
}

int writeWebsites(const std::vector<Website>& sites, std::string* error, FrameStats* stats) {
  auto say = [&](const std::string& what) {
    if (error) *error = what + ": error " + std::to_string(pf::errorcode()) + " " + pf::error() + " (" + pf::errorfile() + ")";
  };
  if (!HasThreadAccess()) MakeThreadAccess();
  if (Relate_WSites().RelationOpen() != pf::Level::Benign) {
    say("cannot open the websites file");
    return pf::errorcode() ? pf::errorcode() : pf::Err::FileSystemError;
  }
  std::size_t next = 0;
  int code = runFramed(WSites(), [&]() -> int {
        if (next == sites.size()) return 0;
        Access_WSites().FilePrimeRecord();
        fillRecord(sites[next++], *WEB);
        if (Access_WSites().FileInsertQuiet() != pf::Level::Benign) return -(pf::errorcode() ? pf::errorcode() : pf::Err::FileSystemError);
        return 1;
      }, stats);
  if (code) say("cannot add a website");

  // The category file was counted open with the websites; its first use opens it.
  std::set<std::string> used;
  for (const auto& w : sites) used.insert(w.category);
  for (const auto& name : used) {
    if (code) break;
    CAT->CATEGORY = name;
    int found = Access_Category().FileFetchQuiet(CAT_CatKey());
    if (found == pf::Level::Benign) continue;
    if (found != pf::Level::Notify) {
      code = pf::errorcode() ? pf::errorcode() : pf::Err::FileSystemError;
      say("cannot read the category file");
      break;
    }
    Access_Category().FilePrimeRecord();
    CAT->CATEGORY = name;
    if (Access_Category().FileInsertQuiet() != pf::Level::Benign) {
      code = pf::errorcode() ? pf::errorcode() : pf::Err::FileSystemError;
      say("cannot add a category");
    }
  }
  Relate_WSites().RelationClose();
  return code;
}

}  // namespace qb::bench
