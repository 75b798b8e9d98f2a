// The grid's columns: assigned values and their defaults, pass-through
// columns, the collection.
#include "controls/ox_grid_columns.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPalette>
#include <algorithm>

#include "controls/ox_grid.h"
#include "platform/data/data_set.h"
#include "platform/data/field.h"
#include "platform/widgets/qt_text.h"

namespace orvex {

namespace {

TOxFont SystemFont() {
  return {QApplication::font(), QApplication::palette().color(QPalette::WindowText)};
}

}  // namespace

// ---------------------------------------------------------------- title ---

TAlignment TOxColumnTitle::Alignment() const {
  return (column_.assigned_ & cvTitleAlignment) ? alignment_ : TAlignment::taLeftJustify;
}
void TOxColumnTitle::SetAlignment(TAlignment alignment) {
  if (column_.Assigned(cvTitleAlignment, alignment_, alignment)) column_.Changed();
}

std::string TOxColumnTitle::DefaultCaption() const {
  // The field's name, not its display label.
  const data::TField* field = column_.Field();
  return field != nullptr ? field->FieldName() : column_.FieldName();
}
std::string TOxColumnTitle::Caption() const {
  return (column_.assigned_ & cvTitleCaption) ? caption_ : DefaultCaption();
}
void TOxColumnTitle::SetCaption(const std::string& caption) {
  if (column_.Assigned(cvTitleCaption, caption_, caption)) column_.Changed();
}

QColor TOxColumnTitle::DefaultColor() const {
  const TCustomOxGrid* grid = column_.Grid();
  return grid != nullptr ? grid->FixedColor() : QApplication::palette().color(QPalette::Button);
}
QColor TOxColumnTitle::Color() const {
  return (column_.assigned_ & cvTitleColor) ? color_ : DefaultColor();
}
void TOxColumnTitle::SetColor(const QColor& color) {
  if (column_.Assigned(cvTitleColor, color_, color)) column_.Changed();
}

TOxFont TOxColumnTitle::DefaultFont() const {
  const TCustomOxGrid* grid = column_.Grid();
  return grid != nullptr ? grid->TitleFont() : SystemFont();
}
TOxFont TOxColumnTitle::Font() const {
  return (column_.assigned_ & cvTitleFont) ? font_ : DefaultFont();
}
void TOxColumnTitle::SetFont(const TOxFont& font) {
  if (column_.Assigned(cvTitleFont, font_, font)) column_.Changed();
}

void TOxColumnTitle::Assign(const TOxColumnTitle& other) {
  const unsigned flags = other.column_.assigned_;
  if (flags & cvTitleAlignment) SetAlignment(other.alignment_);
  if (flags & cvTitleColor) SetColor(other.color_);
  if (flags & cvTitleCaption) SetCaption(other.caption_);
  if (flags & cvTitleFont) SetFont(other.font_);
}

void TPassthroughColumnTitle::SetCaption(const std::string& caption) {
  auto& column = static_cast<TPassthroughColumn&>(column_);
  if (column.Grid() != nullptr && column.Grid()->DataLink().Active() && column.Field() != nullptr) {
    TOxColumnTitle::SetCaption(caption);
  }
}

// --------------------------------------------------------------- column ---

TOxColumn::TOxColumn(TOxGridColumns& collection)
    : title_(std::make_unique<TOxColumnTitle>(*this)), collection_(collection) {}

TCustomOxGrid* TOxColumn::Grid() const { return collection_.Grid(); }
int TOxColumn::Index() const { return collection_.IndexOf(this); }

template <typename T>
bool TOxColumn::Assigned(TOxColumnValue flag, T& slot, const T& value) {
  if ((assigned_ & flag) && slot == value) return false;
  slot = value;
  assigned_ |= flag;
  return true;
}

void TOxColumn::Changed() { collection_.Changed(); }

TAlignment TOxColumn::Alignment() const {
  return (assigned_ & cvAlignment) ? alignment_ : DefaultAlignment();
}
void TOxColumn::SetAlignment(TAlignment alignment) {
  if (Assigned(cvAlignment, alignment_, alignment)) Changed();
}

QColor TOxColumn::DefaultColor() const {
  const TCustomOxGrid* grid = Grid();
  return grid != nullptr ? grid->Color() : QApplication::palette().color(QPalette::Base);
}
QColor TOxColumn::Color() const { return (assigned_ & cvColor) ? color_ : DefaultColor(); }
void TOxColumn::SetColor(const QColor& color) {
  if (Assigned(cvColor, color_, color)) Changed();
}

TOxFont TOxColumn::DefaultFont() const {
  const TCustomOxGrid* grid = Grid();
  return grid != nullptr ? grid->Font() : SystemFont();
}
TOxFont TOxColumn::Font() const { return (assigned_ & cvFont) ? font_ : DefaultFont(); }
void TOxColumn::SetFont(const TOxFont& font) {
  if (Assigned(cvFont, font_, font)) Changed();
}

bool TOxColumn::ReadOnly() const { return (assigned_ & cvReadOnly) ? read_only_ : false; }
void TOxColumn::SetReadOnly(bool read_only) {
  if (Assigned(cvReadOnly, read_only_, read_only)) Changed();
}

int TOxColumn::DefaultWidth() const {
  const TCustomOxGrid* grid = Grid();
  if (grid == nullptr) return 64;
  const data::TField* field = Field();
  if (field == nullptr) return grid->DefaultColWidth();
  // Qt's fonts report no overhang: the width of "0" is the whole advance.
  const QFontMetrics metrics(Font().font);
  int width = metrics.horizontalAdvance(QLatin1Char('0')) * field->DisplayWidth() + 4;
  if (grid->GridOptions() & dgTitles) {
    const QFontMetrics title(Title().Font().font);
    width = std::max(width, title.horizontalAdvance(ui::FromAnsi(Title().Caption())) + 4);
  }
  return width;
}
int TOxColumn::Width() const { return (assigned_ & cvWidth) ? width_ : DefaultWidth(); }
void TOxColumn::SetWidth(int width) {
  if (!(assigned_ & cvWidth) && width == DefaultWidth()) return;
  if (Assigned(cvWidth, width_, width)) Changed();
}

data::TField* TOxColumn::Field() const {
  const TCustomOxGrid* grid = Grid();
  if (grid == nullptr || field_name_.empty()) return nullptr;
  data::TDataSet* data_set = grid->DataSet();
  if (data_set == nullptr) return nullptr;
  // The field object may have been replaced since it was looked up (the
  // dataset closed, which frees its fields, and opened again): the cached
  // one counts only while the dataset holds that very object at its index.
  if (field_ != nullptr && field_index_ >= 0 && field_index_ < data_set->FieldCount() &&
      data_set->Fields(field_index_) == field_ && field_->FieldName() == field_name_) {
    return field_;
  }
  // A closed dataset's persistent fields are not shown.
  field_ = data_set->Active() ? data_set->FindField(field_name_) : nullptr;
  field_index_ = field_ != nullptr ? field_->Index() : -1;
  return field_;
}

void TOxColumn::SetField(data::TField* field) {
  field_ = field;
  field_index_ = field != nullptr ? field->Index() : -1;
  if (field != nullptr) field_name_ = field->FieldName();
  Changed();
}

void TOxColumn::SetFieldName(const std::string& name) {
  field_name_ = name;
  field_ = nullptr;
  const TCustomOxGrid* grid = Grid();
  if (grid == nullptr || !grid->Loading()) Field();
  Changed();
}

void TOxColumn::RestoreDefaults() {
  assigned_ = 0;
  title_->caption_.clear();
  pick_list_.clear();
  button_style_ = TOxColumnButtonStyle::cbsAuto;
  Changed();
}

bool TOxColumn::IsStored(TOxColumnValue value) const {
  if (!(assigned_ & value)) return false;
  switch (value) {
    case cvColor:
      return color_ != DefaultColor();
    case cvWidth:
      return width_ != DefaultWidth();
    case cvAlignment:
      return alignment_ != DefaultAlignment();
    case cvReadOnly:
      return read_only_ != DefaultReadOnly();
    case cvTitleColor:
      return title_->color_ != title_->DefaultColor();
    case cvTitleCaption:
      return title_->caption_ != title_->DefaultCaption();
    case cvTitleAlignment:
      return title_->alignment_ != TAlignment::taLeftJustify;
    case cvFont:
    case cvTitleFont:
      return true;
  }
  return false;
}

void TOxColumn::Assign(const TOxColumn& other) {
  collection_.BeginUpdate();
  try {
    SetFieldName(other.field_name_);
    const unsigned flags = other.assigned_;
    if (flags & cvColor) SetColor(other.color_);
    if (flags & cvWidth) SetWidth(other.width_);
    if (flags & cvFont) SetFont(other.font_);
    if (flags & cvAlignment) SetAlignment(other.alignment_);
    if (flags & cvReadOnly) SetReadOnly(other.read_only_);
    title_->Assign(*other.title_);
    drop_down_rows_ = other.drop_down_rows_;
    button_style_ = other.button_style_;
    pick_list_ = other.pick_list_;
  } catch (...) {
    collection_.EndUpdate();
    throw;
  }
  collection_.EndUpdate();
}

bool TOxColumn::PassingThrough() const {
  const TCustomOxGrid* grid = Grid();
  return grid != nullptr && grid->link_->Active() && Field() != nullptr;
}

// ---------------------------------------------------------- pass-through ---

TPassthroughColumn::TPassthroughColumn(TOxGridColumns& collection) : TOxColumn(collection) {
  title_ = std::make_unique<TPassthroughColumnTitle>(*this);
}

void TPassthroughColumn::SetAlignment(TAlignment alignment) {
  if (!PassingThrough()) TOxColumn::SetAlignment(alignment);
}

void TPassthroughColumn::SetWidth(int width) {
  if (PassingThrough()) {
    // The field's display width counts characters the way DefaultWidth
    // does, so that a column of the default width gives back its field's
    // display width.
    const QFontMetrics metrics(Font().font);
    const int zero = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    Field()->SetDisplayWidth(std::max(0, (width - 4 + zero / 2) / zero));
  }
  TOxColumn::SetWidth(width);
}

void TPassthroughColumn::SetField(data::TField* field) {
  const bool lost = Field() != nullptr && field == nullptr;
  TOxColumn::SetField(field);
  if (lost) RestoreDefaults();
}

// ----------------------------------------------------------- collection ---

int TOxGridColumns::IndexOf(const TOxColumn* column) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() == column) return static_cast<int>(i);
  }
  return -1;
}

