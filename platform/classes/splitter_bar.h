// A thin bar between controls of a window that the user drags up and down to share the
// window's height between the controls above and below it. Dialog units throughout.
//
//   pf::SplitterBar split;                       // or a class derived from it
//   split.SplitterInit(win, 0);                  // once the window is open
//   int bar = split.SplitterAddBar(win.feq("?HSPLIT"));
//   split.SplitterAddAbove(bar, win.feq("?BROWSE:1"), 0, 1);
//   split.SplitterAddBelow(bar, win.feq("?WEB:SITENOTES"), 0, 1);
//   ...
//   split.SplitterKill();
//
// The bar needs a drag id so that pressing and moving raises its dragging event.
#pragma once

#include <cstdint>
#include <vector>

namespace pf {

class Window;
struct Event;

class SplitterBar {
 public:
  struct Bar {
    std::int32_t BARHANDLE = 0;
    std::uint8_t SPLITTYPE = 1;
    std::int32_t FEQ = 0;
    std::uint8_t REDRAWWHILEMOVING = 0;
    std::uint8_t EVENTSREGISTERED = 0;
  };
  struct Attached {
    std::int32_t BARHANDLE = 0;
    std::int32_t FEQ = 0;
    std::uint8_t PLACEMENT = 1;   // 1 above the bar, 2 below
    std::uint8_t MOVEFLAG = 0;    // 0 resized, 1 moved whole
    std::int32_t OFFSET = 0;
  };

  SplitterBar() = default;
  virtual ~SplitterBar();
  SplitterBar(const SplitterBar&) = delete;
  SplitterBar& operator=(const SplitterBar&) = delete;

  void SplitterInit(Window& window, std::uint8_t noRegistration);
  std::int32_t SplitterAddBar(std::int32_t feq);
  // 0 added, 5 not added.
  std::uint8_t SplitterAddAbove(std::int32_t bar, std::int32_t feq, std::uint8_t move, std::uint8_t resize);
  std::uint8_t SplitterAddBelow(std::int32_t bar, std::int32_t feq, std::uint8_t move, std::uint8_t resize);
  void SplitterKill();

  // The mouse handlers (registered for each bar); each answers 0.
  int SplitterOnDragging(const Event& e);
  int SplitterOnMouseMove(const Event& e);
  int SplitterOnMouseUp(const Event& e);

  virtual void SplitterDragStarted(std::int32_t /*bar*/) {}
  virtual void SplitterDragEnded(std::int32_t /*bar*/) {}
  virtual void SplitterMoveControls(std::int32_t bar, std::uint8_t hide);

  std::vector<Bar> SQ;
  std::vector<Attached> SFQ;
  std::uint8_t REGISTEREVENTS = 0;
  std::uint8_t MOVINGSPLIT = 0;
  std::int32_t SPLITBEINGMOVED = 0;
  std::int32_t FEQBEINGMOVED = 0;
  std::uint8_t SPLITBEINGMOVEDREDRAW = 0;
  std::uint8_t MOVINGDIRECTION = 0;
  std::int32_t MINIMUMPOS = 0;
  std::int32_t MAXIMUMPOS = 0;
  std::int32_t POINTERBAROFFSET = 0;
  std::int32_t EDGEBUFFER = 5;
  std::int32_t SAVECURRENTPOS = 0;
  std::int32_t NEWBARPOSX = 0;
  std::int32_t NEWBARPOSY = 0;
  std::int32_t OVERLAYBOXFEQ = 0;
  std::int32_t ORIGHIDE = 0;
  std::int32_t ORIGCOLOR = 0;
  std::int32_t ORIGFILL = 0;
  std::int32_t ORIGBEVEL[3] = {0, 0, 0};

 protected:
  Window* window() const { return window_; }
  void SplitterSetLimits(std::int32_t bar);
  void SplitterSaveLook();
  void SplitterRestoreLook();
  // The control number of the bar that is the event's control; 0 when it is not a bar.
  std::int32_t SplitterFindBar(std::int32_t control) const;

 private:
  const Bar* barByHandle(std::int32_t handle) const;
  std::uint8_t attach(std::int32_t bar, std::int32_t feq, std::uint8_t move, std::uint8_t resize,
                      std::uint8_t placement);
  Window* window_ = nullptr;
  bool moved_ = false;   // a pointer move came in since the drag started
};

}  // namespace pf
