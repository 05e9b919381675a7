// The category procedures: the category browse and form, the picker of the one-category
// report, and the pass that counts or renames the websites of a category.
#pragma once

#include <cstdint>
#include <string>

#include "platform/store/file.h"

namespace qb {

// The frame starts it on a thread of its own.
void BrowseCategories();

// The form for the thread's CAT record; reads GLO:Request (1 insert, 2 change, 3 delete)
// and leaves GLO:Response. The website form's category list calls it with request 1 and
// the typed name already in CAT:CATEGORY.
void UpdateCategory();

// Leaves the chosen category in GLO:DelCategory.
void Win_SelectCategory();

// What the count and rename pass works on: values of its own, which no other thread can
// change while it runs. Names compare without regard to letter case or trailing blanks,
// as the category key does.
struct CategoryPassValues {
  std::uint8_t renameMode = 0;  // 0 count, 1 rename
  std::string category;         // count: the category counted; rename: the new name
  std::string oldCategory;      // rename: the name replaced
  // Rename: the thread's category record that takes the new name together with the
  // websites (none: the websites and the preferences only).
  pf::Position record;
};

struct CategoryPassOutcome {
  std::int32_t count = 0;    // websites met that carry `category`
  std::int64_t renamed = 0;  // websites given the new name
  bool done = false;         // the walk reached the end; a rename is written
  // A rename refused because another writer changed the category record after it was read.
  bool recordChanged = false;
};

// Count: counts the websites of the category, shows the number and leaves "Cat in use"
// or blank in GLO:DelCategory. Rename: gives every website of the old name, the category
// record and the preferences' default category the new name, in one change that lands
// whole or not at all; a failure is shown and changes nothing. Either way GLO:OldCategory
// is blank afterwards and the calling thread's WEB record is left as it was.
CategoryPassOutcome DeleteCategory(const CategoryPassValues& values);
// The same for a caller that hands its values through GLO:RenameMode, GLO:DelCategory
// and GLO:OldCategory; they are taken at once.
void DeleteCategory();

// True when a category record other than the one at `except` has this name, letter case
// and trailing blanks ignored. The thread's CAT record and position are left as they were.
bool categoryNameTaken(const std::string& name, const pf::Position& except);

// Which character check a category name fails: 1 the apostrophe, 2 to 8 the other
// forbidden sets, 0 none.
int forbiddenCharacterPass(const std::string& name);

// "Default" or "All Categories" in any letter case, trailing blanks ignored.
bool reservedCategoryName(const std::string& name);

}  // namespace qb
