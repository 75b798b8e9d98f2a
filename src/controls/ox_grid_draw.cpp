// TCustomOxGrid: drawing cells. Row colours are set before the first cell of
// a row is drawn (see the header); a data cell takes its column's colours,
// then the row's cell colours, then the deleted colours, then the highlight.
#include <QFontMetrics>
#include <QPalette>
#include <algorithm>
#include <cstring>

#include "controls/ox_grid.h"
#include "dataset/ox_data_set.h"
#include "platform/data/data_set.h"
#include "platform/data/database_error.h"
#include "platform/data/field.h"
#include "platform/data/field_text.h"
#include "platform/widgets/paint_utils.h"
#include "platform/widgets/qt_text.h"

namespace orvex {

namespace {

// The text written into a cell: left alignment 2 pixels in, right alignment
// 3 pixels from the right edge, centred otherwise; 2 pixels below the top.
void WriteText(QPainter& painter, const QRect& rect, const QString& text, TAlignment alignment) {
  const int width = painter.fontMetrics().horizontalAdvance(text);
  int x = rect.left() + 2;
  if (alignment == TAlignment::taRightJustify) x = rect.right() + 1 - width - 3;
  if (alignment == TAlignment::taCenter) x = rect.left() + (rect.width() - width) / 2;
  const QRect area(x, rect.top() + 2, std::max(width, 1), rect.height());
  painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

bool EqualsIgnoringCase(const QString& a, const char* b) {
  return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

void TCustomOxGrid::ResetRowColors() {
  colors_.IndicatorColor = FixedColor();
  colors_.CellColor = QColor();
  colors_.CellTextColor = QColor();
  colors_.HiliteColor = palette().color(QPalette::Active, QPalette::Highlight);
  colors_.HiliteTextColor = palette().color(QPalette::Active, QPalette::HighlightedText);
  colors_.DeletedColor = QColor(Qt::red);
  colors_.DeletedTextColor = Font().color;
}

// Runs OnChangeColorsEvent with the row made the active record; the
// previous one is put back also when the handler throws.
void TCustomOxGrid::ChangeRowColors(int row) {
  const int data_row = row - TitleOffset();
  if (data_row >= link_->RecordCount()) return;
  const int previous = link_->BeginRow(data_row);
  try {
    OnChangeColorsEvent(*this, row, colors_);
  } catch (...) {
    link_->EndRow(previous);
    throw;
  }
  link_->EndRow(previous);
}

void TCustomOxGrid::DrawCell(QPainter& painter, int col, int row, const QRect& cell,
                             unsigned draw_state) {
  if (loading_) {
    painter.fillRect(cell, Color());
    return;
  }
  const bool data_row = row >= TitleOffset();
  if (col == 0 || col <= last_drawn_col_ || design_mode_) {
    ResetRowColors();
    row_deleted_ = data_row && link_->Active() && RowDeleted(row - TitleOffset());
    if (data_row && !design_mode_ && OnChangeColorsEvent && link_->Active()) ChangeRowColors(row);
  }
  last_drawn_col_ = col;
  QRect rect = cell;
  const bool lines = (options_ & dgColLines) && (options_ & dgRowLines);
  const int indicator = IndicatorOffset();
  if ((draw_state & ui::gdFixed) && lines) rect.adjust(0, 0, -1, -1);

  if (col < indicator) {
    painter.fillRect(cell, data_row ? colors_.IndicatorColor : FixedColor());
    if (data_row && link_->Active() && row - TitleOffset() == link_->ActiveRecord()) {
      const data::TDataSetState state = DataSet()->State();
      const int image = state == data::TDataSetState::dsEdit     ? 1
                        : state == data::TDataSetState::dsInsert ? 2
                                                                 : 0;
      const QSize size = indicators_.Size();
      indicators_.Draw(painter, rect.right() + 1 - size.width() - 1,
                       rect.top() + (rect.height() - size.height()) / 2, image);
    }
  } else if (!data_row) {
    const int index = col - indicator;
    if (index < columns_->Count()) DrawTitle(painter, columns_->Items(index), rect);
  } else {
    DrawDataCell(painter, col - indicator, row, rect, draw_state);
  }
  if ((draw_state & ui::gdFixed) && lines) {
    const bool sunken = !data_row && col >= indicator && col - indicator < columns_->Count() &&
                        &columns_->Items(col - indicator) == pressed_;
    ui::DrawEdge(painter, rect, !sunken);
  }
}

void TCustomOxGrid::DrawTitle(QPainter& painter, TOxColumn& column, const QRect& rect) {
  const TOxColumnTitle& title = column.Title();
  const TOxFont font = title.Font();
  painter.fillRect(rect, title.Color());
  painter.setFont(font.font);
  painter.setPen(font.color);
  WriteText(painter, rect, ui::FromAnsi(title.Caption()), title.Alignment());
}

void TCustomOxGrid::DrawDataCell(QPainter& painter, int data_col, int row, const QRect& rect,
                                 unsigned state) {
  if (data_col >= columns_->Count()) return;
  TOxColumn& column = columns_->Items(data_col);
  const TOxFont font = column.Font();
  QColor background = column.Color();
  QColor text_color = font.color;
  if (colors_.CellColor.isValid()) background = colors_.CellColor;
  if (colors_.CellTextColor.isValid()) text_color = colors_.CellTextColor;
  const int data_row = row - TitleOffset();
  if (row_deleted_) {
    background = colors_.DeletedColor;
    text_color = colors_.DeletedTextColor;
  }
  const bool highlighted = state & ui::gdSelected;
  if (highlighted) {
    background = colors_.HiliteColor;
    text_color = colors_.HiliteTextColor;
  }
  painter.fillRect(rect, background);
  painter.setFont(font.font);
  painter.setPen(text_color);
  data::TField* field = ColumnField(data_col);
  if (default_drawing_ && field != nullptr && data_row < link_->RecordCount()) {
    const int previous = link_->ActiveRecord();
    link_->SetActiveRecord(data_row);
    QString text;
    try {
      field->GetDisplayText(cell_text_);
      text = QString::fromStdString(data::TextAsUtf8(*field, cell_text_));
    } catch (...) {
      link_->SetActiveRecord(previous);
      throw;
    }
    link_->SetActiveRecord(previous);
    if (ColumnDbfType(data_col) == 'L' && boolean_box_ != TOxBooleanBox::bbText) {
      DrawBooleanBox(painter, rect, text, text_color);
    } else {
      WriteText(painter, rect, text, column.Alignment());
    }
  }
  if (OnDrawDataCell && data_row < link_->RecordCount()) {
    const int previous = link_->BeginRow(data_row);
    try {
      OnDrawDataCell(*this, rect, field, state);
    } catch (...) {
      link_->EndRow(previous);
      throw;
    }
    link_->EndRow(previous);
  }
  if (OnDrawColumnCell) OnDrawColumnCell(*this, rect, data_col, &column, state);
  if (highlighted && default_drawing_ && hasFocus() && !design_mode_ && !(options_ & dgRowSelect)) {
    painter.setPen(text_color);
    ui::DrawFocusRect(painter, rect);
  }
}

void TCustomOxGrid::DrawBooleanBox(QPainter& painter, const QRect& rect, const QString& text,
                                   const QColor& font_color) {
  if (text.isEmpty()) return;  // null: the background only
  const bool checked = EqualsIgnoringCase(text, data::kTrueText);
  const int side = std::min(rect.width(), rect.height());
  const int pen_width = 1;
  const int inset = pen_width + 1;
  QRect box(rect.left() + (rect.width() - side) / 2, rect.top() + (rect.height() - side) / 2, side,
            side);
  box.adjust(inset, inset, -inset, -inset);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(font_color, 1));
  const TOxBooleanBox kind = boolean_box_;
  const bool round = kind == TOxBooleanBox::bbRButton || kind == TOxBooleanBox::bbRButtonRed;
  const bool no_outline = kind == TOxBooleanBox::bbCheckMark || kind == TOxBooleanBox::bbDot ||
                          kind == TOxBooleanBox::bbDotRed;
  if (round) {
    painter.drawEllipse(box);
  } else if (!no_outline) {
    painter.drawRect(box.adjusted(0, 0, -1, -1));
  }
  if (checked) {
    const bool red = kind == TOxBooleanBox::bbFillBoxRed || kind == TOxBooleanBox::bbRButtonRed ||
                     kind == TOxBooleanBox::bbDotRed;
    const QColor fill = red ? QColor(Qt::red) : font_color;
    painter.setPen(QPen(font_color, 2));
    const int l = box.left(), t = box.top(), r = box.right(), b = box.bottom(), w = box.width();
    switch (kind) {
      case TOxBooleanBox::bbCheckBox:
        painter.drawLine(l + 3, t + 3, r - 3, b - 3);
        painter.drawLine(l + 3, b - 3, r - 3, t + 3);
        break;
      case TOxBooleanBox::bbCheckMark:
        painter.drawPolyline(
            QPolygon({QPoint(l + 2, t + w / 2), QPoint(l + w / 3, b - 2), QPoint(r - 2, t)}));
        break;
      case TOxBooleanBox::bbFillBox:
      case TOxBooleanBox::bbFillBoxRed:
        painter.fillRect(box.adjusted(1, 1, -1, -1), fill);
        break;
      case TOxBooleanBox::bbRButton:
      case TOxBooleanBox::bbRButtonRed:
      case TOxBooleanBox::bbDot:
      case TOxBooleanBox::bbDotRed:
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawEllipse(box.adjusted(2, 2, -2, -2));
        break;
      case TOxBooleanBox::bbText:
        break;
    }
  }
  painter.restore();
}

}  // namespace orvex
