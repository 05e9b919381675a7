// The desktop's services the program uses: opening web and mail addresses, and the
// "drag full windows" setting. Tests install recording stand-ins.
#pragma once

#include <string>
#include <vector>

namespace pf {

class DesktopShell {
 public:
  virtual ~DesktopShell() = default;
  // Hands an address to the desktop's default handler; false when it refused.
  virtual bool openUrl(const std::string& address) = 0;
};

// The installed shell; Qt's desktop services unless a test installed its own.
DesktopShell& desktopShell();
// nullptr puts the default back. The caller keeps ownership.
void setDesktopShell(DesktopShell* shell);

// Records every address instead of opening it.
class RecordingDesktopShell : public DesktopShell {
 public:
  bool openUrl(const std::string& address) override {
    opened.push_back(address);
    return answer;
  }
  std::vector<std::string> opened;
  bool answer = true;
};

// The desktop's drag-full-windows setting (1 on, 0 off). Linux desktops have no such
// setting: the default reads it as off and changes nothing.
class DragSetting {
 public:
  virtual ~DragSetting() = default;
  virtual int get() { return 0; }
  virtual void set(int /*value*/) {}
};

DragSetting& dragSetting();
void setDragSetting(DragSetting* setting);

}  // namespace pf
