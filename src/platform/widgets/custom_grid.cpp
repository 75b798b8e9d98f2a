// TCustomGrid: shape, layout, scrolling and painting. Keys, mouse and the
// in-place editor are in grid_input.cpp.
#include "platform/widgets/custom_grid.h"

#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "platform/widgets/application.h"
#include "platform/widgets/forms.h"
#include "platform/widgets/paint_utils.h"

namespace orvex::ui {

TCustomGrid::TCustomGrid(QWidget* parent)
    : QAbstractScrollArea(parent),
      col_widths_(5, 64),
      row_heights_(5, 24),
      color_(WindowColor()),
      fixed_color_(ButtonFaceColor()) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { Guarded([&] { VScrollAction(action); }); });
  connect(verticalScrollBar(), &QScrollBar::sliderReleased, this,
          [this] { Guarded([&] { VScrollReleased(); }); });
  Changed();
}

TCustomGrid::~TCustomGrid() {
  // The editor and the scroll bar outlive this part of the object (QWidget
  // frees children later); they must not call back into it meanwhile.
  verticalScrollBar()->disconnect(this);
  if (editor_ != nullptr) {
    editor_->removeEventFilter(this);
    delete editor_;
  }
}

// ---- shape ---------------------------------------------------------------

void TCustomGrid::SetColCount(int count) {
  col_widths_.resize(static_cast<std::size_t>(std::max(1, count)), default_col_width_);
  Changed();
}

void TCustomGrid::SetRowCount(int count) {
  row_heights_.resize(static_cast<std::size_t>(std::max(1, count)), default_row_height_);
  Changed();
}

void TCustomGrid::SetFixedCols(int count) {
  wanted_fixed_cols_ = std::max(0, count);
  Changed();
}

void TCustomGrid::SetFixedRows(int count) {
  wanted_fixed_rows_ = std::max(0, count);
  Changed();
}

void TCustomGrid::SetDefaultColWidth(int width) {
  default_col_width_ = std::max(0, width);
  std::fill(col_widths_.begin(), col_widths_.end(), default_col_width_);
  Changed();
}

void TCustomGrid::SetDefaultRowHeight(int height) {
  default_row_height_ = std::max(0, height);
  std::fill(row_heights_.begin(), row_heights_.end(), default_row_height_);
  Changed();
}

int TCustomGrid::ColWidth(int col) const {
  return col >= 0 && col < ColCount() ? col_widths_[static_cast<std::size_t>(col)] : 0;
}

int TCustomGrid::RowHeight(int row) const {
  return row >= 0 && row < RowCount() ? row_heights_[static_cast<std::size_t>(row)] : 0;
}

void TCustomGrid::SetColWidth(int col, int width) {
  if (col < 0 || col >= ColCount()) return;
  col_widths_[static_cast<std::size_t>(col)] = std::max(0, width);
  Changed();
  ColWidthsChanged();
}

void TCustomGrid::SetRowHeight(int row, int height) {
  if (row < 0 || row >= RowCount()) return;
  row_heights_[static_cast<std::size_t>(row)] = std::max(0, height);
  Changed();
}

void TCustomGrid::SetGridLineWidth(int width) {
  line_width_ = std::max(0, width);
  Changed();
}

void TCustomGrid::SetOptions(GridOptions options) {
  options_ = options;
  if (!CanEditShow()) HideEditor();
  Changed();
  if (options_ & goAlwaysShowEditor) ShowEditor();
}

void TCustomGrid::SetColor(const QColor& color) {
  color_ = color;
  viewport()->update();
}

void TCustomGrid::SetFixedColor(const QColor& color) {
  fixed_color_ = color;
  viewport()->update();
}

// ---- layout --------------------------------------------------------------

int TCustomGrid::VertGap() const {
  return options_ & (goFixedVertLine | goVertLine) ? line_width_ : 0;
}

int TCustomGrid::HorzGap() const {
  return options_ & (goFixedHorzLine | goHorzLine) ? line_width_ : 0;
}

