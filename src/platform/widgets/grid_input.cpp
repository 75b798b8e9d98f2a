// TCustomGrid: moving the selection, keys, mouse gestures (column sizing and
// moving) and the in-place editor.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "platform/widgets/application.h"
#include "platform/widgets/custom_grid.h"

namespace orvex::ui {

bool TCustomGrid::MoveTo(int col, int row) {
  col = std::clamp(col, fixed_cols_, ColCount() - 1);
  row = std::clamp(row, fixed_rows_, RowCount() - 1);
  if (col == col_ && row == row_) {
    ScrollIntoView(col, row);
    return true;
  }
  if (!SelectCell(col, row)) return false;
  HideEditor();
  InvalidateRow(row_);
  col_ = col;
  row_ = row;
  InvalidateRow(row_);
  ScrollIntoView(col, row);
  if (options_ & goAlwaysShowEditor) ShowEditor();
  return true;
}

// ---- keys ----------------------------------------------------------------

void TCustomGrid::keyPressEvent(QKeyEvent* event) {
  Guarded([&] { KeyDown(event); });
}

void TCustomGrid::KeyDown(QKeyEvent* event) {
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const bool row_select = options_ & goRowSelect;
  int col = col_;
  int row = row_;
  switch (event->key()) {
    case Qt::Key_Up:
      row = ctrl ? top_row_ : row - 1;
      break;
    case Qt::Key_Down:
      row = ctrl ? top_row_ + VisibleRowCount() - 1 : row + 1;
      break;
    case Qt::Key_PageUp:
      row -= VisibleRowCount();
      break;
    case Qt::Key_PageDown:
      row += VisibleRowCount();
      break;
    case Qt::Key_Left:
      if (row_select) {
        SetLeftCol(left_col_ - 1);
        return;
      }
      col = ctrl ? fixed_cols_ : col - 1;
      break;
    case Qt::Key_Right:
      if (row_select) {
        SetLeftCol(left_col_ + 1);
        return;
      }
      col = ctrl ? ColCount() - 1 : col + 1;
      break;
    case Qt::Key_Home:
      if (ctrl)
        row = fixed_rows_;
      else
        col = fixed_cols_;
      break;
    case Qt::Key_End:
      if (ctrl)
        row = RowCount() - 1;
      else
        col = ColCount() - 1;
      break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
      if (!(options_ & goTabs) || (event->modifiers() & Qt::AltModifier)) {
        event->ignore();
        return;
      }
      const bool back = event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
      col += back ? -1 : 1;
      if (col < fixed_cols_ && row > fixed_rows_) {
        col = ColCount() - 1, --row;
      } else if (col >= ColCount() && row < RowCount() - 1) {
        col = fixed_cols_, ++row;
      }
      break;
    }
    case Qt::Key_F2:
      ShowEditor();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (EditorMode() && !(options_ & goAlwaysShowEditor)) {
        HideEditor();
      } else {
        ShowEditor();
      }
      return;
    case Qt::Key_Escape:
      if (!EditorMode()) {
        event->ignore();
        return;
      }
      editor_->setText(editor_start_text_);
      SetEditText(editor_cell_.col, editor_cell_.row, editor_start_text_);
      if (!(options_ & goAlwaysShowEditor)) HideEditor();
      return;
    default: {
      const QString text = event->text();
      // Alt with a letter is a shortcut (a button's or a menu's), not typing.
      if (text.isEmpty() || !text.at(0).isPrint() || ctrl ||
          (event->modifiers() & Qt::AltModifier)) {
        event->ignore();
        return;
      }
      if (!EditorMode()) {
        ShowEditor();
        if (!EditorMode() || editor_->isReadOnly()) return;
        editor_->clear();  // typing over a cell replaces its text
      }
      // A read-only editor ignores the key, which then comes back here from
      // its parent: forwarding it again would never end.
      if (editor_->isReadOnly()) return;
      QKeyEvent copy(event->type(), event->key(), event->modifiers(), text);
      QApplication::sendEvent(editor_, &copy);
      return;
    }
  }
  MoveTo(col, row);
}

