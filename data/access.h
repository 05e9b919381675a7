// The access objects of the data files: one accessor and one relation object per file
// and program thread, made when the thread starts and destroyed when it ends.
#pragma once

#include <memory>

#include "data/dictionary.h"
#include "platform/classes/file_accessor.h"

class WSitesAccessor : public pf::FileAccessor {
 public:
  void AccessorSetup() override;
  void AccessorTearDown() override;
  int AccessorFirstUse(pf::UseKind kind) override;
  void ExposeFields() override;
  void PrimeNewRecord() override;
};

class DefaultsAccessor : public pf::FileAccessor {
 public:
  void AccessorSetup() override;
  void AccessorTearDown() override;
  int AccessorFirstUse(pf::UseKind kind) override;
  int CheckFieldValue(int field, bool report) override;
};

class AccessAccessor : public pf::FileAccessor {
 public:
  void AccessorSetup() override;
  void AccessorTearDown() override;
  int AccessorFirstUse(pf::UseKind kind) override;
};

class CategoryAccessor : public pf::FileAccessor {
 public:
  void AccessorSetup() override;
  void AccessorTearDown() override;
  int AccessorFirstUse(pf::UseKind kind) override;

 protected:
  // A new category file starts with its two reserved rows.
  int FileCreate() override;
};

class SitesCSVAccessor : public pf::FileAccessor {
 public:
  void AccessorSetup() override;
  void AccessorTearDown() override;
  int AccessorFirstUse(pf::UseKind kind) override;
};

class WSitesRelations : public pf::FileRelations {
 public:
  void RelationsTearDown() override;
  void AddRelations() override;
};

class DefaultsRelations : public pf::FileRelations {
 public:
  void RelationsTearDown() override;
  void AddRelations() override;
};

class AccessRelations : public pf::FileRelations {
 public:
  void RelationsTearDown() override;
  void AddRelations() override;
};

class CategoryRelations : public pf::FileRelations {
 public:
  void RelationsTearDown() override;
  void AddRelations() override;
};

class SitesCSVRelations : public pf::FileRelations {
 public:
  void RelationsTearDown() override;
  void AddRelations() override;
};

// The reserved category rows.
inline constexpr const char* AllCategories = "All Categories";
inline constexpr const char* DefaultCategory = "Default";

// One thread's objects: owning references, and the public references procedures use.
struct ThreadAccess {
  std::unique_ptr<WSitesAccessor> ownWSites;
  std::unique_ptr<DefaultsAccessor> ownDefaults;
  std::unique_ptr<AccessAccessor> ownAccess;
  std::unique_ptr<CategoryAccessor> ownCategory;
  std::unique_ptr<SitesCSVAccessor> ownSitesCSV;
  std::unique_ptr<WSitesRelations> ownRelateWSites;
  std::unique_ptr<DefaultsRelations> ownRelateDefaults;
  std::unique_ptr<AccessRelations> ownRelateAccess;
  std::unique_ptr<CategoryRelations> ownRelateCategory;
  std::unique_ptr<SitesCSVRelations> ownRelateSitesCSV;

  WSitesAccessor* wsites = nullptr;
  DefaultsAccessor* defaults = nullptr;
  AccessAccessor* access = nullptr;
  CategoryAccessor* category = nullptr;
  SitesCSVAccessor* sitescsv = nullptr;
  WSitesRelations* relateWSites = nullptr;
  DefaultsRelations* relateDefaults = nullptr;
  AccessRelations* relateAccess = nullptr;
  CategoryRelations* relateCategory = nullptr;
  SitesCSVRelations* relateSitesCSV = nullptr;
};

// The calling thread's objects.
ThreadAccess& ThreadAccessObjects();
bool HasThreadAccess();

void CreateAllAccess();
void InitAllAccess();
void KillAllAccess();
void MakeThreadAccess();  // CreateAllAccess, then InitAllAccess
void FreeThreadAccess();  // KillAllAccess

// The calling thread's public references; std::logic_error before MakeThreadAccess.
WSitesAccessor& Access_WSites();
DefaultsAccessor& Access_Defaults();
AccessAccessor& Access_Access();
CategoryAccessor& Access_Category();
SitesCSVAccessor& Access_SitesCSV();
WSitesRelations& Relate_WSites();
DefaultsRelations& Relate_Defaults();
AccessRelations& Relate_Access();
CategoryRelations& Relate_Category();
SitesCSVRelations& Relate_SitesCSV();
