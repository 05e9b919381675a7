#include "platform/report/previewer.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QWidget>

#include <algorithm>

#include "platform/core/strings.h"
#include "platform/core/value.h"
#include "platform/report/print.h"
#include "platform/report/render.h"
#include "platform/runtime/message.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace pf {

namespace {

// The pages drawn into the page area's widget, when the Qt view shows the window. False
// when the view has not made that widget yet.
bool paintPages(Window& w, const PageSource& doc, int first, int across, int down, int zoom) {
  QWidget* area = qt::controlWidget(w.id(), w.feq("?PREVIEW:PAGEAREA"));
  if (!area) return !viewObserver();
  // The pages take the whole client area below the buttons, whatever the window's size.
  QWidget* client = area->parentWidget() ? area->parentWidget() : area;
  auto* scroll = client->findChild<QScrollArea*>("qb_preview_scroll");
  if (!scroll) {
    scroll = new QScrollArea(client);
    scroll->setObjectName("qb_preview_scroll");
    scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll->setBackgroundRole(QPalette::Dark);
    auto* label = new QLabel;
    label->setObjectName("qb_preview_pages");
    scroll->setWidget(label);
    scroll->show();
  }
  if (client == area)
    scroll->setGeometry(area->rect());
  else
    scroll->setGeometry(0, area->y(), client->width(), std::max(1, client->height() - area->y()));
  scroll->raise();
  auto* label = scroll->findChild<QLabel*>("qb_preview_pages");
  QImage img = renderSpread(doc, first - 1, across, down, zoom);
  label->setPixmap(QPixmap::fromImage(img));
  label->resize(img.size());
  return true;
}

int number(const std::string& text) { return static_cast<int>(toNumber(text)); }

}  // namespace

void ReportPreviewer::showCount(Window& w, const PageSource& pages) {
  int n = std::max(1, pages.count());
  w.setText(w.feq("?PREVIEW:PAGECOUNT"), "of " + std::to_string(pages.count()) + (building_ ? "..." : ""));
  bool first = page_ <= 1, last = page_ + across_ * down_ > n;
  for (const char* c : {"?PREVIEW:PREVBUTTON", "?PREVIEW:PREVPAGE"})
    first ? w.disable(w.feq(c)) : w.enable(w.feq(c));
  for (const char* c : {"?PREVIEW:NEXTBUTTON", "?PREVIEW:NEXTPAGE"})
    last ? w.disable(w.feq(c)) : w.enable(w.feq(c));
}

void ReportPreviewer::show(Window& w, const PageSource& pages) {
  int n = std::max(1, pages.count());
  page_ = std::clamp(page_, 1, n);
  w.setText(w.feq("?PREVIEW:PAGE"), std::to_string(page_));
  w.setText(w.feq("?PREVIEW:ACROSS"), std::to_string(across_));
  w.setText(w.feq("?PREVIEW:DOWN"), std::to_string(down_));
  w.setText(w.feq("?PREVIEW:ZOOM"), std::to_string(zoom_));
  showCount(w, pages);
  unpainted_ = !paintPages(w, pages, page_, across_, down_, zoom_);
}

bool ReportPreviewer::askPages(const PageSource& pages) {
  Window d("_PagesToPrint_");
  int n = pages.count();
  d.open();
  d.setText(d.feq("?PAGES"), n > 1 ? "1-" + std::to_string(n) : "1");
  bool chosen = false;
  while (d.accept()) {
    if (d.event() != EVENT::Accepted) continue;
    if (d.field() == d.feq("?OK")) {
      d.update();
      std::vector<int> list = parsePageRange(d.text(d.feq("?PAGES")), n);
      if (list.empty()) {
        message("Give pages between 1 and " + std::to_string(n) + ", for example 1-3,5.",
                "Pages to Print", Icon::Exclamation);
        d.select(d.feq("?PAGES"));
        continue;
      }
      PAGESTOPRINT = list;
      chosen = true;
      d.close();
    } else if (d.field() == d.feq("?CANCEL")) {
      d.close();
    }
  }
  return chosen;
}

