#include "platform/core/record.h"

#include <strings.h>

#include <cstring>
#include <string_view>

namespace pf {

int FileDesc::fieldIndex(const std::string& name) const {
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (strcasecmp(fields[i].name.c_str(), name.c_str()) == 0) return static_cast<int>(i);
  return -1;
}

const KeyDesc* FileDesc::key(const std::string& name) const {
  for (const auto& k : keys)
    if (strcasecmp(k.name.c_str(), name.c_str()) == 0) return &k;
  return nullptr;
}

namespace {

std::string_view storedText(const FieldDesc& f, const char* p) {
  if (f.type != FieldType::String) return std::string_view(p, strnlen(p, f.size));
  std::size_t n = f.size;
  while (n > 0 && p[n - 1] == ' ') --n;
  return std::string_view(p, n);
}

}  // namespace

bool sameFieldValue(const FieldDesc& f, const void* a, const void* b) {
  const char* x = static_cast<const char*>(a) + f.offset;
  const char* y = static_cast<const char*>(b) + f.offset;
  switch (f.type) {
    case FieldType::String:
    case FieldType::CString:
    case FieldType::Memo: return storedText(f, x) == storedText(f, y);
    default: return std::memcmp(x, y, f.size) == 0;
  }
}

bool sameRecord(const FileDesc& desc, const void* a, const void* b) {
  for (const auto& f : desc.fields)
    if (!sameFieldValue(f, a, b)) return false;
  return true;
}

}  // namespace pf
