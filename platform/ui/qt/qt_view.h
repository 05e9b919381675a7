// The Qt view: draws every open window of the model with Qt widgets and turns the user's
// input into the model's user* calls. The only part of the program that includes Qt widgets.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/runtime/runtime.h"

class QWidget;
class QImage;
class QIcon;
class QPixmap;
class QPrinter;

namespace pf::qt {

// Runs `main` as program thread 1 under the Qt event loop (a QApplication must exist).
// Installs the view, the window layer's handlers (a halt ends the process with code 0
// after its box) and the scheduler's notifier; returns when the program has ended.
void runProgram(Procedure main);

// Installs the view without running a program (tests drive the loop with pump()).
void install(bool exitOnHalt = false);
void uninstall();
// Runs Qt events and scheduler turns for about `ms` milliseconds, or until `until` holds.
void pump(int ms, const std::function<bool()>& until = {});

// The widget that shows a model window (nullptr when it is not shown).
QWidget* widgetFor(std::uintptr_t windowId);
// The widget that shows a control of a window.
QWidget* controlWidget(std::uintptr_t windowId, int feq);
QWidget* frameWidget();
QImage screenshot(std::uintptr_t windowId = 0);   // 0: the frame, else the active window

// Our own icons, bitmaps and cursors by their resource names ("Browser.ico", "~qztick4.ico",
// "MainBG.bmp"); a missing one gives an empty icon, never a failure.
QIcon icon(const std::string& name);
QPixmap picture(const std::string& name);

// The printer the printer set-up dialog configures; reports print on it.
QPrinter& printer();

}  // namespace pf::qt
