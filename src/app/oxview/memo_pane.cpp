#include "app/oxview/memo_pane.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "dataset/ox_file_data_set.h"
#include "platform/data/field.h"
#include "platform/data/field_text.h"
#include "platform/widgets/application.h"

namespace orvex::view {

MemoPane::MemoPane(TOxDbf& table, QWidget* parent) : QWidget(parent), table_(table) {
  new QVBoxLayout(this);
  layout()->setContentsMargins(2, 0, 0, 0);
}

void MemoPane::Rebuild() {
  QLayoutItem* item = nullptr;
  while ((item = layout()->takeAt(0)) != nullptr) {
    delete item->widget();
    delete item;
  }
  boxes_.clear();
  if (table_.Active()) {
    for (int i = 0; i < table_.FieldCount(); ++i) {
      data::TField* field = table_.Fields(i);
      if (field->DataType() != data::TFieldType::ftMemo) continue;
      auto* label =
          new QLabel(QString::fromStdString(data::TextAsUtf8(*field, field->FieldName())), this);
      auto* edit = new QPlainTextEdit(this);
      edit->setObjectName("memo_" + QString::number(i));
      edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      edit->installEventFilter(this);
      layout()->addWidget(label);
      layout()->addWidget(edit);
      boxes_.push_back({i, edit, false});
      QObject::connect(edit, &QPlainTextEdit::textChanged, this, [this, edit] {
        if (showing_) return;
        for (Box& box : boxes_)
          if (box.edit == edit) box.dirty = true;
      });
    }
  }
  setVisible(!boxes_.empty());
  SetEditable(editable_);
  ShowRecord();
}

void MemoPane::ShowRecord() {
  showing_ = true;
  for (Box& box : boxes_) {
    if (box.dirty) continue;
    QString text;
    if (table_.Active() && !table_.IsEmpty()) {
      data::TField* field = table_.Fields(box.field_index);
      text = QString::fromStdString(data::TextAsUtf8(*field, field->AsString()));
      // The memo's CR LF line ends show as line breaks.
      text.replace("\r\n", "\n");
    }
    box.edit->setPlainText(text);
  }
  showing_ = false;
}

void MemoPane::SetEditable(bool editable) {
  editable_ = editable;
  for (Box& box : boxes_) box.edit->setReadOnly(!editable);
}

QString MemoPane::FirstText() const {
  return boxes_.empty() ? QString() : boxes_.front().edit->toPlainText();
}

void MemoPane::Store(Box& box) {
  if (!box.dirty || !editable_) return;
  box.dirty = false;
  ui::Guarded([&] {
    data::TField* field = table_.Fields(box.field_index);
    QString text = box.edit->toPlainText();
    text.replace("\n", "\r\n");
    table_.Edit();
    data::SetFieldTextUtf8(*field, text.toStdString());
  });
}

bool MemoPane::eventFilter(QObject* watched, QEvent* event) {
  for (Box& box : boxes_) {
    if (box.edit != watched) continue;
    if (event->type() == QEvent::FocusOut) Store(box);
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Return && (key->modifiers() & Qt::ControlModifier)) {
        Store(box);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace orvex::view
