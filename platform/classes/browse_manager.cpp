#include "platform/classes/browse_manager.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/classes/error_manager.h"
#include "platform/classes/file_accessor.h"
#include "platform/core/pictures.h"
#include "platform/core/strings.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace pf {
namespace {

// Marks the new-selection events the browse posts itself, so they keep the locator.
constexpr std::int64_t OwnSelection = 0x5E1EC7;

bool isScroll(int code) {
  return (code >= EVENT::ScrollUp && code <= EVENT::ScrollBottom) || code == EVENT::ScrollDrag;
}

// The character a locator key types; 0 for keys that type none.
char locatorChar(int key) {
  if (key & (Key::Ctrl | Key::Alt)) return 0;
  int base = key & 0xFF;
  if (base >= 'A' && base <= 'Z') return static_cast<char>(base);
  if (base >= '0' && base <= '9' && !(key & Key::Shift)) return static_cast<char>(base);
  if (base == Key::Space) return ' ';
  switch (base) {
    case 0xBE: return '.';
    case 0xBD: return (key & Key::Shift) ? '_' : '-';
    case 0xBF: return '/';
    case 0xBA: return (key & Key::Shift) ? ':' : ';';
    case 0xDE: return '\'';
    default: return 0;
  }
}

std::vector<int> locatorKeys() {
  std::vector<int> keys;
  for (int c = 'A'; c <= 'Z'; ++c) {
    keys.push_back(c);
    keys.push_back(c | Key::Shift);
  }
  for (int c = '0'; c <= '9'; ++c) keys.push_back(c);
  for (int k : {Key::Space, 0xBE, 0xBD, 0xBD | Key::Shift, 0xBF, 0xBA, 0xBA | Key::Shift, 0xDE, Key::BS})
    keys.push_back(k);
  return keys;
}

Binding fieldBinding(const FileDesc& desc, void* buffer, int index) {
  const FieldDesc& f = desc.fields[static_cast<std::size_t>(index)];
  return Binding{f.type, static_cast<char*>(buffer) + f.offset, f.size, {}};
}

// Every field blank (texts) or zero (numbers), as a new record starts.
void clearRecord(File& file) {
  const FileDesc& d = file.desc();
  for (std::size_t i = 0; i < d.fields.size(); ++i) clearBinding(fieldBinding(d, file.buffer(), static_cast<int>(i)));
}

}  // namespace

std::string bindingBytes(const Binding& b) {
  if (!b.address) return {};
  if (b.stdString) return *static_cast<const std::string*>(b.address);
  return std::string(static_cast<const char*>(b.address), b.size);
}

void setBindingBytes(const Binding& b, const std::string& bytes) {
  if (!b.address) return;
  if (b.stdString) {
    *static_cast<std::string*>(b.address) = bytes;
    return;
  }
  std::memcpy(b.address, bytes.data(), std::min(bytes.size(), b.size));
}

void clearBinding(const Binding& b) {
  if (!b.address) return;
  if (b.stdString) {
    static_cast<std::string*>(b.address)->clear();
    return;
  }
  std::memset(b.address, b.type == FieldType::String ? ' ' : 0, b.size);
}

// ======================================================================================
// BrowseManager

BrowseManager::~BrowseManager() { Kill(); }

void BrowseManager::BrowseInit(int listControl, View& view, FileRelations& relation,
                               WindowController& window) {
  LISTCONTROL = listControl;
  VIEW = &view;
  PRIMARY = &relation;
  WINDOW = &window;
  killed_ = false;
  // The selected row reaches its variables before any handler sees the selection.
  win().registerHandler(
      EVENT::NewSelection,
      [this](Window&, const Event& e) {
        if (e.param != OwnSelection) locator_.clear();
        TakeSelectedRow();
        return 0;
      },
      this, LISTCONTROL);
  BrowseSetupList();
}

void BrowseManager::BrowseSetupList() {
  // The list asks for rows as the user scrolls past the page it holds.
  win().setProp(LISTCONTROL, Prop::Immediate, 1);
  for (const auto& [n, icon] : icons_) win().setProp(LISTCONTROL, Prop::IconList, icon, n);
}

int BrowseManager::BrowseAddSortOrder(const KeyDesc* key) {
  SortOrder o;
  o.key = key;
  orders_.push_back(o);
  setupOrder_ = static_cast<int>(orders_.size());
  return setupOrder_;
}

void BrowseManager::BrowseAddLocator(const Binding& field) {
  if (!orders_.empty()) orders_[static_cast<std::size_t>(setupOrder_ - 1)].locator = field;
}

void BrowseManager::ViewSetFilter(const std::string& expression) {
  ViewSetFilterById("5 Standard", expression);
}

void BrowseManager::ViewSetFilterById(const std::string& id, const std::string& expression) {
  BrowseSetFilterPart(current_ ? current_ : setupOrder_, id, expression);
}

void BrowseManager::BrowseSetFilterPart(int n, const std::string& id, const std::string& expression) {
  if (n < 1 || n > orderCount()) return;
  auto& parts = orders_[static_cast<std::size_t>(n - 1)].parts;
  if (isBlank(expression))
    parts.erase(id);
  else
    parts[id] = expression;
  if (n == current_ && VIEW) VIEW->setFilter(id, expression);
}

