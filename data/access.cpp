#include "data/access.h"

#include <initializer_list>
#include <stdexcept>

#include "platform/classes/error_manager.h"
#include "platform/runtime/runtime.h"
#include "platform/store/bind.h"

namespace {

using pf::Level::Benign;
using pf::UseKind;

template <class A>
void setUp(A& a, const char* label, pf::File& file, void* buffer, const pf::FileDesc& desc,
           A*& publicRef) {
  a.INITIALIZED = false;
  a.BUFFER = {buffer, &desc, desc.bufferSize};
  a.FILENAMEVALUE = label;
  a.FileSetErrors(pf::AppErrors);
  a.FILE = &file;
  a.pf::FileAccessor::AccessorSetup();
  publicRef = &a;
}

template <class A>
void tearDown(A& a, A*& publicRef) {
  a.pf::FileAccessor::AccessorTearDown();
  publicRef = nullptr;
}

int firstUse(pf::FileAccessor& a, UseKind kind, pf::File& file,
             std::initializer_list<const pf::KeyDesc*> keys) {
  if (kind != UseKind::Initialize) {
    int level = a.AccessorFirstUse(UseKind::Initialize);
    if (level != Benign) return level;
  } else if (!a.INITIALIZED) {
    a.INUSEFILE = true;
    a.AccessorAttach(file, pf::AppErrors);
    a.CREATE = true;
    a.LOCKRECOVER = 10;
    for (const pf::KeyDesc* k : keys) a.FileAddKey(*k, k->name, false);
    a.INUSEFILE = false;
  }
  return a.pf::FileAccessor::AccessorFirstUse(kind);
}

// The relation object's tear-down: its accessor's first, then its own.
template <class A, class R>
void tearDownPair(R& relation, std::unique_ptr<A>& ownAccessor, R*& publicRelation) {
  if (ownAccessor) ownAccessor->AccessorTearDown();
  relation.pf::FileRelations::RelationsTearDown();
  publicRelation = nullptr;
  ownAccessor.reset();
}

template <class T>
T& checked(T* p, const char* what) {
  if (!p) throw std::logic_error(std::string(what) + " used before MakeThreadAccess");
  return *p;
}

}  // namespace

// ---------------------------------------------------------------------------------
// Accessors

void WSitesAccessor::AccessorSetup() {
  auto& d = ThreadFiles();
  setUp(*this, "WSites", d.wsites, &d.web, WSitesDesc(), ThreadAccessObjects().wsites);
}
void WSitesAccessor::AccessorTearDown() { tearDown(*this, ThreadAccessObjects().wsites); }
int WSitesAccessor::AccessorFirstUse(UseKind kind) {
  return firstUse(*this, kind, ThreadFiles().wsites,
                  {&WEB_KeyDescription(), &WEB_KeyWebsite(), &WEB_CategoryKey(), &WEB_VisitsKey()});
}
void WSitesAccessor::ExposeFields() {
  FileAccessor::ExposeFields();
  auto* rec = static_cast<WSitesRecord*>(BUFFER.address);
  if (rec) pf::bind("WEB:SiteNotes", {pf::FieldType::Memo, &rec->SiteNotes, rec->SiteNotes.size});
}
void WSitesAccessor::PrimeNewRecord() {
  auto* rec = static_cast<WSitesRecord*>(BUFFER.address);
  if (rec) {
    rec->FAVOURITEYN = 0;
    rec->QZVT_YN = 0;
    rec->HIGHLIGHT = 0;
    rec->HIGHLIGHT2 = 0;
    rec->HIGHLIGHT3 = 0;
  }
  FileAccessor::PrimeNewRecord();
}

void DefaultsAccessor::AccessorSetup() {
  auto& d = ThreadFiles();
  setUp(*this, "Defaults", d.defaults, &d.pref, DefaultsDesc(), ThreadAccessObjects().defaults);
}
void DefaultsAccessor::AccessorTearDown() { tearDown(*this, ThreadAccessObjects().defaults); }
int DefaultsAccessor::AccessorFirstUse(UseKind kind) {
  return firstUse(*this, kind, ThreadFiles().defaults, {});
}
int DefaultsAccessor::CheckFieldValue(int field, bool report) {
  int level = FileAccessor::CheckFieldValue(field, report);
  if (field == 1) {
    if (ERRORS) ERRORS->setField("PREF:RecordNumber");
    auto* rec = static_cast<DefaultsRecord*>(BUFFER.address);
    if (rec && rec->RECORDNUMBER > 1) level = pf::Level::Notify;
  }
  if (level != Benign && report) return ThrowMessage(pf::Msg::RangeError, "0 .. 1");
  return level;
}

