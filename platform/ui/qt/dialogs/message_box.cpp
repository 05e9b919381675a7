#include "platform/ui/qt/dialogs/message_box.h"

#include <QPushButton>
#include <vector>

#include "platform/ui/qt/convert.h"
#include "platform/ui/qt/qt_view.h"

namespace pf::qt {

MessageBox::MessageBox(const Dialog& d, QWidget* parent) : QMessageBox(parent) {
  setWindowModality(Qt::NonModal);
  setWindowTitle(d.message.caption.empty() ? QString("Quillbox") : qs(d.message.caption));
  QStringList lines;
  for (const auto& l : messageLines(d.message.text)) lines << qs(l);
  setText(lines.join('\n'));
  switch (d.message.icon) {
    case pf::Icon::Information: case pf::Icon::Asterisk: setIcon(QMessageBox::Information); break;
    case pf::Icon::Exclamation: setIcon(QMessageBox::Warning); break;
    case pf::Icon::Question: setIcon(QMessageBox::Question); break;
    case pf::Icon::Hand: setIcon(QMessageBox::Critical); break;
    case pf::Icon::RedCross:
      setIconPixmap(picture("RedCross").scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
      break;
    case pf::Icon::None: break;
  }
  std::vector<QPushButton*> buttons;
  for (const auto& b : d.buttons) buttons.push_back(addButton(qs(b), QMessageBox::ActionRole));
  int def = d.message.defaultButton;
  if (def >= 1 && def <= static_cast<int>(buttons.size())) setDefaultButton(buttons[static_cast<std::size_t>(def - 1)]);
  QPushButton* escape = buttons.size() == 1 ? buttons[0] : nullptr;
  for (std::size_t i = 0; i < d.buttons.size(); ++i) {
    std::string t = stripAmpersand(d.buttons[i]);
    if (t == "Cancel" || t == "No") escape = buttons[i];
  }
  if (escape) setEscapeButton(escape);
  int id = d.id;
  QObject::connect(this, &QMessageBox::buttonClicked, [id, buttons](QAbstractButton* b) {
    for (std::size_t i = 0; i < buttons.size(); ++i)
      if (buttons[i] == b) answerDialog(id, static_cast<int>(i) + 1);
  });
}

}  // namespace pf::qt