void BrowseManager::BrowseAddField(const std::string& name, const Binding& var, int cell) {
  fields_.push_back(BrowseField{name, var, cell});
}

void BrowseManager::BrowseSetIcon(int number, const std::string& icon) {
  icons_[number] = icon;
  if (WINDOW) win().setProp(LISTCONTROL, Prop::IconList, icon, number);
}

const BrowseField* BrowseManager::fieldOfColumn(int column) const {
  const Control* c = WINDOW ? WINDOW->win().control(LISTCONTROL) : nullptr;
  if (!c || column < 1 || column > static_cast<int>(c->format.columns.size())) return nullptr;
  int cell = c->format.columns[static_cast<std::size_t>(column - 1)].field;
  for (const auto& f : fields_)
    if (f.cell == cell) return &f;
  return nullptr;
}

bool BrowseManager::formatFits(const std::string& format) const {
  const Control* list = WINDOW ? WINDOW->win().control(LISTCONTROL) : nullptr;
  if (!list) return false;
  ListFormat f = ListFormat::parse(format);
  if (!f.valid) return false;
  std::multiset<int> shown, designed;
  for (const auto& c : f.columns) shown.insert(c.field);
  for (const auto& c : list->format.columns) designed.insert(c.field);
  if (shown != designed) return false;
  for (const auto& c : f.columns) {
    if (c.picture.empty()) continue;
    for (const auto& field : fields_)
      if (field.cell == c.field && !pictureFits(parsePicture(c.picture), field.var.type, field.var.size))
        return false;
  }
  return true;
}

int BrowseManager::BrowseFetchNext() {
  int r = VIEW->next();
  return r == 0 ? 0 : r == Err::RecordNotAvailable ? 5 : 3;
}

int BrowseManager::BrowseFetchPrevious() {
  int r = VIEW->previous();
  return r == 0 ? 0 : r == Err::RecordNotAvailable ? 5 : 3;
}

void BrowseManager::BrowseFillRow(BrowseRow& row) {
  row.values.clear();
  int cells = 0;
  for (const auto& f : fields_) cells = std::max(cells, f.cell);
  row.display.cells.assign(static_cast<std::size_t>(cells), ListCell{});
  for (const auto& f : fields_) {
    row.values.push_back(bindingBytes(f.var));
    if (f.cell > 0) row.display.cells[static_cast<std::size_t>(f.cell - 1)].value = f.var.get();
  }
}

void BrowseManager::reportReadError() {
  if (readReported_) return;
  readReported_ = true;
  throwReadError(PRIMARY, VIEW->file());
}

bool BrowseManager::readRow(bool forward, BrowseRow& row) {
  int r = forward ? BrowseFetchNext() : BrowseFetchPrevious();
  // An empty page is no answer to a file that cannot be read.
  if (r == 3) reportReadError();
  if (r != 0) return false;
  row = BrowseRow{};
  row.position = VIEW->position();
  BrowseFillRow(row);
  return true;
}

int BrowseManager::pageSize() {
  return std::max(1, win().rowsVisible(LISTCONTROL));
}

void BrowseManager::applyOrder() {
  if (current_ < 1 || current_ > orderCount()) return;
  const SortOrder& o = orders_[static_cast<std::size_t>(current_ - 1)];
  VIEW->setOrder(o.key);
  VIEW->clearFilter();
  for (const auto& [id, e] : o.parts) VIEW->setFilter(id, e);
  if (!VIEW->isOpen()) VIEW->open();
  applied_ = true;
}

void BrowseManager::fillFromTop() {
  readReported_ = false;
  rows_.clear();
  VIEW->set();
  int n = pageSize();
  BrowseRow r;
  while (static_cast<int>(rows_.size()) < n && readRow(true, r)) rows_.push_back(r);
  atTop_ = true;
  atBottom_ = static_cast<int>(rows_.size()) < n;
  showRows(rows_.empty() ? 0 : 1);
}

void BrowseManager::fillFromBottom() {
  readReported_ = false;
  rows_.clear();
  VIEW->set();
  int n = pageSize();
  BrowseRow r;
  while (static_cast<int>(rows_.size()) < n && readRow(false, r)) rows_.push_back(r);
  std::reverse(rows_.begin(), rows_.end());
  atBottom_ = true;
  atTop_ = static_cast<int>(rows_.size()) < n;
  showRows(static_cast<int>(rows_.size()));
}

