#include "platform/classes/ini_manager.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace pf {

IniManager AppIni;

namespace {

namespace fs = std::filesystem;

constexpr const char* kSectors = "Sectors";

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::string trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool storableName(const std::string& name, bool section) {
  if (trim(name).empty() || trim(name) != name) return false;
  for (char c : name) {
    if (c == '\n' || c == '\r' || c == '\0' || c == '=') return false;
    if (section && (c == ']' || c == '[')) return false;
  }
  // A leading ";" would read back as a comment.
  return name[0] != ';' && (section || name[0] != '[');
}

std::optional<int> toInt(const std::string& text) {
  std::string t = trim(text);
  if (t.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(t.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX) return std::nullopt;
  return static_cast<int>(v);
}

// The file to use: the name as given, or an existing one that differs only in case.
std::string resolve(const std::string& given) {
  std::string name = given;
  std::replace(name.begin(), name.end(), '\\', '/');
  std::error_code ec;
  fs::path p(name);
  if (fs::exists(p, ec)) return name;
  fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
  std::string leaf = p.filename().string();
  for (const auto& item : fs::directory_iterator(dir, ec)) {
    if (sameName(item.path().filename().string(), leaf)) return (dir / item.path().filename()).string();
  }
  return name;
}

}  // namespace

IniManager::Section* IniManager::findSection(const std::string& name) {
  for (auto& s : sections_)
    if (sameName(s.name, name)) return &s;
  return nullptr;
}

const IniManager::Section* IniManager::findSection(const std::string& name) const {
  for (const auto& s : sections_)
    if (sameName(s.name, name)) return &s;
  return nullptr;
}

void IniManager::init(const std::string& fileName) {
  sections_.clear();
  head_.clear();
  fileName_ = resolve(fileName);
  std::ifstream in(fileName_, std::ios::binary);
  if (!in) return;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  parse(buffer.str());
}

void IniManager::parse(const std::string& text) {
  // Whatever cannot be read as a section or an entry is skipped; duplicate sections
  // merge and the first of duplicate entries wins.
  std::size_t pos = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  head_.clear();
  std::vector<std::string> kept;  // comments and blank lines not yet placed
  std::size_t current = std::string::npos;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find('\0') != std::string::npos || line.find('\r') != std::string::npos) continue;
    std::string t = trim(line);
    if (t.empty() || t[0] == ';') {
      kept.push_back(t.empty() ? std::string() : line);
      continue;
    }
    if (t[0] == '[') {
      std::size_t close = t.rfind(']');
      std::string name = close == std::string::npos ? std::string() : trim(t.substr(1, close - 1));
      if (name.empty() || !storableName(name, true)) {
        current = std::string::npos;
        continue;
      }
      Section* s = findSection(name);
      if (!s) {
        sections_.push_back(Section{name, {}, std::move(kept), {}, true});
        kept.clear();
        s = &sections_.back();
      }
      current = static_cast<std::size_t>(s - sections_.data());
      continue;
    }
    std::size_t eq = line.find('=');
    if (current == std::string::npos || eq == std::string::npos) continue;
    std::string name = trim(line.substr(0, eq));
    if (name.empty()) continue;
    auto& entries = sections_[current].entries;
    bool seen = std::any_of(entries.begin(), entries.end(), [&](const Entry& e) { return sameName(e.name, name); });
    if (!seen) {
      entries.push_back(Entry{name, line.substr(eq + 1), std::move(kept)});
      kept.clear();
    }
  }
  auto& rest = sections_.empty() ? head_ : sections_.back().after;
  rest.insert(rest.end(), kept.begin(), kept.end());
}

