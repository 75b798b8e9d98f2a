#include "app/oxview/filter_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvex::view {

FilterBar::FilterBar(QWidget* parent) : QWidget(parent) {
  setObjectName("filter_bar");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  condition_ = new QLineEdit(this);
  condition_->setObjectName("filter");
  condition_->setPlaceholderText("dBASE condition, e.g. YEAR > 1960 .AND. \"Kubrick\" $ DIRECTOR");
  auto* apply = new QPushButton("Apply", this);
  auto* clear = new QPushButton("Clear", this);
  layout->addWidget(new QLabel("Filter", this));
  layout->addWidget(condition_, 1);
  layout->addWidget(apply);
  layout->addWidget(clear);
  auto run = [this] {
    if (OnApply) OnApply(condition_->text());
  };
  connect(condition_, &QLineEdit::returnPressed, this, run);
  connect(apply, &QPushButton::clicked, this, run);
  connect(clear, &QPushButton::clicked, this, [this, run] {
    condition_->clear();
    run();
  });
}

void FilterBar::SetCondition(const QString& condition) { condition_->setText(condition); }

void FilterBar::Activate() {
  condition_->setFocus();
  condition_->selectAll();
}

}  // namespace orvex::view
