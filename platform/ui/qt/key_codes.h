// The model's key code of a Qt key press (0 for keys the program never sees).
#pragma once

class QKeyEvent;

namespace pf::qt {

int keyCodeOf(const QKeyEvent* e);

}  // namespace pf::qt
