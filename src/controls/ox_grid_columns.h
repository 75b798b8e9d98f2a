// TOxGridColumns, TOxColumn, TOxColumnTitle, TPassthroughColumn: the columns
// of the data-aware grid (ox_grid.h).
//
// A column shows one field of the grid's dataset (by FieldName) with its own
// width, colour, font, alignment and read-only flag, under a title with its
// own caption, colour, font and alignment. Each of these values is either
// ASSIGNED (set through its setter; a flag per value remembers that) or
// follows a DEFAULT taken from the grid or the field:
//   Color        the grid's Color (system window colour without a grid)
//   Width        see DefaultWidth
//   Font         the grid's Font
//   Alignment    left;  ReadOnly  false
//   title Color  the grid's FixedColor (system button face without a grid)
//   title Caption  the field's name (FieldName when there is no field)
//   title Font   the grid's TitleFont
//   title Alignment  left
// Reading returns the assigned value when its flag is set, the default
// otherwise, so an unassigned value follows its default when that changes.
// Setting a value to what it already is while assigned changes nothing;
// setting Width to the default width while unassigned leaves it unassigned.
// Any change of a column tells the grid, which rebuilds its layout.
//
// ButtonStyle, DropDownRows and PickList are held and copied, nothing more.
//
// Pass-through columns are the ones the grid makes from the fields when it
// has no persistent columns. While the grid's link is active and the column
// has its field, they pass changes to the field: Alignment cannot be set,
// Width also sets the field's DisplayWidth, the title caption can be set only
// then, and a column that loses its field restores its defaults.
#pragma once

#include <QColor>
#include <QFont>
#include <memory>
#include <string>
#include <vector>

#include "platform/data/data_types.h"

namespace orvex::data {
class TField;
}

namespace orvex {

class TCustomOxGrid;
class TOxColumn;
class TOxGridColumns;

using data::TAlignment;

// A font with its colour, as the grid's fonts are described.
struct TOxFont {
  QFont font;
  QColor color = Qt::black;
  bool operator==(const TOxFont& other) const { return font == other.font && color == other.color; }
};

enum class TOxColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };

// Flags of the assigned values, in their stored order.
enum TOxColumnValue : unsigned {
  cvColor = 1u << 0,
  cvWidth = 1u << 1,
  cvFont = 1u << 2,
  cvAlignment = 1u << 3,
  cvReadOnly = 1u << 4,
  cvTitleColor = 1u << 5,
  cvTitleCaption = 1u << 6,
  cvTitleAlignment = 1u << 7,
  cvTitleFont = 1u << 8,
};

class TOxColumnTitle {
 public:
  explicit TOxColumnTitle(TOxColumn& column) : column_(column) {}
  virtual ~TOxColumnTitle() = default;

  TAlignment Alignment() const;
  void SetAlignment(TAlignment alignment);
  std::string Caption() const;
  virtual void SetCaption(const std::string& caption);
  QColor Color() const;
  void SetColor(const QColor& color);
  TOxFont Font() const;
  void SetFont(const TOxFont& font);

  std::string DefaultCaption() const;
  QColor DefaultColor() const;
  TOxFont DefaultFont() const;
  // Copies the assigned values of another title (its column's flags).
  void Assign(const TOxColumnTitle& other);

 protected:
  TOxColumn& column_;

 private:
  friend class TOxColumn;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  std::string caption_;
  QColor color_;
  TOxFont font_;
};

class TOxColumn {
 public:
  // Created inside a collection (TOxGridColumns::Add); the grid's layout is
  // suspended meanwhile.
  explicit TOxColumn(TOxGridColumns& collection);
  virtual ~TOxColumn() = default;
  TOxColumn(const TOxColumn&) = delete;
  TOxColumn& operator=(const TOxColumn&) = delete;

  TOxGridColumns& Collection() const { return collection_; }
  TCustomOxGrid* Grid() const;
  int Index() const;

  TAlignment Alignment() const;
  virtual void SetAlignment(TAlignment alignment);
  QColor Color() const;
  void SetColor(const QColor& color);
  TOxFont Font() const;
  void SetFont(const TOxFont& font);
  bool ReadOnly() const;
  void SetReadOnly(bool read_only);
  int Width() const;
  virtual void SetWidth(int width);
  TOxColumnButtonStyle ButtonStyle() const { return button_style_; }
  void SetButtonStyle(TOxColumnButtonStyle style) { button_style_ = style; }
  int DropDownRows() const { return drop_down_rows_; }
  void SetDropDownRows(int rows) { drop_down_rows_ = rows; }
  std::vector<std::string>& PickList() { return pick_list_; }
  const std::vector<std::string>& PickList() const { return pick_list_; }
  TOxColumnTitle& Title() { return *title_; }
  const TOxColumnTitle& Title() const { return *title_; }

