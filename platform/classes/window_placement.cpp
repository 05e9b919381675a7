#include "platform/classes/window_placement.h"

#include <algorithm>

#include "platform/ui/window.h"

namespace pf {

void keepOnDesktop(WindowPlacement& p, const DesktopArea& area, int w, int h) {
  if (p.width) p.width = std::min(*p.width, area.w);
  if (p.height) p.height = std::min(*p.height, area.h);
  int width = p.width ? *p.width : w, height = p.height ? *p.height : h;
  if (p.x) p.x = std::clamp(*p.x, area.x, std::max(area.x, area.x + area.w - width));
  if (p.y) p.y = std::clamp(*p.y, area.y, std::max(area.y, area.y + area.h - height));
}

WindowPlacement placementOf(const Window& w, bool resizable) {
  WindowPlacement p;
  p.resizable = resizable;
  p.maximized = w.propInt(0, Prop::Maximize) != 0;
  p.minimized = w.propInt(0, Prop::Iconize) != 0;
  if (!p.maximized && !p.minimized) {
    p.x = static_cast<int>(w.propInt(0, Prop::Xpos));
    p.y = static_cast<int>(w.propInt(0, Prop::Ypos));
    if (resizable) {
      p.width = static_cast<int>(w.propInt(0, Prop::Width));
      p.height = static_cast<int>(w.propInt(0, Prop::Height));
    }
  }
  return p;
}

void applyPlacement(Window& w, WindowPlacement p) {
  keepOnDesktop(p, desktopArea(w), w.attrs().w, w.attrs().h);
  if (p.x && p.y) {
    w.setProp(0, Prop::Xpos, *p.x);
    w.setProp(0, Prop::Ypos, *p.y);
  }
  if (p.resizable && p.width && p.height && *p.width > 0 && *p.height > 0) {
    w.setProp(0, Prop::Width, *p.width);
    w.setProp(0, Prop::Height, *p.height);
  }
  if (p.maximized) w.setProp(0, Prop::Maximize, 1);
}

}  // namespace pf
