// TCustomOxGrid: keys, mouse, the vertical scroll bar, editing, toggling
// logical values and the deleted state.
//
// The grid's rows never scroll by themselves: every move of the current row
// is a move of the dataset (MoveBy, First, Last, ...), after which the link's
// notifications put the selection on the active record again.
#include <QKeyEvent>
#include <QMouseEvent>

#include "controls/ox_grid.h"
#include "dataset/ox_data_set.h"
#include "platform/data/data_set.h"
#include "platform/data/database_error.h"
#include "platform/data/field.h"
#include "platform/data/field_text.h"
#include "platform/os/system.h"
#include "platform/widgets/qt_text.h"

namespace orvex {

namespace {

bool IsTrueText(const QString& text) {
  return text.compare(QLatin1String(data::kTrueText), Qt::CaseInsensitive) == 0;
}

}  // namespace

// -------------------------------------------------------------- editing ---

bool TCustomOxGrid::IsLogicalCell() const { return ColumnDbfType(SelectedIndex()) == 'L'; }

bool TCustomOxGrid::CanEditShow() const {
  return ui::TCustomGrid::CanEditShow() && !read_only_ && link_->Active() &&
         SelectedField() != nullptr && !IsLogicalCell();
}

bool TCustomOxGrid::CanEditModify() const {
  const TOxColumn* column = SelectedColumn();
  data::TField* field = SelectedField();
  if (read_only_ || column == nullptr || column->ReadOnly() || field == nullptr ||
      field->ReadOnly() || !CanModifyData()) {
    return false;
  }
  return link_->Edit();
}

bool TCustomOxGrid::CanEditAcceptKey(QChar) const { return !IsLogicalCell(); }

QString TCustomOxGrid::GetEditText(int, int) const {
  const data::TField* field = SelectedField();
  return field != nullptr ? QString::fromStdString(data::FieldTextUtf8(*field, false)) : QString();
}

void TCustomOxGrid::SetEditText(int, int, const QString& text) {
  edit_text_ = text;
  if (link_->Active() && link_->Editing()) link_->SetModified(true);
}

void TCustomOxGrid::ToggleLogical() {
  if (!(options_ & dgEditing) || !IsLogicalCell()) return;
  data::TField* field = SelectedField();
  if (!CanEditModify()) return;
  edit_text_ =
      ui::FromAnsi(IsTrueText(ui::FromAnsi(field->Text())) ? data::kFalseText : data::kTrueText);
  link_->SetModified(true);
  link_->UpdateRecord();
  InvalidateRow(Row());
}

void TCustomOxGrid::CancelEdit() {
  if (link_->Active() && link_->Editing()) DataSet()->Cancel();
  link_->SetModified(false);
  if (!(options_ & dgAlwaysShowEditor)) HideEditor();
}

// ---------------------------------------------------------------- moves ---

// The text typed into a cell belongs to that cell's field: before the
// selection leaves the column (by any key or click), it goes into the field.
void TCustomOxGrid::KeepColumnEdit() {
  if (link_->Modified() && link_->Editing()) link_->UpdateRecord();
}

bool TCustomOxGrid::SelectCell(int col, int row) {
  if (col != Col() && link_->Active()) KeepColumnEdit();
  if (syncing_row_ || row == Row() || !link_->Active()) return true;
  MoveBy(row - Row());
  return false;
}

void TCustomOxGrid::MoveBy(int distance) {
  if (!link_->Active() || distance == 0) return;
  DataSet()->MoveBy(distance);
}

void TCustomOxGrid::GoColumn(int index) {
  if (columns_->Count() == 0) return;
  index = std::clamp(index, 0, columns_->Count() - 1);
  if (index == SelectedIndex()) return;
  KeepColumnEdit();
  if (OnColExit) OnColExit(*this);
  MoveTo(index + IndicatorOffset(), Row());
  if (OnColEnter) OnColEnter(*this);
}

void TCustomOxGrid::TabMove(bool back) {
  const int index = SelectedIndex();
  if (!back && index >= columns_->Count() - 1) {
    MoveBy(1);
    if (!DataSet()->Eof()) GoColumn(0);
  } else if (back && index <= 0) {
    MoveBy(-1);
    if (!DataSet()->Bof()) GoColumn(columns_->Count() - 1);
  } else {
    GoColumn(index + (back ? -1 : 1));
  }
}

void TCustomOxGrid::HandleDown() {
  data::TDataSet* data_set = DataSet();
  if (data_set->State() == data::TDataSetState::dsInsert && !data_set->Modified() &&
      !link_->Modified()) {
    if (data_set->Eof()) return;
    data_set->Cancel();
  } else {
    data_set->Next();
  }
  if (data_set->Eof() && auto_append_ && (options_ & dgEditing) && !read_only_ && CanModifyData()) {
    data_set->Append();
  }
}

void TCustomOxGrid::HandleUp() {
  data::TDataSet* data_set = DataSet();
  if (data_set->State() == data::TDataSetState::dsInsert && !data_set->Modified() &&
      !link_->Modified() && data_set->Eof()) {
    data_set->Cancel();
  } else {
    data_set->Prior();
  }
}

void TCustomOxGrid::ToggleDeleted() {
  if (read_only_ || !CanModifyData() || DataSet()->IsEmpty()) return;
  data::TDataSet* data_set = DataSet();
  auto* ox = dynamic_cast<TOxDataSet*>(data_set);
  if (ox != nullptr && ox->IsCurrentDeleted()) {
    if ((options_ & dgConfirmRestore) && !os::Confirm(kConfirmRestore)) return;
    ox->SetCurrentDeleted(false);
    return;
  }
  if ((options_ & dgConfirmDelete) && !os::Confirm(kConfirmDelete)) return;
  if (ox != nullptr) {
    ox->SetCurrentDeleted(true);
  } else {
    data_set->Delete();
  }
}

// ----------------------------------------------------------------- keys ---

void TCustomOxGrid::KeyDown(QKeyEvent* event) {
  if (OnKeyDown) {
    OnKeyDown(*this, event);
    if (!event->isAccepted()) return;  // the handler took the key away
  }
  if (!link_->Active()) {
    ui::TCustomGrid::KeyDown(event);
    return;
  }
  data::TDataSet* data_set = DataSet();
  const auto mods = event->modifiers();
  const bool ctrl = mods & Qt::ControlModifier;
  const bool shift = mods & Qt::ShiftModifier;
  const bool row_select = options_ & dgRowSelect;
  const int visible = VisibleDataRows();
  const int active = link_->ActiveRecord();
  const int key = event->key();
  if (ctrl) {
    switch (key) {
      case Qt::Key_PageUp:
      case Qt::Key_Up:
        MoveBy(-active);
        return;
      case Qt::Key_PageDown:
      case Qt::Key_Down:
        MoveBy(link_->RecordCount() - 1 - active);
        return;
      case Qt::Key_Home:
        data_set->First();
        return;
      case Qt::Key_End:
        data_set->Last();
        return;
      case Qt::Key_Left:
        GoColumn(0);
        return;
      case Qt::Key_Right:
        GoColumn(columns_->Count() - 1);
        return;
      case Qt::Key_Delete:
        ToggleDeleted();
        return;
      case Qt::Key_Tab:
      case Qt::Key_Backtab:
        break;  // as without Ctrl, below
      default:
        ui::TCustomGrid::KeyDown(event);
        return;
    }
  }
  switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      if ((mods & Qt::AltModifier) || !(options_ & dgTabs)) {
        event->ignore();
        return;
      }
      TabMove(key == Qt::Key_Backtab || shift);
      return;
    case Qt::Key_Escape:
      CancelEdit();
      return;
    case Qt::Key_PageUp:
      MoveBy(-visible);
      return;
    case Qt::Key_PageDown:
      MoveBy(visible);
      return;
    case Qt::Key_Home:
      if (columns_->Count() == 1 || row_select) {
        data_set->First();
      } else {
        GoColumn(0);
      }
      return;
    case Qt::Key_End:
      if (columns_->Count() == 1 || row_select) {
        data_set->Last();
      } else {
        GoColumn(columns_->Count() - 1);
      }
      return;
    case Qt::Key_Down:
      HandleDown();
      return;
    case Qt::Key_Up:
      HandleUp();
      return;
    case Qt::Key_Left:
      if (row_select) {
        MoveBy(-1);
      } else {
        GoColumn(SelectedIndex() - 1);
      }
      return;
    case Qt::Key_Right:
      if (row_select) {
        MoveBy(1);
      } else {
        GoColumn(SelectedIndex() + 1);
      }
      return;
    case Qt::Key_Insert:
      if (!shift && !read_only_ && CanModifyData()) data_set->Insert();
      return;
    case Qt::Key_F2:
      ShowEditor();
      return;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (IsLogicalCell()) {
        ToggleLogical();
        return;
      }
      // Enter closes the editor on the text typed: the field takes it now,
      // so the cell shows what a later post stores. A text the field
      // refuses keeps the editor open.
      if (key != Qt::Key_Space && EditorMode()) KeepColumnEdit();
      break;
    case Qt::Key_Backspace:
      if (IsLogicalCell()) return;
      break;
    default:
      if (IsLogicalCell() && !event->text().isEmpty() && event->text().at(0).isPrint()) return;
      break;
  }
  if (read_only_ && !event->text().isEmpty() && event->text().at(0).isPrint()) return;
  ui::TCustomGrid::KeyDown(event);
}

