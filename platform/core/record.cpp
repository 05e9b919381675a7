#include "platform/core/record.h"

#include <strings.h>

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

}  // namespace pf