template <typename T>
T& TOxGridColumns::Insert(std::unique_ptr<T> column) {
  T& added = *column;
  items_.push_back(std::move(column));
  Changed();
  return added;
}

TOxColumn& TOxGridColumns::Add() { return Insert(std::make_unique<TOxColumn>(*this)); }
TPassthroughColumn& TOxGridColumns::AddPassthrough() {
  return Insert(std::make_unique<TPassthroughColumn>(*this));
}

void TOxGridColumns::Delete(int index) {
  TOxColumn* column = &Items(index);
  if (grid_ != nullptr && grid_->pressed_ == column) grid_->pressed_ = nullptr;
  items_.erase(items_.begin() + index);
  Changed();
}

void TOxGridColumns::Clear() {
  if (items_.empty()) return;
  if (grid_ != nullptr) grid_->pressed_ = nullptr;
  items_.clear();
  Changed();
}

void TOxGridColumns::Move(int from, int to) {
  if (from == to) return;
  auto column = std::move(items_.at(static_cast<std::size_t>(from)));
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, std::move(column));
  Changed();
}

TOxColumnsState TOxGridColumns::State() const {
  if (items_.empty()) return TOxColumnsState::csDefault;
  for (const auto& column : items_) {
    if (dynamic_cast<const TPassthroughColumn*>(column.get()) == nullptr) {
      return TOxColumnsState::csCustomized;
    }
  }
  return TOxColumnsState::csDefault;
}

void TOxGridColumns::EndUpdate() {
  if (--update_count_ == 0 && changed_) {
    changed_ = false;
    if (grid_ != nullptr) grid_->ColumnsChanged();
  }
}

void TOxGridColumns::Changed() {
  if (update_count_ > 0) {
    changed_ = true;
  } else if (grid_ != nullptr) {
    grid_->ColumnsChanged();
  }
}

}  // namespace orvex
