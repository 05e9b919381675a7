// The object behind every window: set-up, event loop and tear-down, the handlers the
// procedures override, and the template behaviour every window carries (focus
// highlight, placement in AppIni, one-instance marker, procedure name in AppErrors,
// help object, the request/response protocol of forms).
//
// A procedure derives its controller, overrides what it needs (calling the base), and
// its body is:
//
//   void UpdateCategory() {
//     UpdateCategoryWindow w;                 // builds the window from its layout
//     pf::GLO_Response() = w.Execute();
//   }
//
// with a Setup override shaped like:
//
//   std::uint8_t Setup() override {
//     if (auto rc = SetupBegin()) return rc;   // name, request, base Setup, marker, ...
//     WindowAddButton(win().feq("?CANCEL"), pf::Response::Cancelled);
//     SetupFiles({&Relate_Category()});        // opened now, closed by TearDownEnd
//     OpenWindow();
//     ...                                      // the window's own controls
//     SetupEnd();                              // resizer, placement, alert keys, help
//     return 0;
//   }
//   std::uint8_t TearDown() override {
//     if (auto rc = WindowController::TearDown()) return rc;
//     ...                                      // the window's own steps
//     return TearDownEnd();                    // files, placement, marker, name, help
//   }
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/help_controller.h"
#include "platform/runtime/events.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/window.h"

namespace pf {

class ErrorManager;
class FileAccessor;
class FileRelations;
struct AccessorState;
class Window;
class WindowController;

// GLO:Request values.
namespace Request {
constexpr std::uint8_t None = 0;
constexpr std::uint8_t Insert = 1;
constexpr std::uint8_t Change = 2;
constexpr std::uint8_t Delete = 3;
constexpr std::uint8_t Select = 4;
constexpr std::uint8_t View = 6;
constexpr std::uint8_t Save = 7;
}  // namespace Request

// GLO:Response values; 0 is answered as Cancelled.
namespace Response {
constexpr std::uint8_t Completed = 1;
constexpr std::uint8_t Cancelled = 2;
}  // namespace Response

// What handlers answer: 0 go on; LeaveLoop ends the event loop; Handled ends the
// handling of the event without the platform's default action.
namespace Answer {
constexpr std::uint8_t Continue = 0;
constexpr std::uint8_t LeaveLoop = 3;
constexpr std::uint8_t Handled = 5;
}  // namespace Answer

// The pale yellow of the entry that has the focus.
constexpr std::int32_t FocusHighlightColor = 0xCAFFFF;

// A browse, drop list or other object that lives inside a window and takes its events.
class WindowComponent {
 public:
  virtual ~WindowComponent() = default;
  virtual void Kill() {}
  virtual void Reset(std::uint8_t /*force*/) {}
  // 1 when the window should be refreshed after the last event.
  virtual std::uint8_t ResetRequired() { return 0; }
  virtual void SetAlerts() {}
  // Sees every event the window handles; non-zero ends its handling with that answer.
  virtual std::uint8_t TakeEvent() { return 0; }
  // Copies the component's controls into its fields.
  virtual void Update() {}
  // Shows the component's fields in its controls.
  virtual void UpdateWindow() {}
};

// Hands a frame's toolbar buttons to whichever object wants them.
class ToolbarDispatcher {
 public:
  virtual ~ToolbarDispatcher() = default;
  void Init(Window& window);
  void Kill();
  // An object that takes toolbar buttons it knows (the last added is asked first).
  void AddTarget(std::function<bool(int control)> target);
  // True when a target handled the accepted control.
  virtual bool TakeEvent(int control);
  // Whether the control sits on the window's toolbar.
  bool IsToolbarControl(int control) const;

 private:
  Window* window_ = nullptr;
  std::vector<std::function<bool(int)>> targets_;
};

// Window resize strategies.
namespace Resize {
constexpr int Anchor = 1;   // controls keep their distance to the nearest edges; sizes stay
constexpr int Spread = 2;   // controls spread with the window; containers grow
}  // namespace Resize

// Per-control strategies, one per axis.
namespace ResizePos {
constexpr int Fixed = 0;     // keeps its distance to the left (top) edge
constexpr int Move = 1;      // keeps its distance to the right (bottom) edge
constexpr int Scale = 2;     // moves in proportion
constexpr int Nearest = 3;   // Fixed or Move by the edge it is nearer to
}  // namespace ResizePos
namespace ResizeSize {
constexpr int Fixed = 0;     // keeps its size
constexpr int Grow = 1;      // grows by what the window grew
constexpr int Scale = 2;     // grows in proportion
}  // namespace ResizeSize

class ControlResizer {
 public:
  virtual ~ControlResizer();

