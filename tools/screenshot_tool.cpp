// quillbox-screenshots OUTDIR: starts Quillbox, saves pictures of the frame and of each
// of its menus opened over it, then closes the program. For people to look at.
#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>

#include <functional>
#include <vector>

#include "platform/os/program.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "shell/main_program.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
  QDir().mkpath(out);
  qb::installThreadHooks();
  qb::registerHelp();

  std::vector<std::function<void()>> steps;
  auto frame = [] { return qobject_cast<QMainWindow*>(pf::qt::frameWidget()); };
  steps.push_back([&] {
    if (QWidget* f = pf::qt::frameWidget()) f->grab().save(out + "/frame.png");
  });
  steps.push_back([&] {
    QMainWindow* f = frame();
    if (!f) return;
    const auto actions = f->menuBar()->actions();
    for (int i = 0; i < actions.size(); ++i) {
      QMenu* menu = actions[i]->menu();
      if (!menu) continue;
      QRect r = f->menuBar()->actionGeometry(actions[i]);
      QPoint at = f->menuBar()->mapToGlobal(r.bottomLeft());
      menu->popup(at);
      QCoreApplication::processEvents();
      QPixmap shot = f->grab();
      QPainter p(&shot);
      p.drawPixmap(f->mapFromGlobal(at), menu->grab());
      p.end();
      QString name = actions[i]->text().remove('&').toLower();
      shot.save(out + "/menu-" + name + ".png");
      menu->hide();
    }
  });
  steps.push_back([] {
    if (pf::Window* f = pf::appFrame()) f->userClose();
  });
  std::function<void(std::size_t)> run = [&](std::size_t i) {
    if (i >= steps.size()) return;
    QTimer::singleShot(i == 0 ? 1200 : 300, [&, i] {
      steps[i]();
      run(i + 1);
    });
  };
  run(0);
  pf::runOnDesktop(qb::MainProgram);
  return 0;
}
