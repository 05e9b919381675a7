#include "platform/classes/help_book.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>

#include "platform/core/strings.h"

namespace pf {
namespace {

std::string fold(std::string_view s) { return lower(s); }

std::map<std::string, HelpBook>& books() {
  static std::map<std::string, HelpBook> b;
  return b;
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The lines of a text file without comments and empty lines.
std::vector<std::string> lines(const std::string& body) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < body.size()) {
    std::size_t end = body.find('\n', at);
    if (end == std::string::npos) end = body.size();
    std::string line = body.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = clip(line);
    at = end + 1;
    std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos || line[first] == '#') continue;
    out.push_back(line);
  }
  return out;
}

std::vector<HelpContentsEntry> contentsTree(const std::string& body) {
  std::vector<HelpContentsEntry> tree;
  // The entry that holds the next deeper level, per level.
  std::vector<std::vector<HelpContentsEntry>*> levels{&tree};
  for (const std::string& line : lines(body)) {
    std::size_t indent = line.find_first_not_of(' ');
    std::size_t depth = std::min(indent / 2, levels.size() - 1);
    levels.resize(depth + 1);
    HelpContentsEntry e;
    std::string text = line.substr(indent);
    auto bar = text.find('|');
    e.title = clip(text.substr(0, bar));
    if (bar != std::string::npos) e.page = text.substr(bar + 1);
    levels[depth]->push_back(std::move(e));
    levels.push_back(&levels[depth]->back().children);
  }
  return tree;
}

void appendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes the entity at `s[at]` ('&'); false when it is none.
bool entity(const std::string& s, std::size_t& at, std::string& out) {
  std::size_t semi = s.find(';', at);
  if (semi == std::string::npos || semi - at > 10) return false;
  std::string name = s.substr(at + 1, semi - at - 1);
  static const std::map<std::string, std::uint32_t> named = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", ' '}};
  std::uint32_t c = 0;
  if (auto it = named.find(name); it != named.end()) {
    c = it->second;
  } else if (name.size() > 1 && name[0] == '#') {
    bool hex = name[1] == 'x' || name[1] == 'X';
    std::string digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
                              std::string::npos)
      return false;
    c = static_cast<std::uint32_t>(std::stoul(digits, nullptr, hex ? 16 : 10));
  } else {
    return false;
  }
  appendUtf8(out, c);
  at = semi + 1;
  return true;
}

bool wordByte(unsigned char c) { return std::isalnum(c) || c >= 0x80; }

// The words of a text, letter case folded.
std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::string cur;
  for (unsigned char c : text) {
    if (wordByte(c)) {
      cur += static_cast<char>(std::tolower(c));
    } else if (!cur.empty()) {
      out.push_back(std::move(cur));
      cur.clear();
    }
  }
  if (!cur.empty()) out.push_back(std::move(cur));
  return out;
}

}  // namespace

std::string helpPageText(const std::string& page) {
  // Tags that do not break a word ("Quill<b>box</b>" is one word).
  static const std::set<std::string> inlineTags = {"a", "b", "i", "em", "strong", "span", "code", "u"};
  std::string html = page;
  std::string low = fold(html);
  if (std::size_t head = low.find("<head"); head != std::string::npos)
    if (std::size_t end = low.find("</head>", head); end != std::string::npos) html.erase(head, end + 7 - head);
  std::string out;
  std::size_t at = 0;
  while (at < html.size()) {
    char c = html[at];
    if (c == '<') {
      std::size_t end = html.find('>', at);
      if (end == std::string::npos) break;
      std::size_t nameAt = at + 1 + (html[at + 1] == '/' ? 1 : 0);
      std::size_t nameEnd = nameAt;
      while (nameEnd < end && std::isalnum(static_cast<unsigned char>(html[nameEnd]))) ++nameEnd;
      if (!inlineTags.count(fold(html.substr(nameAt, nameEnd - nameAt)))) out += ' ';
      at = end + 1;
    } else if (c == '&' && entity(html, at, out)) {
    } else {
      out += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
      ++at;
    }
  }
  // One blank between words.
  std::string text;
  for (char ch : out)
    if (ch != ' ' || (!text.empty() && text.back() != ' ')) text += ch;
  return clip(text);
}

std::string HelpBook::title(const std::string& page) const {
  auto it = pages.find(page);
  if (it == pages.end()) return page;
  std::string low = fold(it->second);
  std::size_t open = low.find("<title>");
  std::size_t close = low.find("</title>");
  if (open == std::string::npos || close == std::string::npos || close < open) return page;
  std::string t = helpPageText(it->second.substr(open + 7, close - open - 7));
  return t.empty() ? page : t;
}

std::vector<HelpHit> HelpBook::search(const std::string& query) const {
  std::vector<HelpHit> hits;
  std::vector<std::string> wanted = words(query);
  if (wanted.empty()) return hits;
  for (const auto& [name, html] : pages) {
    std::vector<std::string> text = words(helpPageText(html));
    int total = 0;
    bool all = true;
    for (const std::string& w : wanted) {
      int n = 0;
      for (const std::string& t : text)
        if (t.compare(0, w.size(), w) == 0) ++n;
      all = all && n > 0;
      total += n;
    }
    if (all) hits.push_back({name, title(name), total});
  }
  std::stable_sort(hits.begin(), hits.end(), [](const HelpHit& a, const HelpHit& b) {
    return a.hits != b.hits ? a.hits > b.hits : fold(a.title) < fold(b.title);
  });
  return hits;
}

void registerHelpBook(const std::string& fileName, HelpBook book) {
  books()[fold(clip(fileName))] = std::move(book);
}

const HelpBook* findHelpBook(const std::string& fileName) {
  auto it = books().find(fold(clip(fileName)));
  return it == books().end() ? nullptr : &it->second;
}

HelpBook helpBookFromFiles(const std::vector<std::pair<std::string, std::string>>& files) {
  HelpBook book;
  for (const auto& [name, body] : files) {
    std::string low = fold(name);
    if (endsWith(low, ".htm") || endsWith(low, ".html")) {
      book.pages[name] = body;
    } else if (low == "keywords.txt") {
      for (const std::string& line : lines(body)) {
        auto bar = line.find('|');
        if (bar == std::string::npos) continue;
        std::string keyword = clip(line.substr(0, bar));
        std::string page = line.substr(bar + 1);
        book.keywords[fold(keyword)] = page;
        book.index.push_back({keyword, page});
      }
    } else if (low == "contents.txt") {
      book.tree = contentsTree(body);
    }
  }
  std::stable_sort(book.index.begin(), book.index.end(),
                   [](const HelpIndexEntry& a, const HelpIndexEntry& b) { return fold(a.keyword) < fold(b.keyword); });
  return book;
}

std::string helpPageHtml(const std::string& fileName, const std::string& page, bool* found) {
  if (const HelpBook* book = findHelpBook(fileName)) {
    auto it = book->pages.find(page);
    if (it != book->pages.end()) {
      if (found) *found = true;
      return it->second;
    }
  }
  if (found) *found = false;
  return "<html><body><h1>Page not found</h1><p>The page \"" + page + "\" is not in the help file \"" +
         fileName + "\".</p></body></html>";
}

}  // namespace pf
