#include "platform/store/bind.h"

#include "platform/core/strings.h"
#include "platform/runtime/runtime.h"

namespace pf {
namespace {

BindTable& threadTable() { return ctx().local<BindTable>(); }

BindTable& (*tableProvider)() = &threadTable;

}  // namespace

void setBindTableProvider(BindTable& (*provider)()) {
  tableProvider = provider ? provider : &threadTable;
}

BindTable& currentBindTable() { return tableProvider(); }

void bind(const std::string& name, const BoundValue& value) {
  currentBindTable().names[upper(trim(name))] = value;
}

void unbind(const std::string& name) { currentBindTable().names.erase(upper(trim(name))); }

const BoundValue* findBound(const std::string& name) {
  auto& t = currentBindTable().names;
  auto it = t.find(upper(trim(name)));
  return it == t.end() ? nullptr : &it->second;
}

void bindRecord(const FileDesc& desc, void* buffer) {
  auto* base = static_cast<char*>(buffer);
  // Qualified: an unqualified call finds std::bind through the std::string argument.
  for (const auto& f : desc.fields) pf::bind(f.name, BoundValue{f.type, base + f.offset, f.size});
}

}  // namespace pf