  // On the calling thread's top window, or `window` when given. `setMinSize` makes the
  // designed size the window's minimum size, `setMaxSize` its maximum size.
  void ResizeInit(int strategy, std::uint8_t setMinSize, std::uint8_t setMaxSize,
                  Window* window = nullptr);
  // Takes the window's and every control's present geometry as the new reference.
  virtual void ResizeReset();
  // Fits every control to the window's present size.
  virtual std::uint8_t ResizeApply();
  // One control (0: all).
  virtual std::uint8_t ResizeApplyTo(int control);
  // Gives every control the default strategies of its kind.
  virtual void ResizeSetParentDefaults();
  void ResizeSetStrategy(int control, int xStrategy, int yStrategy, int widthStrategy,
                         int heightStrategy);
  // Position and size strategy applied to both axes.
  void ResizeSetStrategy(int control, int position, int size) {
    ResizeSetStrategy(control, position, position, size, size);
  }
  void Kill();

  // Runs at the end of every ResizeApply (the window's focus highlight uses it).
  std::function<void()> afterApply;
  Window* window() const { return window_; }
  int strategy() const { return strategy_; }

 private:
  struct Item {
    int x = 0, y = 0, w = 0, h = 0;
    int xs = ResizePos::Fixed, ys = ResizePos::Fixed;
    int ws = ResizeSize::Fixed, hs = ResizeSize::Fixed;
  };
  // Where the control stands at a window size; false when it would leave the window.
  bool place(const Item& item, int width, int height, int& x, int& y, int& w, int& h) const;
  void applyOne(int control, const Item& item, int width, int height);
  void keepControlsShown();
  Window* window_ = nullptr;
  int strategy_ = 0;
  int refW_ = 0, refH_ = 0;
  int designMinW_ = 0, designMinH_ = 0;
  std::map<int, Item> items_;
};

class WindowController {
 public:
  // Builds the window of `procedure` from its layout (not shown yet).
  explicit WindowController(const std::string& procedure);
  virtual ~WindowController();
  WindowController(const WindowController&) = delete;
  WindowController& operator=(const WindowController&) = delete;

  Window& win() { return *window_; }
  const std::string& procedureName() const { return procedure_; }

  // --- fields, in the order of the class ------------------------------------------
  std::uint8_t AUTOREFRESH = 0;
  std::vector<std::pair<int, std::uint8_t>> BUTTONS;   // (control, response)
  std::uint8_t CANCELACTION = 0;
  std::uint8_t CHANGEACTION = 0;
  std::uint8_t DEAD = 0;
  std::uint8_t DELETEACTION = 0;
  std::uint8_t BATCHPROCESSING = 0;
  ErrorManager* ERRORS = nullptr;
  std::uint8_t FILESOPENED = 0;
  std::int32_t FIRSTFIELD = 0;
  std::uint8_t FORCEDRESET = 0;
  std::int32_t HISTORYKEY = 0;
  std::uint8_t INITED = 0;
  std::uint8_t INSERTACTION = 0;
  std::int32_t OKCONTROL = 0;
  std::uint8_t OPENED = 0;
  std::uint8_t ORIGINALREQUEST = 0;
  FileRelations* PRIMARY = nullptr;
  std::uint8_t REQUEST = 0;
  std::uint8_t RESETONGAINFOCUS = 0;
  ControlResizer* RESIZE = nullptr;
  std::uint8_t RESPONSE = 0;
  ToolbarDispatcher* TOOLBAR = nullptr;
  std::int32_t* VCRREQUEST = nullptr;

  // --- template locals ---------------------------------------------------------------
  std::int32_t LOC_FocusControl = 0;
  std::int32_t LOC_FocusColor = 0;
  std::int32_t LOC_InstanceThread = 0;
  std::unique_ptr<HelpController> Help;

  // --- what the template set-up uses (set in the constructor of the derived class) ----
  // The one-instance marker (GLO_...Thread) of the eight guarded windows; null: none.
  std::int32_t* InstanceMarker = nullptr;
  // 0: no resizer; else Resize::Anchor or Resize::Spread.
  int ResizeStrategy = Resize::Spread;
  std::uint8_t ResizeMinSize = 1;
  std::string HelpFile = "Linkvue.chm";  // empty: the window has no help object
  int HelpKey = 0;                     // 0: F12
  std::string WindowTopic;             // the window's help page
  std::vector<std::pair<int, std::string>> ControlTopics;
  ControlResizer Resizer;              // used unless the procedure attaches its own
  ToolbarDispatcher Toolbar;

