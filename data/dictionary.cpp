#include "data/dictionary.h"

#include "platform/runtime/runtime.h"

namespace {

using pf::FieldType;

template <class T> struct TypeOf;
template <std::size_t N> struct TypeOf<pf::String<N>> { static constexpr FieldType v = FieldType::String; };
template <std::size_t N> struct TypeOf<pf::CString<N>> { static constexpr FieldType v = FieldType::CString; };
template <std::size_t N> struct TypeOf<pf::Memo<N>> { static constexpr FieldType v = FieldType::Memo; };
template <> struct TypeOf<pf::Byte> { static constexpr FieldType v = FieldType::Byte; };
template <> struct TypeOf<pf::Long> { static constexpr FieldType v = FieldType::Long; };
template <> struct TypeOf<pf::Date> { static constexpr FieldType v = FieldType::Date; };
template <> struct TypeOf<pf::Time> { static constexpr FieldType v = FieldType::Time; };

#define QB_FIELD(R, member, name)                                                    \
  pf::FieldDesc {                                                                    \
    name, TypeOf<decltype(R::member)>::v, static_cast<std::uint32_t>(offsetof(R, member)), \
        static_cast<std::uint32_t>(sizeof(R::member))                                \
  }

pf::FileDesc makeWSites() {
  pf::FileDesc d;
  d.label = "WSites";
  d.prefix = "WEB";
  d.diskName = "wsites.tps";
  d.driver = pf::Driver::Indexed;
  d.cipher = &DataKey();
  d.create = true;
  d.recordSize = WSitesRecordSize;
  d.bufferSize = sizeof(WSitesRecord);
  using R = WSitesRecord;
  d.fields = {
      QB_FIELD(R, DESCRIPTION, "WEB:DESCRIPTION"), QB_FIELD(R, WEBADDRESS, "WEB:WEBADDRESS"),
      QB_FIELD(R, CATEGORY, "WEB:CATEGORY"),       QB_FIELD(R, LOGONID, "WEB:LOGONID"),
      QB_FIELD(R, PASSWORD, "WEB:PASSWORD"),       QB_FIELD(R, COMMENT, "WEB:COMMENT"),
      QB_FIELD(R, FAVOURITEYN, "WEB:FAVOURITEYN"), QB_FIELD(R, QZVT_YN, "WEB:QZVT_YN"),
      QB_FIELD(R, HIGHLIGHT, "WEB:HIGHLIGHT"),     QB_FIELD(R, HIGHLIGHT2, "WEB:HIGHLIGHT2"),
      QB_FIELD(R, HIGHLIGHT3, "WEB:HIGHLIGHT3"),   QB_FIELD(R, TEXTCOLOR, "WEB:TEXTCOLOR"),
      QB_FIELD(R, COLORBOTHYN, "WEB:COLORBOTHYN"), QB_FIELD(R, NOTURLUSE, "WEB:NOTURLUSE"),
      QB_FIELD(R, DATEADDED, "WEB:DATEADDED"),     QB_FIELD(R, DATEUPDATED, "WEB:DATEUPDATED"),
      QB_FIELD(R, TIMEADDED, "WEB:TIMEADDED"),     QB_FIELD(R, TIMEUPDATED, "WEB:TIMEUPDATED"),
      QB_FIELD(R, LASTVISIT, "WEB:LASTVISIT"),     QB_FIELD(R, VISITS, "WEB:VISITS"),
      QB_FIELD(R, RATING, "WEB:RATING"),           QB_FIELD(R, SPARESTRG1, "WEB:SPARESTRG1"),
      QB_FIELD(R, SPARESTRG2, "WEB:SPARESTRG2"),   QB_FIELD(R, SPARESTRG3, "WEB:SPARESTRG3"),
      QB_FIELD(R, SPAREBYTE1, "WEB:SPAREBYTE1"),   QB_FIELD(R, SPAREBYTE2, "WEB:SPAREBYTE2"),
      QB_FIELD(R, SPAREBYTE3, "WEB:SPAREBYTE3"),   QB_FIELD(R, SPAREDATE1, "WEB:SPAREDATE1"),
      QB_FIELD(R, SPAREDATE2, "WEB:SPAREDATE2"),   QB_FIELD(R, SPAREDATE3, "WEB:SPAREDATE3"),
      QB_FIELD(R, SiteNotes, "WEB:SiteNotes"),
  };
  const int description = d.fieldIndex("WEB:DESCRIPTION");
  d.keys = {
      {"WEB:KeyDescription", {{description}}},
      {"WEB:KeyWebsite", {{d.fieldIndex("WEB:WEBADDRESS")}}},
      {"WEB:CategoryKey", {{d.fieldIndex("WEB:CATEGORY")}, {description}}},
      {"WEB:VisitsKey", {{d.fieldIndex("WEB:VISITS"), true}}},
  };
  // The websites browse counts its tabs by category and by their tags (the category key
  // counts by category on its own).
  const std::vector<int> browseCounts = {d.fieldIndex("WEB:CATEGORY"), d.fieldIndex("WEB:FAVOURITEYN"),
                                         d.fieldIndex("WEB:HIGHLIGHT"), d.fieldIndex("WEB:TEXTCOLOR")};
  d.countIndexes = {{"WEB:KeyDescription", browseCounts}, {"WEB:KeyWebsite", browseCounts}};
  return d;
}

pf::FileDesc makeCategory() {
  pf::FileDesc d;
  d.label = "Category";
  d.prefix = "CAT";
  d.diskName = "Category.tps";
  d.recordSize = d.bufferSize = sizeof(CategoryRecord);
  d.fields = {QB_FIELD(CategoryRecord, CATEGORY, "CAT:CATEGORY")};
  d.keys = {{"CAT:CatKey", {{0}}}};
  return d;
}

pf::FileDesc makeDefaults() {
  pf::FileDesc d;
  d.label = "Defaults";
  d.prefix = "PREF";
  d.diskName = "Defaults.tps";
  d.recordSize = d.bufferSize = sizeof(DefaultsRecord);
  using R = DefaultsRecord;
  d.fields = {
      QB_FIELD(R, RECORDNUMBER, "PREF:RECORDNUMBER"),
      QB_FIELD(R, AUTOOPENBROWSE, "PREF:AUTOOPENBROWSE"),
      QB_FIELD(R, SHOWPWORDS, "PREF:SHOWPWORDS"),
      QB_FIELD(R, SHOWCATS, "PREF:SHOWCATS"),
      QB_FIELD(R, TOOLTIPSONOFF, "PREF:TOOLTIPSONOFF"),
      QB_FIELD(R, AUTOPWORD, "PREF:AUTOPWORD"),
      QB_FIELD(R, NOMAINBG, "PREF:NOMAINBG"),
      QB_FIELD(R, HOMEPAGE, "PREF:HOMEPAGE"),
      QB_FIELD(R, DEFAULTBUPDRIVE, "PREF:DEFAULTBUPDRIVE"),
      QB_FIELD(R, DEFAULTCAT, "PREF:DEFAULTCAT"),
      QB_FIELD(R, COLUMN4WIDTH, "PREF:COLUMN4WIDTH"),
      QB_FIELD(R, COLUMN5WIDTH, "PREF:COLUMN5WIDTH"),
      QB_FIELD(R, COLUMN6WIDTH, "PREF:COLUMN6WIDTH"),
      QB_FIELD(R, COLORBOTHYN, "PREF:COLORBOTHYN"),
      QB_FIELD(R, SPAREBYTE1, "PREF:SPAREBYTE1"),
      QB_FIELD(R, SPAREBYTE2, "PREF:SPAREBYTE2"),
      QB_FIELD(R, SPARELONG1, "PREF:SPARELONG1"),
      QB_FIELD(R, SPARELONG2, "PREF:SPARELONG2"),
      QB_FIELD(R, SPARESTRG1, "PREF:SPARESTRG1"),
      QB_FIELD(R, SPARESTRG2, "PREF:SPARESTRG2"),
      QB_FIELD(R, SPAREBYTE3, "PREF:SPAREBYTE3"),
  };
  return d;
}

pf::FileDesc makeAccess() {
  pf::FileDesc d;
  d.label = "Access";
  d.prefix = "ACC";
  d.diskName = "Access.tps";
  d.cipher = &DataKey();
  d.recordSize = d.bufferSize = sizeof(AccessRecord);
  d.fields = {QB_FIELD(AccessRecord, PWORD, "ACC:PWORD")};
  return d;
}

pf::FileDesc makeSitesCSV() {
  pf::FileDesc d;
  d.label = "SitesCSV";
  d.prefix = "CSV";
  d.diskName = "SitesCSV.csv";
  d.driver = pf::Driver::Basic;
  d.recordSize = d.bufferSize = sizeof(SitesCSVRecord);
  d.fields = {QB_FIELD(SitesCSVRecord, URL, "CSV:URL")};
  return d;
}

#undef QB_FIELD

}  // namespace

