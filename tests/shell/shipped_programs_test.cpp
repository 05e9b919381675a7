// What a copy of the shipped programs gives away.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "data/dictionary.h"

namespace {

TEST(ShippedPrograms, HoldTheOwnerPasswordOnlyScrambled) {
  const std::string owner(OwnerPassword().view());
  ASSERT_EQ(owner.size(), 15u);
  for (const char* program : {QUILLBOX_PROGRAM, QUILLBOX_DRIVE}) [&] {
    SCOPED_TRACE(program);
    std::ifstream in(program, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    ASSERT_GT(bytes.size(), 100000u);
    // Not whole, nor in the pieces of four or more that `strings` would show.
    for (std::size_t at = 0; at + 4 <= owner.size(); ++at)
      EXPECT_EQ(bytes.find(owner.substr(at, owner.size() - at >= 8 ? 8 : owner.size() - at)), std::string::npos)
          << owner.substr(at);
  }();
}

}  // namespace
