// Lists over record views: the browse (one page of rows read from a view by keyset
// paging, sort orders with filter parts, typing locators, update buttons) and the drop
// lists and combos filled from a view.
//
//   BrowseManager brw;
//   brw.BrowseInit(win.feq("?BROWSE:1"), view, Relate_WSites(), controller);
//   brw.BrowseAddSortOrder(&WEB_KeyDescription());
//   brw.BrowseAddLocator(pf::use(WEB->DESCRIPTION));
//   brw.ViewSetFilter("(WEB:FavouriteYN=1)");
//   brw.BrowseAddField("WEB:DESCRIPTION", pf::use(WEB->DESCRIPTION), 2);
//   controller.WindowAddComponent(brw);
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/classes/window_controller.h"
#include "platform/store/view.h"
#include "platform/ui/binding.h"
#include "platform/ui/controls.h"

namespace pf {

class FileRelations;

// A variable paired with a row: copied into the row when it is filled and back when the
// row becomes the selected one. `cell` is the list cell that shows it (0: none).
struct BrowseField {
  std::string name;
  Binding var;
  int cell = 0;
};

// One row of the list: the paired variables' bytes, the record's place in the view, and
// what the list shows.
struct BrowseRow {
  std::vector<std::string> values;   // one per BrowseField, raw bytes
  Position position;
  ListRow display;
};

// Raw bytes of a variable, and back.
std::string bindingBytes(const Binding& b);
void setBindingBytes(const Binding& b, const std::string& bytes);
void clearBinding(const Binding& b);

class BrowseManager : public WindowComponent {
 public:
  struct SortOrder {
    const KeyDesc* key = nullptr;               // nullptr: record order
    std::map<std::string, std::string> parts;   // filter parts by identifier
    Binding locator;                            // the field a typed text seeks on
    bool stepText = false;                      // the thumb seeks by the key's text
  };

  BrowseManager() = default;
  ~BrowseManager() override;

  void BrowseInit(int listControl, View& view, FileRelations& relation, WindowController& window);

  // --- set-up ---------------------------------------------------------------------------
  // Adds an order and makes it the one the next filter and locator calls set up.
  int BrowseAddSortOrder(const KeyDesc* key);
  void BrowseAddLocator(const Binding& field);
  void StepTextInit() { orders_.back().stepText = true; }
  // The part "5 Standard" of the order being set up (or, later, of the current one).
  void ViewSetFilter(const std::string& expression);
  // A part by identifier; empty removes it. Applies to the current order.
  void ViewSetFilterById(const std::string& id, const std::string& expression);
  // A part of any order (1-based).
  void BrowseSetFilterPart(int order, const std::string& id, const std::string& expression);
  void BrowseAddField(const std::string& name, const Binding& var, int cell);
  // The list's icons (number -> resource name).
  void BrowseSetIcon(int number, const std::string& icon);

  // Update controls (0: none) and the procedure number handed to ExecuteUpdate.
  int SELECTCONTROL = 0, INSERTCONTROL = 0, CHANGECONTROL = 0, DELETECONTROL = 0,
      VIEWCONTROL = 0;
  int ASKPROCEDURE = 0;
  int LISTCONTROL = 0;
  WindowController* WINDOW = nullptr;
  View* VIEW = nullptr;
  FileRelations* PRIMARY = nullptr;

  // --- virtual operations, in the order of the class --------------------------------
  // 0 a record was read, 5 no further record, 3 a read error.
  virtual int BrowseFetchNext();
  virtual int BrowseFetchPrevious();
  // Once the update has returned: positions the list on the record concerned and
  // recounts. The record is in the file's buffer.
  virtual void BrowseLimitView(std::uint8_t request, std::uint8_t response);
  // Positions the list on the record in the file's buffer and refills around it.
  virtual void BrowseResetView();
  // Refills the rows from the view around the current record.
  virtual int BrowseReload();
  virtual void BrowseChooseSortOrder(std::uint8_t force);
  virtual void BrowseSetupList();
  // Copies the paired variables into the row (the view has just read its record).
  virtual void BrowseFillRow(BrowseRow& row);
  // Changes the order; with force (or a new order) applies it and reloads.
  virtual void BrowseSetSort(int order, std::uint8_t force);
  // An alert key of the list. Non-zero ends the event's handling.
  virtual std::uint8_t BrowseOnKey(int key);
  // ScrollUp .. ScrollBottom, ScrollDrag with `thumb` 0..100.
  virtual void BrowseScrollEvent(int event, int thumb = 0);
  virtual void BrowseEnableButtons();
  virtual bool BrowseHasRecords() const { return !rows_.empty(); }
  // Runs the update procedure for `request` on the selected record (or a new one).
  virtual std::uint8_t BrowseAsk(std::uint8_t request);
  // Reads the selected row's whole record into the file's buffer again; false when it
  // is no longer there.
  virtual bool BrowseUpdateViewRecord();

