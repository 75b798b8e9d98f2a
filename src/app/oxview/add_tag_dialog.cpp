#include "app/oxview/add_tag_dialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

#include "platform/os/codepage.h"

namespace orvex::view {

std::optional<TagDefinition> AskForTag(QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle("Add tag");
  auto* form = new QFormLayout(&dialog);
  auto* name = new QLineEdit(&dialog);
  name->setMaxLength(10);
  auto* key = new QLineEdit(&dialog);
  key->setMaxLength(220);
  auto* condition = new QLineEdit(&dialog);
  condition->setMaxLength(220);
  auto* descending = new QCheckBox("Descending", &dialog);
  auto* unique = new QCheckBox("Unique", &dialog);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  form->addRow("Name", name);
  form->addRow("Key expression", key);
  form->addRow("FOR condition", condition);
  form->addRow(descending);
  form->addRow(unique);
  form->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  TagDefinition tag;
  tag.name = os::Utf8ToAnsi(name->text().trimmed().toStdString());
  tag.key_expr = os::Utf8ToAnsi(key->text().trimmed().toStdString());
  tag.for_expr = os::Utf8ToAnsi(condition->text().trimmed().toStdString());
  tag.descending = descending->isChecked();
  tag.unique = unique->isChecked();
  if (tag.name.empty() || tag.key_expr.empty()) return std::nullopt;
  return tag;
}

}  // namespace orvex::view