int TCustomGrid::ColAdvance(int col) const {
  ++measured_cells_;
  return ColWidth(col) + VertGap();
}

int TCustomGrid::RowAdvance(int row) const {
  ++measured_cells_;
  return RowHeight(row) + HorzGap();
}

int TCustomGrid::ColLeft(int col) const {
  if (col < 0 || col >= ColCount() || (col >= fixed_cols_ && col < left_col_)) return -1;
  int x = 0;
  for (int c = 0; c < std::min(col, fixed_cols_); ++c) x += ColAdvance(c);
  // Stops at the screen's edge: a column far to the right costs no more.
  const int width = viewport()->width();
  for (int c = left_col_; c < col && x < width; ++c) x += ColAdvance(c);
  return x < width ? x : -1;
}

int TCustomGrid::RowTop(int row) const {
  if (row < 0 || row >= RowCount() || (row >= fixed_rows_ && row < top_row_)) return -1;
  int y = 0;
  for (int r = 0; r < std::min(row, fixed_rows_); ++r) y += RowAdvance(r);
  const int height = viewport()->height();
  for (int r = top_row_; r < row && y < height; ++r) y += RowAdvance(r);
  return y < height ? y : -1;
}

int TCustomGrid::LastLeftCol() const {
  int room = viewport()->width();
  for (int c = 0; c < fixed_cols_; ++c) room -= ColAdvance(c);
  int c = ColCount() - 1;
  while (c >= fixed_cols_ && ColAdvance(c) <= room) room -= ColAdvance(c--);
  return std::clamp(c + 1, fixed_cols_, ColCount() - 1);
}

int TCustomGrid::LastTopRow() const {
  int room = viewport()->height();
  for (int r = 0; r < fixed_rows_; ++r) room -= RowAdvance(r);
  int r = RowCount() - 1;
  while (r >= fixed_rows_ && RowAdvance(r) <= room) room -= RowAdvance(r--);
  return std::clamp(r + 1, fixed_rows_, RowCount() - 1);
}

int TCustomGrid::VisibleColCount() const {
  int room = viewport()->width();
  for (int c = 0; c < fixed_cols_; ++c) room -= ColAdvance(c);
  int count = 0;
  for (int c = left_col_; c < ColCount() && ColWidth(c) <= room; ++c, ++count)
    room -= ColAdvance(c);
  return std::max(count, left_col_ < ColCount() ? 1 : 0);
}

int TCustomGrid::VisibleRowCount() const {
  int room = viewport()->height();
  for (int r = 0; r < fixed_rows_; ++r) room -= RowAdvance(r);
  int count = 0;
  for (int r = top_row_; r < RowCount() && RowHeight(r) <= room; ++r, ++count)
    room -= RowAdvance(r);
  return std::max(count, top_row_ < RowCount() ? 1 : 0);
}

QRect TCustomGrid::CellRect(int col, int row) const {
  const int x = ColLeft(col);
  const int y = RowTop(row);
  if (x < 0 || y < 0) return {};
  return QRect(x, y, ColWidth(col), RowHeight(row));
}

GridCoord TCustomGrid::MouseCoord(const QPoint& point) const {
  // Fixed cells first, then the scrollable ones from the first on screen.
  auto find = [](int pos, int fixed, int first, int count, auto advance) {
    for (int i = 0, start = 0; i < count; ++i) {
      if (i == fixed) i = std::max(i, first);
      if (i >= count) break;
      if (pos >= start && pos < start + advance(i)) return i;
      start += advance(i);
    }
    return -1;
  };
  if (point.x() >= viewport()->width() || point.y() >= viewport()->height()) return {};
  const int col =
      find(point.x(), fixed_cols_, left_col_, ColCount(), [this](int c) { return ColAdvance(c); });
  const int row =
      find(point.y(), fixed_rows_, top_row_, RowCount(), [this](int r) { return RowAdvance(r); });
  if (col < 0 || row < 0) return {};
  return {col, row};
}

