// A help file: its pages (HTML), the contents tree, the keyword index and a full-text
// search over the pages. Help files are found by name, letter case ignored ("Linkvue.chm").
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace pf {

struct HelpContentsEntry {
  std::string title;
  std::string page;   // empty: a book that only holds the entries under it
  std::vector<HelpContentsEntry> children;
};

struct HelpIndexEntry {
  std::string keyword;   // as written
  std::string page;
};

struct HelpHit {
  std::string page;
  std::string title;
  int hits = 0;   // how often the searched words occur in the page
};

struct HelpBook {
  std::string contents = "index.html";
  std::map<std::string, std::string> pages;      // page name -> HTML
  std::map<std::string, std::string> keywords;   // keyword (letter case folded) -> page
  std::vector<HelpIndexEntry> index;             // the keywords as written, in keyword order
  std::vector<HelpContentsEntry> tree;           // the contents, as a tree of entries

  // The page's <title>, else its name.
  std::string title(const std::string& page) const;
  // The pages that hold every word of `words` (a word matches the words it begins), most
  // hits first.
  std::vector<HelpHit> search(const std::string& words) const;
};

void registerHelpBook(const std::string& fileName, HelpBook book);
const HelpBook* findHelpBook(const std::string& fileName);

// Builds a book from files: *.htm/*.html are pages; "keywords.txt" holds "keyword|page"
// lines; "contents.txt" holds "title|page" lines, each level indented by two blanks more
// than the entry that holds it, a line without a page being a book. # starts a comment.
HelpBook helpBookFromFiles(const std::vector<std::pair<std::string, std::string>>& files);

// The page's HTML, or a short page that says it is missing from the file.
std::string helpPageHtml(const std::string& fileName, const std::string& page, bool* found = nullptr);

// The text a reader sees in a page: tags left out, character entities decoded, blanks
// between the words.
std::string helpPageText(const std::string& html);

}  // namespace pf
