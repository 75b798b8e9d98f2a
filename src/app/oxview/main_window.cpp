#include "app/oxview/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "controls/ox_grid.h"
#include "engine/peek_cache.h"
#include "app/oxview/add_tag_dialog.h"
#include "app/oxview/filter_bar.h"
#include "app/oxview/order_chooser.h"
#include "app/oxview/search_bar.h"
#include "app/oxview/structure_dialog.h"
#include "app/oxview/table_export.h"
#include "app/oxview/table_orders.h"
#include "app/oxview/table_tab.h"
#include "app/oxview/view_settings.h"
#include "platform/data/data_set.h"
#include "platform/data/field.h"
#include "platform/widgets/application.h"

namespace orvex::view {
namespace {

const char kTableFilter[] = "dBASE tables (*.dbf *.DBF);;All files (*)";

// The field the search bar offers first: the active tag's key when it is a
// plain field name, else the first field.
std::string PreferredSearchField(TableTab& tab) {
  const std::string active = tab.Order();
  for (const TagDefinition& tag : TableTags(tab.Table())) {
    if (tag.name == active && tab.Table().FindField(tag.key_expr) != nullptr) return tag.key_expr;
  }
  return tab.Table().FieldCount() > 0 ? tab.Table().Fields(0)->FieldName() : "";
}

}  // namespace

MainWindow::MainWindow() {
  // Sequential searches read the table through the engine's block cache of
  // raw records (the largest it allows) instead of one read per record:
  // several times faster over a large table. The cache keeps up with this
  // program's own writes; Refresh and the file watcher drop it, so that
  // others' changes are read again.
  PeekCacheLimit = 65520;
  setObjectName("oxview");
  setAcceptDrops(true);
  resize(900, 560);
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  filter_bar_ = new FilterBar(central);
  search_bar_ = new SearchBar(central);
  tabs_ = new QTabWidget(central);
  tabs_->setTabsClosable(true);
  tabs_->setDocumentMode(true);
  layout->addWidget(filter_bar_);
  layout->addWidget(search_bar_);
  layout->addWidget(tabs_, 1);
  setCentralWidget(central);
  status_ = new QLabel(this);
  status_->setObjectName("status");
  statusBar()->addWidget(status_, 1);

  filter_bar_->OnApply = [this](const QString& condition) {
    if (TableTab* tab = CurrentTab()) tab->SetFilter(condition);
  };
  search_bar_->OnFind = [this] { Find(false); };
  search_bar_->OnFindNext = [this] { Find(true); };
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { CurrentChanged(); });
  connect(tabs_, &QTabWidget::tabCloseRequested, this, [this](int index) { CloseTab(index); });

  BuildMenus();
  CurrentChanged();
}

