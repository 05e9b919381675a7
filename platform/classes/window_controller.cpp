#include "platform/classes/window_controller.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/classes/error_manager.h"
#include "platform/classes/file_accessor.h"
#include "platform/classes/ini_manager.h"
#include "platform/classes/window_placement.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui.h"

namespace pf {
namespace {

bool kindIs(const Control* c, std::initializer_list<Kind> kinds) {
  if (!c) return false;
  return std::find(kinds.begin(), kinds.end(), c->kind) != kinds.end();
}

// The previous values the history key puts back, per procedure and control.
std::map<std::string, std::map<int, std::string>>& historyStore() {
  static std::map<std::string, std::map<int, std::string>> h;
  return h;
}

}  // namespace

// --- ToolbarDispatcher -----------------------------------------------------------------

void ToolbarDispatcher::Init(Window& window) { window_ = &window; }

void ToolbarDispatcher::Kill() {
  targets_.clear();
  window_ = nullptr;
}

void ToolbarDispatcher::AddTarget(std::function<bool(int)> target) {
  targets_.push_back(std::move(target));
}

bool ToolbarDispatcher::TakeEvent(int control) {
  if (!window_ || !IsToolbarControl(control)) return false;
  for (auto it = targets_.rbegin(); it != targets_.rend(); ++it)
    if ((*it)(control)) return true;
  return false;
}

bool ToolbarDispatcher::IsToolbarControl(int control) const {
  if (!window_ || control == 0) return false;
  for (const Control* c = window_->control(control); c; c = c->parent ? window_->control(c->parent) : nullptr) {
    if (c->kind == Kind::Toolbar) return true;
    if (!c->parent) break;
  }
  return false;
}

// --- ControlResizer --------------------------------------------------------------------

ControlResizer::~ControlResizer() { Kill(); }

void ControlResizer::ResizeInit(int strategy, std::uint8_t setMinSize, std::uint8_t setMaxSize,
                                Window* window) {
  Kill();
  window_ = window ? window : topWindow();
  if (!window_) return;
  strategy_ = strategy;
  ResizeReset();
  if (setMinSize) {
    window_->setProp(0, Prop::MinWidth, window_->attrs().w);
    window_->setProp(0, Prop::MinHeight, window_->attrs().h);
  }
  if (setMaxSize) {
    window_->setProp(0, Prop::MaxWidth, window_->attrs().w);
    window_->setProp(0, Prop::MaxHeight, window_->attrs().h);
  }
  designMinW_ = static_cast<int>(window_->propInt(0, Prop::MinWidth));
  designMinH_ = static_cast<int>(window_->propInt(0, Prop::MinHeight));
  if (strategy == Resize::Spread) ResizeSetParentDefaults();
  auto handler = [this](Window&, const Event&) {
    ResizeApply();
    return 0;
  };
  for (int ev : {EVENT::DoResize, EVENT::Restored, EVENT::GainFocus})
    window_->registerHandler(ev, handler, this);
}

void ControlResizer::ResizeReset() {
  if (!window_) return;
  refW_ = static_cast<int>(window_->propInt(0, Prop::Width));
  refH_ = static_cast<int>(window_->propInt(0, Prop::Height));
  if (refW_ <= 0) refW_ = window_->attrs().w;
  if (refH_ <= 0) refH_ = window_->attrs().h;
  for (const Control& c : window_->controls()) {
    if (c.isMenuLike() || c.kind == Kind::Toolbar || c.feq < 0) continue;
    Item& it = items_[c.feq];
    it.x = c.x;
    it.y = c.y;
    it.w = c.w;
    it.h = c.h;
  }
}

bool ControlResizer::place(const Item& it, int width, int height, int& x, int& y, int& w, int& h) const {
  int dx = width - refW_, dy = height - refH_;
  auto pos = [](int strategy, int at, int size, int ref, int delta, int now) {
    switch (strategy) {
      case ResizePos::Move: return at + delta;
      case ResizePos::Scale: return ref > 0 ? at * now / ref : at;
      case ResizePos::Nearest: return (at + size / 2) * 2 > ref ? at + delta : at;
      default: return at;
    }
  };
  auto len = [](int strategy, int size, int ref, int delta, int now) {
    switch (strategy) {
      case ResizeSize::Grow: return std::max(1, size + delta);
      case ResizeSize::Scale: return ref > 0 ? std::max(1, size * now / ref) : size;
      default: return size;
    }
  };
  x = pos(it.xs, it.x, it.w, refW_, dx, width);
  y = pos(it.ys, it.y, it.h, refH_, dy, height);
  auto grown = [](int strategy, int size, int delta) { return strategy == ResizeSize::Grow ? size + delta : 1; };
  w = len(it.ws, it.w, refW_, dx, width);
  h = len(it.hs, it.h, refH_, dy, height);
  return x >= 0 && y >= 0 && x + w <= width && y + h <= height && grown(it.ws, it.w, dx) >= 1 &&
         grown(it.hs, it.h, dy) >= 1;
}

void ControlResizer::applyOne(int control, const Item& it, int width, int height) {
  int x = 0, y = 0, w = 0, h = 0;
  place(it, width, height, x, y, w, h);
  const Control* c = window_->control(control);
  if (c && (c->x != x || c->y != y || c->w != w || c->h != h)) window_->setPosition(control, x, y, w, h);
}

std::uint8_t ControlResizer::ResizeApply() {
  std::uint8_t rc = ResizeApplyTo(0);
  if (afterApply) afterApply();
  return rc;
}

std::uint8_t ControlResizer::ResizeApplyTo(int control) {
  if (!window_ || !window_->isOpen()) return 0;
  int width = static_cast<int>(window_->propInt(0, Prop::Width));
  int height = static_cast<int>(window_->propInt(0, Prop::Height));
  if (width <= 0 || height <= 0) return 0;
  keepControlsShown();
  for (const auto& [feq, item] : items_) {
    if (control != 0 && feq != control) continue;
    if (!window_->control(feq)) continue;
    applyOne(feq, item, width, height);
  }
  return 0;
}

// The window may shrink only as far as every control it shows whole still fits in it, at
// the place its strategies give it, and no two of them that stood apart meet: that is the
// window's minimum size (never below the one it was given).
void ControlResizer::keepControlsShown() {
  struct Shown {
    const Item* item;
    bool container;   // holds others: may lie under them
  };
  std::vector<Shown> whole;
  int x = 0, y = 0, w = 0, h = 0;
  for (const auto& [feq, item] : items_) {
    const Control* c = window_->control(feq);
    if (!c || !window_->visible(feq) || !place(item, refW_, refH_, x, y, w, h)) continue;
    bool container = kindIs(c, {Kind::Sheet, Kind::Tab, Kind::Group, Kind::Option, Kind::Panel, Kind::Box,
                                Kind::Image, Kind::Line});
    whole.push_back(Shown{&item, container});
  }
  auto rectAt = [&](const Item& it, int width, int height, int r[4]) {
    return place(it, width, height, r[0], r[1], r[2], r[3]);
  };
  auto meet = [](const int a[4], const int b[4]) {
    return a[0] < b[0] + b[2] && b[0] < a[0] + a[2] && a[1] < b[1] + b[3] && b[1] < a[1] + a[3];
  };
  // The pairs that stand apart as designed.
  std::vector<std::pair<std::size_t, std::size_t>> apart;
  for (std::size_t i = 0; i < whole.size(); ++i)
    for (std::size_t j = i + 1; j < whole.size(); ++j) {
      if (whole[i].container || whole[j].container) continue;
      int a[4], b[4];
      rectAt(*whole[i].item, refW_, refH_, a);
      rectAt(*whole[j].item, refW_, refH_, b);
      if (!meet(a, b)) apart.emplace_back(i, j);
    }
  auto fits = [&](int width, int height) {
    std::vector<std::array<int, 4>> at(whole.size());
    for (std::size_t i = 0; i < whole.size(); ++i)
      if (!rectAt(*whole[i].item, width, height, at[i].data())) return false;
    for (auto [i, j] : apart)
      if (meet(at[i].data(), at[j].data())) return false;
    return true;
  };
  int minW = refW_, minH = refH_;
  while (minW > 1 && fits(minW - 1, refH_)) --minW;
  while (minH > 1 && fits(refW_, minH - 1)) --minH;
  minW = std::max(minW, designMinW_);
  minH = std::max(minH, designMinH_);
  if (window_->propInt(0, Prop::MinWidth) != minW) window_->setProp(0, Prop::MinWidth, minW);
  if (window_->propInt(0, Prop::MinHeight) != minH) window_->setProp(0, Prop::MinHeight, minH);
}

void ControlResizer::ResizeSetParentDefaults() {
  if (!window_) return;
  for (auto& [feq, it] : items_) {
    const Control* c = window_->control(feq);
    if (!c) continue;
    // Controls inside a container follow the container's own strategy.
    bool nested = c->parent > 0;
    switch (c->kind) {
      case Kind::List:
      case Kind::Text:
      case Kind::Sheet:
      case Kind::Panel:
      case Kind::Region:
      case Kind::Image:
        it.xs = it.ys = ResizePos::Scale;
        it.ws = it.hs = ResizeSize::Scale;
        break;
      case Kind::Box:
      case Kind::Group:
      case Kind::Option:
      case Kind::Line:
        it.xs = it.ys = ResizePos::Scale;
        it.ws = ResizeSize::Scale;
        it.hs = ResizeSize::Fixed;
        break;
      case Kind::Entry:
      case Kind::Combo:
      case Kind::DropList:
      case Kind::DropCombo:
      case Kind::Progress:
        it.xs = it.ys = ResizePos::Scale;
        it.ws = ResizeSize::Scale;
        it.hs = ResizeSize::Fixed;
        break;
      case Kind::Button:
        it.xs = it.ys = nested ? ResizePos::Scale : ResizePos::Nearest;
        it.ws = it.hs = ResizeSize::Fixed;
        break;
      default:
        it.xs = it.ys = ResizePos::Scale;
        it.ws = it.hs = ResizeSize::Fixed;
        break;
    }
  }
}

void ControlResizer::ResizeSetStrategy(int control, int xStrategy, int yStrategy, int widthStrategy,
                                       int heightStrategy) {
  auto it = items_.find(control);
  if (it == items_.end()) return;
  it->second.xs = xStrategy;
  it->second.ys = yStrategy;
  it->second.ws = widthStrategy;
  it->second.hs = heightStrategy;
}

void ControlResizer::Kill() {
  if (window_) {
    for (int ev : {EVENT::DoResize, EVENT::Restored, EVENT::GainFocus})
      window_->unregisterHandler(ev, this);
  }
  window_ = nullptr;
  items_.clear();
}

// --- WindowController ------------------------------------------------------------------

WindowController::WindowController(const std::string& procedure)
    : procedure_(procedure), window_(std::make_unique<Window>(procedure)) {}

WindowController::~WindowController() {
  // A program ended inside the window unwinds past the tear-down: the marker still goes.
  if (LOC_InstanceThread && InstanceMarker && *InstanceMarker == LOC_InstanceThread) *InstanceMarker = 0;
  if (Help) Help->HelpKill();
  Resizer.afterApply = nullptr;
  Resizer.Kill();
}

std::uint8_t WindowController::RunEventLoop() {
  while (window_->accept()) {
    std::uint8_t rc = OnEvent();
    if (rc == Answer::LeaveLoop) break;
  }
  return 0;
}

std::uint8_t WindowController::Setup() {
  ORIGINALREQUEST = REQUEST;
  components_.clear();
  BUTTONS.clear();
  INSERTACTION = 2;
  CHANGEACTION = 2;
  DELETEACTION = 2;
  CANCELACTION = 3;
  AUTOREFRESH = 1;
  return 0;
}

std::uint8_t WindowController::TearDown() {
  if (DEAD) return Answer::Handled;
  for (WindowComponent* c : components_) c->Kill();
  for (auto& [file, state] : saveFiles_)
    if (state) file->FileRestoreState(*state);
  saveFiles_.clear();
  if (TOOLBAR) TOOLBAR->Kill();
  if (RESIZE) {
    RESIZE->afterApply = nullptr;
    RESIZE->Kill();
  }
  DEAD = 1;
  return 0;
}

void WindowController::AfterOpen() {
  Refresh(0);
  INITED |= 1;
}

void WindowController::OpenWindow(Window* /*owner*/) {
  window_->open();
  OPENED = 1;
}

std::uint8_t WindowController::PrepareFiles() {
  for (auto& [file, state] : saveFiles_) state = std::make_shared<AccessorState>(file->FileSaveState());
  std::uint8_t rc = 0;
  switch (REQUEST) {
    case Request::Insert:
      if (INSERTACTION) {
        PrimeHook();
        if (RESPONSE == Response::Cancelled) rc = 3;
      }
      break;
    case Request::Delete:
      if (DELETEACTION == 2 || DELETEACTION == 4) {
        int level = PRIMARY ? PRIMARY->RelationDelete(DELETEACTION == 2) : Level::Program;
        RESPONSE = level == Level::Benign ? Response::Completed : Response::Cancelled;
        rc = 3;
      }
      break;
    default:
      break;
  }
  SnapshotRecord();
  return rc;
}

void WindowController::Refresh(std::uint8_t force) {
  if (!window_->isOpen() || window_->inAcceptAll()) return;
  force = static_cast<std::uint8_t>(force + FORCEDRESET);
  FORCEDRESET = 0;
  for (WindowComponent* c : components_) c->Reset(force);
  window_->display();
}

void WindowController::RecallFieldValue(int control) {
  auto& values = historyStore()[procedure_];
  auto it = values.find(control);
  if (it == values.end()) return;
  window_->setText(control, it->second);
  window_->update(control);
  window_->display(control);
}

std::uint8_t WindowController::Execute() {
  // A window that an exception ends still tears down (files, marker, the flags its
  // tear-down clears) before the exception ends the thread; it carries the innermost
  // procedure's name on.
  std::exception_ptr failure;
  try {
    if (Setup() == 0) RunEventLoop();
  } catch (const ProcedureFailed&) {
    failure = std::current_exception();
  } catch (const std::exception& e) {
    failure = std::make_exception_ptr(ProcedureFailed(procedure_, e.what()));
  }
  TearDown();
  if (failure) std::rethrow_exception(failure);
  return RESPONSE ? RESPONSE : Response::Cancelled;
}

std::uint8_t WindowController::ExecuteUpdate(int /*number*/, std::uint8_t /*request*/) {
  return Response::Cancelled;
}

void WindowController::SetAlertKeys() {
  for (WindowComponent* c : components_) c->SetAlerts();
  if (HISTORYKEY)
    for (int f : historyFields_) window_->alert(f, HISTORYKEY);
}

void WindowController::CloseWithResponse(std::uint8_t response) {
  RESPONSE = response;
  closingWithResponse_ = true;
  window_->post(EVENT::CloseWindow);
}

std::uint8_t WindowController::OnAccepted() {
  int control = window_->field();
  if (TOOLBAR && TOOLBAR->TakeEvent(control)) return 0;
  for (const auto& [c, response] : BUTTONS) {
    if (c == control) {
      CloseWithResponse(response);
      return Answer::Handled;
    }
  }
  if (OKCONTROL && control == OKCONTROL) StartCompletion();
  return 0;
}

void WindowController::StartCompletion() {
  if (ORIGINALREQUEST == Request::Insert || ORIGINALREQUEST == Request::Change)
    window_->acceptAll();
  else
    window_->post(EVENT::Completed);
}

std::uint8_t WindowController::OnCompleted() {
  switch (REQUEST) {
    case Request::Insert: return CompleteInsert();
    case Request::Change: return CompleteChange();
    case Request::Delete: return CompleteDelete();
    case Request::Save: return CompleteSaveChange();
    default: return 0;
  }
}

std::uint8_t WindowController::OnCloseRequest() {
  if (closingWithResponse_) return 0;
  bool form = PRIMARY && (ORIGINALREQUEST == Request::Insert || ORIGINALREQUEST == Request::Change);
  if (!form) return 0;
  window_->update();
  if (!RecordChanged()) return 0;
  auto stay = [this] {
    window_->cycle();
    if (FIRSTFIELD) window_->select(FIRSTFIELD);
    return Answer::Handled;
  };
  ErrorManager& errors = ERRORS ? *ERRORS : AppErrors;
  if (CANCELACTION == 0) return 0;
  if (CANCELACTION & 1) {
    if (CANCELACTION & 2) {
      int answer = errors.throwError(Msg::SaveRecord);
      if (answer == Level::User) return 0;         // No: close without writing
      if (answer != Level::Benign) return stay();  // Cancel
    }
    window_->cycle();
    StartCompletion();
    return Answer::Handled;
  }
  if (errors.throwError(Msg::ConfirmCancel) == Level::Benign) return 0;
  return stay();
}

std::uint8_t WindowController::OnEvent() {
  const Event& e = window_->currentEvent();
  std::uint8_t rc = 0;
  if (e.control == 0 && isWindowEvent(e.code)) {
    rc = OnWindowEvent();
    if (rc) return rc;
  }
  switch (e.code) {
    case EVENT::Sized: window_->post(EVENT::DoResize); break;
    case EVENT::Accepted: rc = OnAccepted(); break;
    case EVENT::Rejected: rc = OnRejected(); break;
    case EVENT::Selected: rc = OnSelected(); break;
    case EVENT::NewSelection: rc = OnNewSelection(); break;
    case EVENT::AlertKey:
      if (HISTORYKEY && window_->keyCode() == HISTORYKEY) RecallFieldValue(window_->focus());
      break;
    default: break;
  }
  if (rc) return rc;
  if (e.control != 0) {
    rc = OnFieldEvent();
    if (rc) return rc;
  }
  for (WindowComponent* c : components_) {
    rc = c->TakeEvent();
    if (rc) return rc;
  }
  if (AUTOREFRESH) {
    bool reset = false;
    for (WindowComponent* c : components_)
      if (c->ResetRequired()) reset = true;
    if (reset) Refresh(0);
  }
  return 0;
}

std::uint8_t WindowController::OnNewSelection() {
  const Control* c = window_->control(window_->field());
  if (c && c->kind == Kind::Sheet) Refresh(0);
  return 0;
}

std::uint8_t WindowController::WindowTakeNotify(int, int, std::int64_t) { return 0; }

std::uint8_t WindowController::OnRejected() {
  int control = window_->field();
  window_->display(control);
  window_->select(control);
  return 0;
}

std::uint8_t WindowController::OnSelected() {
  HighlightSelected(window_->field());
  return 0;
}

void WindowController::HighlightSelected(int control) {
  if (TOOLBAR && TOOLBAR->IsToolbarControl(control)) return;
  Window& w = *window_;
  if (LOC_FocusControl && !kindIs(w.control(LOC_FocusControl),
                                  {Kind::List, Kind::Combo, Kind::DropCombo, Kind::DropList}))
    if (w.control(LOC_FocusControl)) w.setColor(LOC_FocusControl, LOC_FocusColor);
  const Control* c = w.control(control);
  if (!c) return;
  if (w.propInt(control, Prop::Hide) || w.propInt(control, Prop::Disable) ||
      !w.propInt(control, Prop::Visible) || !w.propInt(control, Prop::Enabled)) {
    LOC_FocusControl = 0;
    return;
  }
  if (!kindIs(c, {Kind::Entry, Kind::Combo, Kind::List, Kind::DropCombo, Kind::DropList})) return;
  if (kindIs(c, {Kind::List, Kind::Combo}) && w.propInt(control, Prop::Drop) == 0) return;
  LOC_FocusControl = control;
  LOC_FocusColor = w.color(control);
  if (c->kind == Kind::Entry) w.setColor(control, FocusHighlightColor);
}

void WindowController::HighlightAfterResize() {
  if (!LOC_FocusControl) return;
  if (TOOLBAR && TOOLBAR->IsToolbarControl(LOC_FocusControl)) return;
  Window& w = *window_;
  const Control* c = w.control(LOC_FocusControl);
  if (!c) {
    LOC_FocusControl = 0;
    return;
  }
  if (!kindIs(c, {Kind::List, Kind::Combo, Kind::DropCombo, Kind::DropList}))
    w.setColor(LOC_FocusControl, LOC_FocusColor);
  if (w.propInt(LOC_FocusControl, Prop::Hide) || w.propInt(LOC_FocusControl, Prop::Disable) ||
      !w.propInt(LOC_FocusControl, Prop::Visible) || !w.propInt(LOC_FocusControl, Prop::Enabled)) {
    LOC_FocusControl = 0;
    return;
  }
  bool dropPart = kindIs(c, {Kind::List, Kind::Combo}) && w.propInt(LOC_FocusControl, Prop::Drop) != 0;
  if (c->kind == Kind::Entry || dropPart || kindIs(c, {Kind::DropCombo, Kind::DropList})) {
    LOC_FocusColor = w.color(LOC_FocusControl);
    if (c->kind == Kind::Entry) w.setColor(LOC_FocusControl, FocusHighlightColor);
  }
}

std::uint8_t WindowController::OnWindowEvent() {
  const Event& e = window_->currentEvent();
  std::uint8_t rc = 0;
  switch (e.code) {
    case EVENT::OpenWindow:
      if (!(INITED & 1)) AfterOpen();
      if (FIRSTFIELD) window_->select(FIRSTFIELD);
      break;
    case EVENT::Notify:
      rc = WindowTakeNotify(static_cast<int>(e.param), e.fromThread, e.param);
      break;
    case EVENT::LoseFocus:
      if (RESETONGAINFOCUS) FORCEDRESET = 1;
      break;
    case EVENT::GainFocus:
      if (INITED & 1)
        Refresh(0);
      else
        AfterOpen();
      // A one-instance window asked for again comes back to the front.
      if (InstanceMarker && OPENED && window_->isOpen()) {
        if (window_->propInt(0, Prop::Iconize) == 1) window_->setProp(0, Prop::Iconize, 0);
        if (window_->propInt(0, Prop::Active) != 1) window_->setProp(0, Prop::Active, 1);
      }
      break;
    case EVENT::Sized:
      if (INITED & 2)
        Refresh(0);
      else
        INITED |= 2;
      break;
    case EVENT::Completed:
      rc = OnCompleted();
      break;
    case EVENT::CloseWindow:
    case EVENT::CloseDown:
      rc = OnCloseRequest();
      break;
    default:
      break;
  }
  return rc;
}

void WindowController::UpdateComponents() {
  for (WindowComponent* c : components_) c->Update();
}

void WindowController::SetControlEnabled(int control, std::uint8_t disable) {
  if (disable)
    window_->disable(control);
  else
    window_->enable(control);
}

std::uint8_t WindowController::CompleteInsert() {
  int level = PRIMARY && PRIMARY->ME ? PRIMARY->ME->FileInsert() : Level::Program;
  if (level == Level::Benign) {
    for (int f : historyFields_) historyStore()[procedure_][f] = window_->text(f);
    CloseWithResponse(Response::Completed);
    return 0;
  }
  if (FIRSTFIELD) window_->select(FIRSTFIELD);
  return Answer::Handled;
}

std::uint8_t WindowController::CompleteChange() {
  if (RecordChanged()) {
    int level;
    std::vector<unsigned char> onFile;
    {
      WaitCursor wait;
      level = PRIMARY ? PRIMARY->RelationUpdateIfUnchanged(snapshot_, onFile) : Level::Program;
    }
    if (level != Level::Benign) {
      if (!onFile.empty()) TakeRecordOnFile(onFile);
      if (FIRSTFIELD) window_->select(FIRSTFIELD);
      return Answer::Handled;
    }
    for (int f : historyFields_) historyStore()[procedure_][f] = window_->text(f);
  }
  CloseWithResponse(Response::Completed);
  return 0;
}

void WindowController::CompleteWritten() {
  for (int f : historyFields_) historyStore()[procedure_][f] = window_->text(f);
  SnapshotRecord();
  CloseWithResponse(Response::Completed);
}

std::uint8_t WindowController::CompleteDelete() {
  int level;
  {
    WaitCursor wait;
    level = PRIMARY ? PRIMARY->RelationDelete(false) : Level::Program;
  }
  if (level == Level::Benign) {
    CloseWithResponse(Response::Completed);
    return 0;
  }
  return Answer::Handled;
}

std::uint8_t WindowController::CompleteSaveChange() {
  int level = PRIMARY ? PRIMARY->RelationUpdate() : Level::Program;
  if (level == Level::Benign) SnapshotRecord();
  return 0;
}

std::uint8_t WindowController::CompleteSaveInsert() {
  int level = PRIMARY && PRIMARY->ME ? PRIMARY->ME->FileInsert() : Level::Program;
  if (level == Level::Benign) SnapshotRecord();
  return 0;
}

void WindowController::WindowSetToolbar(ToolbarDispatcher& toolbar) {
  TOOLBAR = &toolbar;
  toolbar.Init(*window_);
}

void WindowController::WindowAddButton(int control, std::uint8_t response) {
  BUTTONS.emplace_back(control, response);
}

void WindowController::WindowSetResizer(ControlResizer& resizer) {
  RESIZE = &resizer;
  resizer.afterApply = [this] { HighlightAfterResize(); };
}

void WindowController::WindowAddComponent(WindowComponent& component) {
  components_.push_back(&component);
}

void WindowController::WindowAddSaveFile(FileAccessor& file) { saveFiles_.emplace_back(&file, nullptr); }

void WindowController::WindowInitHistory(int historyKey) { HISTORYKEY = historyKey; }

void WindowController::WindowAddHistoryField(int control) { historyFields_.push_back(control); }

// --- the template ------------------------------------------------------------------

std::uint8_t WindowController::SetupBegin() {
  AppErrors.setProcedureName(procedure_);
  REQUEST = GLO_Request();
  if (std::uint8_t rc = WindowController::Setup()) return rc;
  VCRREQUEST = &GLO_VCRRequest();
  ERRORS = &AppErrors;
  if (InstanceMarker && REQUEST != Request::Select) {
    if (*InstanceMarker != 0) {
      pf::post(EVENT::GainFocus, 0, *InstanceMarker);
      return Answer::LeaveLoop;
    }
    *InstanceMarker = thread();
    LOC_InstanceThread = thread();
  }
  GLO_Request() = 0;
  GLO_Response() = 0;
  WindowSetToolbar(Toolbar);
  return 0;
}

int WindowController::SetupFiles(std::initializer_list<FileRelations*> files, bool primaryFirst) {
  int result = 0;
  for (FileRelations* f : files) {
    if (!f) continue;
    int level = f->RelationOpen();
    files_.push_back(f);
    if (level != Level::Benign && result == 0) result = level;
  }
  FILESOPENED = 1;
  if (primaryFirst && !PRIMARY && files.size() > 0) PRIMARY = *files.begin();
  return result;
}

void WindowController::SetupEnd() {
  if (ResizeStrategy) {
    ControlResizer& r = RESIZE ? *RESIZE : Resizer;
    r.ResizeInit(ResizeStrategy, ResizeMinSize, 0, window_.get());
    r.ResizeSetParentDefaults();
    SetupResizer(r);
    WindowSetResizer(r);
  }
  RestorePlacement();
  if (RESIZE) RESIZE->ResizeApply();
  SetAlertKeys();
  if (HelpFile.empty()) return;  // a window without help
  Help = std::make_unique<HelpController>();
  Help->HelpInit(HelpFile, HelpKey ? HelpKey : Key::F12, window_.get());
  if (!WindowTopic.empty()) Help->HelpSetTopic(WindowTopic);
  for (const auto& [control, page] : ControlTopics) Help->HelpAddTopic(control, page);
}

void WindowController::TearDownFiles() {
  if (!FILESOPENED) return;
  for (auto it = files_.rbegin(); it != files_.rend(); ++it) (*it)->RelationClose();
  files_.clear();
  FILESOPENED = 0;
}

std::uint8_t WindowController::TearDownEnd() {
  TearDownFiles();
  if (OPENED) SavePlacement();
  if (LOC_InstanceThread && InstanceMarker) {
    *InstanceMarker = 0;
    LOC_InstanceThread = 0;
  }
  AppErrors.setProcedureName("");
  if (Help) {
    Help->HelpKill();
    Help.reset();
  }
  return 0;
}

void WindowController::RestorePlacement() {
  Window& w = *window_;
  WindowPlacement p;
  p.resizable = w.attrs().resizable;
  if (!AppIni.restoreWindow(procedure_, p)) return;
  if (w.propInt(0, Prop::Maximize) && !p.maximized) w.setProp(0, Prop::Maximize, 0);
  applyPlacement(w, p);
  w.setProp(0, Prop::Iconize, p.minimized ? 1 : 0);
}

void WindowController::SavePlacement() {
  AppIni.saveWindow(procedure_, placementOf(*window_, window_->attrs().resizable));
}

bool WindowController::RecordChanged() {
  if (!PRIMARY || !PRIMARY->ME || !PRIMARY->ME->BUFFER.address) return false;
  const auto& b = PRIMARY->ME->BUFFER;
  if (snapshot_.size() != b.size) return true;
  return std::memcmp(snapshot_.data(), b.address, b.size) != 0;
}

void WindowController::SnapshotRecord() {
  if (!PRIMARY || !PRIMARY->ME || !PRIMARY->ME->BUFFER.address) {
    snapshot_.clear();
    return;
  }
  const auto& b = PRIMARY->ME->BUFFER;
  const auto* p = static_cast<const unsigned char*>(b.address);
  snapshot_.assign(p, p + b.size);
}

void WindowController::TakeRecordOnFile(const std::vector<unsigned char>& onFile) {
  if (!PRIMARY || !PRIMARY->ME || !PRIMARY->ME->BUFFER.address || !PRIMARY->ME->BUFFER.layout) return;
  const auto& b = PRIMARY->ME->BUFFER;
  if (onFile.size() != b.size || snapshot_.size() != b.size) return;
  auto* record = static_cast<unsigned char*>(b.address);
  for (const FieldDesc& f : b.layout->fields)
    if (sameFieldValue(f, record, snapshot_.data())) std::memcpy(record + f.offset, onFile.data() + f.offset, f.size);
  snapshot_ = onFile;
  Refresh(1);
}

}  // namespace pf
