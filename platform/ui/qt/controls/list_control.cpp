#include "platform/ui/qt/controls/list_control.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QScrollBar>
#include <QTreeWidget>

#include "platform/ui/keys.h"
#include "platform/ui/qt/convert.h"
#include "platform/ui/qt/fonts.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/qt/view.h"
#include "platform/ui/qt/window_view.h"

namespace pf::qt {
namespace {

// Every row as high as a row of text in the list's font, whatever its cells hold, so that
// a page holds a known number of rows.
class RowDelegate : public QStyledItemDelegate {
 public:
  RowDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const override {
    return QSize(QStyledItemDelegate::sizeHint(o, i).width(), height_);
  }

 private:
  int height_;
};

// Tells the model how many rows the list shows whenever its viewport changes size.
class RowsReporter : public QObject {
 public:
  RowsReporter(std::uintptr_t window, int feq, int rowHeight, QObject* parent)
      : QObject(parent), window_(window), feq_(feq), rowHeight_(rowHeight) {}
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Resize) {
      int rows = std::max(1, static_cast<QWidget*>(o)->height() / rowHeight_);
      if (rows != reported_)
        if (Window* m = findWindow(window_)) {
          reported_ = rows;
          m->userListRows(feq_, rows);
        }
    }
    return false;
  }

 private:
  std::uintptr_t window_;
  int feq_, rowHeight_;
  int reported_ = 0;
};

}  // namespace

ListControl::ListControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* holder = new QWidget(parent);
  auto* tree = new QTreeWidget(holder);
  tree_ = tree;
  tree->setRootIsDecorated(false);
  tree->setUniformRowHeights(true);
  tree->setAllColumnsShowFocus(true);
  tree->setSelectionMode(QAbstractItemView::SingleSelection);
  tree->header()->setStretchLastSection(false);
  tree->header()->setSectionsMovable(false);
  tree->setProperty("qbFeq", c.feq);
  tree->viewport()->installEventFilter(theView->filter());
  QFont font = c.font.size > 0 || !c.font.name.empty() || c.font.style ? fontOf(c.font, win.client->font())
                                                                        : win.client->font();
  int rowHeight = QFontMetrics(font).height() + 4;
  tree->setIconSize(QSize(rowHeight - 3, rowHeight - 3));
  tree->setItemDelegate(new RowDelegate(rowHeight, tree));
  Target t = target();
  tree->viewport()->installEventFilter(new RowsReporter(t.window, c.feq, rowHeight, tree));
  // The right mouse button: the row under the pointer is chosen, then the list gets the
  // MouseRight key, which a procedure alerts for its popup menu.
  tree->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(tree, &QWidget::customContextMenuRequested, [t, tree](const QPoint& at) {
    Window* m = t();
    if (!m) return;
    if (m->focus() != t.feq) m->userFocus(t.feq);
    if (QTreeWidgetItem* it = tree->itemAt(at)) m->userSelectRow(t.feq, tree->indexOfTopLevelItem(it) + 1);
    m->userKey(Key::MouseRight);
  });
  QObject::connect(tree, &QTreeWidget::itemClicked, [t, tree](QTreeWidgetItem* it, int col) {
    if (Window* m = t()) m->userSelectRow(t.feq, tree->indexOfTopLevelItem(it) + 1, col + 1);
  });
  QObject::connect(tree, &QTreeWidget::itemDoubleClicked, [t, tree](QTreeWidgetItem* it, int col) {
    if (Window* m = t()) m->userDoubleClick(t.feq, tree->indexOfTopLevelItem(it) + 1, col + 1);
  });
  Units u = win.u;
  QObject::connect(tree->header(), &QHeaderView::sectionResized, [t, u](int logical, int, int size) {
    if (size == 0) return;
    if (Window* m = t()) m->userColumnResize(t.feq, logical + 1, u.dx(size));
  });
  if (c.immediate) {
    // The procedure holds one page of rows: the scroll bar asks it for more.
    tree->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* bar = new QScrollBar(Qt::Vertical, holder);
    bar_ = bar;
    bar->setRange(0, 100);
    bar->setPageStep(10);
    QObject::connect(bar, &QScrollBar::actionTriggered, [t, bar](int action) {
      Window* m = t();
      if (!m) return;
      switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: m->userScroll(t.feq, EVENT::ScrollDown); break;
        case QAbstractSlider::SliderSingleStepSub: m->userScroll(t.feq, EVENT::ScrollUp); break;
        case QAbstractSlider::SliderPageStepAdd: m->userScroll(t.feq, EVENT::PageDown); break;
        case QAbstractSlider::SliderPageStepSub: m->userScroll(t.feq, EVENT::PageUp); break;
        case QAbstractSlider::SliderToMinimum: m->userScroll(t.feq, EVENT::ScrollTop); break;
        case QAbstractSlider::SliderToMaximum: m->userScroll(t.feq, EVENT::ScrollBottom); break;
        case QAbstractSlider::SliderMove: m->userScroll(t.feq, EVENT::ScrollDrag, bar->sliderPosition()); break;
        default: break;
      }
    });
  }
  w_ = holder;
}

