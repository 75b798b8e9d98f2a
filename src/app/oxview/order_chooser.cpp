#include "app/oxview/order_chooser.h"

namespace orvex::view {

QString TagDescription(const TagDefinition& tag) {
  QString text =
      QString::fromLatin1(tag.name.c_str()) + ": " + QString::fromLatin1(tag.key_expr.c_str());
  if (!tag.for_expr.empty()) text += " FOR " + QString::fromLatin1(tag.for_expr.c_str());
  if (tag.descending) text += ", descending";
  if (tag.unique) text += ", unique";
  return text;
}

OrderChooser::OrderChooser(QWidget* parent) : QComboBox(parent) {
  setObjectName("order");
  setSizeAdjustPolicy(QComboBox::AdjustToContents);
  setToolTip("Order (Ctrl+0 natural, Ctrl+1..9 the tags)");
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (filling_ || !OnChosen) return;
    OnChosen(itemData(index).toString().toStdString());
  });
}

void OrderChooser::SetTags(const std::vector<TagDefinition>& tags, const std::string& active) {
  filling_ = true;
  clear();
  addItem("Natural order", QString());
  for (const TagDefinition& tag : tags) {
    addItem(TagDescription(tag), QString::fromLatin1(tag.name.c_str()));
    if (QString::fromLatin1(tag.name.c_str())
            .compare(QString::fromLatin1(active.c_str()), Qt::CaseInsensitive) == 0)
      setCurrentIndex(count() - 1);
  }
  if (active.empty()) setCurrentIndex(0);
  filling_ = false;
}

}  // namespace orvex::view
