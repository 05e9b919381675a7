// The print preview ("Report Preview"): a window of the calling program thread that shows
// a report's pages and lets the user print them (all or chosen pages) or leave. Without
// a display it is the same window model, so the test driver sees it and picks "Print"
// (?PREVIEW:PRINT) or "Exit" (?PREVIEW:EXIT).
//
// The preview may open while the report is still being laid out: `more` then lays out a
// further slice on every turn of the preview's timer and says whether pages are still to
// come. Meanwhile the page count reads "of 12..."; printing waits for the last page.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/report/report.h"

namespace pf {

class Window;

class ReportPreviewer {
 public:
  std::uint8_t ALLOWUSERZOOM = 0;   // the zoom list may take a typed value
  std::uint8_t MAXIMIZE = 0;        // opens maximised (after its placement is restored)

  // How the preview window keeps its placement (set by PreviewSetIniManager).
  std::function<void(Window&)> restorePlacement;
  std::function<void(Window&)> savePlacement;

  // Shows the pages from `page` (1-based), `across` by `down`, at `zoom` per cent, until
  // the user prints or leaves. True when the user chose to print; PAGESTOPRINT then holds
  // the pages to print (every page unless "Pages to Print..." chose fewer).
  //
  // With `print`, the pages are printed while the preview is still open: it is called
  // with PAGESTOPRINT set and says whether the preview is done (printed, or the user
  // stopped the printing); otherwise the preview stays open for the user to go on.
  bool PreviewDisplay(const PageSource& pages, int zoom = 100, int page = 1, int down = 1,
                      int across = 1, const std::function<bool()>& more = {},
                      const std::function<bool()>& print = {});
  std::vector<int> PAGESTOPRINT;

  // What the preview showed last (1-based first page, layout and zoom).
  int currentPage() const { return page_; }
  int zoom() const { return zoom_; }
  int across() const { return across_; }
  int down() const { return down_; }

 private:
  void show(Window& w, const PageSource& pages);
  void showCount(Window& w, const PageSource& pages);
  bool askPages(const PageSource& pages);
  int page_ = 1, zoom_ = 100, across_ = 1, down_ = 1;
  bool building_ = false;
  bool unpainted_ = false;   // shown before the view made the page area
};

}  // namespace pf