int TCustomGrid::SizingCol(const QPoint& point) const {
  if (!(options_ & goColSizing) || state_ != GridState::kNormal) return -1;
  int fixed_height = 0;
  for (int r = 0; r < fixed_rows_; ++r) fixed_height += RowAdvance(r);
  if (point.y() < 0 || point.y() >= fixed_height) return -1;
  const int reach = line_width_ + 2;
  for (int c = left_col_; c < ColCount(); ++c) {
    const int x = ColLeft(c);
    if (x < 0) break;
    const int edge = x + ColWidth(c) + VertGap() / 2;
    if (std::abs(point.x() - edge) <= reach) return c;
  }
  return -1;
}

bool TCustomGrid::IsSizingArea(const QPoint& point) const { return SizingCol(point) >= 0; }

// ---- scrolling -----------------------------------------------------------

void TCustomGrid::Changed() {
  fixed_cols_ = std::min(wanted_fixed_cols_, ColCount() - 1);
  fixed_rows_ = std::min(wanted_fixed_rows_, RowCount() - 1);
  col_ = std::clamp(col_, fixed_cols_, ColCount() - 1);
  row_ = std::clamp(row_, fixed_rows_, RowCount() - 1);
  left_col_ = std::clamp(left_col_, fixed_cols_, LastLeftCol());
  top_row_ = std::clamp(top_row_, fixed_rows_, LastTopRow());
  UpdateScrollBars();
  PlaceEditor();
  viewport()->update();
}

void TCustomGrid::UpdateScrollBars() {
  syncing_bars_ = true;
  horizontalScrollBar()->setRange(fixed_cols_, LastLeftCol());
  horizontalScrollBar()->setPageStep(VisibleColCount());
  horizontalScrollBar()->setValue(left_col_);
  if (!external_vscroll_) {
    verticalScrollBar()->setRange(fixed_rows_, LastTopRow());
    verticalScrollBar()->setPageStep(VisibleRowCount());
    verticalScrollBar()->setValue(top_row_);
  }
  syncing_bars_ = false;
}

void TCustomGrid::SetLeftCol(int col) {
  col = std::clamp(col, fixed_cols_, LastLeftCol());
  if (col == left_col_) return;
  left_col_ = col;
  Changed();
  TopLeftChanged();
}

void TCustomGrid::SetTopRow(int row) {
  row = std::clamp(row, fixed_rows_, LastTopRow());
  if (row == top_row_) return;
  top_row_ = row;
  Changed();
  TopLeftChanged();
}

namespace {

// The first scrollable cell to show (LeftCol or TopRow) so that `cell`,
// `size` pixels large, is wholly in `room`: `cell` itself when it lies
// before `first`; otherwise the smallest start from `first` on from which
// it fits (`cell` itself when it is larger than the room). The room is
// walked once from `cell` back, never further than one screen reaches, so a
// jump across a million rows costs what one screenful costs.
template <typename Advance>
int FirstToShow(int cell, int first, int fixed, int room, int size, Advance advance) {
  if (cell < fixed) return first;
  if (cell <= first) return cell;
  int start = cell;
  int used = size;
  while (start > first && used + advance(start - 1) <= room) used += advance(--start);
  return start;
}

}  // namespace

void TCustomGrid::ScrollIntoView(int col, int row) {
  const int left = left_col_;
  const int top = top_row_;
  int room_x = viewport()->width();
  for (int c = 0; c < fixed_cols_; ++c) room_x -= ColAdvance(c);
  int room_y = viewport()->height();
  for (int r = 0; r < fixed_rows_; ++r) room_y -= RowAdvance(r);
  left_col_ = FirstToShow(col, left_col_, fixed_cols_, room_x, ColWidth(col),
                          [this](int c) { return ColAdvance(c); });
  top_row_ = FirstToShow(row, top_row_, fixed_rows_, room_y, RowHeight(row),
                         [this](int r) { return RowAdvance(r); });
  Changed();
  if (left != left_col_ || top != top_row_) TopLeftChanged();
}