void BrowseManager::fillAround(Position pos, int above) {
  readReported_ = false;
  if (pos.empty()) return fillFromTop();
  int n = pageSize();
  above = std::clamp(above, 0, n - 1);
  // Reads up to `count` records from `start` (which is skipped) in one direction.
  auto readFrom = [this](const Position& start, bool forward, int count, std::vector<BrowseRow>& out) {
    VIEW->setAt(start);
    BrowseRow r;
    int got = 0;
    while (got < count) {
      if (!readRow(forward, r)) return false;
      if (r.position.row == start.row) continue;
      out.push_back(r);
      ++got;
    }
    return true;
  };
  std::vector<BrowseRow> before, after;
  bool moreBefore = above == 0 || readFrom(pos, false, above, before);
  // The record itself (when it passes) and what follows it.
  VIEW->setAt(pos);
  BrowseRow r;
  bool moreAfter = true;
  while (static_cast<int>(before.size() + after.size()) < n) {
    if (!readRow(true, r)) {
      moreAfter = false;
      break;
    }
    after.push_back(r);
  }
  if (static_cast<int>(before.size() + after.size()) < n && moreBefore) {
    Position from = before.empty() ? pos : before.back().position;
    if (before.empty() && !after.empty()) from = after.front().position;
    moreBefore = readFrom(from, false, n - static_cast<int>(before.size() + after.size()), before);
  }
  if (above == 0 && before.empty()) {
    // Whether anything lies before the page.
    std::vector<BrowseRow> probe;
    Position first = after.empty() ? pos : after.front().position;
    moreBefore = readFrom(first, false, 1, probe);
  }
  rows_.assign(before.rbegin(), before.rend());
  int select = 0;
  for (auto& a : after) rows_.push_back(std::move(a));
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].position.row == pos.row) select = static_cast<int>(i) + 1;
  if (!select && !rows_.empty()) select = std::min(static_cast<int>(before.size()) + 1, static_cast<int>(rows_.size()));
  atTop_ = !moreBefore;
  atBottom_ = !moreAfter;
  showRows(select);
}

void BrowseManager::BrowseShowPageAt(const Position& pos, bool asFirst) {
  int s = selectedRow();
  fillAround(pos, asFirst ? 0 : pageSize() - 1);
  if (s >= 1 && s <= static_cast<int>(rows_.size()) && s != selectedRow()) showRows(s);
}

void BrowseManager::showRows(int select) {
  std::vector<ListRow> display;
  display.reserve(rows_.size());
  for (const auto& r : rows_) display.push_back(r.display);
  win().setRows(LISTCONTROL, std::move(display));
  if (select) win().selectRow(LISTCONTROL, select);
  TakeSelectedRow();
  BrowseEnableButtons();
  updateThumb();
  win().display();
}

void BrowseManager::updateThumb() {
  int pos = 0;
  if (rows_.empty() || atTop_) {
    pos = 0;
  } else if (atBottom_) {
    pos = 100;
  } else {
    // Between the ends: where the selected row's locator text lies in the alphabet.
    pos = 50;
    const SortOrder& o = orders_[static_cast<std::size_t>(current_ - 1)];
    int sel = selectedRow();
    if (o.locator.address && sel) {
      std::size_t i = 0;
      for (; i < fields_.size(); ++i)
        if (fields_[i].var.address == o.locator.address) break;
      if (i < fields_.size()) {
        std::string text = upper(rows_[static_cast<std::size_t>(sel - 1)].values[i]);
        char c = text.empty() ? ' ' : text[0];
        if (c >= 'A' && c <= 'Z') pos = 10 + (c - 'A') * 85 / 25;
        else if (c >= '0' && c <= '9') pos = 2 + (c - '0') * 7 / 9;
      }
    }
  }
  win().setProp(LISTCONTROL, Prop::VScrollPos, pos);
}

int BrowseManager::selectedRow() const {
  if (rows_.empty() || !WINDOW) return 0;
  int s = WINDOW->win().choice(LISTCONTROL);
  return std::clamp(s, 1, static_cast<int>(rows_.size()));
}

void BrowseManager::clearVariables() {
  for (const auto& f : fields_) clearBinding(f.var);
}

void BrowseManager::TakeSelectedRow() {
  int s = selectedRow();
  if (!s) {
    clearVariables();
  } else {
    const BrowseRow& r = rows_[static_cast<std::size_t>(s - 1)];
    for (std::size_t i = 0; i < fields_.size() && i < r.values.size(); ++i)
      setBindingBytes(fields_[i].var, r.values[i]);
  }
  showFields();
}

// The window's controls that show a paired variable (the websites' notes pane) follow
// the selected row; the list itself and other controls are left as they are.
void BrowseManager::showFields() {
  if (!WINDOW) return;
  Window& w = win();
  if (!w.isOpen()) return;
  for (const Control& c : w.controls()) {
    if (c.feq == LISTCONTROL || !c.binding.bound()) continue;
    for (const auto& f : fields_)
      if (f.var.address == c.binding.address) {
        w.display(c.feq);
        break;
      }
  }
}

void BrowseManager::BrowsePostNewSelection() {
  win().post(EVENT::NewSelection, LISTCONTROL, OwnSelection);
}

int BrowseManager::BrowseReload() {
  int s = selectedRow();
  Position pos = s ? rows_[static_cast<std::size_t>(s - 1)].position : Position{};
  fillAround(pos, s ? s - 1 : 0);
  BrowsePostNewSelection();
  return 0;
}

void BrowseManager::BrowseResetView() {
  Position pos = VIEW->file().position();
  int s = selectedRow();
  fillAround(pos, s ? s - 1 : 0);
}

void BrowseManager::BrowseSetSort(int order, std::uint8_t force) {
  if (order < 1 || order > orderCount()) order = 1;
  if (order == current_ && !force && applied_) return;
  current_ = order;
  locator_.clear();
  applyOrder();
  BrowseReload();
}

