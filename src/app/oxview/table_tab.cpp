#include "app/oxview/table_tab.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/ox_grid.h"
#include "controls/ox_navigator.h"
#include "engine/peek_cache.h"
#include "app/oxview/column_layout.h"
#include "app/oxview/memo_pane.h"
#include "app/oxview/table_filter.h"
#include "app/oxview/table_orders.h"
#include "platform/widgets/application.h"

namespace orvex::view {

TableTab::TableTab(const QString& path, QWidget* parent) : QWidget(parent), path_(path) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  splitter_ = new QSplitter(Qt::Horizontal, this);
  grid_ = new TOxGrid(splitter_);
  grid_->setObjectName("grid");
  memo_ = new MemoPane(table_, splitter_);
  splitter_->addWidget(grid_);
  splitter_->addWidget(memo_);
  splitter_->setStretchFactor(0, 3);
  splitter_->setStretchFactor(1, 1);
  navigator_ = new TOxNavigator(this);
  navigator_->setFixedHeight(25);
  layout->addWidget(splitter_, 1);
  layout->addWidget(navigator_);

  source_.OnDataChange = [this](data::TDataSource&, data::TField* field) {
    if (field == nullptr) memo_->ShowRecord();
    StatusChanged();
  };
  source_.OnStateChange = [this](data::TDataSource&) { StatusChanged(); };
  navigator_->OnClick = [this](ui::NavigateBtn button) {
    if (button == ui::NavigateBtn::nbRefresh) ReleasePeekCache();
    StatusChanged();
  };

  refresh_timer_ = new QTimer(this);
  refresh_timer_->setSingleShot(true);
  refresh_timer_->setInterval(300);
  connect(refresh_timer_, &QTimer::timeout, this, [this] {
    // Not while the user changes a record: the refresh waits for the post.
    if (table_.Active() && table_.State() == data::TDataSetState::dsBrowse) {
      Refresh();
    } else if (table_.Active()) {
      refresh_timer_->start();
    }
  });
  watcher_ = new QFileSystemWatcher(this);
  connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this](const QString& file) {
    ReleasePeekCache();
    // A file replaced by a rename leaves the watch: watch the new one.
    if (!watcher_->files().contains(file) && QFileInfo::exists(file)) watcher_->addPath(file);
    ScheduleRefresh();
  });
}

TableTab::~TableTab() {
  SaveColumns();
  // The grid and the navigator hold links to the data source: unlink them
  // before the source and the table go.
  delete grid_;
  delete navigator_;
  source_.SetDataSet(nullptr);
  try {
    table_.Close();
  } catch (const std::exception& error) {
    ui::HandleException(error);
  }
}

std::string TableTab::UniqueTableName() {
  static int made = 0;
  return "OxDbf" + std::to_string(++made);
}

QString TableTab::ShortName() const { return QFileInfo(path_).fileName(); }

void TableTab::Configure(bool editing) {
  table_.SetDbfFileName(path_.toStdString());
  table_.SetReadOnly(!editing);
  table_.SetExclusive(false);
  table_.SetCreateIfNotFound(false);
  table_.SetCreateIndex(TCreateIndexType::ciNever);
  table_.SetShowProgress(true);
  editing_ = editing;
}

bool TableTab::Open(bool editing) {
  Configure(editing);
  try {
    table_.Open();
    OpenIndexBeside(table_);
  } catch (const std::exception& error) {
    ui::HandleException(error);
  }
  if (!table_.Active()) return false;
  source_.SetDataSet(&table_);
  grid_->SetDataSource(&source_);
  navigator_->SetDataSource(&source_);
  ApplyColumns(*grid_, ViewSettings::Columns(path_));
  memo_->Rebuild();
  ApplyEditing();
  const QString file = QString::fromStdString(table_.DbfFileName());
  if (QFileInfo::exists(file)) watcher_->addPath(QFileInfo(file).absoluteFilePath());
  opened_ = true;
  StatusChanged();
  return true;
}

