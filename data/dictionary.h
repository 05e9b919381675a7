// The data dictionary: the record layouts, file declarations and keys of every file
// Quillbox keeps, and the calling program thread's buffers and file instances.
#pragma once

#include <cstddef>

#include "platform/core/field.h"
#include "platform/core/record.h"
#include "platform/core/secret.h"
#include "platform/store/file.h"
#include "platform/store/file_key.h"

// ---------------------------------------------------------------------------------
// Records. Every field type has alignment 1, so the members lie at the offsets the
// files declare; the static_asserts below keep it that way.

struct WSitesRecord {
  pf::String<45> DESCRIPTION;
  pf::CString<255> WEBADDRESS;
  pf::String<25> CATEGORY;
  pf::String<45> LOGONID;
  pf::String<45> PASSWORD;
  pf::String<85> COMMENT;
  pf::Byte FAVOURITEYN = 0;
  pf::Byte QZVT_YN = 0;
  pf::Byte HIGHLIGHT = 0;
  pf::Byte HIGHLIGHT2 = 0;
  pf::Byte HIGHLIGHT3 = 0;
  pf::Byte TEXTCOLOR = 0;
  pf::Byte COLORBOTHYN = 0;
  pf::Byte NOTURLUSE = 0;
  pf::Date DATEADDED;
  pf::Date DATEUPDATED;
  pf::Time TIMEADDED;
  pf::Time TIMEUPDATED;
  pf::Date LASTVISIT;
  pf::Long VISITS;
  pf::Byte RATING = 0;
  pf::String<20> SPARESTRG1;
  pf::String<20> SPARESTRG2;
  pf::String<25> SPARESTRG3;
  pf::Byte SPAREBYTE1 = 0;
  pf::Byte SPAREBYTE2 = 0;
  pf::Byte SPAREBYTE3 = 0;
  pf::Long SPAREDATE1;
  pf::Long SPAREDATE2;
  pf::Long SPAREDATE3;
  // The memo travels with the record but is not part of its fixed size.
  pf::Memo<2000> SiteNotes;
};

struct CategoryRecord {
  pf::String<25> CATEGORY;
};

struct DefaultsRecord {
  pf::Byte RECORDNUMBER = 0;
  pf::Byte AUTOOPENBROWSE = 0;
  pf::Byte SHOWPWORDS = 0;
  pf::Byte SHOWCATS = 0;
  pf::Byte TOOLTIPSONOFF = 0;
  pf::Byte AUTOPWORD = 0;
  pf::Byte NOMAINBG = 0;
  pf::CString<255> HOMEPAGE;
  pf::String<1> DEFAULTBUPDRIVE;
  pf::String<25> DEFAULTCAT;
  pf::Byte COLUMN4WIDTH = 0;
  pf::Byte COLUMN5WIDTH = 0;
  pf::Byte COLUMN6WIDTH = 0;
  pf::Byte COLORBOTHYN = 0;
  pf::Byte SPAREBYTE1 = 0;
  pf::Byte SPAREBYTE2 = 0;
  pf::Long SPARELONG1;
  pf::Long SPARELONG2;
  pf::String<20> SPARESTRG1;
  pf::String<20> SPARESTRG2;
  pf::Byte SPAREBYTE3 = 0;
};

struct AccessRecord {
  pf::String<45> PWORD;
};

struct SitesCSVRecord {
  pf::String<275> URL;
};

constexpr std::size_t WSitesRecordSize = 613;  // fixed part; SiteNotes follows it

static_assert(offsetof(WSitesRecord, WEBADDRESS) == 45);
static_assert(offsetof(WSitesRecord, CATEGORY) == 300);
static_assert(offsetof(WSitesRecord, LOGONID) == 325);
static_assert(offsetof(WSitesRecord, PASSWORD) == 370);
static_assert(offsetof(WSitesRecord, COMMENT) == 415);
static_assert(offsetof(WSitesRecord, FAVOURITEYN) == 500);
static_assert(offsetof(WSitesRecord, NOTURLUSE) == 507);
static_assert(offsetof(WSitesRecord, DATEADDED) == 508);
static_assert(offsetof(WSitesRecord, DATEUPDATED) == 512);
static_assert(offsetof(WSitesRecord, TIMEADDED) == 516);
static_assert(offsetof(WSitesRecord, TIMEUPDATED) == 520);
static_assert(offsetof(WSitesRecord, LASTVISIT) == 524);
static_assert(offsetof(WSitesRecord, VISITS) == 528);
static_assert(offsetof(WSitesRecord, RATING) == 532);
static_assert(offsetof(WSitesRecord, SPARESTRG1) == 533);
static_assert(offsetof(WSitesRecord, SPARESTRG2) == 553);
static_assert(offsetof(WSitesRecord, SPARESTRG3) == 573);
static_assert(offsetof(WSitesRecord, SPAREBYTE1) == 598);
static_assert(offsetof(WSitesRecord, SPAREDATE1) == 601);
static_assert(offsetof(WSitesRecord, SPAREDATE3) == 609);
static_assert(offsetof(WSitesRecord, SiteNotes) == WSitesRecordSize);
static_assert(sizeof(WSitesRecord) == WSitesRecordSize + 2000);

