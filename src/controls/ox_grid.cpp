// TCustomOxGrid: properties, the data link and field map, and the layout.
#include "controls/ox_grid.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPalette>
#include <algorithm>

#include "dataset/ox_data_set.h"
#include "platform/data/data_set.h"
#include "platform/data/field.h"
#include "platform/data/field_text.h"
#include "platform/widgets/qt_text.h"

namespace orvex {

// ------------------------------------------------------------ data link ---

int TOxGridDataLink::FieldIndex(int column) const {
  if (column < 0 || column >= MapSize()) return -1;
  return map_[static_cast<std::size_t>(column)];
}

void TOxGridDataLink::AddMapping(const std::string& field_name) {
  if (MapSize() > kMaxMapSize - 1) throw EInvalidGridOperation(kTooManyColumns);
  // Room for 8 first, then doubling, but never beyond the limit.
  if (map_.capacity() == map_.size()) {
    map_.reserve(std::min<std::size_t>(std::max<std::size_t>(8, map_.capacity() * 2), kMaxMapSize));
  }
  const data::TField* field =
      DataSet() != nullptr && !field_name.empty() ? DataSet()->FindField(field_name) : nullptr;
  map_.push_back(field != nullptr ? field->Index() : -1);
}

void TOxGridDataLink::ClearMapping() { map_.clear(); }

void TOxGridDataLink::WriteActiveToEngine() {
  if (auto* ox = dynamic_cast<TOxDataSet*>(DataSet()); ox != nullptr && ox->ActiveBuffer()) {
    ox->WriteEngineRecord(ox->ActiveBuffer(), -1);
  }
}

int TOxGridDataLink::BeginRow(int row) {
  const int previous = ActiveRecord();
  SetActiveRecord(row);
  WriteActiveToEngine();
  return previous;
}

void TOxGridDataLink::EndRow(int previous) {
  SetActiveRecord(previous);
  WriteActiveToEngine();
}

void TOxGridDataLink::ActiveChanged() { grid_.LinkActiveChanged(); }
void TOxGridDataLink::DataSetChanged() { grid_.DataChanged(); }
void TOxGridDataLink::DataSetScrolled(int distance) {
  TOxDataLink::DataSetScrolled(distance);  // keeps the distance; calls DataSetChanged
}
void TOxGridDataLink::RecordChanged(data::TField* field) { grid_.RecordChanged(field); }
void TOxGridDataLink::EditingChanged() { grid_.EditingChanged(); }
void TOxGridDataLink::LayoutChanged() { grid_.LayoutChanged(); }
void TOxGridDataLink::UpdateData() { grid_.UpdateData(); }
void TOxGridDataLink::FocusControl(data::TField*& field) { grid_.FocusField(field); }

// ----------------------------------------------------------------- grid ---

TCustomOxGrid::TCustomOxGrid(QWidget* parent)
    : ui::TCustomGrid(parent),
      link_(std::make_unique<TOxGridDataLink>(*this)),
      columns_(std::make_unique<TOxGridColumns>(this)) {
  title_font_ = Font();
  SetColor(QApplication::palette().color(QPalette::Base));
  SetFixedColor(QApplication::palette().color(QPalette::Button));
  for (const char* name : {"OXGARROW", "OXEDIT", "OXINSERT"}) {
    indicators_.Add(ui::LoadBitmap(name), Qt::white);
  }
  SetExternalVScroll(true);
  SetFixedCols(1);
  SetFixedRows(1);
  setFocusPolicy(Qt::StrongFocus);
  ApplyOptions();
  LayoutChanged();
}

TCustomOxGrid::~TCustomOxGrid() {
  // The link must not call back into a grid that is going.
  ++layout_lock_;
  link_->SetDataSource(nullptr);
}

data::TDataSource* TCustomOxGrid::DataSource() const { return link_->DataSource(); }
void TCustomOxGrid::SetDataSource(data::TDataSource* source) {
  if (loading_) return;  // EndLoading attaches it
  link_->SetDataSource(source);
  LayoutChanged();
}
data::TDataSet* TCustomOxGrid::DataSet() const { return link_->DataSet(); }

void TCustomOxGrid::EndLoading(data::TDataSource* source) {
  loading_ = false;
  SetColCount(columns_->Count() + IndicatorOffset());
  LayoutChanged();
  if (source != nullptr) SetDataSource(source);
}

void TCustomOxGrid::SetBooleanBox(TOxBooleanBox box) {
  boolean_box_ = box;
  InvalidateGrid();
}

void TCustomOxGrid::SetDepressDisabled(bool disabled) {
  if (disabled && !depress_disabled_ && pressed_ != nullptr) {
    pressed_ = nullptr;
    InvalidateGrid();
  }
  depress_disabled_ = disabled;
}

void TCustomOxGrid::SetFixedColumns(int count) {
  fixed_columns_ = std::max(0, count);
  LayoutChanged();
}

void TCustomOxGrid::SetGridOptions(TOxGridOptions options) {
  // Whole-row selection leaves no cell to edit.
  if (options & dgRowSelect) options &= ~(dgEditing | dgAlwaysShowEditor);
  if (options == options_) return;
  options_ = options;
  ApplyOptions();
  LayoutChanged();
}

void TCustomOxGrid::ApplyOptions() {
  ui::GridOptions plain = 0;
  if (options_ & dgColLines) plain |= ui::goFixedVertLine | ui::goVertLine;
  if (options_ & dgRowLines) plain |= ui::goFixedHorzLine | ui::goHorzLine;
  if (options_ & dgColumnResize) plain |= ui::goColSizing | ui::goColMoving;
  if (options_ & dgTabs) plain |= ui::goTabs;
  if (options_ & dgRowSelect) plain |= ui::goRowSelect;
  if (options_ & dgEditing) plain |= ui::goEditing;
  if (options_ & dgAlwaysShowEditor) plain |= ui::goAlwaysShowEditor;
  SetOptions(plain);
}

void TCustomOxGrid::SetReadOnly(bool read_only) {
  read_only_ = read_only;
  if (read_only) HideEditor();
}

TOxFont TCustomOxGrid::Font() const { return {font(), palette().color(QPalette::WindowText)}; }

void TCustomOxGrid::SetFont(const TOxFont& font) {
  setFont(font.font);
  QPalette p = palette();
  p.setColor(QPalette::WindowText, font.color);
  p.setColor(QPalette::Text, font.color);
  setPalette(p);
  LayoutChanged();
}

void TCustomOxGrid::SetTitleFont(const TOxFont& font) {
  title_font_ = font;
  LayoutChanged();
}

void TCustomOxGrid::SetGridColor(const QColor& color) {
  SetColor(color);
  InvalidateGrid();
}
void TCustomOxGrid::SetGridFixedColor(const QColor& color) {
  SetFixedColor(color);
  InvalidateGrid();
}

void TCustomOxGrid::ReadSavedColumns(const std::vector<std::string>& lines) {
  orvex::ReadSavedColumns(*columns_, lines);
}

// ---------------------------------------------------------- information ---

int TCustomOxGrid::SelectedIndex() const {
  const int index = Col() - IndicatorOffset();
  return index >= 0 && index < columns_->Count() ? index : -1;
}

void TCustomOxGrid::SetSelectedIndex(int index) { GoColumn(index); }

TOxColumn* TCustomOxGrid::SelectedColumn() const {
  const int index = SelectedIndex();
  return index >= 0 ? &columns_->Items(index) : nullptr;
}

data::TField* TCustomOxGrid::ColumnField(int index) const {
  if (!link_->Active()) return nullptr;
  const int field = link_->FieldIndex(index);
  data::TDataSet* data_set = DataSet();
  return field >= 0 && field < data_set->FieldCount() ? data_set->Fields(field) : nullptr;
}

data::TField* TCustomOxGrid::SelectedField() const { return ColumnField(SelectedIndex()); }

char TCustomOxGrid::ColumnDbfType(int index) const {
  return index >= 0 && index < static_cast<int>(column_types_.size())
             ? column_types_[static_cast<std::size_t>(index)]
             : ' ';
}

char TCustomOxGrid::LookUpDbfType(int index) const {
  const data::TField* field = ColumnField(index);
  auto* ox = dynamic_cast<TOxDataSet*>(DataSet());
  if (field == nullptr || ox == nullptr || ox->FieldProps() == nullptr ||
      field->FieldKind() != data::TFieldKind::fkData) {
    return ' ';
  }
  const int number = ox->FieldProps()->Find(field->FieldName());
  return number > 0 ? ox->FieldProps()->Type(number) : ' ';
}

bool TCustomOxGrid::CanModifyData() const {
  return link_->Active() && !link_->ReadOnly() && DataSet()->CanModify();
}

bool TCustomOxGrid::RowDeleted(int data_row) {
  auto* ox = dynamic_cast<TOxDataSet*>(DataSet());
  if (ox == nullptr || !link_->Active() || data_row >= link_->RecordCount()) return false;
  const int previous = link_->ActiveRecord();
  link_->SetActiveRecord(data_row);
  const bool deleted = ox->ActiveBuffer() != nullptr && ox->ActiveBuffer()[0] != 0;
  link_->SetActiveRecord(previous);
  return deleted;
}

void TCustomOxGrid::DepressTitle(TOxColumn* column) {
  if (depress_disabled_) return;
  pressed_ = column;
  InvalidateGrid();
  if (OnDepressTitle) OnDepressTitle(*this, column);
}

// --------------------------------------------------------------- layout ---

int TCustomOxGrid::DataRowHeight() const {
  int height = QFontMetrics(font()).size(0, QStringLiteral("Wg")).height() + 3;
  if (options_ & dgRowLines) height += GridLineWidth();
  return height;
}

int TCustomOxGrid::TitleRowHeight() const {
  int text = 0;
  if (columns_->Count() == 0) {
    text = QFontMetrics(title_font_.font).size(0, QStringLiteral("Wg")).height();
  }
  for (int i = 0; i < columns_->Count(); ++i) {
    const QFontMetrics metrics(columns_->Items(i).Title().Font().font);
    text = std::max(text, metrics.size(0, QStringLiteral("Wg")).height());
  }
  return text + 4;
}

int TCustomOxGrid::VisibleDataRows() const {
  const int gap = (options_ & dgRowLines) ? GridLineWidth() : 0;
  int height = viewport()->height();
  if (options_ & dgTitles) height -= TitleRowHeight() + gap;
  return std::max(1, height / (DataRowHeight() + gap));
}

void TCustomOxGrid::BuildFieldMap() {
  link_->ClearMapping();
  if (link_->Active()) {
    data::TDataSet* data_set = DataSet();
    if (columns_->State() == TOxColumnsState::csCustomized) {
      for (int i = 0; i < columns_->Count(); ++i) link_->AddMapping(columns_->Items(i).FieldName());
    } else {
      for (int i = 0; i < data_set->FieldCount(); ++i) {
        data::TField* field = data_set->Fields(i);
        if (field->Visible()) link_->AddMapping(field->FieldName());
      }
    }
  }
  if (OnDefineFieldMap) OnDefineFieldMap(*this);
}

// Pass-through columns follow the field map: one per mapped field, reusing
// the column of the same field, dropping those whose field vanished.
void TCustomOxGrid::SyncColumns() {
  if (columns_->State() == TOxColumnsState::csCustomized) return;
  const int mapped = link_->MapSize();
  for (int i = 0; i < mapped; ++i) {
    data::TField* field = ColumnField(i);
    int found = -1;
    for (int j = i; j < columns_->Count() && found < 0; ++j) {
      if (columns_->Items(j).Field() == field) found = j;
    }
    if (found < 0) {
      columns_->AddPassthrough().SetField(field);
      found = columns_->Count() - 1;
    }
    columns_->Move(found, i);
  }
  while (columns_->Count() > mapped) columns_->Delete(columns_->Count() - 1);
  if (columns_->Count() == 0) columns_->AddPassthrough();  // the empty placeholder
}

void TCustomOxGrid::LayoutChanged() {
  if (in_layout_ || layout_lock_ > 0 || loading_) return;
  in_layout_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{in_layout_};
  BuildFieldMap();
  SyncColumns();
  const int indicator = IndicatorOffset();
  SetColCount(columns_->Count() + indicator);
  SetFixedCols(indicator + std::min(fixed_columns_, columns_->Count()));
  if (indicator) SetColWidth(0, indicators_.Size().width() + 4);
  for (int i = 0; i < columns_->Count(); ++i) {
    SetColWidth(i + indicator, columns_->Items(i).Width());
  }
  column_types_.clear();
  for (int i = 0; i < columns_->Count(); ++i) column_types_.push_back(LookUpDbfType(i));
  SetDefaultRowHeight(DataRowHeight());
  UpdateRowCount();
  if (options_ & dgTitles) SetRowHeight(0, TitleRowHeight());
  UpdateActive();
  InvalidateGrid();
}

void TCustomOxGrid::UpdateRowCount() {
  const int titles = TitleOffset();
  if (link_->Active()) {
    link_->SetBufferCount(VisibleDataRows());
    SetRowCount(titles + std::max(1, link_->RecordCount()));
  } else {
    SetRowCount(titles + 1);
  }
  SetFixedRows(titles);
  if (titles) SetRowHeight(0, TitleRowHeight());
  UpdateScrollBar();
}

void TCustomOxGrid::UpdateActive() {
  if (!link_->Active()) return;
  syncing_row_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{syncing_row_};
  MoveTo(Col(), TitleOffset() + link_->ActiveRecord());
  SetTopRow(TitleOffset());
}

void TCustomOxGrid::UpdateScrollBar() {
  if (!link_->Active()) {
    SetVScroll(0, 0, 0, 0);
    return;
  }
  data::TDataSet* data_set = DataSet();
  const int rows = VisibleDataRows();
  if (data_set->IsSequenced()) {
    const int count = data_set->GetRecordCount();
    if (count <= rows) {
      SetVScroll(0, 0, 0, 0);
      return;
    }
    // The position follows the record only while it is a stored record.
    const bool settled = data_set->State() == data::TDataSetState::dsBrowse ||
                         data_set->State() == data::TDataSetState::dsEdit;
    if (settled) scroll_position_ = std::max(1, data_set->GetRecNo());
    SetVScroll(1, count + rows - 1, rows, scroll_position_);
    return;
  }
  if (link_->RecordCount() < link_->BufferCount() || (data_set->Bof() && data_set->Eof())) {
    SetVScroll(0, 0, 0, 0);
    return;
  }
  SetVScroll(0, 4, 0, data_set->Bof() ? 0 : data_set->Eof() ? 4 : 2);
}

// -------------------------------------------------------- notifications ---

void TCustomOxGrid::LinkActiveChanged() {
  edit_text_.clear();
  link_->SetModified(false);
  LayoutChanged();
}

void TCustomOxGrid::DataChanged() {
  UpdateRowCount();
  UpdateActive();
  InvalidateEditor();
  InvalidateGrid();
}

void TCustomOxGrid::RecordChanged(data::TField* field) {
  InvalidateRow(Row());
  if (field == nullptr || field == SelectedField()) {
    edit_text_.clear();
    link_->SetModified(false);
    InvalidateEditor();
  }
}

void TCustomOxGrid::EditingChanged() {
  if (!link_->Editing()) {
    link_->SetModified(false);
    if (!(options_ & dgAlwaysShowEditor)) HideEditor();
  }
  UpdateScrollBar();
  InvalidateRow(Row());
  if (IndicatorOffset()) InvalidateCol(0);
}

void TCustomOxGrid::UpdateData() {
  if (!link_->Modified()) return;
  // A text the field refuses stays pending (and in the editor): a later
  // post must not pass over it as if nothing had been typed.
  if (data::TField* field = SelectedField())
    data::SetFieldTextUtf8(*field, edit_text_.toStdString());
  link_->SetModified(false);
}

void TCustomOxGrid::FocusField(data::TField*& field) {
  for (int i = 0; i < link_->MapSize(); ++i) {
    if (ColumnField(i) == field) {
      GoColumn(i);
      setFocus();
      field = nullptr;
      return;
    }
  }
}

void TCustomOxGrid::ColumnsChanged() {
  if (in_layout_) return;
  LayoutChanged();
}

void TCustomOxGrid::ColumnMoved(int from, int to) {
  const int indicator = IndicatorOffset();
  // A pass-through column moves its field to the place of the field shown
  // where it landed, so that the fields' order (which such columns follow)
  // keeps the move.
  data::TField* moved = ColumnField(from - indicator);
  data::TField* target = ColumnField(to - indicator);
  ++layout_lock_;
  columns_->Move(from - indicator, to - indicator);
  --layout_lock_;
  if (columns_->State() == TOxColumnsState::csDefault && moved != nullptr && target != nullptr) {
    DataSet()->MoveField(moved->Index(), target->Index());  // rebuilds the layout
  }
  LayoutChanged();
  if (OnColumnMoved) OnColumnMoved(*this, from - indicator, to - indicator);
}

void TCustomOxGrid::ColWidthsChanged() {
  if (in_layout_) return;
  const int indicator = IndicatorOffset();
  ++layout_lock_;
  // Only the columns the user sized: the others keep their widths as
  // they are, not as they would come back from a conversion.
  for (int i = 0; i < columns_->Count(); ++i) {
    TOxColumn& column = columns_->Items(i);
    if (column.Width() != ColWidth(i + indicator)) column.SetWidth(ColWidth(i + indicator));
  }
  --layout_lock_;
  LayoutChanged();
}

void TCustomOxGrid::ClientResized() {
  if (link_->Active()) DataChanged();
}

}  // namespace orvex
