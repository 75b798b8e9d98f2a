#include "app/oxview/search_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvex::view {

SearchBar::SearchBar(QWidget* parent) : QWidget(parent) {
  setObjectName("search_bar");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  field_ = new QComboBox(this);
  value_ = new QLineEdit(this);
  value_->setObjectName("search_value");
  value_->setPlaceholderText("Search for");
  mode_ = new QComboBox(this);
  mode_->addItem("starts with", static_cast<int>(MatchMode::kStartsWith));
  mode_->addItem("whole value", static_cast<int>(MatchMode::kWhole));
  mode_->addItem("contains", static_cast<int>(MatchMode::kContains));
  no_case_ = new QCheckBox("Ignore case", this);
  nearest_ = new QCheckBox("Nearest key", this);
  auto* find = new QPushButton("Find", this);
  auto* next = new QPushButton("Next (F3)", this);
  result_ = new QLabel(this);
  result_->setObjectName("search_result");
  layout->addWidget(new QLabel("Find in", this));
  layout->addWidget(field_);
  layout->addWidget(value_, 1);
  layout->addWidget(mode_);
  layout->addWidget(no_case_);
  layout->addWidget(nearest_);
  layout->addWidget(find);
  layout->addWidget(next);
  layout->addWidget(result_);
  connect(value_, &QLineEdit::returnPressed, this, [this] {
    if (OnFind) OnFind();
  });
  connect(find, &QPushButton::clicked, this, [this] {
    if (OnFind) OnFind();
  });
  connect(next, &QPushButton::clicked, this, [this] {
    if (OnFindNext) OnFindNext();
  });
  hide();
}

void SearchBar::SetFields(const std::vector<std::string>& fields, const std::string& preferred) {
  const QString chosen = field_->currentText();
  field_->clear();
  for (const std::string& name : fields) field_->addItem(QString::fromLatin1(name.c_str()));
  int index = field_->findText(QString::fromLatin1(preferred.c_str()), Qt::MatchFixedString);
  if (index < 0) index = field_->findText(chosen);
  field_->setCurrentIndex(index < 0 ? 0 : index);
}

void SearchBar::Activate() {
  show();
  value_->setFocus();
  value_->selectAll();
}

SearchRequest SearchBar::Request() const {
  SearchRequest request;
  request.field = field_->currentText().toLatin1().toStdString();
  request.value = value_->text().toStdString();
  request.mode = static_cast<MatchMode>(mode_->currentData().toInt());
  request.case_insensitive = no_case_->isChecked();
  request.nearest = nearest_->isChecked();
  return request;
}

void SearchBar::ShowOutcome(const SearchOutcome& outcome) {
  const QString way = outcome.way == SearchWay::kIndex ? "index" : "sequential search";
  result_->setText((outcome.found ? "Found" : "Not found") + QString(" (") + way + ")");
}

}  // namespace orvex::view