MainWindow::~MainWindow() {
  while (tabs_->count() > 0) CloseTab(0);
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  QAction* open =
      file->addAction("&Open...", QKeySequence(QKeySequence::Open), this, [this] { AskAndOpen(); });
  recent_ = file->addMenu("Open &recent");
  connect(recent_, &QMenu::aboutToShow, this, [this] { FillRecent(); });
  file->addSeparator();
  file->addAction("Export as &CSV...", QKeySequence("Ctrl+Shift+C"), this,
                  [this] { Export(false); });
  file->addAction("Export as &JSON...", QKeySequence("Ctrl+Shift+J"), this,
                  [this] { Export(true); });
  file->addAction("&Structure...", QKeySequence("Ctrl+I"), this, [this] {
    if (TableTab* tab = CurrentTab()) ShowStructure(tab->Table(), this);
  });
  file->addSeparator();
  file->addAction("&Close table", QKeySequence("Ctrl+W"), this, [this] {
    if (tabs_->count() > 0) CloseTab(tabs_->currentIndex());
  });
  file->addAction("&Quit", QKeySequence("Ctrl+Q"), this, [this] { close(); });

  QMenu* edit = menuBar()->addMenu("&Edit");
  editing_ = edit->addAction("&Editing", QKeySequence("Ctrl+E"));
  editing_->setCheckable(true);
  connect(editing_, &QAction::triggered, this, [this](bool on) { ToggleEditing(on); });
  edit->addAction("&Save record", QKeySequence(QKeySequence::Save), this, [this] {
    if (TableTab* tab = CurrentTab()) ui::Guarded([tab] { tab->Table().CheckBrowseMode(); });
  });
  edit->addAction("&Delete / recall record", QKeySequence("Ctrl+D"), this, [this] {
    if (TableTab* tab = CurrentTab()) tab->ToggleDeleted();
  });
  edit->addSeparator();
  edit->addAction("&Find...", QKeySequence(QKeySequence::Find), this,
                  [this] { search_bar_->Activate(); });
  edit->addAction("Find &next", QKeySequence(Qt::Key_F3), this, [this] { Find(true); });
  edit->addAction("F&ilter...", QKeySequence("Ctrl+L"), this, [this] { filter_bar_->Activate(); });

  QMenu* view = menuBar()->addMenu("&View");
  show_deleted_ = view->addAction("Show &deleted records");
  show_deleted_->setCheckable(true);
  show_deleted_->setChecked(true);
  connect(show_deleted_, &QAction::triggered, this, [this](bool on) {
    if (TableTab* tab = CurrentTab()) tab->SetHideDeleted(!on);
  });
  QAction* refresh = view->addAction("&Refresh", QKeySequence(QKeySequence::Refresh), this, [this] {
    if (TableTab* tab = CurrentTab()) tab->Refresh();
  });
  view->addAction("&Hide column", QKeySequence("Ctrl+Shift+H"), this, [this] {
    if (TableTab* tab = CurrentTab()) tab->HideCurrentColumn();
  });
  view->addAction("Show &all columns", this, [this] {
    if (TableTab* tab = CurrentTab()) tab->ShowAllColumns();
  });

  // Ctrl+0 is natural order, Ctrl+1 .. Ctrl+9 the tags in the index's
  // order; the Order menu lists them with their keys.
  for (int number = 0; number <= 9; ++number) {
    auto* action = new QAction(this);
    action->setShortcut(QKeySequence(QString("Ctrl+%1").arg(number)));
    connect(action, &QAction::triggered, this, [this, number] { ChooseOrderByNumber(number); });
    addAction(action);
  }
  QMenu* order = menuBar()->addMenu("&Order");
  connect(order, &QMenu::aboutToShow, this, [this, order] {
    order->clear();
    order->addAction("Natural order\tCtrl+0", this, [this] { ChooseOrderByNumber(0); });
    std::vector<TagDefinition> tags;
    if (TableTab* tab = CurrentTab()) ui::Guarded([&] { tags = TableTags(tab->Table()); });
    for (std::size_t i = 0; i < tags.size(); ++i) {
      const int number = static_cast<int>(i) + 1;
      const QString keys = number <= 9 ? QString("\tCtrl+%1").arg(number) : QString();
      order->addAction(TagDescription(tags[i]) + keys, this,
                       [this, number] { ChooseOrderByNumber(number); });
    }
    order->addSeparator();
    order->addAction("&Add tag...", this, [this] { AddTag(); });
    order->addAction("&Rebuild index", this, [this] { RebuildIndex(); });
  });

  QToolBar* bar = addToolBar("Table");
  bar->setObjectName("toolbar");
  bar->setMovable(false);
  bar->addAction(open);
  bar->addAction(editing_);
  bar->addAction(refresh);
  bar->addSeparator();
  orders_ = new OrderChooser(bar);
  orders_->OnChosen = [this](const std::string& tag) {
    if (TableTab* tab = CurrentTab()) tab->SetOrder(tag);
    UpdateOrders();
  };
  bar->addWidget(orders_);
}

bool MainWindow::OpenTable(const QString& path) {
  auto* tab = new TableTab(path, tabs_);
  if (!tab->Open(false)) {
    delete tab;
    return false;
  }
  tab->OnStatusChanged = [this, tab] {
    if (tab == CurrentTab()) UpdateStatus();
  };
  ViewSettings::AddRecentFile(path);
  const int index = tabs_->addTab(tab, tab->ShortName());
  tabs_->setTabToolTip(index, path);
  tabs_->setCurrentIndex(index);
  tab->Grid().setFocus();
  return true;
}

TableTab* MainWindow::CurrentTab() const { return static_cast<TableTab*>(tabs_->currentWidget()); }
int MainWindow::TabCount() const { return tabs_->count(); }
TableTab* MainWindow::Tab(int index) const { return static_cast<TableTab*>(tabs_->widget(index)); }
QString MainWindow::SearchResult() const { return search_result_; }

void MainWindow::AskAndOpen() {
  const QStringList files = QFileDialog::getOpenFileNames(
      this, "Open tables", QString(), kTableFilter, nullptr, QFileDialog::DontUseNativeDialog);
  for (const QString& file : files) OpenTable(file);
}

void MainWindow::FillRecent() {
  recent_->clear();
  for (const QString& file : ViewSettings::RecentFiles())
    recent_->addAction(file, this, [this, file] { OpenTable(file); });
  if (recent_->isEmpty()) recent_->addAction("(none)")->setEnabled(false);
}

void MainWindow::CloseTab(int index) {
  TableTab* tab = Tab(index);
  if (tab == nullptr) return;
  ui::Guarded([tab] { tab->Table().CheckBrowseMode(); });
  tabs_->removeTab(index);
  delete tab;
}

void MainWindow::CurrentChanged() {
  TableTab* tab = CurrentTab();
  editing_->setChecked(tab != nullptr && tab->Editing());
  show_deleted_->setChecked(tab == nullptr || !tab->HideDeleted());
  filter_bar_->SetCondition(tab != nullptr ? tab->Filter() : QString());
  std::vector<std::string> fields;
  if (tab != nullptr) {
    for (int i = 0; i < tab->Table().FieldCount(); ++i)
      fields.push_back(tab->Table().Fields(i)->FieldName());
  }
  search_bar_->SetFields(fields, tab != nullptr ? PreferredSearchField(*tab) : "");
  UpdateOrders();
  UpdateStatus();
}