void BrowseManager::BrowseChooseSortOrder(std::uint8_t force) {
  BrowseSetSort(current_ ? current_ : 1, force);
}

void BrowseManager::BrowseEnableButtons() {
  bool has = BrowseHasRecords();
  for (int c : {CHANGECONTROL, DELETECONTROL, VIEWCONTROL, SELECTCONTROL})
    if (c) WINDOW->SetControlEnabled(c, has ? 0 : 1);
  if (INSERTCONTROL) WINDOW->SetControlEnabled(INSERTCONTROL, 0);
}

bool BrowseManager::BrowseUpdateViewRecord() {
  int s = selectedRow();
  if (!s) return false;
  return VIEW->file().get(rows_[static_cast<std::size_t>(s - 1)].position) == 0;
}

std::uint8_t BrowseManager::BrowseAsk(std::uint8_t request) {
  if (!WINDOW) return Response::Cancelled;
  int s = selectedRow();
  Position neighbour;
  if (request == Request::Insert) {
    if (PRIMARY && PRIMARY->ME) PRIMARY->ME->FilePrimeRecord();
  } else {
    if (!BrowseUpdateViewRecord()) {
      // Gone meanwhile (another window deleted it): show what is there now.
      beep();
      BrowseReload();
      return Response::Cancelled;
    }
    if (request == Request::Delete) {
      std::size_t i = static_cast<std::size_t>(s - 1);
      if (i + 1 < rows_.size()) neighbour = rows_[i + 1].position;
      else if (i > 0) neighbour = rows_[i - 1].position;
    }
  }
  std::uint8_t response = WINDOW->ExecuteUpdate(ASKPROCEDURE, request);
  if (request == Request::Delete && response == Response::Completed) {
    // The list is placed on the row that took the deleted one's place.
    if (!neighbour.empty()) VIEW->file().get(neighbour);
    else clearRecord(VIEW->file());
  }
  BrowseLimitView(request, response);
  return response;
}

void BrowseManager::BrowseLimitView(std::uint8_t request, std::uint8_t response) {
  if (response == Response::Completed) {
    int s = selectedRow();
    Position pos = VIEW->file().position();
    if (request == Request::Delete && rows_.size() <= 1) pos = Position{};
    fillAround(pos, s ? s - 1 : 0);
    BrowsePostNewSelection();
    resetRequired_ = true;
    WINDOW->FORCEDRESET = 1;
  } else {
    TakeSelectedRow();
  }
}

void BrowseManager::locate(const std::string& text) {
  const SortOrder& o = orders_[static_cast<std::size_t>(current_ - 1)];
  if (!o.locator.address || !o.key) return;
  File& f = VIEW->file();
  for (const auto& c : o.key->components) clearBinding(fieldBinding(f.desc(), f.buffer(), c.field));
  o.locator.set(text);
  VIEW->setFromBuffer();
  rows_.clear();
  int n = pageSize();
  BrowseRow r;
  while (static_cast<int>(rows_.size()) < n && readRow(true, r)) rows_.push_back(r);
  if (rows_.empty()) {
    std::string keep = locator_;
    fillFromBottom();
    locator_ = keep;
  } else {
    atBottom_ = static_cast<int>(rows_.size()) < n;
    atTop_ = false;
    if (static_cast<int>(rows_.size()) < n) {
      // Near the end: what lies before the row found fills the rest of the page.
      fillAround(rows_.front().position, n - static_cast<int>(rows_.size()));
    } else {
      showRows(1);
    }
  }
  BrowsePostNewSelection();
}

void BrowseManager::BrowseScrollEvent(int event, int thumb) {
  int n = pageSize();
  int s = selectedRow();
  auto readFrom = [this](const Position& start, bool forward, int count) {
    std::vector<BrowseRow> out;
    VIEW->setAt(start);
    BrowseRow r;
    while (static_cast<int>(out.size()) < count && readRow(forward, r)) {
      if (r.position.row == start.row) continue;
      out.push_back(r);
    }
    return out;
  };
  switch (event) {
    case EVENT::ScrollDown:
    case EVENT::PageDown: {
      if (rows_.empty()) return;
      auto more = readFrom(rows_.back().position, true, event == EVENT::ScrollDown ? 1 : n);
      if (more.empty()) {
        atBottom_ = true;
        showRows(static_cast<int>(rows_.size()));
        break;
      }
      atBottom_ = static_cast<int>(more.size()) < (event == EVENT::ScrollDown ? 1 : n);
      atTop_ = false;
      for (auto& m : more) rows_.push_back(std::move(m));
      int drop = std::max(0, static_cast<int>(rows_.size()) - n);
      rows_.erase(rows_.begin(), rows_.begin() + drop);
      showRows(event == EVENT::ScrollDown ? static_cast<int>(rows_.size()) : std::max(1, s));
      break;
    }
    case EVENT::ScrollUp:
    case EVENT::PageUp: {
      if (rows_.empty()) return;
      auto more = readFrom(rows_.front().position, false, event == EVENT::ScrollUp ? 1 : n);
      if (more.empty()) {
        atTop_ = true;
        showRows(1);
        break;
      }
      atTop_ = static_cast<int>(more.size()) < (event == EVENT::ScrollUp ? 1 : n);
      atBottom_ = false;
      std::vector<BrowseRow> joined(more.rbegin(), more.rend());
      for (auto& r : rows_) joined.push_back(std::move(r));
      joined.resize(std::min<std::size_t>(joined.size(), static_cast<std::size_t>(n)));
      rows_ = std::move(joined);
      showRows(event == EVENT::ScrollUp ? 1 : std::max(1, std::min(s, static_cast<int>(rows_.size()))));
      break;
    }
    case EVENT::ScrollTop:
      fillFromTop();
      break;
    case EVENT::ScrollBottom:
      fillFromBottom();
      break;
    case EVENT::ScrollDrag: {
      if (thumb <= 0) {
        fillFromTop();
      } else if (thumb >= 100) {
        fillFromBottom();
      } else {
        // The thumb seeks by the order's text: 0-9 at the top, then A to Z.
        static const std::string steps = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        std::size_t i = std::min(steps.size() - 1, static_cast<std::size_t>(thumb) * steps.size() / 100);
        locate(std::string(1, steps[i]));
        win().setProp(LISTCONTROL, Prop::VScrollPos, thumb);
        return;
      }
      break;
    }
    default:
      return;
  }
  BrowsePostNewSelection();
}