static_assert(sizeof(CategoryRecord) == 25);

static_assert(offsetof(DefaultsRecord, NOMAINBG) == 6);
static_assert(offsetof(DefaultsRecord, HOMEPAGE) == 7);
static_assert(offsetof(DefaultsRecord, DEFAULTBUPDRIVE) == 262);
static_assert(offsetof(DefaultsRecord, DEFAULTCAT) == 263);
static_assert(offsetof(DefaultsRecord, COLUMN4WIDTH) == 288);
static_assert(offsetof(DefaultsRecord, COLORBOTHYN) == 291);
static_assert(offsetof(DefaultsRecord, SPARELONG1) == 294);
static_assert(offsetof(DefaultsRecord, SPARELONG2) == 298);
static_assert(offsetof(DefaultsRecord, SPARESTRG1) == 302);
static_assert(offsetof(DefaultsRecord, SPARESTRG2) == 322);
static_assert(offsetof(DefaultsRecord, SPAREBYTE3) == 342);
static_assert(sizeof(DefaultsRecord) == 343);

static_assert(sizeof(AccessRecord) == 45);
static_assert(sizeof(SitesCSVRecord) == 275);

// ---------------------------------------------------------------------------------
// File declarations (process-wide and immutable).

// Owner password of the encrypted files (WSites and Access), decoded when asked for; it is
// kept in the program as scrambled bytes only.
pf::Secret OwnerPassword();
// The key WSites and Access are opened with: the owner password alone, or with the
// program password once one is set.
pf::FileKey& DataKey();

const pf::FileDesc& WSitesDesc();
const pf::FileDesc& CategoryDesc();
const pf::FileDesc& DefaultsDesc();
const pf::FileDesc& AccessDesc();
const pf::FileDesc& SitesCSVDesc();

// Keys.
const pf::KeyDesc& WEB_KeyDescription();  // description
const pf::KeyDesc& WEB_KeyWebsite();      // web address
const pf::KeyDesc& WEB_CategoryKey();     // category, then description
const pf::KeyDesc& WEB_VisitsKey();       // visits, most first
const pf::KeyDesc& CAT_CatKey();          // category name

// ---------------------------------------------------------------------------------
// Per-thread data: one record buffer and one file instance per file. Members are
// destroyed in reverse order, which releases SitesCSV first and WSites last.

struct DataFiles {
  WSitesRecord web;
  DefaultsRecord pref;
  AccessRecord acc;
  CategoryRecord cat;
  SitesCSVRecord csv;

  pf::File wsites{WSitesDesc(), &web};
  pf::File defaults{DefaultsDesc(), &pref};
  pf::File access{AccessDesc(), &acc};
  pf::File category{CategoryDesc(), &cat};
  pf::File sitescsv{SitesCSVDesc(), &csv};
};

// The calling program thread's buffers and files, made on first use.
DataFiles& ThreadFiles();

// `WEB->DESCRIPTION`, `*WEB = WSitesRecord{}`: the calling thread's record.
template <class R, R DataFiles::*Member>
struct ThreadRecord {
  R* operator->() const { return &(ThreadFiles().*Member); }
  R& operator*() const { return ThreadFiles().*Member; }
};

inline constexpr ThreadRecord<WSitesRecord, &DataFiles::web> WEB{};
inline constexpr ThreadRecord<CategoryRecord, &DataFiles::cat> CAT{};
inline constexpr ThreadRecord<DefaultsRecord, &DataFiles::pref> PREF{};
inline constexpr ThreadRecord<AccessRecord, &DataFiles::acc> ACC{};
inline constexpr ThreadRecord<SitesCSVRecord, &DataFiles::csv> CSV{};

// The calling thread's file instances.
inline pf::File& WSites() { return ThreadFiles().wsites; }
inline pf::File& Category() { return ThreadFiles().category; }
inline pf::File& Defaults() { return ThreadFiles().defaults; }
inline pf::File& Access() { return ThreadFiles().access; }
inline pf::File& SitesCSV() { return ThreadFiles().sitescsv; }
