// The procedures the frame calls on its own thread or starts on a thread of their own.
#pragma once

#include <string>
#include <vector>

#include "platform/runtime/runtime.h"

namespace qb {

// The procedure of that name; empty while it is not built, and then its menu choice
// does nothing.
pf::Procedure procedure(const std::string& name);
// Names whose procedure is not built yet.
std::vector<std::string> proceduresNotBuilt();

// Replaces a procedure (tests). An empty procedure puts the built one back.
void setProcedure(const std::string& name, pf::Procedure replacement);

}  // namespace qb
