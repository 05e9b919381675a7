#include "platform/ui/qt/key_codes.h"

#include <QKeyEvent>

#include "platform/ui/keys.h"

namespace pf::qt {

int keyCodeOf(const QKeyEvent* e) {
  int k = e->key();
  int base = 0;
  if (k >= Qt::Key_F1 && k <= Qt::Key_F12) base = Key::F1 + (k - Qt::Key_F1);
  else if (k >= Qt::Key_A && k <= Qt::Key_Z) base = 'A' + (k - Qt::Key_A);
  else if (k >= Qt::Key_0 && k <= Qt::Key_9) base = '0' + (k - Qt::Key_0);
  else switch (k) {
    case Qt::Key_Escape: base = Key::Esc; break;
    case Qt::Key_Return: case Qt::Key_Enter: base = Key::Enter; break;
    case Qt::Key_Tab: base = Key::Tab; break;
    case Qt::Key_Backtab: return Key::ShiftTab;
    case Qt::Key_Insert: base = Key::Insert; break;
    case Qt::Key_Delete: base = Key::Delete; break;
    case Qt::Key_Up: base = Key::Up; break;
    case Qt::Key_Down: base = Key::Down; break;
    case Qt::Key_Left: base = Key::Left; break;
    case Qt::Key_Right: base = Key::Right; break;
    case Qt::Key_PageUp: base = Key::PgUp; break;
    case Qt::Key_PageDown: base = Key::PgDn; break;
    case Qt::Key_Home: base = Key::Home; break;
    case Qt::Key_End: base = Key::End; break;
    case Qt::Key_Space: base = Key::Space; break;
    case Qt::Key_Backspace: base = Key::BS; break;
    case Qt::Key_Apostrophe: base = Key::Quote; break;
    default: return 0;
  }
  auto m = e->modifiers();
  if (m & Qt::ShiftModifier) base |= Key::Shift;
  if (m & Qt::ControlModifier) base |= Key::Ctrl;
  if (m & Qt::AltModifier) base |= Key::Alt;
  return base;
}

}  // namespace pf::qt
