// Key codes: the virtual-key number plus modifier bits, so one LONG names a key stroke
// ("Ctrl+Enter" = CtrlKey | EnterKey). Mouse buttons have codes of their own so that a
// click can be an alert key like any key.
#pragma once

#include <string>

namespace pf {
namespace Key {
constexpr int Shift = 0x100;
constexpr int Ctrl = 0x200;
constexpr int Alt = 0x400;

constexpr int MouseLeft = 0x01;
constexpr int MouseRight = 0x02;
constexpr int MouseCenter = 0x04;
constexpr int MouseLeft2 = 0x05;   // double clicks
constexpr int MouseRight2 = 0x06;
constexpr int MouseCenter2 = 0x07;

constexpr int BS = 8;
constexpr int Tab = 9;
constexpr int Enter = 13;
constexpr int Esc = 27;
constexpr int Space = 32;
constexpr int PgUp = 33;
constexpr int PgDn = 34;
constexpr int End = 35;
constexpr int Home = 36;
constexpr int Left = 37;
constexpr int Up = 38;
constexpr int Right = 39;
constexpr int Down = 40;
constexpr int Insert = 45;
constexpr int Delete = 46;
constexpr int F1 = 112;
constexpr int F2 = 113;
constexpr int F3 = 114;
constexpr int F4 = 115;
constexpr int F5 = 116;
constexpr int F6 = 117;
constexpr int F7 = 118;
constexpr int F8 = 119;
constexpr int F9 = 120;
constexpr int F10 = 121;
constexpr int F11 = 122;
constexpr int F12 = 123;
constexpr int Quote = 222;        // the ' key
constexpr int Typed = 255;        // a character typed that has no key of its own ("é", "%")

constexpr int ShiftTab = Shift | Tab;
constexpr int CtrlEnter = Ctrl | Enter;
constexpr int CtrlHome = Ctrl | Home;
constexpr int CtrlEnd = Ctrl | End;
constexpr int CtrlC = Ctrl | 'C';
constexpr int CtrlV = Ctrl | 'V';
constexpr int CtrlX = Ctrl | 'X';
inline constexpr int letter(char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }
}  // namespace Key

// "Ctrl+Enter", "F12", "Shift+Tab", "A", "MouseLeft2"; letter case ignored. 0 when unknown.
int parseKey(const std::string& name);
std::string keyName(int code);
bool isMouseKey(int code);
// The Alt key stroke a text's hot key gives ("Categ&ories": Alt+O; "&&" is a plain
// ampersand); 0 when it has none.
int mnemonicKey(const std::string& text);

}  // namespace pf
