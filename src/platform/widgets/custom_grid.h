// TCustomGrid: the plain grid that the data-aware grid is built on.
//
// Cells in columns and rows, each column with its own width and each row with
// its own height; the first FixedCols columns and FixedRows rows stay in place
// and are drawn in FixedColor, the others scroll. Scrolling is by whole cells:
// LeftCol and TopRow are the first scrollable column and row on screen.
// Geometry is in pixels of the viewport (the area inside the scroll bars).
//
// Lines: every column is followed by a gap of GridLineWidth pixels when
// goFixedVertLine or goVertLine is set, every row when goFixedHorzLine or
// goHorzLine is set; without either option of an axis there is no gap. The
// gap beside a fixed cell is a line in kFixedLineColor when its "Fixed" option
// is set, the gap beside another cell a line in kLineColor when its plain
// option is set; otherwise the gap takes the cell's background.
//
// One cell is selected (Col, Row), always a scrollable one; moving it scrolls
// it into view. With goRowSelect the whole current row counts as selected.
//
// By mouse, with goColSizing, the right edge of a column in a fixed row can be
// dragged (GridLineWidth + 2 pixels either side; scrollable columns only):
// the column grows or shrinks by the distance dragged, and ColWidthsChanged
// follows when its width changed;
// with goColMoving a press on
// a fixed-row cell of a scrollable column, dragged further than the system's
// drag distance, moves that column to where it is released.
//
// The wheel: vertical notches go to MouseWheel, horizontal ones scroll the
// columns by one per notch.
//
// Editing (goEditing): an in-place QLineEdit over the selected cell, shown by
// F2, Enter, a printable key (not with Ctrl or Alt), or a click on the
// selected cell; always shown
// with goAlwaysShowEditor. Its text comes from GetEditText and every change
// the user makes goes to SetEditText. Esc puts back the text the editor
// started with and hides it (unless goAlwaysShowEditor).
//
// The vertical scroll bar normally follows TopRow. A derived grid whose rows
// are a window onto data it scrolls itself calls SetExternalVScroll(true):
// then the bar shows what SetVScroll sets, and every user action on it (and
// the mouse wheel) is handed to VScroll instead of moving rows.
//
// Derived grids draw cells in DrawCell and may replace key and mouse handling
// (KeyDown, MouseDown, MouseUp, DblClick), and decide about editing through
// CanEditShow, CanEditModify and CanEditAcceptKey.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QPainter>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <vector>

class QLineEdit;
class QKeyEvent;
class QMouseEvent;

namespace orvex::ui {

enum GridOption : unsigned {
  goFixedVertLine = 1u << 0,
  goFixedHorzLine = 1u << 1,
  goVertLine = 1u << 2,
  goHorzLine = 1u << 3,
  goDrawFocusSelected = 1u << 4,
  goColSizing = 1u << 5,
  goColMoving = 1u << 6,
  goEditing = 1u << 7,
  goTabs = 1u << 8,
  goRowSelect = 1u << 9,
  goAlwaysShowEditor = 1u << 10,
};
using GridOptions = unsigned;

// What a cell is while it is drawn.
enum GridDrawState : unsigned {
  gdSelected = 1u << 0,  // the selected cell, or in the current row with goRowSelect
  gdFocused = 1u << 1,   // the selected cell of a grid that has the focus
  gdFixed = 1u << 2,     // in a fixed row or column
};

// What the mouse is doing with the grid.
enum class GridState { kNormal, kSelecting, kColSizing, kColMoving };

// User actions on an externally managed vertical scroll bar.
enum class ScrollCode { kLineUp, kLineDown, kPageUp, kPageDown, kTop, kBottom, kThumbPosition };

struct GridCoord {
  int col = -1;
  int row = -1;
  bool operator==(const GridCoord&) const = default;
};

class TCustomGrid : public QAbstractScrollArea {
 public:
  static constexpr QRgb kFixedLineColor = 0xFF000000;  // black
  static constexpr QRgb kLineColor = 0xFFC0C0C0;       // silver

  explicit TCustomGrid(QWidget* parent = nullptr);
  ~TCustomGrid() override;