std::uint8_t BrowseManager::BrowseOnKey(int key) {
  auto usable = [this](int c) { return c && win().propInt(c, Prop::Visible) && win().propInt(c, Prop::Enabled); };
  switch (key) {
    case Key::Insert:
      if (usable(INSERTCONTROL)) BrowseAsk(Request::Insert);
      return Answer::Handled;
    case Key::Delete:
      if (usable(DELETECONTROL)) BrowseAsk(Request::Delete);
      return Answer::Handled;
    case Key::CtrlEnter:
    case Key::MouseLeft2:
      if (usable(CHANGECONTROL)) BrowseAsk(Request::Change);
      return Answer::Handled;
    default:
      return 0;
  }
}

void BrowseManager::Kill() {
  if (killed_) return;
  killed_ = true;
  if (WINDOW) win().unregisterHandler(EVENT::NewSelection, this, LISTCONTROL);
  if (VIEW && VIEW->isOpen()) VIEW->close();
  rows_.clear();
}

void BrowseManager::Reset(std::uint8_t force) {
  if (killed_ || !VIEW) return;
  BrowseChooseSortOrder(force);
}

std::uint8_t BrowseManager::ResetRequired() {
  bool r = resetRequired_;
  resetRequired_ = false;
  return r ? 1 : 0;
}

void BrowseManager::SetAlerts() {
  if (!WINDOW) return;
  for (int k : {Key::Insert, Key::Delete, Key::CtrlEnter}) win().alert(LISTCONTROL, k);
  for (int k : locatorKeys()) win().alert(LISTCONTROL, k);
}

std::uint8_t BrowseManager::TakeEvent() {
  if (killed_ || !WINDOW) return 0;
  Window& w = win();
  const Event& e = w.currentEvent();
  if (e.code == EVENT::Sized && e.control == 0 && applied_) {
    // A list that now shows more or fewer rows gets a full page again, from the same top.
    int n = pageSize(), have = static_cast<int>(rows_.size());
    if (have > n || (have < n && !(atTop_ && atBottom_))) {
      int s = selectedRow();
      fillAround(s ? rows_[static_cast<std::size_t>(s - 1)].position : Position{}, s ? s - 1 : 0);
    }
    return 0;
  }
  if (e.control == LISTCONTROL) {
    if (isScroll(e.code)) {
      locator_.clear();
      BrowseScrollEvent(e.code, static_cast<int>(e.param));
      return 0;
    }
    if (e.code == EVENT::AlertKey) {
      int key = static_cast<int>(e.param);
      if (key == Key::BS) {
        if (!locator_.empty()) {
          locator_.pop_back();
          if (locator_.empty()) fillFromTop(), BrowsePostNewSelection();
          else locate(locator_);
        }
        return 0;
      }
      if (char c = locatorChar(key)) {
        const SortOrder& o = orders_[static_cast<std::size_t>(std::max(current_, 1) - 1)];
        if (o.locator.address) {
          locator_ += c;
          locate(locator_);
          return 0;
        }
      }
      return BrowseOnKey(key);
    }
    if (e.code == EVENT::Accepted) {
      // Enter or a double click on a row.
      if (SELECTCONTROL && w.propInt(SELECTCONTROL, Prop::Visible)) {
        w.post(EVENT::Accepted, SELECTCONTROL);
        return 0;
      }
      return BrowseOnKey(Key::MouseLeft2);
    }
    return 0;
  }
  if (e.code == EVENT::Accepted && e.control) {
    if (e.control == INSERTCONTROL) BrowseAsk(Request::Insert);
    else if (e.control == CHANGECONTROL && BrowseHasRecords()) BrowseAsk(Request::Change);
    else if (e.control == DELETECONTROL && BrowseHasRecords()) BrowseAsk(Request::Delete);
    else if (e.control == VIEWCONTROL && BrowseHasRecords()) BrowseAsk(Request::View);
  }
  return 0;
}