bool TCustomGrid::focusNextPrevChild(bool next) {
  if (options_ & goTabs) return false;  // the key goes on to KeyDown
  return QAbstractScrollArea::focusNextPrevChild(next);
}

// ---- mouse ---------------------------------------------------------------

void TCustomGrid::mousePressEvent(QMouseEvent* event) {
  if (focusPolicy() != Qt::NoFocus && !HasFocusInside()) setFocus(Qt::MouseFocusReason);
  Guarded([&] { MouseDown(event, MouseCoord(event->position().toPoint())); });
}

void TCustomGrid::MouseDown(QMouseEvent* event, GridCoord cell) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint point = event->position().toPoint();
  const int sizing = SizingCol(point);
  if (sizing >= 0) {
    // The width follows the pointer's distance from where it was pressed,
    // so a click on a border without moving changes nothing.
    state_ = GridState::kColSizing;
    gesture_col_ = sizing;
    gesture_origin_ = point.x() - ColWidth(sizing);
    sizing_start_width_ = ColWidth(sizing);
    return;
  }
  if (cell.row >= 0 && cell.row < fixed_rows_ && cell.col >= fixed_cols_ &&
      (options_ & goColMoving)) {
    state_ = GridState::kColMoving;
    gesture_col_ = cell.col;
    gesture_origin_ = point.x();
    move_dragged_ = false;
    move_target_ = -1;
    return;
  }
  if (cell.col < fixed_cols_ || cell.row < fixed_rows_) return;
  state_ = GridState::kSelecting;
  if (cell == GridCoord{col_, row_}) {
    ShowEditor();
  } else {
    MoveTo(cell.col, cell.row);
  }
}

void TCustomGrid::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  switch (state_) {
    case GridState::kColSizing:
      col_widths_[static_cast<std::size_t>(gesture_col_)] =
          std::max(0, point.x() - gesture_origin_);
      Changed();
      break;
    case GridState::kColMoving: {
      if (!move_dragged_ &&
          std::abs(point.x() - gesture_origin_) < QApplication::startDragDistance()) {
        break;
      }
      move_dragged_ = true;
      const GridCoord over = MouseCoord(QPoint(point.x(), 0));
      if (over.col >= fixed_cols_) {
        move_target_ = over.col;
      } else if (point.x() >= viewport()->width() || over.col < 0) {
        move_target_ = point.x() < 0 ? left_col_ : ColCount() - 1;
      } else {
        move_target_ = left_col_;  // over the fixed columns
      }
      viewport()->update();
      break;
    }
    case GridState::kNormal:
      viewport()->setCursor(IsSizingArea(point) ? Qt::SplitHCursor : Qt::ArrowCursor);
      break;
    case GridState::kSelecting:
      break;
  }
}

void TCustomGrid::mouseReleaseEvent(QMouseEvent* event) {
  GridState finished = state_;
  const int from = gesture_col_;
  const int to = move_target_;
  const bool dragged = move_dragged_;
  state_ = GridState::kNormal;
  gesture_col_ = move_target_ = -1;
  move_dragged_ = false;
  Guarded([&] {
    if (finished == GridState::kColSizing) {
      if (ColWidth(from) != sizing_start_width_) ColWidthsChanged();
    } else if (finished == GridState::kColMoving && dragged) {
      viewport()->update();
      MoveColumn(from, to);
    }
  });
  if (finished == GridState::kColMoving) viewport()->update();  // the drop mark goes
  // A click on a title is not a move, nor is a click on a cell a gesture.
  if (finished == GridState::kSelecting || (finished == GridState::kColMoving && !dragged)) {
    finished = GridState::kNormal;
  }
  Guarded([&] { MouseUp(event, MouseCoord(event->position().toPoint()), finished); });
}

void TCustomGrid::MouseUp(QMouseEvent*, GridCoord, GridState) {}

void TCustomGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click is also a press, then the double click.
  mousePressEvent(event);
  Guarded([&] { DblClick(event, MouseCoord(event->position().toPoint())); });
}

