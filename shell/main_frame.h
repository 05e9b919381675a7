// The application frame "Quillbox": menus, toolbar, calendar and clock, and the
// dispatch of every choice to its procedure.
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes/window_controller.h"
#include "shell/procedures.h"

namespace qb {

// The frame procedure; returns when the frame has closed.
void Main();

// The calendar button's text for a day number: "Thursday, December 10, 2026".
std::string calendarText(std::int32_t day);
// The clock's text for a time of day (hundredths since midnight, plus one).
std::string clockText(std::int32_t time);

// Stack sizes the frame gives the procedures it starts.
constexpr int LargeStack = 50000;
constexpr int SmallStack = 25000;

class MainFrame : public pf::WindowController {
 public:
  MainFrame();

  std::uint8_t RunEventLoop() override;
  std::uint8_t Setup() override;
  std::uint8_t TearDown() override;
  void AfterOpen() override;
  void Refresh(std::uint8_t force = 0) override;
  std::uint8_t OnAccepted() override;
  std::uint8_t OnWindowEvent() override;

 private:
  int feq(const char* name) { return win().feq(name); }
  void setPasswordItems();
  void setCalendarAndClock();
  void followMaintenanceMenu();
  bool maintenanceAllowed();
  void preferenceBootstrap();
  // Refuses a backup while a browse is open; true when the backup may go ahead.
  bool backupGuard();
  bool homePageGuard();
  void fileMenu(int control);
  void browseMenu(int control);
  void reportsMenu(int control);
  void maintenanceMenu(int control);
  void helpMenu(int control);
  void editAction(int control);
  void windowMenu(int control);
  void tagReset(const char* text, std::uint8_t mode);
};

// Starts a procedure on a new thread / calls it on this one.
void startProcedure(Proc p, int stack);
void callProcedure(Proc p);

// Gives the procedure libraries the procedures they start in one another. Main does it
// before its first window opens.
void registerProcedures();

}  // namespace qb
