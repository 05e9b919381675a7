// The category procedures: the category browse and form, the picker of the one-category
// report, and the pass that counts or renames the websites of a category.
#pragma once

#include <string>

namespace qb {

// The frame starts it on a thread of its own.
void BrowseCategories();

// The form for the thread's CAT record; reads GLO:Request (1 insert, 2 change, 3 delete)
// and leaves GLO:Response. The website form's category list calls it with request 1 and
// the typed name already in CAT:CATEGORY.
void UpdateCategory();

// Leaves the chosen category in GLO:DelCategory.
void Win_SelectCategory();

// GLO:RenameMode 0: counts the websites of GLO:DelCategory, shows the number and leaves
// "Cat in use" or blank in GLO:DelCategory. 1: gives every website of GLO:OldCategory
// the name in GLO:DelCategory. The calling thread's WEB record is left as it was.
void DeleteCategory();

// Which character check a category name fails: 1 the apostrophe, 2 to 8 the other
// forbidden sets, 0 none.
int forbiddenCharacterPass(const std::string& name);

// "Default" or "All Categories" in any letter case, trailing blanks ignored.
bool reservedCategoryName(const std::string& name);

}  // namespace qb