void TCustomGrid::scrollContentsBy(int, int) {
  if (syncing_bars_) return;
  const int left = horizontalScrollBar()->value();
  const int top = external_vscroll_ ? top_row_ : verticalScrollBar()->value();
  if (left == left_col_ && top == top_row_) return;
  left_col_ = left;
  top_row_ = top;
  PlaceEditor();
  viewport()->update();
  Guarded([&] { TopLeftChanged(); });
}

void TCustomGrid::SetExternalVScroll(bool external) {
  external_vscroll_ = external;
  vs_min_ = vs_max_ = vs_page_ = vs_pos_ = 0;
  syncing_bars_ = true;
  verticalScrollBar()->setRange(0, 0);
  syncing_bars_ = false;
  setVerticalScrollBarPolicy(external ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  Changed();
}

bool TCustomGrid::SetVScroll(int min, int max, int page, int position) {
  if (!external_vscroll_) return false;
  if (min == vs_min_ && max == vs_max_ && page == vs_page_ && position == vs_pos_) return false;
  vs_min_ = min, vs_max_ = max, vs_page_ = page, vs_pos_ = position;
  const int last = std::max(min, page > 0 ? max - page + 1 : max);
  syncing_bars_ = true;
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(min, last);
  bar->setPageStep(std::max(page, 0));
  bar->setValue(position);
  syncing_bars_ = false;
  setVerticalScrollBarPolicy(min == max ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
  return true;
}

void TCustomGrid::VScrollAction(int action) {
  if (!external_vscroll_) return;
  ScrollCode code;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      code = ScrollCode::kLineUp;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      code = ScrollCode::kLineDown;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = ScrollCode::kPageUp;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = ScrollCode::kPageDown;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = ScrollCode::kTop;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = ScrollCode::kBottom;
      break;
    default:
      return;  // the thumb is dragged: it reports where it was let go
  }
  QScrollBar* bar = verticalScrollBar();
  const int position = bar->sliderPosition();
  // Qt has already stepped the slider; the data decides where it really goes.
  bar->setSliderPosition(vs_pos_);
  VScroll(code, position);
}

void TCustomGrid::VScrollReleased() {
  if (!external_vscroll_) return;
  QScrollBar* bar = verticalScrollBar();
  const int position = bar->sliderPosition();
  VScroll(ScrollCode::kThumbPosition, position);
  syncing_bars_ = true;
  bar->setValue(vs_pos_);
  syncing_bars_ = false;
}

void TCustomGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  ViewportSized();
}

bool TCustomGrid::event(QEvent* event) {
  const bool handled = QAbstractScrollArea::event(event);
  // A scroll bar that comes or goes resizes the viewport in the scroll
  // area's layout pass, which does not always tell the viewport: the
  // rows that fit are counted again here.
  if (event->type() == QEvent::LayoutRequest && viewport()->size() != laid_out_size_) {
    ViewportSized();
  }
  return handled;
}

void TCustomGrid::ViewportSized() {
  laid_out_size_ = viewport()->size();
  Changed();
  Guarded([&] { ClientResized(); });
}

// ---- painting ------------------------------------------------------------

bool TCustomGrid::HasFocusInside() const {
  return hasFocus() || (editor_ != nullptr && editor_->hasFocus());
}

void TCustomGrid::PaintGaps(QPainter& painter, bool fixed, const QRect& cell,
                            const QColor& background) {
  const int v = VertGap();
  const int h = HorzGap();
  if (v > 0) {
    const bool line = options_ & (fixed ? goFixedVertLine : goVertLine);
    const QColor color = line ? QColor(fixed ? kFixedLineColor : kLineColor) : background;
    painter.fillRect(QRect(cell.right() + 1, cell.top(), v, cell.height() + h), color);
  }
  if (h > 0) {
    const bool line = options_ & (fixed ? goFixedHorzLine : goHorzLine);
    const QColor color = line ? QColor(fixed ? kFixedLineColor : kLineColor) : background;
    painter.fillRect(QRect(cell.left(), cell.bottom() + 1, cell.width() + v, h), color);
  }
}

