// TCustomOxGrid / TOxGrid: the data-aware grid. Rows are records of the
// dataset of DataSource, columns its fields (TOxGridColumns). The grid's
// rows are a window onto the dataset's ring of buffers: the data link asks
// for as many buffers as rows fit, the grid's selected row is always the
// link's active record, and scrolling moves the dataset, not the rows.
//
// FIELD MAP: one field index per grid column (-1 without field), built from
// the persistent columns' field names, or from every visible field in field
// order; OnDefineFieldMap runs after it is built. More than 16379 entries
// raise EInvalidGridOperation "Zu viele Spalten in Tabelle".
//
// LAYOUT (after a change of structure, columns or options): the field map,
// pass-through columns for the mapped fields (non-persistent columns), the
// plain grid's columns (plus the indicator column with dgIndicator), fixed
// columns = indicator + FixedColumns (cut to the number of columns), one
// title row with dgTitles; data rows are "Wg" high in the grid's font plus 3
// (plus the line width with dgRowLines), the title row "Wg" in the largest
// title font plus 4.
//
// DRAWING: each row gets its seven colours (TOxRowColors) afresh, then, when
// OnChangeColorsEvent is set, the event may change them with the row made
// the link's active record (and, on a TOxDataSet, its buffer written into
// the work area; the previous record is put back afterwards, also on
// failure). Deleted records of a TOxDataSet are drawn in DeletedColor /
// DeletedTextColor; logical fields are drawn as boxes (BooleanBox).
//
// KEYS, MOUSE, SCROLL BAR: see ox_grid_input.cpp. Deleting and restoring
// through Ctrl+Delete ask through os::Confirm (57863 "Datensatz löschen ?",
// 57862 "Datensatz restaurieren ?") when dgConfirmDelete / dgConfirmRestore.
//
// Exceptions from the dataset during drawing, keys and mouse go to the
// application's exception handler (ui::Guarded); Qt never sees them.
#pragma once

#include <QImage>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/ox_grid_columns.h"
#include "controls/ox_messages.h"
#include "dataset/ox_data_link.h"
#include "platform/os/exception.h"
#include "platform/widgets/custom_grid.h"
#include "platform/widgets/resources.h"

namespace orvex::data {
class TDataSet;
class TDataSource;
class TField;
}  // namespace orvex::data

namespace orvex {

class TOxDataSet;

// The grid error of the platform.
class EInvalidGridOperation : public Exception {
 public:
  using Exception::Exception;
};

inline constexpr int kMaxMapSize = 16380;

enum TOxGridOption : unsigned {
  dgEditing = 1u << 0,
  dgAlwaysShowEditor = 1u << 1,
  dgTitles = 1u << 2,
  dgIndicator = 1u << 3,
  dgColumnResize = 1u << 4,
  dgColLines = 1u << 5,
  dgRowLines = 1u << 6,
  dgTabs = 1u << 7,
  dgRowSelect = 1u << 8,
  dgAlwaysShowSelection = 1u << 9,
  dgConfirmDelete = 1u << 10,
  dgConfirmRestore = 1u << 11,
};
using TOxGridOptions = unsigned;
inline constexpr TOxGridOptions kDefaultGridOptions = 3325;

enum class TOxBooleanBox {
  bbCheckBox,
  bbCheckMark,
  bbText,
  bbFillBox,
  bbFillBoxRed,
  bbRButton,
  bbRButtonRed,
  bbDot,
  bbDotRed
};

// The seven colours of a row; an invalid QColor is "none".
struct TOxRowColors {
  QColor IndicatorColor, CellColor, CellTextColor, HiliteColor, HiliteTextColor, DeletedColor,
      DeletedTextColor;
};

class TCustomOxGrid;

// The grid's data link: owns the field map and hands the notifications to
// the grid.
class TOxGridDataLink : public TOxDataLink {
 public:
  explicit TOxGridDataLink(TCustomOxGrid& grid) : grid_(grid) {}
  // Field index of grid column `column` (data columns from 0); -1 without.
  int FieldIndex(int column) const;
  int MapSize() const { return static_cast<int>(map_.size()); }
  // Adds a field (by name; an unknown name maps to -1); 16380 at most.
  void AddMapping(const std::string& field_name);
  void ClearMapping();
  // Makes row `row` active to draw it; on a TOxDataSet its buffer is also
  // written into the work area. Restore puts the previous one back.
  int BeginRow(int row);
  void EndRow(int previous);
  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int distance) override;
  void RecordChanged(data::TField* field) override;
  void EditingChanged() override;
  void LayoutChanged() override;
  void UpdateData() override;
  void FocusControl(data::TField*& field) override;

