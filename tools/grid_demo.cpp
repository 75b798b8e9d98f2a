// grid_demo: the plain grid and the navigator bar over a table, opened
// read-only through the engine, to try the GUI platform by hand (under Xvfb,
// say). Not part of the library.
//
//   grid_demo TABLE.DBF [--screenshot FILE.png]
//
// Each row is a record (read with Peek, OEM text shown as ANSI), each column
// a field; the fixed column shows the record number, the indicator image of
// the current row and "*" for a deleted record. Columns can be sized and
// moved with the mouse; F2, Enter or a click on the selected cell shows the
// field's text in the read-only editor. The navigator's moves and refresh
// act on the grid. With --screenshot the window is drawn into a PNG and the
// program ends.
#include <QApplication>
#include <QVBoxLayout>
#include <cstdio>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/names.h"
#include "engine/peek_cache.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "platform/os/codepage.h"
#include "platform/widgets/application.h"
#include "platform/widgets/custom_grid.h"
#include "platform/widgets/forms.h"
#include "platform/widgets/navigator_bar.h"
#include "platform/widgets/qt_text.h"
#include "platform/widgets/resources.h"

namespace orvex {
namespace {

class TableGrid : public ui::TCustomGrid {
 public:
  explicit TableGrid(QWidget* parent) : TCustomGrid(parent) {
    arrow_.Add(ui::LoadBitmap("OXGARROW"), Qt::white);
    setFont(ui::MakeFont("MS Sans Serif", -11));
    const int char_width = QFontMetrics(font()).horizontalAdvance('0');
    SetDefaultRowHeight(QFontMetrics(font()).height() + 4);
    SetColCount(FieldCount() + 1);
    SetRowCount(std::max(2, RecCount() + 1));
    SetColWidth(0, char_width * 6 + ui::kIndicatorImageSize + 8);
    for (int f = 1; f <= FieldCount(); ++f) {
      const int chars = std::max<int>(FieldLen(f), static_cast<int>(Field(f).size()));
      SetColWidth(f, std::min(chars, 30) * char_width + 6);
      fields_.push_back(f);
    }
    SetOptions(Options() | ui::goColSizing | ui::goColMoving | ui::goEditing | ui::goTabs);
  }

  std::function<void()> OnMove;

 protected:
  void DrawCell(QPainter& painter, int col, int row, const QRect& rect, unsigned state) override {
    QString text;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    if (row == 0) {
      text = col == 0 ? QString("Nr.") : ui::FromAnsi(Field(fields_[col - 1]));
    } else if (row <= RecCount()) {
      if (col == 0) {
        if (row == Row()) arrow_.Draw(painter, rect.left() + 2, rect.center().y() - 5, 0);
        text = QString::number(row) + (Peek(0, row) == "*" ? " *" : "");
        align = Qt::AlignRight | Qt::AlignVCenter;
      } else {
        text = CellText(col, row);
        if (FieldType(fields_[col - 1]) == 'N') align = Qt::AlignRight | Qt::AlignVCenter;
      }
    }
    painter.drawText(rect.adjusted(2, 0, -3, 0), static_cast<int>(align), text);
    TCustomGrid::DrawCell(painter, col, row, rect, state);
  }
  bool CanEditModify() const override { return false; }  // opened read-only
  QString GetEditText(int col, int row) const override { return CellText(col, row); }
  bool SelectCell(int, int row) override {
    if (row != Row()) InvalidateCol(0);  // the indicator moves
    // The navigator looks at the selection once it has moved.
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (OnMove) OnMove();
        },
        Qt::QueuedConnection);
    return true;
  }
  void TopLeftChanged() override {
    if (OnMove) OnMove();
  }
  void ColumnMoved(int from, int to) override {
    const int field = fields_[from - 1];
    fields_.erase(fields_.begin() + from - 1);
    fields_.insert(fields_.begin() + to - 1, field);
  }

 private:
  QString CellText(int col, int row) const {
    if (row < 1 || row > RecCount() || col < 1) return {};
    return ui::FromAnsi(TrimRight(OemToAnsi(Peek(fields_[col - 1], row))));
  }

  std::vector<int> fields_;  // field number shown in each data column
  ui::TImageList arrow_;
};

int Main(int argc, char** argv) {
  ui::TApplication app(argc, argv);
  QStringList args = QApplication::arguments();
  QString screenshot;
  const int shot = static_cast<int>(args.indexOf("--screenshot"));
  if (shot > 0 && shot + 1 < args.size()) {
    screenshot = args[shot + 1];
    args.remove(shot, 2);
  }
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: grid_demo TABLE.DBF [--screenshot FILE.png]\n");
    return 2;
  }
  OpenModeOverride = 64;  // read-only, others may share: the demo changes nothing
  SetRaiseOnError(true);
  try {
    USE(args[1].toStdString());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", os::AnsiToUtf8(error.what()).c_str());
    return 1;
  }

  ui::TForm form;
  ui::SetBounds(form, {228, 108, 640, 360});
  form.SetCaption(os::Utf8ToAnsi("Grid demo: " + args[1].toStdString()));
  auto* layout = new QVBoxLayout(&form);
  auto* grid = new TableGrid(&form);
  auto* bar = new ui::TNavigatorBar(&form);
  bar->setFixedHeight(25);
  layout->addWidget(grid);
  layout->addWidget(bar);

  auto update_bar = [grid, bar] {
    const bool empty = RecCount() == 0;
    bar->UpdateButtons({true, false, false, empty || grid->Row() == 1,
                        empty || grid->Row() == grid->RowCount() - 1});
  };
  using B = ui::NavigateBtn;
  bar->SetAction(B::nbFirst, [grid] { grid->SetRow(1); });
  bar->SetAction(B::nbPrior, [grid] { grid->SetRow(grid->Row() - 1); });
  bar->SetAction(B::nbNext, [grid] { grid->SetRow(grid->Row() + 1); });
  bar->SetAction(B::nbLast, [grid] { grid->SetRow(grid->RowCount() - 1); });
  bar->SetAction(B::nbRefresh, [grid] {
    ReleasePeekCache();
    grid->SetRowCount(std::max(2, RecCount() + 1));
    grid->InvalidateGrid();
  });
  bar->OnClick = [update_bar](B) { update_bar(); };
  grid->OnMove = update_bar;
  update_bar();

  int code = 0;
  if (screenshot.isEmpty()) {
    code = app.Run(form);
  } else {
    form.show();
    grid->setFocus();
    grid->MoveTo(2, std::min(3, grid->RowCount() - 1));
    ui::TApplication::ProcessMessages();
    code = form.grab().save(screenshot) ? 0 : 1;
  }
  CloseAllAreas();
  return code;
}

}  // namespace
}  // namespace orvex

int main(int argc, char** argv) { return orvex::Main(argc, argv); }