  // Shape. Counts are at least 1 (columns) and 1 (rows); the fixed counts in
  // force are those set, cut to leave one scrollable column and row (so they
  // come back when the grid grows again). New columns and rows get
  // the default sizes; setting a default size resets every column or row.
  int ColCount() const { return static_cast<int>(col_widths_.size()); }
  void SetColCount(int count);
  int RowCount() const { return static_cast<int>(row_heights_.size()); }
  void SetRowCount(int count);
  int FixedCols() const { return fixed_cols_; }
  void SetFixedCols(int count);
  int FixedRows() const { return fixed_rows_; }
  void SetFixedRows(int count);
  int DefaultColWidth() const { return default_col_width_; }
  void SetDefaultColWidth(int width);
  int DefaultRowHeight() const { return default_row_height_; }
  void SetDefaultRowHeight(int height);
  int ColWidth(int col) const;
  void SetColWidth(int col, int width);  // width >= 0; calls ColWidthsChanged
  int RowHeight(int row) const;
  void SetRowHeight(int row, int height);
  int GridLineWidth() const { return line_width_; }
  void SetGridLineWidth(int width);
  GridOptions Options() const { return options_; }
  void SetOptions(GridOptions options);
  QColor Color() const { return color_; }
  void SetColor(const QColor& color);
  QColor FixedColor() const { return fixed_color_; }
  void SetFixedColor(const QColor& color);

  // The selected cell and the scroll position.
  int Col() const { return col_; }
  int Row() const { return row_; }
  void SetCol(int col) { MoveTo(col, row_); }
  void SetRow(int row) { MoveTo(col_, row); }
  // Selects a scrollable cell (clamped into range) when SelectCell agrees,
  // and scrolls it into view. Returns whether the selection is now there.
  bool MoveTo(int col, int row);
  int LeftCol() const { return left_col_; }
  void SetLeftCol(int col);
  int TopRow() const { return top_row_; }
  void SetTopRow(int row);
  // Scrollable columns and rows that fit wholly on screen from LeftCol and
  // TopRow (at least 1 while there is any).
  int VisibleColCount() const;
  int VisibleRowCount() const;

  // The cell's rectangle without its lines; empty when it is not on screen.
  QRect CellRect(int col, int row) const;
  // The cell under a viewport point; {-1, -1} outside every cell.
  GridCoord MouseCoord(const QPoint& point) const;
  // Whether a press at this viewport point would start column sizing.
  bool IsSizingArea(const QPoint& point) const;
  GridState State() const { return state_; }
  // How many times the layout has taken a cell's size (with its line) since
  // the grid was made: the work of moving, scrolling and painting, which
  // depends on what is on screen, not on how many rows the grid holds.
  std::uint64_t MeasuredCells() const { return measured_cells_; }

  void InvalidateCell(int col, int row);
  void InvalidateRow(int row);
  void InvalidateCol(int col);
  void InvalidateGrid();

  // Moves column `from` to place `to` (both scrollable) with its width; calls
  // ColumnMoved.
  void MoveColumn(int from, int to);

  // The externally managed vertical scroll bar (see above). SetVScroll takes
  // Windows' meaning: positions min..max-page+1 when page > 0; min == max
  // removes the bar. Returns false when nothing changed.
  void SetExternalVScroll(bool external);
  bool ExternalVScroll() const { return external_vscroll_; }
  bool SetVScroll(int min, int max, int page, int position);

  // The in-place editor.
  bool EditorMode() const;
  void ShowEditor();
  void HideEditor();
  // Takes the shown editor's text (and whether it may be changed) afresh
  // from GetEditText and CanEditModify, after the data under it changed.
  void InvalidateEditor();
  QLineEdit* InplaceEditor() const { return editor_; }