  const std::string& FieldName() const { return field_name_; }
  // Looks the field up at once (unless the grid is loading).
  void SetFieldName(const std::string& name);
  // The field of FieldName in the grid's dataset (looked up while the
  // dataset is open or has no persistent fields); nullptr when none.
  data::TField* Field() const;
  // Sets the field and FieldName to its name.
  virtual void SetField(data::TField* field);

  unsigned AssignedValues() const { return assigned_; }
  // Clears every flag, the title caption, the pick list and the button
  // style.
  void RestoreDefaults();
  // Copies FieldName, the assigned values, the title, DropDownRows,
  // ButtonStyle and PickList, inside one update of the collection.
  void Assign(const TOxColumn& other);

  TAlignment DefaultAlignment() const { return TAlignment::taLeftJustify; }
  QColor DefaultColor() const;
  TOxFont DefaultFont() const;
  bool DefaultReadOnly() const { return false; }
  // With a field: width of "0" in the column's font times the field's
  // display width, plus 4, and at least the title caption's width plus 4
  // when the grid shows titles. Without a field the grid's default column
  // width; without a grid 64.
  int DefaultWidth() const;

  // Whether a value would be written to the stored form: assigned and
  // different from its default (fonts whenever assigned).
  bool IsStored(TOxColumnValue value) const;

 protected:
  void Changed();
  // True while the grid's link is active and the column has its field.
  bool PassingThrough() const;
  std::unique_ptr<TOxColumnTitle> title_;

 private:
  friend class TOxColumnTitle;
  friend class TOxGridColumns;
  // Marks a value assigned and reports whether anything changed.
  template <typename T>
  bool Assigned(TOxColumnValue flag, T& slot, const T& value);

  TOxGridColumns& collection_;
  unsigned assigned_ = 0;
  std::string field_name_;
  // The field last looked up and its index in the dataset's fields; the
  // pointer may dangle once the dataset closed, so it is only compared,
  // never followed, until the dataset shows it at that index again.
  mutable data::TField* field_ = nullptr;
  mutable int field_index_ = -1;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  QColor color_;
  TOxFont font_;
  bool read_only_ = false;
  int width_ = 0;
  TOxColumnButtonStyle button_style_ = TOxColumnButtonStyle::cbsAuto;
  int drop_down_rows_ = 7;
  std::vector<std::string> pick_list_;
};

class TPassthroughColumnTitle : public TOxColumnTitle {
 public:
  using TOxColumnTitle::TOxColumnTitle;
  // Only while the grid's link is active and the column has its field.
  void SetCaption(const std::string& caption) override;
};

class TPassthroughColumn : public TOxColumn {
 public:
  explicit TPassthroughColumn(TOxGridColumns& collection);
  void SetAlignment(TAlignment alignment) override;
  // The column takes the width in pixels as it is given; passing through,
  // the field's DisplayWidth also becomes the number of "0" characters of
  // the column's font that fit into it (the inverse of DefaultWidth,
  // rounded).
  void SetWidth(int width) override;
  // Losing the field restores the defaults.
  void SetField(data::TField* field) override;
};

enum class TOxColumnsState { csDefault, csCustomized };

class TOxGridColumns {
 public:
  explicit TOxGridColumns(TCustomOxGrid* grid) : grid_(grid) {}
  TOxGridColumns(const TOxGridColumns&) = delete;
  TOxGridColumns& operator=(const TOxGridColumns&) = delete;

  TCustomOxGrid* Grid() const { return grid_; }
  int Count() const { return static_cast<int>(items_.size()); }
  TOxColumn& Items(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
  int IndexOf(const TOxColumn* column) const;

  // A user column (the collection becomes customised).
  TOxColumn& Add();
  // A column generated from a field.
  TPassthroughColumn& AddPassthrough();
  void Delete(int index);
  void Clear();
  // Moves a column to another place.
  void Move(int from, int to);

  // Default when every column is a pass-through column.
  TOxColumnsState State() const;

  // Nested updates: the grid hears of the change once, at the end.
  void BeginUpdate() { ++update_count_; }
  void EndUpdate();
  // A column changed (or was added or removed).
  void Changed();

 private:
  template <typename T>
  T& Insert(std::unique_ptr<T> column);

  TCustomOxGrid* grid_;
  std::vector<std::unique_ptr<TOxColumn>> items_;
  int update_count_ = 0;
  bool changed_ = false;
};

// Reads the grid's stored column descriptions ("cvColumn=n", "cvWidthStr=80",
// ...) into its collection; see saved_columns.cpp for the keys.
void ReadSavedColumns(TOxGridColumns& columns, const std::vector<std::string>& lines);

// A colour identifier (clRed, clWindow, ...) or a number as the platform
// writes colours (decimal, or hexadecimal after "$"; 0x00BBGGRR); false when
// the text is neither.
bool ColorFromString(const std::string& text, QColor& color);
// Only the identifiers.
bool ColorFromIdent(const std::string& text, QColor& color);

}  // namespace orvex
