#include "platform/classes/splitter_bar.h"

#include <algorithm>

#include "platform/runtime/events.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace pf {

namespace {

int top(Window& w, int feq) { return static_cast<int>(w.propInt(feq, Prop::Ypos)); }
int height(Window& w, int feq) { return static_cast<int>(w.propInt(feq, Prop::Height)); }

// Mouse events carry the pointer as (y << 32) | x.
int pointerY(const Window& w, const Event& e) {
  if (e.param == 0) return w.mouseY();
  return static_cast<int>(e.param >> 32);
}

constexpr const char* SizeCursor = "SizeNS";

}  // namespace

SplitterBar::~SplitterBar() {
  if (!SQ.empty() || !SFQ.empty()) SplitterKill();
}

void SplitterBar::SplitterInit(Window& window, std::uint8_t noRegistration) {
  window_ = &window;
  SQ.clear();
  SFQ.clear();
  MOVINGSPLIT = 0;
  EDGEBUFFER = 5;
  REGISTEREVENTS = noRegistration == 0 ? 1 : 0;
  OVERLAYBOXFEQ = window.create(Kind::Panel, window.highestFeq() + 1);
  window.hide(OVERLAYBOXFEQ);
}

std::int32_t SplitterBar::SplitterAddBar(std::int32_t feq) {
  if (!window_) return 0;
  Bar b;
  b.BARHANDLE = static_cast<std::int32_t>(SQ.size()) + 1;
  b.SPLITTYPE = 1;
  b.FEQ = feq;
  b.REDRAWWHILEMOVING = 0;
  if (REGISTEREVENTS == 1) {
    window_->registerHandler(EVENT::Dragging, [this](Window&, const Event& e) { return SplitterOnDragging(e); }, this, feq);
    window_->registerHandler(EVENT::MouseMove, [this](Window&, const Event& e) { return SplitterOnMouseMove(e); }, this, feq);
    window_->registerHandler(EVENT::MouseUp, [this](Window&, const Event& e) { return SplitterOnMouseUp(e); }, this, feq);
    b.EVENTSREGISTERED = 1;
  }
  window_->setProp(feq, Prop::Immediate, 1);
  SQ.push_back(b);
  // Kept in control order.
  std::stable_sort(SQ.begin(), SQ.end(), [](const Bar& a, const Bar& c) { return a.FEQ < c.FEQ; });
  return b.BARHANDLE;
}

std::uint8_t SplitterBar::attach(std::int32_t bar, std::int32_t feq, std::uint8_t move,
                                 std::uint8_t resize, std::uint8_t placement) {
  Attached a;
  a.BARHANDLE = bar;
  a.FEQ = feq;
  a.PLACEMENT = placement;
  a.MOVEFLAG = resize ? 0 : move;
  auto at = std::upper_bound(SFQ.begin(), SFQ.end(), bar,
                             [](std::int32_t h, const Attached& x) { return h < x.BARHANDLE; });
  SFQ.insert(at, a);
  return 0;
}

std::uint8_t SplitterBar::SplitterAddAbove(std::int32_t bar, std::int32_t feq, std::uint8_t move,
                                           std::uint8_t resize) {
  return attach(bar, feq, move, resize, 1);
}

std::uint8_t SplitterBar::SplitterAddBelow(std::int32_t bar, std::int32_t feq, std::uint8_t move,
                                           std::uint8_t resize) {
  return attach(bar, feq, move, resize, 2);
}

void SplitterBar::SplitterKill() {
  if (REGISTEREVENTS == 1 && window_) {
    for (auto it = SQ.rbegin(); it != SQ.rend(); ++it) {
      if (!it->EVENTSREGISTERED) continue;
      for (int ev : {EVENT::Dragging, EVENT::MouseMove, EVENT::MouseUp})
        window_->unregisterHandler(ev, this, it->FEQ);
      it->EVENTSREGISTERED = 0;
    }
  }
  if (MOVINGSPLIT) setProgramCursor("");
  MOVINGSPLIT = 0;
  SQ.clear();
  SFQ.clear();
}