void TCustomGrid::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), color_);
  const bool focused = HasFocusInside();
  const QColor text = palette().color(QPalette::Text);
  for (int row = 0, y = 0; row < RowCount() && y < viewport()->height(); ++row) {
    if (row == fixed_rows_) row = std::max(row, top_row_);
    if (row >= RowCount()) break;
    for (int col = 0, x = 0; col < ColCount() && x < viewport()->width(); ++col) {
      if (col == fixed_cols_) col = std::max(col, left_col_);
      if (col >= ColCount()) break;
      const QRect cell(x, y, ColWidth(col), RowHeight(row));
      unsigned state = 0;
      if (col < fixed_cols_ || row < fixed_rows_) {
        state |= gdFixed;
      } else if (row == row_ && (col == col_ || (options_ & goRowSelect))) {
        state |= gdSelected;
        if (col == col_ && focused) state |= gdFocused;
      }
      const bool highlight =
          (state & gdSelected) &&
          (!(state & gdFocused) || (options_ & (goDrawFocusSelected | goRowSelect)));
      const QColor background = (state & gdFixed) ? fixed_color_
                                : highlight       ? HighlightColor()
                                                  : color_;
      painter.save();
      painter.setClipRect(cell);
      painter.fillRect(cell, background);
      painter.setPen(highlight ? HighlightTextColor() : text);
      painter.setFont(font());
      Guarded([&] { DrawCell(painter, col, row, cell, state); });
      painter.restore();
      PaintGaps(painter, state & gdFixed, cell, background);
      x += ColAdvance(col);
    }
    y += RowAdvance(row);
  }
  if (state_ == GridState::kColMoving && move_dragged_ && move_target_ >= 0) {
    // Where the dragged column would go: a bar at the target's near edge.
    const int x = ColLeft(move_target_);
    const int edge = move_target_ > gesture_col_ ? x + ColWidth(move_target_) : x;
    painter.fillRect(QRect(edge - 1, 0, 3, viewport()->height()), Qt::black);
  }
}

void TCustomGrid::DrawCell(QPainter& painter, int, int, const QRect& rect, unsigned draw_state) {
  if ((draw_state & gdFocused) && !(options_ & goRowSelect) && !EditorMode()) {
    DrawFocusRect(painter, rect);
  }
}

void TCustomGrid::InvalidateCell(int col, int row) {
  const QRect r = CellRect(col, row);
  if (!r.isEmpty()) viewport()->update(r.adjusted(0, 0, VertGap(), HorzGap()));
}

void TCustomGrid::InvalidateRow(int row) {
  const int y = RowTop(row);
  if (y >= 0) viewport()->update(QRect(0, y, viewport()->width(), RowAdvance(row)));
}

void TCustomGrid::InvalidateCol(int col) {
  const int x = ColLeft(col);
  if (x >= 0) viewport()->update(QRect(x, 0, ColAdvance(col), viewport()->height()));
}

void TCustomGrid::InvalidateGrid() { viewport()->update(); }

void TCustomGrid::MoveColumn(int from, int to) {
  const int last = ColCount() - 1;
  if (from < fixed_cols_ || to < fixed_cols_ || from > last || to > last || from == to) return;
  const auto begin = col_widths_.begin();
  if (from < to) {
    std::rotate(begin + from, begin + from + 1, begin + to + 1);
  } else {
    std::rotate(begin + to, begin + from, begin + from + 1);
  }
  if (col_ == from) {
    col_ = to;
  } else if (from < col_ && col_ <= to) {
    --col_;
  } else if (to <= col_ && col_ < from) {
    ++col_;
  }
  Changed();
  ColumnMoved(from, to);
}

// ---- default hooks -------------------------------------------------------

bool TCustomGrid::SelectCell(int, int) { return true; }
void TCustomGrid::ColumnMoved(int, int) {}
void TCustomGrid::ColWidthsChanged() {}
void TCustomGrid::TopLeftChanged() {}
void TCustomGrid::ClientResized() {}
void TCustomGrid::VScroll(ScrollCode, int) {}

}  // namespace orvex::ui