void AccessAccessor::AccessorSetup() {
  auto& d = ThreadFiles();
  setUp(*this, "Access", d.access, &d.acc, AccessDesc(), ThreadAccessObjects().access);
}
void AccessAccessor::AccessorTearDown() { tearDown(*this, ThreadAccessObjects().access); }
int AccessAccessor::AccessorFirstUse(UseKind kind) {
  return firstUse(*this, kind, ThreadFiles().access, {});
}

void CategoryAccessor::AccessorSetup() {
  auto& d = ThreadFiles();
  setUp(*this, "Category", d.category, &d.cat, CategoryDesc(), ThreadAccessObjects().category);
}
void CategoryAccessor::AccessorTearDown() { tearDown(*this, ThreadAccessObjects().category); }
int CategoryAccessor::AccessorFirstUse(UseKind kind) {
  return firstUse(*this, kind, ThreadFiles().category, {&CAT_CatKey()});
}
int CategoryAccessor::FileCreate() {
  int err = FileAccessor::FileCreate();
  if (err != pf::Err::None) return err;
  // Its own buffer, so the thread's CAT record is left as it was.
  CategoryRecord rec;
  pf::File file(CategoryDesc(), &rec);
  err = file.open();
  for (const char* name : {AllCategories, DefaultCategory}) {
    if (err != pf::Err::None) break;
    rec.CATEGORY = name;
    err = file.add();
  }
  if (err != pf::Err::None) {
    int code = pf::errorcode();
    file.close();
    pf::removeFile(file.name());
    pf::setError(code, file.name());
    return code;
  }
  return file.close();
}

void SitesCSVAccessor::AccessorSetup() {
  auto& d = ThreadFiles();
  setUp(*this, "SitesCSV", d.sitescsv, &d.csv, SitesCSVDesc(), ThreadAccessObjects().sitescsv);
}
void SitesCSVAccessor::AccessorTearDown() { tearDown(*this, ThreadAccessObjects().sitescsv); }
int SitesCSVAccessor::AccessorFirstUse(UseKind kind) {
  return firstUse(*this, kind, ThreadFiles().sitescsv, {});
}

// ---------------------------------------------------------------------------------
// Relation objects

void WSitesRelations::RelationsTearDown() {
  auto& t = ThreadAccessObjects();
  tearDownPair(*this, t.ownWSites, t.relateWSites);
}
void WSitesRelations::AddRelations() {
  RelationAddRelation(Relate_Category(), pf::RelationMode::None, pf::RelationMode::None,
                      CAT_CatKey());
  RelationAddLinkFields(&WEB->CATEGORY, 25, &CAT->CATEGORY, 25);
}

void DefaultsRelations::RelationsTearDown() {
  auto& t = ThreadAccessObjects();
  tearDownPair(*this, t.ownDefaults, t.relateDefaults);
}
void DefaultsRelations::AddRelations() {}

void AccessRelations::RelationsTearDown() {
  auto& t = ThreadAccessObjects();
  tearDownPair(*this, t.ownAccess, t.relateAccess);
}
void AccessRelations::AddRelations() {}

void CategoryRelations::RelationsTearDown() {
  auto& t = ThreadAccessObjects();
  tearDownPair(*this, t.ownCategory, t.relateCategory);
}
void CategoryRelations::AddRelations() { RelationAddFile(Relate_WSites()); }

void SitesCSVRelations::RelationsTearDown() {
  auto& t = ThreadAccessObjects();
  tearDownPair(*this, t.ownSitesCSV, t.relateSitesCSV);
}
void SitesCSVRelations::AddRelations() {}

// ---------------------------------------------------------------------------------
// Per-thread lifecycle

ThreadAccess& ThreadAccessObjects() {
  // The files first, so that they outlive the objects that use them.
  if (!pf::ctx().hasLocal<ThreadAccess>()) ThreadFiles();
  return pf::ctx().local<ThreadAccess>();
}

