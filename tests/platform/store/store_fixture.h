// A small file declaration of the tests' own, with keys of every kind the system uses.
#pragma once

#include <sqlite3.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/core/field.h"
#include "platform/store/file.h"
#include "platform/store/file_key.h"

namespace storetest {

struct Rec {
  pf::String<20> NAME;
  pf::CString<12> CODE;
  pf::Byte FLAG;
  pf::Long COUNT;
  pf::Date DAY;
  pf::Memo<100> NOTES;
};
static_assert(sizeof(Rec) == 141);

// One key source per owner password, as the data dictionary keeps one for its files.
inline pf::FileKey* ownerKey(const std::string& owner) {
  static std::map<std::string, std::unique_ptr<pf::FileKey>> keys;
  auto& k = keys[owner];
  if (!k) k = std::make_unique<pf::FileKey>(pf::Secret(owner));
  return k.get();
}

// Keys: by name; by code then name; by count, most first; by name, Z to A.
inline pf::FileDesc desc(const std::string& diskName = "test.tps", const std::string& password = {}) {
  pf::FileDesc d;
  d.label = "Test";
  d.prefix = "TST";
  d.diskName = diskName;
  if (!password.empty()) d.cipher = ownerKey(password);
  d.recordSize = 41;
  d.bufferSize = sizeof(Rec);
  d.fields = {{"TST:NAME", pf::FieldType::String, 0, 20},   {"TST:CODE", pf::FieldType::CString, 20, 12},
              {"TST:FLAG", pf::FieldType::Byte, 32, 1},     {"TST:COUNT", pf::FieldType::Long, 33, 4},
              {"TST:DAY", pf::FieldType::Date, 37, 4},      {"TST:NOTES", pf::FieldType::Memo, 41, 100}};
  d.keys = {{"TST:NameKey", {{0, false}}},
            {"TST:CodeNameKey", {{1, false}, {0, false}}},
            {"TST:CountKey", {{3, true}}},
            {"TST:NameDownKey", {{0, true}}}};
  return d;
}

struct Row {
  std::string name, code;
  int flag = 0, count = 0;
  std::string notes;
};

inline void fill(Rec& r, const Row& row) {
  r = Rec{};
  r.NAME = row.name;
  r.CODE = row.code;
  r.FLAG = static_cast<pf::Byte>(row.flag);
  r.COUNT = row.count;
  r.NOTES = row.notes;
}

// Creates the file and adds the rows, in order.
inline void make(const pf::FileDesc& d, const std::vector<Row>& rows) {
  Rec r;
  pf::File f(d, &r);
  if (f.create() != 0 || f.open() != 0 || f.logout() != 0) throw std::runtime_error("cannot make " + d.diskName);
  for (const auto& row : rows) {
    fill(r, row);
    if (f.add() != 0) throw std::runtime_error("cannot add");
  }
  if (f.commit() != 0) throw std::runtime_error("cannot commit");
  f.close();
}

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void spit(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Runs SQL on a plain file straight through SQLite, as another tool would.
inline int rawSql(const std::string& path, const std::string& sql, std::vector<std::string>* out = nullptr) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db, sql.c_str(),
                      [](void* p, int n, char** v, char**) {
                        auto* o = static_cast<std::vector<std::string>*>(p);
                        if (o) {
                          std::string row;
                          for (int i = 0; i < n; ++i) row += (i ? "|" : "") + std::string(v[i] ? v[i] : "");
                          o->push_back(row);
                        }
                        return 0;
                      },
                      out, nullptr);
  sqlite3_close(db);
  return rc;
}

}  // namespace storetest
