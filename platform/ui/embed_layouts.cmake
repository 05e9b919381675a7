# Writes OUT, a source that holds every layout file of DIR, so the program runs from any folder.
file(GLOB files "${DIR}/*.layout")
list(SORT files)
set(body "")
foreach(f IN LISTS files)
  get_filename_component(name "${f}" NAME_WE)
  file(READ "${f}" text)
  string(APPEND body "      {\"${name}\", R\"QBLAYOUT(${text})QBLAYOUT\"},\n")
endforeach()
set(src "// Generated from resources/layouts; do not edit.
#include <utility>
#include <vector>

namespace pf::detail {
const std::vector<std::pair<const char*, const char*>>& embeddedLayoutTexts() {
  static const std::vector<std::pair<const char*, const char*>> texts = {
${body}  };
  return texts;
}
}  // namespace pf::detail
")
file(WRITE "${OUT}.tmp" "${src}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