  void BrowsePostNewSelection();

  // --- state -----------------------------------------------------------------------------
  int currentOrder() const { return current_; }
  int orderCount() const { return static_cast<int>(orders_.size()); }
  const SortOrder& order(int n) const { return orders_.at(static_cast<std::size_t>(n - 1)); }
  const std::vector<BrowseRow>& rows() const { return rows_; }
  // Shows the page whose last row (`asFirst`: first row) is the record at `pos`, with the
  // same row number selected as before: where page scrolls would have left the list.
  void BrowseShowPageAt(const Position& pos, bool asFirst);
  int pageRows() { return pageSize(); }
  int selectedRow() const;   // 1-based, 0 when the list is empty
  const std::vector<BrowseField>& fields() const { return fields_; }
  // The paired field that a list column (display order, 1-based) shows; null when none.
  const BrowseField* fieldOfColumn(int column) const;
  // Whether a list format kept from an earlier session may replace the list's own: it parses,
  // shows the same cells, and no picture asks for more than its paired field can hold.
  bool formatFits(const std::string& format) const;
  // Copies the selected row into its variables (blanks them when the list is empty).
  void TakeSelectedRow();
  // The locator text typed so far.
  const std::string& locatorText() const { return locator_; }

  // --- WindowComponent ---------------------------------------------------------------
  void Kill() override;
  void Reset(std::uint8_t force) override;
  std::uint8_t ResetRequired() override;
  void SetAlerts() override;
  std::uint8_t TakeEvent() override;

 protected:
  Window& win() { return WINDOW->win(); }
  // Rows around the record at `pos`: up to `above` rows before it, then it and onwards;
  // an empty position fills from the start. Selects the record's row (or the nearest).
  // `pos` by value: callers pass a row of the page this refills.
  void fillAround(Position pos, int above);
  void fillFromTop();
  void fillFromBottom();
  void applyOrder();
  int pageSize();
  void showRows(int select);
  void locate(const std::string& text);

 private:
  bool readRow(bool forward, BrowseRow& row);
  void reportReadError();
  void updateThumb();
  void clearVariables();
  void showFields();

  std::vector<SortOrder> orders_;
  std::vector<BrowseField> fields_;
  std::vector<BrowseRow> rows_;
  std::map<int, std::string> icons_;
  int current_ = 0;      // 0 until the first BrowseSetSort
  int setupOrder_ = 0;   // the order the set-up calls address
  bool applied_ = false;
  bool resetRequired_ = false;
  bool atTop_ = true, atBottom_ = true;
  bool readReported_ = false;  // one box for a page, however often its fill meets the error
  std::string locator_;
  bool killed_ = false;
};

// --- drop lists and combos --------------------------------------------------------------

struct DropPair {
  Binding field;    // the record field
  Binding target;   // a row cell (display pairs: unused) or the variable that receives it
  int cell = 0;     // display pairs: the row cell
};

struct DropRow {
  std::vector<std::string> values;   // display pairs' texts
  Position position;
  ListRow display;
};

class DropListLookup : public WindowComponent {
 public:
  ~DropListLookup() override;

  void DropListInit(int listControl, View& view, FileRelations& relation, WindowController& window);
  void DropAddDisplayField(const Binding& field, int cell = 0);
  void DropAddUpdateField(const Binding& field, const Binding& target);
  void ViewAddSortOrder(const KeyDesc* key) { order_ = key; }
  void ViewSetFilter(const std::string& expression) { filter_ = expression; }