QWidget* ListControl::focusTarget() const { return tree_; }

void ListControl::syncContent(Window& w, const Control& c) {
  QTreeWidget* tree = tree_;
  int feq = c.feq;
  const Units& u = win_.u;
  QRect r = u.rect(c);
  int barW = bar_ ? 16 : 0;
  tree->setGeometry(0, 0, r.width() - barW, r.height());
  if (bar_) {
    bar_->setGeometry(r.width() - barW, 0, barW, r.height());
    bar_->setValue(c.vscrollPos);
  }
  int cols = std::max(1, w.columnCount(feq));
  bool header = false;
  QStringList heads;
  for (const auto& col : c.format.columns) {
    header = header || !col.header.empty();
    heads << qs(col.header);
  }
  if (tree->columnCount() != cols) tree->setColumnCount(cols);
  if (!c.format.columns.empty()) tree->setHeaderLabels(heads);
  tree->setHeaderHidden(!header);
  for (int i = 0; i < static_cast<int>(c.format.columns.size()); ++i) {
    const auto& col = c.format.columns[static_cast<std::size_t>(i)];
    tree->setColumnHidden(i, col.width == 0);
    if (col.width > 0) tree->setColumnWidth(i, u.px(col.width));
    tree->header()->setSectionResizeMode(i, col.resizable ? QHeaderView::Interactive : QHeaderView::Fixed);
  }
  // Rows: rebuilt when what they show changed.
  std::string sig = std::to_string(c.rows.size()) + "/" + std::to_string(c.selected);
  for (int row = 1; row <= static_cast<int>(c.rows.size()); ++row)
    for (int col = 1; col <= cols; ++col) sig += "|" + w.cellText(feq, row, col);
  for (const auto& row : c.rows)
    for (const auto& cell : row.cells)
      sig += "#" + std::to_string(cell.icon) + "," + std::to_string(cell.fg) + "," + std::to_string(cell.bg);
  if (sig != rowsSeen_) {
    rowsSeen_ = sig;
    tree->clear();
    QList<QTreeWidgetItem*> items;
    for (int row = 1; row <= static_cast<int>(c.rows.size()); ++row) {
      auto* item = new QTreeWidgetItem();
      const ListRow& lr = w.row(feq, row);
      for (int col = 1; col <= cols; ++col) {
        const ListColumn* fc = col <= static_cast<int>(c.format.columns.size())
                                   ? &c.format.columns[static_cast<std::size_t>(col - 1)] : nullptr;
        int field = fc ? fc->field : col;
        const ListCell* cell = field >= 1 && field <= static_cast<int>(lr.cells.size())
                                   ? &lr.cells[static_cast<std::size_t>(field - 1)] : nullptr;
        if (fc && fc->icon) {
          if (cell && cell->icon > 0) {
            auto it = c.icons.find(cell->icon);
            if (it != c.icons.end()) item->setIcon(col - 1, icon(it->second));
          }
        } else {
          item->setText(col - 1, qs(w.cellText(feq, row, col)));
        }
        if (fc) {
          Qt::Alignment al = fc->align == 'R' || fc->align == 'D' ? Qt::AlignRight
                             : fc->align == 'C' ? Qt::AlignHCenter : Qt::AlignLeft;
          item->setTextAlignment(col - 1, al | Qt::AlignVCenter);
        }
        if (fc && fc->colors && cell) {
          if (cell->fg != -1) item->setForeground(col - 1, bgr(cell->fg));
          if (cell->bg != -1) item->setBackground(col - 1, bgr(cell->bg));
        }
      }
      items << item;
    }
    tree->addTopLevelItems(items);
  }
  if (c.selected >= 1 && c.selected <= tree->topLevelItemCount()) {
    QTreeWidgetItem* it = tree->topLevelItem(c.selected - 1);
    if (tree->currentItem() != it) tree->setCurrentItem(it);
  } else {
    tree->clearSelection();
  }
}

}  // namespace pf::qt
