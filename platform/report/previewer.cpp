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
#include "platform/ui/window.h"

namespace pf {

namespace {

// The pages drawn into the page area's widget, when the Qt view shows the window.
void paintPages(Window& w, const ReportDocument& doc, int first, int across, int down, int zoom) {
  QWidget* area = qt::controlWidget(w.id(), w.feq("?PREVIEW:PAGEAREA"));
  if (!area) return;
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
}

int number(const std::string& text) { return static_cast<int>(toNumber(text)); }

}  // namespace

void ReportPreviewer::show(Window& w, const ReportDocument& doc) {
  int n = std::max(1, static_cast<int>(doc.pages.size()));
  page_ = std::clamp(page_, 1, n);
  w.setText(w.feq("?PREVIEW:PAGE"), std::to_string(page_));
  w.setText(w.feq("?PREVIEW:PAGECOUNT"), "of " + std::to_string(doc.pages.size()));
  w.setText(w.feq("?PREVIEW:ACROSS"), std::to_string(across_));
  w.setText(w.feq("?PREVIEW:DOWN"), std::to_string(down_));
  w.setText(w.feq("?PREVIEW:ZOOM"), std::to_string(zoom_));
  int shown = across_ * down_;
  bool first = page_ <= 1, last = page_ + shown > n;
  for (const char* c : {"?PREVIEW:PREVBUTTON", "?PREVIEW:PREVPAGE"})
    first ? w.disable(w.feq(c)) : w.enable(w.feq(c));
  for (const char* c : {"?PREVIEW:NEXTBUTTON", "?PREVIEW:NEXTPAGE"})
    last ? w.disable(w.feq(c)) : w.enable(w.feq(c));
  paintPages(w, doc, page_, across_, down_, zoom_);
}

bool ReportPreviewer::askPages(const ReportDocument& doc) {
  Window d("_PagesToPrint_");
  int n = static_cast<int>(doc.pages.size());
  d.open();
  d.setText(d.feq("?PAGES"), n > 1 ? "1-" + std::to_string(n) : "1");
  bool chosen = false;
  while (d.accept()) {
    if (d.event() != EVENT::Accepted) continue;
    if (d.field() == d.feq("?OK")) {
      d.update();
      std::vector<int> pages = parsePageRange(d.text(d.feq("?PAGES")), n);
      if (pages.empty()) {
        message("Give pages between 1 and " + std::to_string(n) + ", for example 1-3,5.",
                "Pages to Print", Icon::Exclamation);
        d.select(d.feq("?PAGES"));
        continue;
      }
      PAGESTOPRINT = pages;
      chosen = true;
      d.close();
    } else if (d.field() == d.feq("?CANCEL")) {
      d.close();
    }
  }
  return chosen;
}

bool ReportPreviewer::PreviewDisplay(const ReportDocument& doc, int zoom, int page, int down,
                                     int across) {
  page_ = page;
  zoom_ = zoom;
  down_ = std::clamp(down, 1, 4);
  across_ = std::clamp(across, 1, 4);
  PAGESTOPRINT.clear();
  for (int i = 1; i <= static_cast<int>(doc.pages.size()); ++i) PAGESTOPRINT.push_back(i);
  int n = std::max(1, static_cast<int>(doc.pages.size()));

  Window w("_PreviewWindow_");
  if (restorePlacement) restorePlacement(w);
  if (!ALLOWUSERZOOM) w.disable(w.feq("?PREVIEW:ZOOM"));
  w.open();
  if (MAXIMIZE) w.setProp(0, Prop::Maximize, 1);
  bool print = false;
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
      continue;
    }
    if (e == EVENT::CloseWindow) {
      if (savePlacement) savePlacement(w);
      continue;
    }
    if (e != EVENT::Accepted) continue;
    if (is("?PREVIEW:PRINT") || is("?PREVIEW:PRINTBUTTON")) {
      print = true;
      w.close();
    } else if (is("?PREVIEW:EXIT") || is("?PREVIEW:EXITBUTTON")) {
      w.close();
    } else if (is("?PREVIEW:PAGESTOPRINT")) {
      if (askPages(doc)) {
        print = true;
        w.close();
      }
    } else if (is("?PREVIEW:NEXTPAGE") || is("?PREVIEW:NEXTBUTTON")) {
      if (page_ + across_ * down_ <= n) page_ += across_ * down_;
      show(w, doc);
    } else if (is("?PREVIEW:PREVPAGE") || is("?PREVIEW:PREVBUTTON")) {
      page_ = std::max(1, page_ - across_ * down_);
      show(w, doc);
    } else if (is("?PREVIEW:JUMPTOPAGE")) {
      w.select(w.feq("?PREVIEW:PAGE"));
    } else if (is("?PREVIEW:PAGE")) {
      page_ = std::clamp(number(w.text(f)), 1, n);
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
  return print;
}

}  // namespace pf