 private:
  void WriteActiveToEngine();
  TCustomOxGrid& grid_;
  std::vector<int> map_;
  bool modified_ = false;
};

class TCustomOxGrid : public ui::TCustomGrid {
 public:
  using ClickEvent = std::function<void(TCustomOxGrid&, TOxColumn*)>;
  using Notify = std::function<void(TCustomOxGrid&)>;
  using ChangeColorsEvent = std::function<void(TCustomOxGrid&, int cur_row, TOxRowColors&)>;
  using DrawColumnCellEvent =
      std::function<void(TCustomOxGrid&, const QRect&, int data_col, TOxColumn*, unsigned state)>;
  using DrawDataCellEvent =
      std::function<void(TCustomOxGrid&, const QRect&, data::TField*, unsigned state)>;

  explicit TCustomOxGrid(QWidget* parent = nullptr);
  ~TCustomOxGrid() override;

  // ------------------------------------------------------- properties ---
  bool AutoAppend() const { return auto_append_; }
  void SetAutoAppend(bool on) { auto_append_ = on; }
  TOxBooleanBox BooleanBox() const { return boolean_box_; }
  void SetBooleanBox(TOxBooleanBox box);
  TOxGridColumns& Columns() { return *columns_; }
  data::TDataSource* DataSource() const;
  void SetDataSource(data::TDataSource* source);
  bool DefaultDrawing() const { return default_drawing_; }
  void SetDefaultDrawing(bool on) { default_drawing_ = on; }
  bool DepressDisabled() const { return depress_disabled_; }
  void SetDepressDisabled(bool disabled);
  int FixedColumns() const { return fixed_columns_; }
  void SetFixedColumns(int count);
  TOxGridOptions GridOptions() const { return options_; }
  void SetGridOptions(TOxGridOptions options);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only);
  TOxFont Font() const;
  void SetFont(const TOxFont& font);
  TOxFont TitleFont() const { return title_font_; }
  void SetTitleFont(const TOxFont& font);
  void SetGridColor(const QColor& color);
  void SetGridFixedColor(const QColor& color);

  // The stored column descriptions: read when the grid is loaded (see
  // ReadSavedColumns); always written empty.
  void ReadSavedColumns(const std::vector<std::string>& lines);
  std::vector<std::string> WriteSavedColumns() const { return {}; }
  // Loading from a stored form: between BeginLoading and EndLoading cells are
  // only filled and columns do not look up their fields; EndLoading builds
  // the layout and attaches the stored data source.
  void BeginLoading() { loading_ = true; }
  void EndLoading(data::TDataSource* source);
  bool Loading() const { return loading_; }
  bool DesignMode() const { return design_mode_; }
  void SetDesignMode(bool on) { design_mode_ = on; }

  // ------------------------------------------------------ information ---
  TOxGridDataLink& DataLink() { return *link_; }
  data::TDataSet* DataSet() const;
  // The grid column (data columns from 0) that is current; -1 without.
  int SelectedIndex() const;
  void SetSelectedIndex(int index);
  TOxColumn* SelectedColumn() const;
  data::TField* SelectedField() const;
  // The field shown in data column `index`; nullptr without.
  data::TField* ColumnField(int index) const;
  // The DBF type letter of a column's field; ' ' when there is none (or the
  // dataset is no TOxDataSet). Taken when the layout is built.
  char ColumnDbfType(int index) const;
  // Whether the dataset may be changed through the grid.
  bool CanModifyData() const;
  // The title pressed by the right mouse button; nullptr when none.
  TOxColumn* PressedColumn() const { return pressed_; }
  void DepressTitle(TOxColumn* column);
  int IndicatorOffset() const { return (options_ & dgIndicator) ? 1 : 0; }
  int TitleOffset() const { return (options_ & dgTitles) ? 1 : 0; }
  // Rows that fit below the titles.
  int VisibleDataRows() const;
  const ui::TImageList& Indicators() const { return indicators_; }
  // The colours of the row being drawn (valid while drawing).
  const TOxRowColors& RowColors() const { return colors_; }
  // Whether the row shows a record flagged as deleted.
  bool RowDeleted(int data_row);

  // Rebuilds the layout from the dataset, columns and options.
  void LayoutChanged();
  // Toggles the deleted state of the current record (Ctrl+Delete).
  void ToggleDeleted();

  // ------------------------------------------------------------ events ---
  ClickEvent OnCellClick, OnTitleClick, OnDepressTitle;
  ChangeColorsEvent OnChangeColorsEvent;
  Notify OnColEnter, OnColExit, OnCornerLeftClick, OnCornerRightClick, OnIndicatorClick,
      OnDefineFieldMap, OnDblClick;
  std::function<void(TCustomOxGrid&, int from, int to)> OnColumnMoved;
  DrawColumnCellEvent OnDrawColumnCell;
  DrawDataCellEvent OnDrawDataCell;
  // Runs before the grid handles a key; ignoring the event (ignore())
  // keeps the grid from handling it.
  std::function<void(TCustomOxGrid&, QKeyEvent*)> OnKeyDown;

 protected:
  // The plain grid's hooks.
  void DrawCell(QPainter& painter, int col, int row, const QRect& rect,
                unsigned draw_state) override;
  bool SelectCell(int col, int row) override;
  bool CanEditShow() const override;
  bool CanEditModify() const override;
  bool CanEditAcceptKey(QChar key) const override;
  QString GetEditText(int col, int row) const override;
  void SetEditText(int col, int row, const QString& text) override;
  void KeyDown(QKeyEvent* event) override;
  void MouseDown(QMouseEvent* event, ui::GridCoord cell) override;
  void MouseUp(QMouseEvent* event, ui::GridCoord cell, ui::GridState finished) override;
  void DblClick(QMouseEvent* event, ui::GridCoord cell) override;
  void MouseWheel(int steps) override;
  void VScroll(ui::ScrollCode code, int position) override;
  void ColumnMoved(int from, int to) override;
  void ColWidthsChanged() override;
  void ClientResized() override;

 private:
  friend class TOxGridDataLink;
  friend class TOxColumn;
  friend class TOxGridColumns;
  // Link notifications.
  void LinkActiveChanged();
  void DataChanged();
  void RecordChanged(data::TField* field);
  void EditingChanged();
  void UpdateData();
  void FocusField(data::TField*& field);
  void ColumnsChanged();

  void BuildFieldMap();
  void SyncColumns();
  void UpdateRowCount();
  void UpdateActive();
  void UpdateScrollBar();
  char LookUpDbfType(int index) const;
  void ApplyOptions();
  int DataRowHeight() const;
  int TitleRowHeight() const;

  // Drawing (ox_grid_draw.cpp).
  void ResetRowColors();
  void ChangeRowColors(int row);
  void DrawIndicator(QPainter& painter, int row, const QRect& rect);
  void DrawTitle(QPainter& painter, TOxColumn& column, const QRect& rect);
  void DrawDataCell(QPainter& painter, int data_col, int row, const QRect& rect, unsigned state);
  void DrawBooleanBox(QPainter& painter, const QRect& rect, const QString& text,
                      const QColor& font_color);

  // Keys and moves (ox_grid_input.cpp).
  void MoveBy(int distance);
  bool CanScroll() const;
  void GoColumn(int index);
  void TabMove(bool back);
  void HandleDown();
  void HandleUp();
  void ToggleLogical();
  bool IsLogicalCell() const;
  void KeepColumnEdit();
  void CancelEdit();

  std::unique_ptr<TOxGridDataLink> link_;
  std::unique_ptr<TOxGridColumns> columns_;
  ui::TImageList indicators_;
  TOxGridOptions options_ = kDefaultGridOptions;
  TOxBooleanBox boolean_box_ = TOxBooleanBox::bbCheckBox;
  TOxFont title_font_;
  TOxRowColors colors_;
  TOxColumn* pressed_ = nullptr;
  int fixed_columns_ = 0;
  int last_drawn_col_ = -1;
  int mouse_down_col_ = -1;
  int layout_lock_ = 0;
  bool auto_append_ = true;
  bool default_drawing_ = true;
  bool depress_disabled_ = false;
  bool read_only_ = false;
  bool loading_ = false;
  bool design_mode_ = false;
  bool in_layout_ = false;
  bool syncing_row_ = false;
  QString edit_text_;
  // Whether the last press toggled a logical cell, and whether the record
  // was unchanged (browse) before: a double click takes the toggle back.
  struct ClickToggle {
    bool done = false;
    bool from_browse = false;
  };
  ClickToggle click_toggle_;
  int scroll_position_ = 1;
  // Drawing looks these up per cell, so they are kept: the type letter of
  // each column's field (rebuilt with the layout) and whether the row being
  // drawn is a deleted record (taken before its first cell).
  std::vector<char> column_types_;
  bool row_deleted_ = false;  // kept while a record is being inserted
  // The display text of the cell being drawn; kept so that its storage is
  // reused from cell to cell instead of allocated for each.
  std::string cell_text_;
};

// The published grid.
class TOxGrid : public TCustomOxGrid {
 public:
  using TCustomOxGrid::TCustomOxGrid;
};

}  // namespace orvex