  // --- virtual operations, in the order of the class ---------------------------------
  virtual std::uint8_t RunEventLoop();
  virtual std::uint8_t Setup();
  virtual std::uint8_t TearDown();
  virtual void AfterOpen();
  virtual void OpenWindow(Window* owner = nullptr);
  virtual void PrimeHook() {}
  virtual std::uint8_t PrepareFiles();
  virtual void Refresh(std::uint8_t force = 0);
  virtual void RecallFieldValue(int control);
  virtual std::uint8_t Execute();
  virtual std::uint8_t ExecuteUpdate(int number, std::uint8_t request);
  virtual void SetAlertKeys();
  virtual void CloseWithResponse(std::uint8_t response);
  virtual std::uint8_t OnAccepted();
  virtual std::uint8_t OnCompleted();
  virtual std::uint8_t OnCloseRequest();
  virtual std::uint8_t OnEvent();
  virtual std::uint8_t OnFieldEvent() { return 0; }
  virtual std::uint8_t OnNewSelection();
  virtual std::uint8_t WindowTakeNotify(int code, int thread, std::int64_t parameter);
  virtual std::uint8_t OnRejected();
  virtual std::uint8_t OnSelected();
  virtual std::uint8_t OnWindowEvent();
  virtual void UpdateComponents();
  virtual void SetControlEnabled(int control, std::uint8_t disable);
  virtual std::uint8_t CompleteInsert();
  virtual std::uint8_t CompleteChange();
  virtual std::uint8_t CompleteDelete();
  virtual std::uint8_t CompleteSaveChange();
  virtual std::uint8_t CompleteSaveInsert();
  // The procedure's own control strategies, given after the defaults (the browses).
  virtual void SetupResizer(ControlResizer& /*resizer*/) {}

  // --- direct operations ---------------------------------------------------------------
  void WindowSetToolbar(ToolbarDispatcher& toolbar);
  void WindowAddButton(int control, std::uint8_t response);
  void WindowSetResizer(ControlResizer& resizer);
  void WindowAddComponent(WindowComponent& component);
  void WindowAddSaveFile(FileAccessor& file);
  void WindowInitHistory(int historyKey);
  void WindowAddHistoryField(int control);

  // --- the template, factored once ----------------------------------------------------
  // The first part of the set-up: the procedure's name to AppErrors, REQUEST from GLO:Request,
  // the base Setup, ERRORS and VCRREQUEST, the one-instance rule, GLO:Request and
  // GLO:Response cleared, the toolbar attached. Non-zero: stop the set-up with it.
  std::uint8_t SetupBegin();
  // Opens the procedure's files through their relation objects (FILESOPENED); the
  // tear-down closes them. The first is the primary file of a form unless PRIMARY is
  // already set. Answers the first failed open's level (0 when all opened).
  int SetupFiles(std::initializer_list<FileRelations*> files, bool primaryFirst = false);
  // Closes those files now, the last opened first (TearDownEnd does it otherwise).
  void TearDownFiles();
  // The last part of the set-up: the resizer, the placement from AppIni, one ResizeApply,
  // SetAlertKeys, the help object with its topics.
  void SetupEnd();
  // The end of the tear-down: files closed, placement saved, marker cleared, the
  // procedure's name withdrawn, the help object killed. Answers 0.
  std::uint8_t TearDownEnd();

  // The focus highlight, for OnSelected and after a resize (the frame leaves its
  // toolbar controls out).
  void HighlightSelected(int control);
  void HighlightAfterResize();
  // Placement in AppIni under the procedure's name.
  void RestorePlacement();
  void SavePlacement();
  // Whether the primary record now differs from the record as it was read.
  bool RecordChanged();
  // Takes the primary record as the record as read (after a fetch or a save).
  void SnapshotRecord();
  // The primary record as it was read (what SnapshotRecord took).
  const std::vector<unsigned char>& RecordAsRead() const { return snapshot_; }
  // Another writer's record, found on file when the form's was to be written: the
  // fields the user left as they were read take its values, the user's changes stay,
  // it becomes the record as read, and the window shows the result.
  void TakeRecordOnFile(const std::vector<unsigned char>& onFile);
  // Starts the completion as the OK button does.
  void StartCompletion();
  // The completion of a record the procedure has written itself: the history keys get
  // its fields and the window closes as completed.
  void CompleteWritten();

 protected:
  std::vector<WindowComponent*>& components() { return components_; }

 private:
  std::string procedure_;
  std::unique_ptr<Window> window_;
  std::vector<WindowComponent*> components_;
  std::vector<FileRelations*> files_;
  std::vector<std::pair<FileAccessor*, std::shared_ptr<AccessorState>>> saveFiles_;
  std::vector<int> historyFields_;
  std::vector<unsigned char> snapshot_;
  bool closingWithResponse_ = false;
};

}  // namespace pf