 protected:
  // Draws one cell; `rect` excludes the lines and has been filled already
  // (fixed cells in FixedColor, selected cells in the highlight colour unless
  // focused, others in Color). The default draws a focus rectangle on a
  // focused cell.
  virtual void DrawCell(QPainter& painter, int col, int row, const QRect& rect,
                        unsigned draw_state);
  // May the selection move to this cell? The default agrees.
  virtual bool SelectCell(int col, int row);
  // May the editor be shown now? Default: goEditing without goRowSelect.
  virtual bool CanEditShow() const;
  // May the editor's text be changed? Default: yes.
  virtual bool CanEditModify() const;
  // May this typed character go into the editor? Default: yes.
  virtual bool CanEditAcceptKey(QChar key) const;
  virtual QString GetEditText(int col, int row) const;
  virtual void SetEditText(int col, int row, const QString& text);

  // Keys and mouse. The defaults implement the plain grid's behaviour; a
  // derived grid handles what it wants and calls them for the rest.
  virtual void KeyDown(QKeyEvent* event);
  virtual void MouseDown(QMouseEvent* event, GridCoord cell);
  // `finished` is what the press started and the release ended (kNormal for
  // a plain click, also when a column move was never dragged far enough).
  virtual void MouseUp(QMouseEvent* event, GridCoord cell, GridState finished);
  virtual void DblClick(QMouseEvent* event, GridCoord cell);
  // The wheel turned by `steps` notches (positive = towards the user). Default:
  // three rows per notch, or kLineDown / kLineUp per notch to VScroll when the
  // vertical bar is external.
  virtual void MouseWheel(int steps);
  // A user action on the external vertical bar; `position` is the thumb's
  // position for kThumbPosition.
  virtual void VScroll(ScrollCode code, int position);

  // Notifications.
  virtual void ColumnMoved(int from, int to);
  virtual void ColWidthsChanged();
  virtual void TopLeftChanged();
  virtual void ClientResized();

  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // With goTabs, Tab and Shift+Tab move between cells instead of focus.
  bool focusNextPrevChild(bool next) override;

 private:
  // Pixel layout along one axis: where each visible cell starts.
  int ColAdvance(int col) const;  // width plus its line
  int RowAdvance(int row) const;
  int VertGap() const;
  int HorzGap() const;
  int SizingCol(const QPoint& point) const;  // -1 outside the sizing areas
  int ColLeft(int col) const;                // -1 when not on screen
  int RowTop(int row) const;
  int LastLeftCol() const;  // the largest LeftCol that still fills the view
  int LastTopRow() const;
  void UpdateScrollBars();
  void Changed();        // layout changed: clamp, scroll bars, editor, repaint
  void ViewportSized();  // the viewport has a new size: Changed, ClientResized
  void ScrollIntoView(int col, int row);
  void PlaceEditor();
  void VScrollAction(int action);
  void VScrollReleased();
  void PaintGaps(QPainter& painter, bool fixed, const QRect& cell, const QColor& background);
  bool HasFocusInside() const;

  std::vector<int> col_widths_;
  std::vector<int> row_heights_;
  int wanted_fixed_cols_ = 1;
  int wanted_fixed_rows_ = 1;
  int fixed_cols_ = 1;  // in force
  int fixed_rows_ = 1;
  int default_col_width_ = 64;
  int default_row_height_ = 24;
  int line_width_ = 1;
  GridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine;
  QColor color_;
  QColor fixed_color_;
  int col_ = 1;
  int row_ = 1;
  int left_col_ = 1;
  int top_row_ = 1;
  bool syncing_bars_ = false;
  mutable std::uint64_t measured_cells_ = 0;
  QSize laid_out_size_;  // the viewport's size at the last ViewportSized

  // Mouse gestures.
  GridState state_ = GridState::kNormal;
  int gesture_col_ = -1;    // the column being sized or moved
  int gesture_origin_ = 0;  // sizing: the column's left edge; moving: press x
  bool move_dragged_ = false;
  int move_target_ = -1;
  int sizing_start_width_ = 0;
  QPoint wheel_rest_;  // wheel turns short of a whole notch

  // External vertical bar: the last values set, in Qt's terms.
  bool external_vscroll_ = false;
  int vs_min_ = 0, vs_max_ = 0, vs_page_ = 0, vs_pos_ = 0;

  QLineEdit* editor_ = nullptr;
  QString editor_start_text_;
  GridCoord editor_cell_;
};

}  // namespace orvex::ui