const SplitterBar::Bar* SplitterBar::barByHandle(std::int32_t handle) const {
  for (const auto& b : SQ)
    if (b.BARHANDLE == handle) return &b;
  return nullptr;
}

std::int32_t SplitterBar::SplitterFindBar(std::int32_t control) const {
  for (const auto& b : SQ)
    if (b.FEQ == control) return b.FEQ;
  return 0;
}

int SplitterBar::SplitterOnDragging(const Event& e) {
  if (!window_ || MOVINGSPLIT == 1 || !SplitterFindBar(e.control)) return 0;
  const Bar* b = nullptr;
  for (const auto& x : SQ)
    if (x.FEQ == e.control) b = &x;
  Window& w = *window_;
  MOVINGSPLIT = 1;
  SPLITBEINGMOVED = b->BARHANDLE;
  FEQBEINGMOVED = b->FEQ;
  SPLITBEINGMOVEDREDRAW = b->REDRAWWHILEMOVING;
  MOVINGDIRECTION = 1;
  SAVECURRENTPOS = top(w, FEQBEINGMOVED);
  POINTERBAROFFSET = std::max(0, pointerY(w, e) - SAVECURRENTPOS);
  // A release with no move in between places the controls where the bar already is.
  NEWBARPOSY = SAVECURRENTPOS;
  setProgramCursor(SizeCursor);
  const Control* bar = w.control(FEQBEINGMOVED);
  if (bar && OVERLAYBOXFEQ) w.setPosition(OVERLAYBOXFEQ, bar->x, bar->y, bar->w, bar->h);
  SplitterSetLimits(SPLITBEINGMOVED);
  SplitterSaveLook();
  SplitterDragStarted(SPLITBEINGMOVED);
  return 0;
}

void SplitterBar::SplitterSetLimits(std::int32_t handle) {
  const Bar* b = barByHandle(handle);
  if (!b || !window_) return;
  Window& w = *window_;
  int barTop = top(w, b->FEQ), barH = height(w, b->FEQ);
  int windowH = static_cast<int>(w.propInt(0, Prop::Height));
  int lower = EDGEBUFFER, upper = windowH - EDGEBUFFER - barH;
  int gapAbove = 0, gapBelow = 0;
  bool any = false;
  for (auto& a : SFQ) {
    if (a.BARHANDLE != handle) continue;
    any = true;
    int t = top(w, a.FEQ), h = height(w, a.FEQ), bottom = t + h;
    if (a.PLACEMENT == 1) {
      int gap = barTop - bottom;
      a.OFFSET = gap;
      if (a.MOVEFLAG == 0) {
        lower = std::max(lower, t + EDGEBUFFER);
        gapAbove = std::max(gapAbove, gap);
      } else {
        gapAbove = std::max(gapAbove, barTop - t);
      }
    } else {
      int gap = t - (barTop + barH);
      a.OFFSET = gap;
      if (a.MOVEFLAG == 0) {
        upper = std::min(upper, bottom - EDGEBUFFER);
        gapBelow = std::max(gapBelow, gap);
      } else {
        gapBelow = std::max(gapBelow, bottom - (barTop + barH));
      }
    }
  }
  MINIMUMPOS = lower + gapAbove;
  MAXIMUMPOS = upper - gapBelow - (any ? barH : 0);
}