pf::Secret OwnerPassword() {
  // Scrambled so that the text is not in the program's bytes; anyone with the program can
  // still unscramble it, so it hides nothing from a determined reader.
  static const unsigned char scrambled[] = {0xF5, 0xAB, 0xAF, 0xB7, 0x76, 0x44, 0x32, 0x3C,
                                            0xF8, 0xC4, 0xA6, 0xA9, 0x64, 0x6D, 0x53};
  // Read through a volatile step, or the compiler would fold the text back into the binary.
  volatile unsigned char step = 29;
  pf::Secret out;
  for (std::size_t i = 0; i < sizeof scrambled; ++i) {
    char c = static_cast<char>(scrambled[i] ^ static_cast<unsigned char>(0xA5 + step * i));
    out.append(std::string_view(&c, 1));
    c = 0;
  }
  return out;
}

pf::FileKey& DataKey() {
  static pf::FileKey key(OwnerPassword());
  return key;
}

const pf::FileDesc& WSitesDesc() { static const pf::FileDesc d = makeWSites(); return d; }
const pf::FileDesc& CategoryDesc() { static const pf::FileDesc d = makeCategory(); return d; }
const pf::FileDesc& DefaultsDesc() { static const pf::FileDesc d = makeDefaults(); return d; }
const pf::FileDesc& AccessDesc() { static const pf::FileDesc d = makeAccess(); return d; }
const pf::FileDesc& SitesCSVDesc() { static const pf::FileDesc d = makeSitesCSV(); return d; }

const pf::KeyDesc& WEB_KeyDescription() { return WSitesDesc().keys[0]; }
const pf::KeyDesc& WEB_KeyWebsite() { return WSitesDesc().keys[1]; }
const pf::KeyDesc& WEB_CategoryKey() { return WSitesDesc().keys[2]; }
const pf::KeyDesc& WEB_VisitsKey() { return WSitesDesc().keys[3]; }
const pf::KeyDesc& CAT_CatKey() { return CategoryDesc().keys[0]; }

DataFiles& ThreadFiles() { return pf::ctx().local<DataFiles>(); }