// ---------------------------------------------------------------- mouse ---

void TCustomOxGrid::MouseDown(QMouseEvent* event, ui::GridCoord cell) {
  setFocus(Qt::MouseFocusReason);
  mouse_down_col_ = cell.col;
  const bool title_row = cell.row >= 0 && cell.row < TitleOffset();
  if ((title_row && (options_ & dgColumnResize)) || IsSizingArea(event->position().toPoint()) ||
      !link_->Active() || cell.row < TitleOffset() || cell.col < IndicatorOffset()) {
    ui::TCustomGrid::MouseDown(event, cell);
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  const ClickToggle toggled = click_toggle_;
  click_toggle_ = {};
  if (event->type() == QEvent::MouseButtonDblClick) {
    // A double click is no edit: it neither toggles a logical cell nor
    // keeps the toggle its first click made.
    if (toggled.done && cell.row == Row() && cell.col == Col()) {
      if (toggled.from_browse) {
        CancelEdit();
      } else {
        ToggleLogical();
      }
    }
    return;
  }
  const bool current = cell.row == Row() && cell.col == Col();
  if (cell.row != Row()) MoveBy(cell.row - Row());
  GoColumn(cell.col - IndicatorOffset());
  if (!current) return;
  if (IsLogicalCell()) {
    const bool from_browse = DataSet()->State() == data::TDataSetState::dsBrowse;
    ToggleLogical();
    click_toggle_ = {link_->Editing(), from_browse};
  } else {
    ShowEditor();
  }
}

void TCustomOxGrid::MouseUp(QMouseEvent* event, ui::GridCoord cell, ui::GridState finished) {
  const int down_col = mouse_down_col_;
  mouse_down_col_ = -1;
  if (finished != ui::GridState::kNormal) {
    ui::TCustomGrid::MouseUp(event, cell, finished);
    return;
  }
  if (cell.row < 0 || cell.col < 0) return;
  const bool left = event->button() == Qt::LeftButton;
  const bool right = event->button() == Qt::RightButton;
  const int indicator = IndicatorOffset();
  if (cell.row < TitleOffset()) {
    if (cell.col < indicator) {
      if (left && OnCornerLeftClick) OnCornerLeftClick(*this);
      if (right && OnCornerRightClick) OnCornerRightClick(*this);
      return;
    }
    const int index = cell.col - indicator;
    if (index >= columns_->Count()) return;
    TOxColumn* column = &columns_->Items(index);
    if (left && cell.col == down_col && OnTitleClick) OnTitleClick(*this, column);
    if (right) DepressTitle(column);
    return;
  }
  if (!left) return;
  if (cell.col < indicator) {
    if (OnIndicatorClick) OnIndicatorClick(*this);
  } else if (cell.col - indicator < columns_->Count() && OnCellClick) {
    OnCellClick(*this, &columns_->Items(cell.col - indicator));
  }
}

void TCustomOxGrid::DblClick(QMouseEvent*, ui::GridCoord) {
  if (OnDblClick) OnDblClick(*this);
}

// ---------------------------------------------------------- scroll bar ---

bool TCustomOxGrid::CanScroll() const {
  if (focusPolicy() == Qt::NoFocus || !isEnabled() || !link_->Active()) return false;
  auto* ox = dynamic_cast<TOxDataSet*>(DataSet());
  return ox == nullptr || ox->TableKeptOpen();
}

// A notch of the wheel moves the current record by one: the rows are a
// window onto the dataset that must hold the current record, so the view
// cannot scroll away from it.
void TCustomOxGrid::MouseWheel(int steps) {
  if (CanScroll()) MoveBy(steps);
}

void TCustomOxGrid::VScroll(ui::ScrollCode code, int position) {
  if (!CanScroll()) return;
  data::TDataSet* data_set = DataSet();
  const int visible = VisibleDataRows();
  const int active = link_->ActiveRecord();
  switch (code) {
    case ui::ScrollCode::kLineUp:
      MoveBy(-active - 1);
      return;
    case ui::ScrollCode::kLineDown:
      MoveBy(link_->RecordCount() - active);
      return;
    case ui::ScrollCode::kPageUp:
      MoveBy(-visible);
      return;
    case ui::ScrollCode::kPageDown:
      MoveBy(visible);
      return;
    case ui::ScrollCode::kTop:
      data_set->First();
      return;
    case ui::ScrollCode::kBottom:
      data_set->Last();
      return;
    case ui::ScrollCode::kThumbPosition:
      if (data_set->IsSequenced()) {
        if (position <= 1) {
          data_set->First();
        } else if (position >= data_set->GetRecordCount()) {
          data_set->Last();
        } else {
          data_set->SetRecNo(position);
        }
        return;
      }
      switch (position) {
        case 0:
          data_set->First();
          return;
        case 1:
          MoveBy(-visible);
          return;
        case 3:
          MoveBy(visible);
          return;
        case 4:
          data_set->Last();
          return;
        default:
          return;
      }
  }
}

}  // namespace orvex
