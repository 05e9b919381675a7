#include "platform/os/help_window.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <functional>

#include "platform/classes/help_controller.h"
#include "platform/core/strings.h"
#include "platform/ui/qt/qt_view.h"

namespace pf {
namespace {

constexpr int PageRole = Qt::UserRole;

QString q(const std::string& s) { return QString::fromStdString(s); }

// Pages live at "help:/<page>", so links between them resolve as relative addresses.
QUrl pageUrl(const std::string& page) {
  QUrl url;
  url.setScheme("help");
  url.setPath("/" + q(page));
  return url;
}

std::string pageOf(const QUrl& url) {
  QString path = url.path();
  if (path.startsWith('/')) path.remove(0, 1);
  return path.toStdString();
}

// The page pane: reads its pages from the help file.
class PageView : public QTextBrowser {
 public:
  std::string file;

  QVariant loadResource(int type, const QUrl& name) override {
    if (type == QTextDocument::HtmlResource && name.scheme() == "help")
      return q(helpPageHtml(file, pageOf(name)));
    return QTextBrowser::loadResource(type, name);
  }
};

QWidget* labelled(const char* text, QWidget* field, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setBuddy(field);
  return label;
}

// One top-level window, owned by no program window: a contents tree, the keyword index
// and a full-text search beside the page, with Back, Forward and the contents page.
class HelpWindow : public QWidget {
 public:
  HelpWindow() {
    setObjectName("helpWindow");
    setAttribute(Qt::WA_DeleteOnClose, false);
    QIcon icon = qt::icon("HELP2.ico");
    if (!icon.isNull()) setWindowIcon(icon);

    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    back_ = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), "&Back");
    forward_ = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), "&Forward");
    home_ = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), "&Contents");
    back_->setObjectName("back");
    forward_->setObjectName("forward");
    home_->setObjectName("home");
    back_->setShortcut(QKeySequence::Back);
    forward_->setShortcut(QKeySequence::Forward);
    back_->setEnabled(false);
    forward_->setEnabled(false);

    page_ = new PageView;
    page_->setObjectName("page");
    page_->setOpenLinks(false);
    connect(page_, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
      QUrl to = page_->source().resolved(link);
      if (to.scheme() == "help") page_->setSource(to);
    });
    connect(page_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
    connect(page_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);
    connect(page_, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) { follow(pageOf(url)); });
    connect(back_, &QAction::triggered, page_, &QTextBrowser::backward);
    connect(forward_, &QAction::triggered, page_, &QTextBrowser::forward);
    connect(home_, &QAction::triggered, this, [this] {
      if (const HelpBook* b = findHelpBook(page_->file)) open(b->contents);
      tabs_->setCurrentIndex(0);
    });

    tabs_ = new QTabWidget;
    tabs_->setObjectName("tabs");
    tabs_->addTab(contentsPane(), "C&ontents");
    tabs_->addTab(indexPane(), "I&ndex");
    tabs_->addTab(searchPane(), "&Search");

    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(tabs_);
    split->addWidget(page_);
    split->setStretchFactor(1, 1);
    split->setSizes({300, 540});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(split, 1);
    resize(840, 580);
  }

  void present(const HelpShown& what) {
    if (pf::lower(what.file) != pf::lower(page_->file)) setBook(what.file);
    if (what.contents) tabs_->setCurrentIndex(0);
    open(what.page);
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
  }

 private:
  QWidget* contentsPane() {
    auto* pane = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    tree_ = new QTreeWidget(pane);
    tree_->setObjectName("contents");
    tree_->setHeaderHidden(true);
    connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { openItem(item); });
    connect(tree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { openItem(item); });
    layout->addWidget(tree_);
    return pane;
  }

  QWidget* indexPane() {
    auto* pane = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    indexEntry_ = new QLineEdit(pane);
    indexEntry_->setObjectName("indexEntry");
    index_ = new QListWidget(pane);
    index_->setObjectName("index");
    auto* display = new QPushButton("&Display", pane);
    display->setObjectName("indexShow");
    layout->addWidget(labelled("Type in the &keyword to find:", indexEntry_, pane));
    layout->addWidget(indexEntry_);
    layout->addWidget(index_, 1);
    layout->addWidget(display, 0, Qt::AlignRight);
    // Typing selects the first keyword at or after the text, as in a dictionary.
    connect(indexEntry_, &QLineEdit::textEdited, this, [this](const QString& text) {
      std::string typed = pf::lower(text.trimmed().toStdString());
      for (int i = 0; i < index_->count(); ++i)
        if (pf::lower(index_->item(i)->text().toStdString()) >= typed) {
          index_->setCurrentRow(i);
          index_->scrollToItem(index_->item(i), QAbstractItemView::PositionAtTop);
          return;
        }
    });
    auto openSelected = [this] {
      if (QListWidgetItem* item = index_->currentItem()) open(item->data(PageRole).toString().toStdString());
    };
    connect(indexEntry_, &QLineEdit::returnPressed, this, openSelected);
    connect(display, &QPushButton::clicked, this, openSelected);
    connect(index_, &QListWidget::itemActivated, this, openSelected);
    return pane;
  }

  QWidget* searchPane() {
    auto* pane = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    searchEntry_ = new QLineEdit(pane);
    searchEntry_->setObjectName("searchEntry");
    auto* list = new QPushButton("&List Topics", pane);
    list->setObjectName("searchGo");
    results_ = new QListWidget(pane);
    results_->setObjectName("searchResults");
    auto* display = new QPushButton("&Display", pane);
    display->setObjectName("searchShow");
    auto* row = new QHBoxLayout;
    row->addWidget(searchEntry_, 1);
    row->addWidget(list);
    layout->addWidget(labelled("Type in the &word(s) to search for:", searchEntry_, pane));
    layout->addLayout(row);
    layout->addWidget(labelled("Select &topic to display:", results_, pane));
    layout->addWidget(results_, 1);
    layout->addWidget(display, 0, Qt::AlignRight);
    connect(searchEntry_, &QLineEdit::returnPressed, this, [this] { listTopics(); });
    connect(list, &QPushButton::clicked, this, [this] { listTopics(); });
    auto openSelected = [this] {
      QListWidgetItem* item = results_->currentItem();
      if (!item || !(item->flags() & Qt::ItemIsEnabled)) return;
      open(item->data(PageRole).toString().toStdString());
      // The first searched word is selected in the page.
      QString first = searchEntry_->text().simplified().section(' ', 0, 0);
      if (!first.isEmpty()) page_->find(first);
    };
    connect(display, &QPushButton::clicked, this, openSelected);
    connect(results_, &QListWidget::itemActivated, this, openSelected);
    return pane;
  }

  void listTopics() {
    results_->clear();
    const HelpBook* book = findHelpBook(page_->file);
    if (!book) return;
    auto hits = book->search(searchEntry_->text().toStdString());
    for (const HelpHit& h : hits) {
      auto* item = new QListWidgetItem(q(h.title), results_);
      item->setData(PageRole, q(h.page));
    }
    if (hits.empty()) {
      auto* none = new QListWidgetItem("No topics found.", results_);
      none->setFlags(Qt::NoItemFlags);
    } else {
      results_->setCurrentRow(0);
    }
  }

  void setBook(const std::string& file) {
    page_->file = file;
    page_->clearHistory();
    tree_->clear();
    index_->clear();
    results_->clear();
    const HelpBook* book = findHelpBook(file);
    setWindowTitle(book ? q(book->title(book->contents)) : q(file + " - Help"));
    if (!book) return;
    std::function<void(const std::vector<HelpContentsEntry>&, QTreeWidgetItem*)> add =
        [&](const std::vector<HelpContentsEntry>& entries, QTreeWidgetItem* parent) {
          for (const HelpContentsEntry& e : entries) {
            auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
            item->setText(0, q(e.title));
            item->setToolTip(0, q(e.title));
            item->setData(0, PageRole, q(e.page));
            bool folder = !e.children.empty() || e.page.empty();
            item->setIcon(0, style()->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon));
            add(e.children, item);
          }
        };
    if (!book->tree.empty()) {
      add(book->tree, nullptr);
    } else {
      // A file without a contents list: its pages by title.
      std::vector<HelpContentsEntry> flat;
      for (const auto& p : book->pages) flat.push_back({book->title(p.first), p.first, {}});
      add(flat, nullptr);
    }
    tree_->expandAll();
    for (const HelpIndexEntry& e : book->index) {
      auto* item = new QListWidgetItem(q(e.keyword), index_);
      item->setData(PageRole, q(e.page));
    }
  }

  void open(const std::string& page) {
    if (page.empty()) return;
    QUrl url = pageUrl(page);
    if (page_->source() == url)
      page_->reload();
    else
      page_->setSource(url, QTextDocument::HtmlResource);
  }

  void openItem(QTreeWidgetItem* item) {
    std::string page = item ? item->data(0, PageRole).toString().toStdString() : std::string();
    if (!page.empty()) open(page);
  }

  // The contents tree shows where the page is.
  void follow(const std::string& page) {
    QTreeWidgetItemIterator it(tree_);
    for (; *it; ++it)
      if ((*it)->data(0, PageRole).toString().toStdString() == page) {
        tree_->setCurrentItem(*it);
        tree_->scrollToItem(*it);
        return;
      }
    tree_->clearSelection();
  }

  QAction* back_ = nullptr;
  QAction* forward_ = nullptr;
  QAction* home_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QTreeWidget* tree_ = nullptr;
  QLineEdit* indexEntry_ = nullptr;
  QListWidget* index_ = nullptr;
  QLineEdit* searchEntry_ = nullptr;
  QListWidget* results_ = nullptr;
  PageView* page_ = nullptr;
};

class QtHelpViewer : public HelpViewer {
 public:
  void show(const HelpShown& what) override {
    if (!window_) window_ = new HelpWindow;
    window_->present(what);
  }
  QWidget* window() const { return window_; }
  void close() { delete window_.data(); }

 private:
  QPointer<HelpWindow> window_;
};

QtHelpViewer* viewer = nullptr;

}  // namespace

void installQtHelpViewer() {
  if (!viewer) viewer = new QtHelpViewer;
  setHelpViewer(viewer);
}

void closeQtHelpViewer() {
  if (viewer) viewer->close();
}

QWidget* qtHelpWindow() { return viewer ? viewer->window() : nullptr; }

}  // namespace pf
