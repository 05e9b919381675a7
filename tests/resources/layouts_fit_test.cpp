// Every window layout opened in the Qt view (offscreen, on the real fonts): no text of a
// caption, prompt, string, radio, check box, button, group caption or tab is wider than
// the room it is drawn in, and none runs over another control.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QStyleOptionTitleBar>
#include <QTabBar>
#include <QToolButton>

#include <map>
#include <string>
#include <vector>

#include "platform/runtime/testing.h"
#include "platform/ui/layout.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "tests/support/temp_dir.h"

namespace {

QApplication& app() {
  static int argc = 1;
  static char name[] = "layouts_fit_test";
  static char* argv[] = {name, nullptr};
  static QApplication* a = new QApplication(argc, argv);
  return *a;
}

// Texts the program puts in at run time, at their longest.
const std::multimap<std::string, std::pair<std::string, std::string>> kRunTimeTexts = {
    {"Main", {"?CALENDAR", "Wednesday, September 30, 2026"}},
    {"UpdateWebsites", {"", "View Only Mode"}},
    {"UpdateWebsites", {"", "Add Website"}},
    {"UpdateCategory", {"", "Category will be added"}},
    {"BrowseWebsites", {"", "Travel and Holiday Plans - Highlighted only"}},
    {"_ReportProgress_", {"?PROGRESS:PCTTEXT", "100% Complete"}},
    {"RemoveTagging", {"", "Processing Records"}},
    {"RemoveTagging", {"?PROGRESS:PCTTEXT", "0% Completed"}},
};
// Controls designed hidden that the program shows (the others stay hidden for good).
const std::multimap<std::string, std::string> kShownLater = {
    {"BrowseWebsites", "?ALLCATBUT"},
    {"BrowseWebsites", "?CATSHOWBUT"},
};

struct Drawn {
  int feq = 0;
  std::string what;    // "?OK", "?TAB:2 tab", "caption"
  QString text;
  QRect at;            // where the text is drawn, in the client's pixels
  int needed = 0;      // width it needs
  int room = 0;        // width it has
};

QString withoutMnemonic(QString t) {
  t.replace("&&", "\x01");
  t.remove('&');
  t.replace("\x01", "&");
  return t;
}

QRect inClient(QWidget* w, QWidget* client, QRect r) {
  return QRect(w->mapTo(client, r.topLeft()), r.size());
}

// The caption's room in a title bar of the window's width.
Drawn caption(QWidget* top, int width, const QString& text) {
  QStyleOptionTitleBar o;
  o.initFrom(top);
  o.text = text;
  o.rect = QRect(0, 0, width, 24);
  o.titleBarFlags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                    Qt::WindowCloseButtonHint;
  o.subControls = QStyle::SC_All;
  QRect label = top->style()->subControlRect(QStyle::CC_TitleBar, &o, QStyle::SC_TitleBarLabel, top);
  QFontMetrics fm(QApplication::font("QMdiSubWindowTitleBar"));
  Drawn d;
  d.what = "caption";
  d.text = text;
  d.needed = fm.horizontalAdvance(text);
  d.room = label.width();
  return d;
}

bool container(pf::Kind k) {
  using pf::Kind;
  return k == Kind::Sheet || k == Kind::Tab || k == Kind::Group || k == Kind::Option || k == Kind::Panel ||
         k == Kind::Box || k == Kind::Region || k == Kind::Line || k == Kind::Menu || k == Kind::Item ||
         k == Kind::Menubar || k == Kind::Toolbar;
}

// What each control with a text draws, and where.
std::vector<Drawn> textsOf(pf::Window& w, QWidget* client) {
  std::vector<Drawn> out;
  for (const pf::Control& c : w.controls()) {
    QWidget* wd = pf::qt::controlWidget(w.id(), c.feq);
    if (!wd || !w.visible(c.feq)) continue;
    QRect box = inClient(wd, client, wd->rect());
    if (auto* l = qobject_cast<QLabel*>(wd); l && !l->text().isEmpty() && l->pixmap().isNull()) {
      QFontMetrics fm(l->font());
      Drawn d{c.feq, c.name, l->text()};
      if (l->wordWrap()) {
        QRect need = fm.boundingRect(QRect(0, 0, l->width(), 100000), Qt::TextWordWrap, l->text());
        d.needed = need.height();
        d.room = l->height();
        d.at = QRect(box.topLeft(), QSize(box.width(), need.height()));
      } else {
        d.needed = fm.horizontalAdvance(l->text());
        d.room = l->contentsRect().width();
        int x = c.align == 'C' ? box.x() + (box.width() - d.needed) / 2
                : c.align == 'R' ? box.right() + 1 - d.needed : box.x();
        d.at = QRect(x, box.y() + (box.height() - fm.height()) / 2, d.needed, fm.height());
      }
      out.push_back(d);
    } else if (qobject_cast<QCheckBox*>(wd) || qobject_cast<QRadioButton*>(wd) || qobject_cast<QToolButton*>(wd)) {
      auto* b = static_cast<QAbstractButton*>(wd);
      if (b->text().isEmpty()) continue;
      Drawn d{c.feq, c.name, b->text()};
      d.needed = b->sizeHint().width();
      d.room = b->width();
      d.at = QRect(box.topLeft(), QSize(std::min(d.needed, box.width()), box.height()));
      out.push_back(d);
    } else if (auto* b = qobject_cast<QPushButton*>(wd); b && !b->text().isEmpty()) {
      QStyleOptionButton o;
      o.initFrom(b);
      o.text = b->text();
      o.icon = b->icon();
      o.iconSize = b->iconSize();
      QRect inside = b->style()->subElementRect(QStyle::SE_PushButtonContents, &o, b);
      Drawn d{c.feq, c.name, b->text()};
      d.needed = QFontMetrics(b->font()).horizontalAdvance(withoutMnemonic(b->text())) +
                 (b->icon().isNull() ? 0 : b->iconSize().width() + 4);
      d.room = inside.width();
      d.at = inClient(b, client, QRect(inside.x() + (inside.width() - d.needed) / 2, inside.y(), d.needed,
                                       inside.height()));
      out.push_back(d);
    } else if (auto* g = qobject_cast<QGroupBox*>(wd); g && !g->title().isEmpty()) {
      QStyleOptionGroupBox o;
      o.initFrom(g);
      o.text = g->title();
      o.lineWidth = 1;
      o.textAlignment = g->alignment();
      o.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
      QRect label = g->style()->subControlRect(QStyle::CC_GroupBox, &o, QStyle::SC_GroupBoxLabel, g);
      Drawn d{c.feq, c.name + " caption", g->title()};
      d.needed = label.right() + 1;
      d.room = g->width();
      d.at = inClient(g, client, label);
      out.push_back(d);
    }
    if (c.kind == pf::Kind::Sheet) {
      auto* tabs = wd->findChild<QTabBar*>();
      if (!tabs) continue;
      int index = 0;
      for (const pf::Control& t : w.controls()) {
        if (t.kind != pf::Kind::Tab || t.parent != c.feq) continue;
        int i = index++;
        if (t.hide || t.text.empty() || i >= tabs->count()) continue;
        QRect r = tabs->tabRect(i);
        Drawn d{t.feq, t.name + " tab", tabs->tabText(i)};
        int text = QFontMetrics(tabs->font()).horizontalAdvance(withoutMnemonic(tabs->tabText(i))) +
                   tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
        d.needed = std::max(r.right() + 1, r.x() + text);
        d.room = tabs->width();
        d.at = inClient(tabs, client, r);
        out.push_back(d);
      }
    }
  }
  return out;
}

// The control widgets a text must stay off: every shown control that is not a container.
std::vector<std::pair<int, QRect>> obstacles(pf::Window& w, QWidget* client) {
  std::vector<std::pair<int, QRect>> out;
  for (const pf::Control& c : w.controls()) {
    if (container(c.kind) || !w.visible(c.feq)) continue;
    QWidget* wd = pf::qt::controlWidget(w.id(), c.feq);
    if (!wd) continue;
    if (c.kind == pf::Kind::List) wd = wd->parentWidget();
    out.emplace_back(c.feq, inClient(wd, client, wd->rect()));
  }
  return out;
}

std::string name(const pf::Window& w, int feq) {
  const pf::Control* c = w.control(feq);
  return c && !c->name.empty() ? c->name : "control " + std::to_string(feq);
}

// Opens `layout` on a thread of its own and returns the faults seen in it.
std::vector<std::string> faultsOf(const std::string& layout) {
  std::vector<std::string> faults;
  pf::Window* model = nullptr;
  bool done = false;
  pf::start([&] {
    pf::Window w(layout);
    w.open();
    model = &w;
    while (w.accept()) {
    }
    model = nullptr;
    done = true;
  }, 50000);
  pf::qt::pump(3000, [&] { return model && pf::qt::widgetFor(model->id()) && pf::qt::widgetFor(model->id())->isVisible(); });
  if (!model) return {layout + ": did not open"};
  pf::Window& w = *model;
  pf::qt::pump(150);
  QWidget* top = pf::qt::widgetFor(w.id());
  QWidget* client = top;
  if (auto* sub = qobject_cast<QMdiSubWindow*>(top)) client = sub->widget();
  else if (w.kind() == pf::WindowKind::Plain && !top->children().isEmpty()) {
    for (QObject* o : top->children())
      if (auto* cw = qobject_cast<QWidget*>(o); cw && cw->property("qbWindow").isValid()) client = cw;
  }

  auto check = [&] {
    std::vector<Drawn> texts = textsOf(w, client);
    std::vector<QString> captions{QString::fromStdString(w.caption())};
    for (auto [it, end] = kRunTimeTexts.equal_range(layout); it != end; ++it)
      if (it->second.first.empty()) captions.push_back(QString::fromStdString(it->second.second));
    if (w.kind() != pf::WindowKind::Frame)
      for (const QString& t : captions)
        if (!t.trimmed().isEmpty()) texts.push_back(caption(top, std::max(top->width(), client->width()), t));
    auto blocks = obstacles(w, client);
    for (const Drawn& d : texts) {
      std::string where = layout + " " + (d.feq ? name(w, d.feq) : d.what) + " \"" + d.text.toStdString() + "\"";
      if (d.what.find(" tab") != std::string::npos || d.what.find(" caption") != std::string::npos)
        where = layout + " " + d.what + " \"" + d.text.toStdString() + "\"";
      if (d.needed > d.room + 1)
        faults.push_back(where + " needs " + std::to_string(d.needed) + " px, has " + std::to_string(d.room));
      if (d.at.isEmpty() || (d.feq && !w.visible(d.feq))) continue;
      for (const auto& [feq, r] : blocks) {
        if (feq == d.feq) continue;
        QRect overlap = d.at.intersected(r);
        if (overlap.width() > 1 && overlap.height() > 1)
          faults.push_back(where + " runs over " + name(w, feq));
      }
    }
  };
  check();
  // Texts the program sets while the window is open, and controls it shows.
  bool changed = false;
  for (auto [it, end] = kShownLater.equal_range(layout); it != end; ++it) {
    w.unhide(w.feq(it->second));
    changed = true;
  }
  for (auto [it, end] = kRunTimeTexts.equal_range(layout); it != end; ++it)
    if (!it->second.first.empty()) {
      w.setText(w.feq(it->second.first), it->second.second);
      changed = true;
    }
  if (changed) {
    pf::qt::pump(200);
    check();
  }
  w.userClose();
  pf::qt::pump(2000, [&] { return done; });
  return faults;
}

TEST(LayoutsFit, EveryTextHasRoomAndStaysOffOtherControls) {
  app();
  qbtest::TempDir dir;
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
  pf::qt::install(false);
  ASSERT_EQ(QFontInfo(QFont("Liberation Sans")).family(), "Liberation Sans")
      << "the layouts are measured in Liberation Sans (Debian's fonts-liberation2; tools/setup)";

  // The frame first: MDI children open inside it.
  pf::Window* frame = nullptr;
  pf::start([&] {
    pf::Window f("Main");
    f.open();
    frame = &f;
    while (f.accept()) {
    }
    frame = nullptr;
  }, 50000);
  pf::qt::pump(3000, [&] { return pf::qt::frameWidget() && pf::qt::frameWidget()->isVisible(); });
  ASSERT_NE(frame, nullptr);

  std::vector<std::string> faults;
  {
    QWidget* strip = pf::qt::controlWidget(frame->id(), frame->feq("?LINKSBUT"))->parentWidget();
    for (auto [it, end] = kRunTimeTexts.equal_range("Main"); it != end; ++it)
      frame->setText(frame->feq(it->second.first), it->second.second);
    pf::qt::pump(200);
    for (const Drawn& d : textsOf(*frame, strip))
      if (d.needed > d.room + 1) faults.push_back("Main " + name(*frame, d.feq) + " needs more room");
  }
  for (const std::string& layout : pf::layoutNames()) {
    if (layout == "Main") continue;
    for (const std::string& f : faultsOf(layout)) faults.push_back(f);
  }
  std::string all;
  for (const auto& f : faults) all += "\n  " + f;
  EXPECT_TRUE(faults.empty()) << faults.size() << " texts do not fit:" << all;

  frame->userClose();
  pf::qt::pump(2000, [] { return pf::qt::frameWidget() == nullptr; });
  pf::endAllThreads();
  pf::qt::uninstall();
  pf::resetWindowLayer();
  pf::testing::resetRuntime();
}

}  // namespace