bool TableTab::SetEditing(bool editing) {
  if (editing == editing_ || !table_.Active()) return editing == editing_;
  bool done = false;
  ui::Guarded([&] {
    table_.CheckBrowseMode();
    const int record = table_.IsEmpty() ? 0 : table_.GetRecNo();
    const std::string order = Order();
    const QString filter = filter_;
    SaveColumns();
    table_.Close();
    Configure(editing);
    try {
      table_.Open();
    } catch (...) {
      Configure(!editing);  // the table as it was
      table_.Open();
      OpenIndexBeside(table_);
      throw;
    }
    OpenIndexBeside(table_);
    ApplyColumns(*grid_, ViewSettings::Columns(path_));
    memo_->Rebuild();
    if (!order.empty()) SetOrder(order);
    if (!filter.isEmpty()) SetFilter(filter);
    if (record > 0) table_.SetRecNo(record);
    done = true;
  });
  ApplyEditing();
  StatusChanged();
  return done;
}

void TableTab::ApplyEditing() {
  grid_->SetReadOnly(!editing_);
  memo_->SetEditable(editing_);
}

void TableTab::SetHideDeleted(bool hide) {
  if (!table_.Active() || hide == table_.HideDeletedRecs()) return;
  ui::Guarded([&] {
    table_.CheckBrowseMode();
    table_.SetHideDeletedRecs(hide);
    table_.Refresh();
  });
  StatusChanged();
}

void TableTab::ToggleDeleted() {
  if (!table_.Active()) return;
  ui::Guarded([&] { grid_->ToggleDeleted(); });
  StatusChanged();
}

void TableTab::SetFilter(const QString& condition) {
  if (!table_.Active()) return;
  ui::Guarded([&] {
    view::SetFilter(table_, condition.trimmed().toStdString());
    filter_ = condition.trimmed();
  });
  StatusChanged();
}

void TableTab::SetOrder(const std::string& tag) {
  if (!table_.Active()) return;
  ui::Guarded([&] { UseOrder(table_, tag); });
  StatusChanged();
}

std::string TableTab::Order() { return table_.Active() ? ActiveTag(table_) : ""; }

void TableTab::Refresh() {
  if (!table_.Active()) return;
  ui::Guarded([&] {
    ReleasePeekCache();
    table_.Refresh();
  });
  StatusChanged();
}

void TableTab::HideCurrentColumn() {
  ColumnLayout layout = CurrentColumns(*grid_);
  const int index = grid_->SelectedIndex();
  if (layout.size() < 2 || index < 0 || index >= static_cast<int>(layout.size())) return;
  layout.erase(layout.begin() + index);
  ApplyColumns(*grid_, layout);
  SaveColumns();
}

void TableTab::ShowAllColumns() {
  ColumnLayout layout = CurrentColumns(*grid_);
  for (const std::string& field : HiddenFields(*grid_)) layout.push_back({field, 0});
  ApplyColumns(*grid_, layout);
  SaveColumns();
}

QString TableTab::StatusText() {
  if (!table_.Active()) return "No table";
  QStringList parts;
  const int count = table_.GetRecordCount();
  if (table_.IsEmpty()) {
    parts << QString("No records shown (%1 in the table)").arg(count);
  } else {
    parts << QString("Record %1 of %2").arg(table_.GetRecNo()).arg(count);
    if (table_.IsCurrentDeleted()) parts << "deleted";
  }
  // The table's own code page (850 where the library converts its text).
  parts << QString("CP %1").arg(table_.OemText() ? 850 : table_.TextCodePage());
  parts << (editing_ ? "editing, shared" : "read-only, shared");
  const std::string order = Order();
  parts << (order.empty() ? QString("natural order")
                          : "order " + QString::fromLatin1(order.c_str()));
  if (!filter_.isEmpty()) parts << "filter " + filter_;
  return parts.join(" | ");
}

void TableTab::StatusChanged() {
  if (OnStatusChanged) OnStatusChanged();
}

void TableTab::SaveColumns() {
  if (opened_ && table_.Active()) ViewSettings::SetColumns(path_, CurrentColumns(*grid_));
}

void TableTab::ScheduleRefresh() { refresh_timer_->start(); }

}  // namespace orvex::view
