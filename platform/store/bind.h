// Names made known to filter and report expressions (BIND), per program thread.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

#include "platform/core/record.h"

namespace pf {

struct BoundValue {
  FieldType type = FieldType::String;
  void* address = nullptr;   // the variable or field itself
  std::size_t size = 0;      // bytes
};

// Names are matched without regard to letter case. A later bind of the same name
// replaces the earlier one.
void bind(const std::string& name, const BoundValue& value);
void unbind(const std::string& name);
const BoundValue* findBound(const std::string& name);

// Every field of a record buffer under its own name ("WEB:DESCRIPTION").
void bindRecord(const FileDesc& desc, void* buffer);

// One program thread's names, kept in its context (ctx().local<BindTable>()). Another
// provider may be installed, e.g. by a test; nullptr restores the per-thread one.
struct BindTable {
  std::unordered_map<std::string, BoundValue> names;  // by upper-cased name
};
void setBindTableProvider(BindTable& (*provider)());
BindTable& currentBindTable();

}  // namespace pf