// ======================================================================================
// DropListLookup

DropListLookup::~DropListLookup() = default;

void DropListLookup::DropListInit(int listControl, View& view, FileRelations& relation,
                                  WindowController& window) {
  LISTCONTROL = LISTFIELD = listControl;
  VIEW = &view;
  RELATION = &relation;
  WINDOW = &window;
  win().setProp(listControl, Prop::Immediate, 0);
  const Control* c = win().control(listControl);
  if (c && c->format.columns.empty())
    win().setProp(listControl, Prop::Format, std::to_string(std::max(1, c->w - 16)) + "L");
  ALLOWRESET = 0;
  INITSYNCPAIR = 1;
  DEFAULTFILL = 1;
  DISPLAYFIELDS.clear();
  UPDATEFIELDS.clear();
}

void DropListLookup::DropAddDisplayField(const Binding& field, int cell) {
  DISPLAYFIELDS.push_back(DropPair{field, {}, cell ? cell : static_cast<int>(DISPLAYFIELDS.size()) + 1});
}

void DropListLookup::DropAddUpdateField(const Binding& field, const Binding& target) {
  UPDATEFIELDS.push_back(DropPair{field, target, 0});
}

void DropListLookup::DropKill() {
  DISPLAYFIELDS.clear();
  UPDATEFIELDS.clear();
  if (VIEW && VIEW->isOpen()) VIEW->close();
}

void DropListLookup::Reset(std::uint8_t force) {
  if (WINDOWCOMPOPEN) DropLoadList(force);
}

std::uint8_t DropListLookup::ResetRequired() {
  std::uint8_t r = ALLOWRESET;
  ALLOWRESET = 0;
  return r;
}

std::uint8_t DropListLookup::TakeEvent() {
  DropTakeEvent();
  const Event& e = win().currentEvent();
  if (e.code == EVENT::OpenWindow && e.control == 0) {
    DropLoadList(1);
    WINDOWCOMPOPEN = 1;
  }
  return 0;
}

std::uint8_t DropListLookup::DropTakeEvent() {
  const Event& e = win().currentEvent();
  if (e.control == 0 || (e.control != LISTCONTROL && e.control != LISTFIELD)) return 0;
  if (e.code == EVENT::Accepted) DropTakeAccepted();
  else if (e.code == EVENT::NewSelection) DropTakeNewSelection(e.control);
  return 0;
}

bool DropListLookup::DropAddRow(DropRow& row) {
  LISTQUEUE.push_back(row);
  lastAdded_ = static_cast<int>(LISTQUEUE.size());
  return true;
}

bool DropListLookup::DropRowIsCurrent() {
  if (INITSYNCPAIR == 0 || INITSYNCPAIR > UPDATEFIELDS.size()) return false;
  const DropPair& p = UPDATEFIELDS[INITSYNCPAIR - 1u];
  return p.field.get() == p.target.get();
}

void DropListLookup::DropListTakeUpdate(DropRow& row) {
  row.position = VIEW->position();
  row.values.clear();
  int cells = 0;
  for (const auto& p : DISPLAYFIELDS) cells = std::max(cells, p.cell);
  row.display.cells.assign(static_cast<std::size_t>(cells), ListCell{});
  for (const auto& p : DISPLAYFIELDS) {
    row.values.push_back(p.field.get());
    row.display.cells[static_cast<std::size_t>(p.cell - 1)].value = p.field.get();
  }
}

int DropListLookup::loadRows(std::uint8_t force) {
  if (!force && LOADED) return CHOICE;
  LOADED = 1;
  WaitCursor wait;
  LISTQUEUE.clear();
  VIEW->setOrder(order_);
  VIEW->clearFilter();
  if (!filter_.empty()) VIEW->setFilter("5 Standard", filter_);
  if (VIEW->isOpen()) VIEW->close();
  int selected = 0;
  if (VIEW->open() == 0) {
    VIEW->set();
    while (VIEW->next() == 0) {
      if (!ValidateRecord()) continue;
      DropRow row;
      DropListTakeUpdate(row);
      if (!DropAddRow(row)) continue;
      if (!selected) {
        if (DropRowIsCurrent()) selected = lastAdded_;
      } else if (lastAdded_ <= selected) {
        ++selected;
      }
    }
    VIEW->close();
  }
  // Nothing read during the load stays in the buffer unless a row is taken below.
  clearRecord(VIEW->file());
  if (!selected && DEFAULTFILL && !LISTQUEUE.empty()) selected = 1;
  CHOICE = selected;
  showRows();
  if (selected) DropApplySelection(LISTFIELD);
  return selected;
}

int DropListLookup::DropLoadList(std::uint8_t force) { return loadRows(force); }

void DropListLookup::showRows() {
  std::vector<ListRow> display;
  for (const auto& r : LISTQUEUE) display.push_back(r.display);
  win().setRows(LISTFIELD, std::move(display));
  if (CHOICE) win().selectRow(LISTFIELD, CHOICE);
}

