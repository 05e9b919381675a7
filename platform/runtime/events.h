// Event numbers. Control events carry the control's number; window events carry 0.
#pragma once

namespace pf {
namespace EVENT {
// control events
constexpr int Accepted = 0x01;
constexpr int NewSelection = 0x02;
constexpr int ScrollUp = 0x03;
constexpr int ScrollDown = 0x04;
constexpr int PageUp = 0x05;
constexpr int PageDown = 0x06;
constexpr int ScrollTop = 0x07;
constexpr int ScrollBottom = 0x08;
constexpr int Locate = 0x09;
constexpr int MouseDown = 0x0A;
constexpr int MouseUp = 0x0B;
constexpr int MouseIn = 0x0C;
constexpr int MouseOut = 0x0D;
constexpr int MouseMove = 0x0E;
constexpr int AlertKey = 0x10;
constexpr int PreAlertKey = 0x11;
constexpr int Dragging = 0x12;
constexpr int Drag = 0x13;
constexpr int Drop = 0x14;
constexpr int ScrollDrag = 0x15;
constexpr int TabChanging = 0x16;
constexpr int Expanding = 0x17;
constexpr int ColumnResize = 0x1A;
constexpr int Selected = 0x101;
constexpr int Rejected = 0x102;
// window events
constexpr int CloseWindow = 0x201;
constexpr int CloseDown = 0x202;
constexpr int OpenWindow = 0x203;
constexpr int OpenFailed = 0x204;
constexpr int LoseFocus = 0x205;
constexpr int GainFocus = 0x206;
constexpr int Suspend = 0x208;
constexpr int Resume = 0x209;
constexpr int Notify = 0x20A;
constexpr int Timer = 0x20B;
constexpr int DDErequest = 0x20C;
constexpr int Move = 0x220;
constexpr int Size = 0x221;
constexpr int Restore = 0x222;
constexpr int Maximize = 0x223;
constexpr int Iconize = 0x224;
constexpr int Completed = 0x225;
constexpr int Moved = 0x230;
constexpr int Sized = 0x231;
constexpr int Restored = 0x232;
constexpr int Maximized = 0x233;
constexpr int Iconized = 0x234;
constexpr int Docked = 0x235;
constexpr int Undocked = 0x236;
constexpr int BuildFile = 0x240;
constexpr int BuildKey = 0x241;
constexpr int BuildDone = 0x242;
// platform-internal: answers to blocking requests, resize requests, the replies of a
// frame's close-down, and the first
// free number for a class's own events
constexpr int Answer = 0x300;
constexpr int DoResize = 0x301;
constexpr int CloseDownReply = 0x302;
constexpr int User = 0x400;
}  // namespace EVENT

inline bool isWindowEvent(int code) { return code >= 0x200 && code < 0x300; }
}  // namespace pf