void TCustomGrid::DblClick(QMouseEvent*, GridCoord) {}

void TCustomGrid::wheelEvent(QWheelEvent* event) {
  // A notch is 120; finer wheels and touchpads send parts of one, which
  // add up until a whole notch is reached.
  const QPoint delta = event->angleDelta();
  wheel_rest_ += QPoint(delta.x(), delta.y());
  const int down = -wheel_rest_.y() / 120;
  const int right = -wheel_rest_.x() / 120;
  wheel_rest_ = QPoint(wheel_rest_.x() % 120, wheel_rest_.y() % 120);
  if (right != 0) SetLeftCol(left_col_ + right);
  if (down != 0) Guarded([&] { MouseWheel(down); });
  event->accept();
}

void TCustomGrid::MouseWheel(int steps) {
  if (!external_vscroll_) {
    SetTopRow(top_row_ + 3 * steps);
    return;
  }
  for (int i = 0; i < std::abs(steps); ++i) {
    VScroll(steps > 0 ? ScrollCode::kLineDown : ScrollCode::kLineUp, verticalScrollBar()->value());
  }
}

void TCustomGrid::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  InvalidateRow(row_);
}

void TCustomGrid::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  InvalidateRow(row_);
}

// ---- in-place editor ----------------------------------------------------

bool TCustomGrid::CanEditShow() const {
  return (options_ & goEditing) && !(options_ & goRowSelect);
}

bool TCustomGrid::CanEditModify() const { return true; }
bool TCustomGrid::CanEditAcceptKey(QChar) const { return true; }
QString TCustomGrid::GetEditText(int, int) const { return {}; }
void TCustomGrid::SetEditText(int, int, const QString&) {}

bool TCustomGrid::EditorMode() const { return editor_ != nullptr && !editor_->isHidden(); }

void TCustomGrid::ShowEditor() {
  if (!CanEditShow()) return;
  const GridCoord cell{col_, row_};
  if (EditorMode() && editor_cell_ == cell) return;
  if (editor_ == nullptr) {
    editor_ = new QLineEdit(viewport());
    editor_->setFrame(false);
    editor_->installEventFilter(this);
    connect(editor_, &QLineEdit::textEdited, this, [this](const QString& text) {
      Guarded([&] { SetEditText(editor_cell_.col, editor_cell_.row, text); });
    });
  }
  editor_cell_ = cell;
  editor_->setFont(font());
  editor_->show();
  InvalidateEditor();
  PlaceEditor();
  editor_->selectAll();
  editor_->setFocus(Qt::OtherFocusReason);
  InvalidateCell(col_, row_);
}

void TCustomGrid::InvalidateEditor() {
  if (!EditorMode()) return;
  editor_start_text_ = GetEditText(editor_cell_.col, editor_cell_.row);
  editor_->setText(editor_start_text_);
  editor_->setReadOnly(!CanEditModify());
}

void TCustomGrid::HideEditor() {
  if (!EditorMode()) return;
  const bool had_focus = editor_->hasFocus();
  editor_->hide();
  if (had_focus) setFocus(Qt::OtherFocusReason);
  InvalidateCell(editor_cell_.col, editor_cell_.row);
}

void TCustomGrid::PlaceEditor() {
  if (!EditorMode()) return;
  const QRect rect = CellRect(editor_cell_.col, editor_cell_.row);
  // A cell scrolled out of view keeps its editor, out of sight.
  editor_->setGeometry(rect.isEmpty() ? QRect(-10000, -10000, 10, 10) : rect);
}

bool TCustomGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched != editor_ || event->type() != QEvent::KeyPress) {
    return QAbstractScrollArea::eventFilter(watched, event);
  }
  auto* key = static_cast<QKeyEvent*>(event);
  switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_F2:
      Guarded([&] { KeyDown(key); });
      return true;
    default:
      break;
  }
  const QString text = key->text();
  if (!text.isEmpty() && text.at(0).isPrint() && !CanEditAcceptKey(text.at(0))) return true;
  return false;
}

}  // namespace orvex::ui