bool HasThreadAccess() {
  return pf::ctx().hasLocal<ThreadAccess>() && ThreadAccessObjects().ownRelateWSites != nullptr;
}

void CreateAllAccess() {
  auto& t = ThreadAccessObjects();
  if (t.ownRelateWSites) return;
  t.ownWSites = std::make_unique<WSitesAccessor>();
  t.ownRelateWSites = std::make_unique<WSitesRelations>();
  t.ownRelateWSites->RelationDeferSetup();
  t.ownDefaults = std::make_unique<DefaultsAccessor>();
  t.ownRelateDefaults = std::make_unique<DefaultsRelations>();
  t.ownRelateDefaults->RelationDeferSetup();
  t.ownAccess = std::make_unique<AccessAccessor>();
  t.ownRelateAccess = std::make_unique<AccessRelations>();
  t.ownRelateAccess->RelationDeferSetup();
  t.ownCategory = std::make_unique<CategoryAccessor>();
  t.ownRelateCategory = std::make_unique<CategoryRelations>();
  t.ownRelateCategory->RelationDeferSetup();
  t.ownSitesCSV = std::make_unique<SitesCSVAccessor>();
  t.ownRelateSitesCSV = std::make_unique<SitesCSVRelations>();
  t.ownRelateSitesCSV->RelationDeferSetup();

  t.relateWSites = t.ownRelateWSites.get();
  t.relateDefaults = t.ownRelateDefaults.get();
  t.relateAccess = t.ownRelateAccess.get();
  t.relateCategory = t.ownRelateCategory.get();
  t.relateSitesCSV = t.ownRelateSitesCSV.get();
}

void InitAllAccess() {
  auto& t = ThreadAccessObjects();
  if (!t.ownRelateWSites) return;
  t.ownWSites->AccessorSetup();
  t.ownRelateWSites->RelationsSetup(*t.ownWSites, true);
  t.ownDefaults->AccessorSetup();
  t.ownRelateDefaults->RelationsSetup(*t.ownDefaults, true);
  t.ownAccess->AccessorSetup();
  t.ownRelateAccess->RelationsSetup(*t.ownAccess, true);
  t.ownCategory->AccessorSetup();
  t.ownRelateCategory->RelationsSetup(*t.ownCategory, true);
  t.ownSitesCSV->AccessorSetup();
  t.ownRelateSitesCSV->RelationsSetup(*t.ownSitesCSV, true);
}

void KillAllAccess() {
  if (!pf::ctx().hasLocal<ThreadAccess>()) return;
  auto& t = ThreadAccessObjects();
  auto kill = [](auto& relation) {
    if (!relation) return;
    relation->RelationsTearDown();
    relation.reset();
  };
  kill(t.ownRelateWSites);
  kill(t.ownRelateDefaults);
  kill(t.ownRelateAccess);
  kill(t.ownRelateCategory);
  kill(t.ownRelateSitesCSV);
}

void MakeThreadAccess() {
  CreateAllAccess();
  InitAllAccess();
}

void FreeThreadAccess() { KillAllAccess(); }

WSitesAccessor& Access_WSites() { return checked(ThreadAccessObjects().wsites, "WSites"); }
DefaultsAccessor& Access_Defaults() { return checked(ThreadAccessObjects().defaults, "Defaults"); }
AccessAccessor& Access_Access() { return checked(ThreadAccessObjects().access, "Access"); }
CategoryAccessor& Access_Category() { return checked(ThreadAccessObjects().category, "Category"); }
SitesCSVAccessor& Access_SitesCSV() { return checked(ThreadAccessObjects().sitescsv, "SitesCSV"); }
WSitesRelations& Relate_WSites() { return checked(ThreadAccessObjects().relateWSites, "WSites"); }
DefaultsRelations& Relate_Defaults() {
  return checked(ThreadAccessObjects().relateDefaults, "Defaults");
}
AccessRelations& Relate_Access() { return checked(ThreadAccessObjects().relateAccess, "Access"); }
CategoryRelations& Relate_Category() {
  return checked(ThreadAccessObjects().relateCategory, "Category");
}
SitesCSVRelations& Relate_SitesCSV() {
  return checked(ThreadAccessObjects().relateSitesCSV, "SitesCSV");
}