bool DropListLookup::readRowRecord(int row) {
  if (row < 1 || row > static_cast<int>(LISTQUEUE.size())) return false;
  return VIEW->file().get(LISTQUEUE[static_cast<std::size_t>(row - 1)].position) == 0;
}

void DropListLookup::clearTargets() {
  for (const auto& p : UPDATEFIELDS) clearBinding(p.target);
}

void DropListLookup::takeTargets() {
  for (const auto& p : UPDATEFIELDS) p.target.set(p.field.get());
}

void DropListLookup::DropApplySelection(int control) {
  if (control != LISTFIELD) return;
  if (win().currentEvent().code == EVENT::NewSelection && win().currentEvent().control == LISTFIELD)
    CHOICE = win().choice(LISTFIELD);
  if (CHOICE) {
    if (readRowRecord(CHOICE)) takeTargets();
    else clearTargets();
    ALLOWRESET = 1;
  } else {
    clearTargets();
  }
  WINDOW->Refresh(0);
}

// ======================================================================================
// DropComboLookup

void DropComboLookup::DropComboInit(const Binding& useField, int comboControl, View& view,
                                    FileRelations& relation, WindowController& window,
                                    std::uint8_t autoAdd, std::uint8_t syncView,
                                    std::uint8_t caseSensitive) {
  DropListInit(comboControl, view, relation, window);
  USEFIELD = useField;
  win().bind(comboControl, useField);
  ENTRYFIELD = BUTTONFIELD = comboControl;
  AUTOADDFLAG = autoAdd;
  CONFIRMAUTOADDFLAG = 1;
  SYNCRONIZEVIEWFLAG = syncView;
  ENTRYCOMPLETION = 1;
  REMOVEDUPLICATESFLAG = 0;
  // Lists of text compare without regard to letter case.
  CASESENSITIVEFLAG = caseSensitive == 1 ? 1 : 0;
}

void DropComboLookup::DropKill() {
  USEFIELD = Binding{};
  DropListLookup::DropKill();
}

bool DropComboLookup::sameText(const std::string& a, const std::string& b) const {
  return CASESENSITIVEFLAG ? clip(a) == clip(b) : foldEqual(a, b);
}

bool DropComboLookup::DropAddRow(DropRow& row) {
  std::string first = row.values.empty() ? std::string() : row.values[0];
  if (REMOVEDUPLICATESFLAG)
    for (const auto& r : LISTQUEUE)
      if (!r.values.empty() && sameText(r.values[0], first)) return false;
  // In the order of the first column.
  auto before = [&](const DropRow& r) {
    const std::string& v = r.values.empty() ? std::string() : r.values[0];
    return CASESENSITIVEFLAG ? clip(first) < clip(v) : foldCompare(first, v) < 0;
  };
  auto it = std::find_if(LISTQUEUE.begin(), LISTQUEUE.end(), before);
  lastAdded_ = static_cast<int>(it - LISTQUEUE.begin()) + 1;
  LISTQUEUE.insert(it, row);
  return true;
}

bool DropComboLookup::DropRowIsCurrent() {
  if (INITSYNCPAIR != 0) return DropListLookup::DropRowIsCurrent();
  if (DISPLAYFIELDS.empty()) return false;
  return DISPLAYFIELDS[0].field.get() == USEFIELD.get();
}

int DropComboLookup::DropLoadList(std::uint8_t force) {
  int selected = loadRows(force);
  if (selected) {
    const auto& values = LISTQUEUE[static_cast<std::size_t>(selected - 1)].values;
    USEFIELD.set(values.empty() ? std::string() : values[0]);
  } else if (!DEFAULTFILL) {
    clearBinding(USEFIELD);
    for (const auto& p : DISPLAYFIELDS) clearBinding(p.field);
  }
  win().display(LISTCONTROL);
  return selected;
}

int DropComboLookup::lookupText(const std::string& text) const {
  for (std::size_t i = 0; i < LISTQUEUE.size(); ++i)
    if (!LISTQUEUE[i].values.empty() && sameText(LISTQUEUE[i].values[0], text)) return static_cast<int>(i) + 1;
  std::string want = CASESENSITIVEFLAG ? clip(text) : caseFold(text);
  for (std::size_t i = 0; i < LISTQUEUE.size(); ++i) {
    if (LISTQUEUE[i].values.empty()) continue;
    std::string v = CASESENSITIVEFLAG ? clip(LISTQUEUE[i].values[0]) : caseFold(LISTQUEUE[i].values[0]);
    if (v < want) continue;
    return v.compare(0, want.size(), want) == 0 ? static_cast<int>(i) + 1 : 0;
  }
  return 0;
}

