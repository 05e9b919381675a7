#include "platform/ui/qt/dialogs/popup_menu.h"

#include <QTimer>
#include <vector>

#include "platform/ui/qt/convert.h"

namespace pf::qt {

PopupMenu::PopupMenu(const Dialog& d, QWidget* parent) : QMenu(parent) {
  int id = d.id;
  std::vector<QMenu*> menus{this};
  QMenu* lastTitle = nullptr;
  for (const auto& it : popupItems(d.message.text)) {
    while (static_cast<int>(menus.size()) > it.depth + 1) menus.pop_back();
    if (it.depth + 1 > static_cast<int>(menus.size()) && lastTitle) menus.push_back(lastTitle);
    QMenu* m = menus.back();
    if (it.separator) {
      m->addSeparator();
    } else if (it.submenu) {
      lastTitle = m->addMenu(qs(it.text));
      lastTitle->setEnabled(!it.disabled);
    } else {
      QAction* a = m->addAction(qs(it.text));
      a->setEnabled(!it.disabled);
      int number = it.number;
      QObject::connect(a, &QAction::triggered, [id, number] { answerDialog(id, number); });
    }
  }
  // A menu closed without a choice answers 0, after any choice has been taken.
  QObject::connect(this, &QMenu::aboutToHide, [id] { QTimer::singleShot(0, [id] { answerDialog(id, 0); }); });
}

}  // namespace pf::qt