bool IniManager::write() const {
  if (fileName_.empty()) return true;
  std::string out;
  auto lines = [&out](const std::vector<std::string>& kept) {
    for (const auto& l : kept) out += l + '\n';
  };
  lines(head_);
  for (const auto& s : sections_) {
    if (s.fromFile) lines(s.before);
    else if (!out.empty() && (out.size() < 2 || out.compare(out.size() - 2, 2, "\n\n") != 0)) out += '\n';
    out += '[' + s.name + "]\n";
    for (const auto& e : s.entries) {
      lines(e.before);
      out += e.name + '=' + e.value + '\n';
    }
    lines(s.after);
  }
  // A crash mid-write leaves the old file whole: write a sibling, then rename it over.
  std::string tmp = fileName_ + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return false;
  // Readable by the owner only, as every file the program makes.
  fchmod(fd, 0600);
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < out.size()) {
    ssize_t n = ::write(fd, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false; else done += static_cast<std::size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (ok) ok = std::rename(tmp.c_str(), fileName_.c_str()) == 0;
  if (!ok) std::remove(tmp.c_str());
  return ok;
}

void IniManager::kill() {
  std::error_code ec;
  if (!fileName_.empty() && (!sections_.empty() || fs::exists(fileName_, ec))) write();
  sections_.clear();
  head_.clear();
  fileName_.clear();
}

bool IniManager::noteSector(const std::string& section) {
  if (sameName(section, kSectors)) return false;
  Section* s = findSection(kSectors);
  if (!s) {
    sections_.push_back(Section{kSectors, {}, {}, {}});
    s = &sections_.back();
  }
  for (const auto& e : s->entries)
    if (sameName(e.name, section)) return false;
  s->entries.push_back(Entry{section, "1", {}});
  return true;
}

std::string IniManager::fetch(const std::string& section, const std::string& entry,
                              const std::string& defaultValue) const {
  if (const Section* s = findSection(section))
    for (const auto& e : s->entries)
      if (sameName(e.name, entry)) return e.value;
  return defaultValue;
}

int IniManager::fetchInt(const std::string& section, const std::string& entry, int defaultValue) const {
  if (!has(section, entry)) return defaultValue;
  return toInt(fetch(section, entry)).value_or(defaultValue);
}

bool IniManager::has(const std::string& section, const std::string& entry) const {
  if (const Section* s = findSection(section))
    for (const auto& e : s->entries)
      if (sameName(e.name, entry)) return true;
  return false;
}

bool IniManager::hasSection(const std::string& section) const { return findSection(section) != nullptr; }

bool IniManager::update(const std::string& section, const std::string& entry, const std::string& value) {
  if (!storableName(section, true) || !storableName(entry, false)) return false;
  // One line per entry: a line break in a value must not start a new entry or section.
  std::string v = value;
  std::replace(v.begin(), v.end(), '\n', ' ');
  std::replace(v.begin(), v.end(), '\r', ' ');
  std::replace(v.begin(), v.end(), '\0', ' ');
  Section* s = findSection(section);
  if (!s) {
    sections_.push_back(Section{section, {}, {}, {}});
    s = &sections_.back();
  }
  bool changed = true;
  auto it = std::find_if(s->entries.begin(), s->entries.end(),
                         [&](const Entry& e) { return sameName(e.name, entry); });
  if (it == s->entries.end()) {
    s->entries.push_back(Entry{entry, v, {}});
  } else if (it->value != v) {
    it->value = v;
  } else {
    changed = false;
  }
  if (noteSector(section)) changed = true;
  return changed ? write() : true;
}

bool IniManager::update(const std::string& section, const std::string& entry, long value) {
  return update(section, entry, std::to_string(value));
}

bool IniManager::removeEntry(const std::string& section, const std::string& entry) {
  Section* s = findSection(section);
  if (!s) return true;
  auto it = std::find_if(s->entries.begin(), s->entries.end(), [&](const Entry& e) { return sameName(e.name, entry); });
  if (it == s->entries.end()) return true;
  // The comments above a removed entry stay, above whatever follows it.
  auto& to = it + 1 == s->entries.end() ? s->after : (it + 1)->before;
  to.insert(to.begin(), it->before.begin(), it->before.end());
  s->entries.erase(it);
  return write();
}

bool IniManager::removeSection(const std::string& section) {
  bool changed = false;
  auto it = std::remove_if(sections_.begin(), sections_.end(),
                           [&](const Section& s) { return sameName(s.name, section); });
  if (it != sections_.end()) {
    sections_.erase(it, sections_.end());
    changed = true;
  }
  if (Section* sectors = findSection(kSectors)) {
    auto e = std::remove_if(sectors->entries.begin(), sectors->entries.end(),
                            [&](const Entry& x) { return sameName(x.name, section); });
    if (e != sectors->entries.end()) {
      sectors->entries.erase(e, sectors->entries.end());
      changed = true;
    }
  }
  return changed ? write() : true;
}

void IniManager::saveWindow(const std::string& procedure, const WindowPlacement& p) {
  // One write for the whole placement: keep the file as it is until the end.
  std::string file = fileName_;
  fileName_.clear();
  update(procedure, "Maximize", p.maximized ? "Yes" : "No");
  update(procedure, "Minimize", p.minimized ? "Yes" : "No");
  bool normal = !p.maximized && !p.minimized;
  if (normal && p.x && p.y) {
    update(procedure, "XPos", static_cast<long>(*p.x));
    update(procedure, "YPos", static_cast<long>(*p.y));
  } else {
    removeEntry(procedure, "XPos");
    removeEntry(procedure, "YPos");
  }
  if (normal && p.resizable && p.width && p.height) {
    update(procedure, "Width", static_cast<long>(*p.width));
    update(procedure, "Height", static_cast<long>(*p.height));
  } else {
    removeEntry(procedure, "Width");
    removeEntry(procedure, "Height");
  }
  fileName_ = file;
  if (storableName(procedure, true)) write();
}

bool IniManager::restoreWindow(const std::string& procedure, WindowPlacement& p) const {
  if (!hasSection(procedure)) return false;
  p.maximized = sameName(fetch(procedure, "Maximize"), "Yes");
  p.minimized = sameName(fetch(procedure, "Minimize"), "Yes");
  if (auto x = toInt(fetch(procedure, "XPos"))) p.x = x;
  if (auto y = toInt(fetch(procedure, "YPos"))) p.y = y;
  if (p.resizable) {
    // A damaged size must not make the window vanish.
    auto w = toInt(fetch(procedure, "Width"));
    auto h = toInt(fetch(procedure, "Height"));
    if (w && *w > 0) p.width = w;
    if (h && *h > 0) p.height = h;
  }
  return true;
}

}  // namespace pf
