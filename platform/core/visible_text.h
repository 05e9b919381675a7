// The characters a control never takes or shows as they are: controls and the marks that
// reorder text on screen.
#pragma once

#include <string>
#include <string_view>

namespace pf {

// Text the user typed or pasted, as an entry takes it: control characters (but for line
// breaks and tabs when `lines`) and the marks that reorder text on screen (direction
// overrides, embeddings, isolates and marks) are removed.
std::string enteredText(std::string_view s, bool lines = false);
// Text as a control shows it: those characters show as U+FFFD, so a stored name cannot
// pass itself off as another.
std::string visibleText(std::string_view s, bool lines = false);

}  // namespace pf