void DropComboLookup::DropTakeAccepted() {
  if (win().inAcceptAll()) return;
  std::string text = USEFIELD.get();
  auto choose = [this](int row) {
    CHOICE = row;
    win().selectRow(LISTFIELD, row);
    if (readRowRecord(row)) {
      if (!DISPLAYFIELDS.empty()) USEFIELD.set(DISPLAYFIELDS[0].field.get());
      takeTargets();
      ALLOWRESET = 1;
    } else {
      clearTargets();
    }
  };
  if (isBlank(text)) {
    CHOICE = 0;
    clearTargets();
    win().display(LISTCONTROL);
    return;
  }
  if (int row = lookupText(text)) {
    choose(row);
    win().display(LISTCONTROL);
    return;
  }
  if (DropComboAsk() != 0) {
    CHOICE = 0;
    clearTargets();
    for (const auto& p : UPDATEFIELDS) p.field.set(p.target.get());
    clearBinding(USEFIELD);
    win().display(LISTCONTROL);
    win().select(LISTCONTROL);
    return;
  }
  takeTargets();
  DropLoadList(1);
  if (int row = lookupText(text)) choose(row);
  win().display(LISTCONTROL);
}

std::uint8_t DropComboLookup::DropComboAsk() {
  if (!ASKPROCEDURE) return 5;
  // The use field may lie in the record about to be primed.
  std::string typed = USEFIELD.get();
  if (RELATION && RELATION->ME) RELATION->ME->FilePrimeRecord();
  else clearRecord(VIEW->file());
  if (!DISPLAYFIELDS.empty()) DISPLAYFIELDS[0].field.set(typed);
  return WINDOW->ExecuteUpdate(ASKPROCEDURE, Request::Insert) == Response::Completed ? 0 : 5;
}

bool DropComboLookup::DropComboKeyValid(int key) {
  if (key == 0) return false;
  if (key & (Key::Ctrl | Key::Alt)) return false;
  int base = key & 0xFF;
  return base != Key::Left && base != Key::Right;
}

void DropComboLookup::DropApplySelection(int control) {
  if (control != LISTFIELD) return;
  if (win().currentEvent().code == EVENT::NewSelection && win().currentEvent().control == LISTFIELD)
    CHOICE = win().choice(LISTFIELD);
  if (CHOICE && readRowRecord(CHOICE)) {
    if (!DISPLAYFIELDS.empty()) USEFIELD.set(DISPLAYFIELDS[0].field.get());
    takeTargets();
    ALLOWRESET = 1;
  } else {
    clearTargets();
  }
}

std::uint8_t DropComboLookup::DropTakeEvent() {
  const Event& e = win().currentEvent();
  if (e.code == EVENT::OpenWindow && e.control == 0) {
    // The entry reports every keystroke, so that it can be completed as it is typed.
    if (ENTRYCOMPLETION) win().setProp(ENTRYFIELD, Prop::Immediate, 1);
    return 0;
  }
  if (e.control == LISTCONTROL && e.code == EVENT::Selected) {
    ECON = ENTRYCOMPLETION;
    LASTENTRY.clear();
    // The focus may have moved on before the event came.
    if (win().focus() == ENTRYFIELD) selectEntry(0, static_cast<int>(utf8Length(win().text(ENTRYFIELD))));
    return 0;
  }
  if (e.control == LISTCONTROL && e.code == EVENT::NewSelection && ENTRYCOMPLETION && e.param) {
    completeEntry(static_cast<int>(e.param));
    return 0;
  }
  return DropListLookup::DropTakeEvent();
}

void DropComboLookup::selectEntry(int from, int to) {
  win().setProp(ENTRYFIELD, Prop::SelStart, from);
  win().setProp(ENTRYFIELD, Prop::SelEnd, to);
}

void DropComboLookup::completeEntry(int key) {
  Window& w = win();
  if (!DropComboKeyValid(key)) {
    DropApplySelection(LISTFIELD);
    ECON = 0;
    return;
  }
  std::string entry = w.text(ENTRYFIELD);
  int selStart = static_cast<int>(w.propInt(ENTRYFIELD, Prop::SelStart));
  int selEnd = static_cast<int>(w.propInt(ENTRYFIELD, Prop::SelEnd));
  if (!ECON && !entry.empty() && selStart == selEnd) {
    ECON = 1;
    return;
  }
  ECON = 1;
  std::string typed = (key & 0xFF) == Key::BS ? utf8Left(LASTENTRY, utf8Length(LASTENTRY) - (LASTENTRY.empty() ? 0 : 1))
                                              : utf8Left(entry, static_cast<std::size_t>(w.control(ENTRYFIELD)->caret));
  if (typed == LASTENTRY) return;
  if (isBlank(typed)) {
    LASTENTRY = typed;
    return;
  }
  if (int row = lookupText(typed)) {
    const auto& values = LISTQUEUE[static_cast<std::size_t>(row - 1)].values;
    std::string full = values.empty() ? typed : clip(values[0]);
    USEFIELD.set(full);
    w.setText(ENTRYFIELD, full);
    // Still the user's: leaving the entry accepts it.
    w.setProp(ENTRYFIELD, Prop::Touched, 1);
    // What completes the typed part is selected, so the next key types over it.
    selectEntry(static_cast<int>(utf8Length(typed)), static_cast<int>(utf8Length(full)));
    CHOICE = row;
    w.selectRow(LISTFIELD, row);
    if (readRowRecord(row)) {
      takeTargets();
      if (SYNCRONIZEVIEWFLAG) DropApplySelection(LISTFIELD);
    }
  } else {
    ECON = 0;   // the typed text stays as it is
  }
  LASTENTRY = typed;
}

}  // namespace pf