void MainWindow::UpdateStatus() {
  TableTab* tab = CurrentTab();
  QString status = "No table: File > Open (Ctrl+O) or drop a table here";
  QString title = "oxview";
  if (tab != nullptr) {
    ui::Guarded([&] { status = tab->StatusText(); });
    title = "oxview - " + tab->ShortName() + (tab->Editing() ? " [editing]" : " [read-only]");
  }
  status_->setText(status);
  setWindowTitle(title);
}

void MainWindow::UpdateOrders() {
  TableTab* tab = CurrentTab();
  if (tab == nullptr) {
    orders_->SetTags({}, "");
    return;
  }
  ui::Guarded([&] { orders_->SetTags(TableTags(tab->Table()), tab->Order()); });
}

void MainWindow::ToggleEditing(bool on) {
  TableTab* tab = CurrentTab();
  if (tab != nullptr) tab->SetEditing(on);
  editing_->setChecked(tab != nullptr && tab->Editing());
  UpdateOrders();
  UpdateStatus();
}

void MainWindow::Find(bool next) {
  TableTab* tab = CurrentTab();
  if (tab == nullptr) return;
  ui::Guarded([&] {
    const SearchRequest request = search_bar_->Request();
    if (request.value.empty()) {
      search_bar_->Activate();
      return;
    }
    const SearchOutcome outcome =
        next ? FindNext(tab->Table(), request) : FindFirst(tab->Table(), request);
    search_bar_->ShowOutcome(outcome);
    search_result_ = outcome.found ? "found" : "not found";
    search_result_ += outcome.way == SearchWay::kIndex ? " (index)" : " (sequential)";
  });
  tab->Grid().setFocus();
  UpdateStatus();
}

void MainWindow::ChooseOrderByNumber(int number) {
  TableTab* tab = CurrentTab();
  if (tab == nullptr) return;
  if (number == 0) {
    tab->SetOrder("");
  } else {
    std::vector<TagDefinition> tags;
    ui::Guarded([&] { tags = TableTags(tab->Table()); });
    if (number > static_cast<int>(tags.size())) return;
    tab->SetOrder(tags[static_cast<std::size_t>(number - 1)].name);
  }
  CurrentChanged();
}

TableTab* MainWindow::EditingTab(const QString& title, const QString& what) {
  TableTab* tab = CurrentTab();
  if (tab != nullptr && !tab->Editing()) {
    QMessageBox::information(this, title, "Switch editing on (Ctrl+E) to " + what + ".");
    return nullptr;
  }
  return tab;
}

void MainWindow::AddTag() {
  TableTab* tab = EditingTab("Add tag", "add a tag to the index");
  if (tab == nullptr) return;
  const std::optional<TagDefinition> tag = AskForTag(this);
  if (!tag) return;
  ui::Guarded([&] { view::AddTag(tab->Table(), *tag); });
  CurrentChanged();
}

void MainWindow::RebuildIndex() {
  TableTab* tab = EditingTab("Rebuild index", "rebuild the index");
  if (tab == nullptr) return;
  ui::Guarded([&] { view::RebuildIndex(tab->Table()); });
  CurrentChanged();
}

void MainWindow::Export(bool json) {
  TableTab* tab = CurrentTab();
  if (tab == nullptr) return;
  const QString suggested = QFileInfo(tab->Path()).completeBaseName() + (json ? ".json" : ".csv");
  const QString file =
      QFileDialog::getSaveFileName(this, json ? "Export as JSON lines" : "Export as CSV", suggested,
                                   json ? "JSON lines (*.json *.jsonl)" : "CSV (*.csv)", nullptr,
                                   QFileDialog::DontUseNativeDialog);
  if (file.isEmpty()) return;
  ui::Guarded([&] {
    int damaged = 0;
    const long written = ExportTable(tab->Table(), json ? ExportKind::kJson : ExportKind::kCsv,
                                     file.toStdString(), &damaged);
    QString message = QString("%1 records written to %2").arg(written).arg(file);
    if (damaged > 0)
      message += QString("; %1 memo fields could not be read and are empty").arg(damaged);
    statusBar()->showMessage(message, 8000);
  });
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) OpenTable(url.toLocalFile());
  }
  event->acceptProposedAction();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Records being edited are posted; one that cannot be keeps the window.
  for (int i = 0; i < tabs_->count(); ++i) {
    bool posted = false;
    ui::Guarded([&] {
      Tab(i)->Table().CheckBrowseMode();
      posted = true;
    });
    if (!posted) {
      event->ignore();
      return;
    }
  }
  event->accept();
}

}  // namespace orvex::view
