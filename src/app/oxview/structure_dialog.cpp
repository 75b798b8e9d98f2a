#include "app/oxview/structure_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "dataset/ox_file_data_set.h"
#include "engine/work_area.h"
#include "oxdbf.h"
#include "app/oxview/order_chooser.h"
#include "app/oxview/table_orders.h"
#include "platform/os/table_code_pages.h"

namespace orvex::view {
namespace {

QString MemoKind(const WorkArea& area) {
  if (!area.has_memo) return "none";
  switch (area.memo.kind) {
    case 0x83:
      return "dBASE III DBT";
    case 0x8B:
      return "dBASE IV DBT";
    case 0xF5:
      return "FoxPro FPT";
    default:
      return area.memo.open ? "memo file" : "memo file not open";
  }
}

}  // namespace

QString StructureText(TOxDbf& table) {
  const int number = table.WorkAreaNo();
  if (number <= 0 || number > kWorkAreaSlots || !WorkAreas[number]) return "No table";
  const WorkArea& area = *WorkAreas[number];
  QStringList lines;
  lines << "File: " + QString::fromStdString(area.file_name);
  lines << QString("Dialect: %1, version byte 0x%2")
               .arg(tool::DialectName(area))
               .arg(area.header[0], 2, 16, QChar('0'));
  lines << "Last update: " + QString::fromStdString(area.last_update);
  lines << QString("Records: %1").arg(area.record_count);
  lines << QString("Header length: %1, record length: %2")
               .arg(area.header_length)
               .arg(area.record_length);
  lines << "Memo: " + MemoKind(area);
  const int driver = area.dialect == DbfDialect::kDbase2 ? 0 : area.header[29];
  const int named = os::CodePageOfDriver(static_cast<unsigned char>(driver));
  lines << QString("Code page: %1 (language driver 0x%2%3)")
               .arg(table.OemText() ? 850 : table.TextCodePage())
               .arg(driver, 2, 16, QChar('0'))
               .arg(named == 0 ? ", names none" : "");
  lines << QString("Fields: %1").arg(area.fields.size());
  for (const FieldDesc& field : area.fields) {
    lines << QString("  %1 %2 %3 %4")
                 .arg(QString::fromLatin1(field.name.c_str()), -10)
                 .arg(QChar(field.type))
                 .arg(field.length, 3)
                 .arg(field.decimals, 2);
  }
  const std::vector<TagDefinition> tags = TableTags(table);
  lines << QString("Tags: %1").arg(tags.size());
  for (const TagDefinition& tag : tags) lines << "  " + TagDescription(tag);
  return lines.join('\n');
}

void ShowStructure(TOxDbf& table, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle("Structure of " + QString::fromStdString(table.DbfFileName()));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QPlainTextEdit(StructureText(table), &dialog);
  text->setReadOnly(true);
  text->setFont(QFont("Monospace"));
  text->setMinimumSize(520, 360);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(text);
  layout->addWidget(buttons);
  dialog.exec();
}

}  // namespace orvex::view