int SplitterBar::SplitterOnMouseMove(const Event& e) {
  if (MOVINGSPLIT != 1 || !window_ || e.control != FEQBEINGMOVED) return 0;
  Window& w = *window_;
  int pos;
  if (MAXIMUMPOS <= MINIMUMPOS) {
    pos = top(w, FEQBEINGMOVED) >= MINIMUMPOS ? MINIMUMPOS : MAXIMUMPOS;
  } else {
    pos = std::clamp(pointerY(w, e) - POINTERBAROFFSET, MINIMUMPOS, MAXIMUMPOS);
  }
  NEWBARPOSY = pos;
  if (pos == SAVECURRENTPOS) return 0;
  w.setProp(FEQBEINGMOVED, Prop::Ypos, pos);
  if (OVERLAYBOXFEQ) w.setProp(OVERLAYBOXFEQ, Prop::Ypos, pos);
  SAVECURRENTPOS = pos;
  return 0;
}

int SplitterBar::SplitterOnMouseUp(const Event& e) {
  if (MOVINGSPLIT != 1 || !window_ || e.control != FEQBEINGMOVED) return 0;
  MOVINGSPLIT = 0;
  setProgramCursor("");
  if (OVERLAYBOXFEQ) window_->hide(OVERLAYBOXFEQ);
  SplitterMoveControls(SPLITBEINGMOVED, 1);
  SplitterRestoreLook();
  SplitterDragEnded(SPLITBEINGMOVED);
  return 0;
}

void SplitterBar::SplitterMoveControls(std::int32_t handle, std::uint8_t hide) {
  const Bar* b = barByHandle(handle);
  if (!b || !window_) return;
  Window& w = *window_;
  int pos = NEWBARPOSY, barH = height(w, b->FEQ);
  struct Work {
    int feq, fieldPos, fieldSize;
    std::uint8_t moveIt, placeIt;
    int offsetIt;
  };
  std::vector<Work> work;
  for (const auto& a : SFQ)
    if (a.BARHANDLE == handle)
      work.push_back({a.FEQ, top(w, a.FEQ), height(w, a.FEQ), a.MOVEFLAG, a.PLACEMENT, a.OFFSET});
  if (hide) w.hide(b->FEQ);
  for (const auto& x : work) {
    if (x.placeIt == 1 && x.moveIt == 0) {
      w.setProp(x.feq, Prop::Height, pos - x.fieldPos - x.offsetIt);
    } else if (x.placeIt == 1) {
      w.setProp(x.feq, Prop::Ypos, pos - x.offsetIt - x.fieldSize);
    } else if (x.moveIt == 0) {
      w.setProp(x.feq, Prop::Height, (x.fieldPos + x.fieldSize) - (pos + barH + x.offsetIt));
      w.setProp(x.feq, Prop::Ypos, pos + barH + x.offsetIt);
    } else {
      w.setProp(x.feq, Prop::Ypos, pos + barH + x.offsetIt);
    }
  }
  if (hide) {
    w.unhide(b->FEQ);
    w.post(EVENT::Sized);
  }
}

void SplitterBar::SplitterSaveLook() {
  if (!window_ || !FEQBEINGMOVED) return;
  Window& w = *window_;
  ORIGCOLOR = static_cast<std::int32_t>(w.propInt(FEQBEINGMOVED, Prop::Color));
  ORIGFILL = static_cast<std::int32_t>(w.propInt(FEQBEINGMOVED, Prop::Fill));
  for (int i = 0; i < 3; ++i)
    ORIGBEVEL[i] = static_cast<std::int32_t>(w.propInt(FEQBEINGMOVED, Prop::Bevel, i + 1));
  ORIGHIDE = static_cast<std::int32_t>(w.propInt(FEQBEINGMOVED, Prop::Hide));
}

void SplitterBar::SplitterRestoreLook() {
  if (!window_ || !FEQBEINGMOVED) return;
  Window& w = *window_;
  w.setProp(FEQBEINGMOVED, Prop::Color, ORIGCOLOR);
  w.setProp(FEQBEINGMOVED, Prop::Fill, ORIGFILL);
  for (int i = 0; i < 3; ++i) w.setProp(FEQBEINGMOVED, Prop::Bevel, ORIGBEVEL[i], i + 1);
  w.setProp(FEQBEINGMOVED, Prop::Hide, ORIGHIDE);
}

}  // namespace pf
