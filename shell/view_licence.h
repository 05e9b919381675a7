// The licence agreement "ViewLic.txt" of the working folder, read-only.
#pragma once

namespace qb {

inline constexpr const char* LicenceFile = "ViewLic.txt";

void ViewLicence();

}  // namespace qb