  std::vector<DropPair> DISPLAYFIELDS;
  std::vector<DropPair> UPDATEFIELDS;
  WindowController* WINDOW = nullptr;
  std::uint8_t DEFAULTFILL = 1;
  std::uint8_t INITSYNCPAIR = 1;
  std::uint8_t ALLOWRESET = 0;
  int LISTCONTROL = 0, LISTFIELD = 0;
  std::vector<DropRow> LISTQUEUE;
  std::uint8_t LOADED = 0;
  std::uint8_t WINDOWCOMPOPEN = 0;
  View* VIEW = nullptr;
  FileRelations* RELATION = nullptr;
  int CHOICE = 0;   // the chosen row (the control may show a row while none is chosen)

  virtual void DropKill();
  // Every record the view reads is offered; false leaves it out.
  virtual bool ValidateRecord() { return true; }
  void Kill() override { DropKill(); }
  void Reset(std::uint8_t force) override;
  std::uint8_t ResetRequired() override;
  std::uint8_t TakeEvent() override;
  virtual bool DropAddRow(DropRow& row);
  virtual bool DropRowIsCurrent();
  // Loads the rows; answers the selected row (0: none).
  virtual int DropLoadList(std::uint8_t force);
  virtual void DropListTakeUpdate(DropRow& row);
  virtual void DropTakeAccepted() {}
  virtual std::uint8_t DropTakeEvent();
  virtual void DropTakeNewSelection(int control) { DropApplySelection(control); }
  virtual void DropApplySelection(int control);

 protected:
  Window& win() { return WINDOW->win(); }
  // The list's own load (the combo's DropLoadList adds its entry rules around it).
  int loadRows(std::uint8_t force);
  // Reads a row's record again; false when it is gone.
  bool readRowRecord(int row);
  void clearTargets();
  void takeTargets();
  void showRows();
  int lastAdded_ = 0;   // where DropAddRow put the last row

 private:
  const KeyDesc* order_ = nullptr;
  std::string filter_;
};

class DropComboLookup : public DropListLookup {
 public:
  void DropComboInit(const Binding& useField, int comboControl, View& view, FileRelations& relation,
                     WindowController& window, std::uint8_t autoAdd, std::uint8_t syncView,
                     std::uint8_t caseSensitive);

  int ASKPROCEDURE = 0;
  Binding USEFIELD;
  int BUTTONFIELD = 0, ENTRYFIELD = 0;
  std::uint8_t ENTRYCOMPLETION = 1;
  std::uint8_t REMOVEDUPLICATESFLAG = 0;
  std::uint8_t AUTOADDFLAG = 0;
  std::uint8_t CONFIRMAUTOADDFLAG = 1;
  std::uint8_t CASESENSITIVEFLAG = 0;
  std::uint8_t SYNCRONIZEVIEWFLAG = 0;
  std::string PROMPTCAPTION, PROMPTTEXT;
  std::uint8_t ECON = 0;
  std::string LASTENTRY;

  void DropKill() override;
  bool DropAddRow(DropRow& row) override;
  bool DropRowIsCurrent() override;
  int DropLoadList(std::uint8_t force) override;
  void DropTakeAccepted() override;
  std::uint8_t DropTakeEvent() override;
  void DropApplySelection(int control) override;
  // A typed text that matches no row: 0 when a record was added, else 5.
  virtual std::uint8_t DropComboAsk();
  // Whether `key` edits the entry.
  virtual bool DropComboKeyValid(int key);

  // The row (1-based) a text stands for: equal, or the next in order when it begins
  // with the text; 0 for none.
  int lookupText(const std::string& text) const;
  // Completion for one keystroke (a view that reports keystrokes posts NewSelection for
  // the combo with the key in the event's parameter).
  void completeEntry(int key);

 private:
  bool sameText(const std::string& a, const std::string& b) const;
  // Selects characters [from, to) of the entry, the cursor at `to`.
  void selectEntry(int from, int to);
};

}  // namespace pf
