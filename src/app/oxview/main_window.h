// oxview's main window: a tab per open table, the menus and the tool bar,
// the filter and search bars above the tabs and the status bar below.
//
// Tables come from the command line, File > Open (Ctrl+O), the recent
// files and files dropped on the window. A table that fails to open is
// reported through the library's message window and leaves the window as
// it was. The title names the current table and says "read-only" or
// "editing"; Ctrl+E switches editing for the current table.
#pragma once

#include <QMainWindow>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QTabWidget;

namespace orvex::view {

class FilterBar;
class OrderChooser;
class SearchBar;
class TableTab;

class MainWindow : public QMainWindow {
 public:
  MainWindow();
  ~MainWindow() override;

  // Opens `path` in a new tab (read-only); false after the failure was shown.
  bool OpenTable(const QString& path);
  TableTab* CurrentTab() const;
  // The current tab when its table is open for editing; else tells the
  // user (in a box titled `title`) to switch editing on to do `what`, and
  // answers null. Null without a tab.
  TableTab* EditingTab(const QString& title, const QString& what);
  int TabCount() const;
  TableTab* Tab(int index) const;
  // The search bar's last outcome as shown ("" before any).
  QString SearchResult() const;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void AskAndOpen();
  void FillRecent();
  void CloseTab(int index);
  // Title, status bar, order chooser, search fields and actions from the
  // current tab.
  void CurrentChanged();
  void UpdateStatus();
  void UpdateOrders();
  void ToggleEditing(bool on);
  void Find(bool next);
  void ChooseOrderByNumber(int number);
  void AddTag();
  void RebuildIndex();
  void Export(bool json);

  QTabWidget* tabs_ = nullptr;
  FilterBar* filter_bar_ = nullptr;
  SearchBar* search_bar_ = nullptr;
  OrderChooser* orders_ = nullptr;
  QLabel* status_ = nullptr;
  QMenu* recent_ = nullptr;
  QAction* editing_ = nullptr;
  QAction* show_deleted_ = nullptr;
  QString search_result_;
};

}  // namespace orvex::view