bool ReportPreviewer::PreviewDisplay(const PageSource& doc, int zoom, int page, int down,
                                     int across, const std::function<bool()>& more,
                                     const std::function<bool()>& printNow) {
  page_ = page;
  zoom_ = zoom;
  down_ = std::clamp(down, 1, 4);
  across_ = std::clamp(across, 1, 4);
  PAGESTOPRINT.clear();
  building_ = static_cast<bool>(more);
  unpainted_ = false;
  auto n = [&] { return std::max(1, doc.count()); };
  // What the user asked for that needs every page: done once the last one is laid out.
  enum class Pending { None, Print, AskPages } pending = Pending::None;

  Window w("_PreviewWindow_");
  if (restorePlacement) restorePlacement(w);
  if (!ALLOWUSERZOOM) w.disable(w.feq("?PREVIEW:ZOOM"));
  w.open();
  if (MAXIMIZE) w.setProp(0, Prop::Maximize, 1);
  if (building_) w.setTimer(1);
  bool print = false;
  // The pages chosen (every page unless PAGESTOPRINT holds fewer) go out; the preview ends
  // unless printing could not start, when the user stays to go on from here.
  auto printChosen = [&] {
    if (PAGESTOPRINT.empty())
      for (int i = 1; i <= doc.count(); ++i) PAGESTOPRINT.push_back(i);
    if (printNow && !printNow()) {
      PAGESTOPRINT.clear();
      return;
    }
    print = true;
    w.close();
  };
  const int area = w.feq("?PREVIEW:PAGEAREA");
  auto fitArea = [&] {
    const Control* c = w.control(area);
    int width = static_cast<int>(w.propInt(0, Prop::Width));
    int height = static_cast<int>(w.propInt(0, Prop::Height));
    if (c && width > 0 && height > c->y) w.setPosition(area, 0, c->y, width, height - c->y);
  };
  while (w.accept()) {
    int e = w.event();
    int f = w.field();
    auto is = [&](const char* name) { return f == w.feq(name); };
    if (e == EVENT::OpenWindow || e == EVENT::Sized || e == EVENT::Maximized ||
        e == EVENT::Restored) {
      fitArea();
      show(w, doc);
      if (unpainted_) w.setTimer(1);
      continue;
    }
    if (e == EVENT::Timer && unpainted_) {
      // The view made the page area after the window opened (no resize follows under
      // every window manager): the pages are drawn on the next turn.
      show(w, doc);
      if (!unpainted_ && !building_) w.setTimer(0);
      if (!building_) continue;
    }
    if (e == EVENT::Timer && building_) {
      int before = doc.count();
      building_ = more();
      if (!building_ && !unpainted_) w.setTimer(0);
      // A page on screen that was still to come is drawn now.
      if (before < page_ + across_ * down_ - 1 && doc.count() > before)
        show(w, doc);
      else
        showCount(w, doc);
      if (building_ || pending == Pending::None) continue;
      bool asked = pending == Pending::AskPages;
      pending = Pending::None;
      if (!asked || askPages(doc)) printChosen();
      continue;
    }
    if (e == EVENT::CloseWindow) {
      if (savePlacement) savePlacement(w);
      continue;
    }
    if (e != EVENT::Accepted) continue;
    if (is("?PREVIEW:PRINT") || is("?PREVIEW:PRINTBUTTON")) {
      if (building_) {
        pending = Pending::Print;
        continue;
      }
      printChosen();
    } else if (is("?PREVIEW:EXIT") || is("?PREVIEW:EXITBUTTON")) {
      w.close();
    } else if (is("?PREVIEW:PAGESTOPRINT")) {
      if (building_) {
        pending = Pending::AskPages;
      } else if (askPages(doc)) {
        printChosen();
      }
    } else if (is("?PREVIEW:NEXTPAGE") || is("?PREVIEW:NEXTBUTTON")) {
      if (page_ + across_ * down_ <= n()) page_ += across_ * down_;
      show(w, doc);
    } else if (is("?PREVIEW:PREVPAGE") || is("?PREVIEW:PREVBUTTON")) {
      page_ = std::max(1, page_ - across_ * down_);
      show(w, doc);
    } else if (is("?PREVIEW:JUMPTOPAGE")) {
      w.select(w.feq("?PREVIEW:PAGE"));
    } else if (is("?PREVIEW:PAGE")) {
      page_ = std::clamp(number(w.text(f)), 1, n());
      show(w, doc);
    } else if (is("?PREVIEW:ACROSS")) {
      across_ = std::clamp(number(w.text(f)), 1, 4);
      show(w, doc);
    } else if (is("?PREVIEW:DOWN")) {
      down_ = std::clamp(number(w.text(f)), 1, 4);
      show(w, doc);
    } else if (is("?PREVIEW:ZOOM")) {
      int z = number(w.text(f));
      if (z >= 10 && z <= 400) zoom_ = z;
      show(w, doc);
    }
  }
  if (!print) PAGESTOPRINT.clear();
  building_ = false;
  return print;
}

}  // namespace pf
