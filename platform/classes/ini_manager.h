// The program's INI file (AppIni): sections of "entry=value" lines. Section and entry
// names match without regard to letter case; names and values are kept as they
// stand, and so are the file's comments and blank lines. Every change is written through at once, atomically, so that a program ended
// by a halt keeps what it saved.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pf {

// A window's placement in dialog units.
struct WindowPlacement {
  bool maximized = false;
  bool minimized = false;
  std::optional<int> x, y, width, height;
  bool resizable = false;  // a fixed-size window keeps no size entries
};

class IniManager {
 public:
  // Reads the file; a missing or damaged file gives what can be read (maybe nothing).
  // "\" in the name is taken as "/"; an existing file whose name differs only in
  // letter case is used.
  void init(const std::string& fileName);
  // Writes back (with the "Sectors" section) and forgets everything.
  void kill();
  const std::string& fileName() const { return fileName_; }

  std::string fetch(const std::string& section, const std::string& entry,
                    const std::string& defaultValue = {}) const;
  int fetchInt(const std::string& section, const std::string& entry, int defaultValue = 0) const;
  bool has(const std::string& section, const std::string& entry) const;
  bool hasSection(const std::string& section) const;
  // False when the names cannot be stored (empty, or holding "=", "]" or a line break)
  // or the file cannot be written; line breaks in a value become blanks.
  bool update(const std::string& section, const std::string& entry, const std::string& value);
  bool update(const std::string& section, const std::string& entry, long value);
  bool removeEntry(const std::string& section, const std::string& entry);
  bool removeSection(const std::string& section);

  // The entries "Maximize", "Minimize" ("Yes"/"No"), "XPos", "YPos", "Width", "Height"
  // in the procedure's section. Position only for a normal window, size only for a
  // normal resizable one; otherwise those entries are removed.
  void saveWindow(const std::string& procedure, const WindowPlacement& placement);
  // Fills `placement` from the section (size only when placement.resizable is set);
  // false, and `placement` untouched, when the section is missing.
  bool restoreWindow(const std::string& procedure, WindowPlacement& placement) const;

 private:
  // The user's comments and blank lines stay where they stood: each element keeps those
  // that came before it in the file.
  struct Entry {
    std::string name, value;
    std::vector<std::string> before;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
    std::vector<std::string> before, after;
    bool fromFile = false;
  };
  Section* findSection(const std::string& name);
  const Section* findSection(const std::string& name) const;
  void parse(const std::string& text);
  bool write() const;
  bool noteSector(const std::string& section);

  std::string fileName_;
  std::vector<Section> sections_;
  std::vector<std::string> head_;  // comments and blank lines of a file without sections
};

extern IniManager AppIni;

}  // namespace pf
