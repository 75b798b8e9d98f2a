#include "platform/widgets/navigator_bar.h"

#include <QEvent>
#include <QPainter>
#include <QPolygon>

#include "platform/widgets/application.h"
#include "platform/widgets/qt_text.h"

namespace orvex::ui {

namespace {

int Index(NavigateBtn button) { return static_cast<int>(button); }

constexpr std::array<const char*, kNavigateButtons> kDefaultHints = {
    "First record",  "Prior record", "Next record", "Last record", "Insert record",
    "Delete record", "Edit record",  "Post edit",   "Cancel edit", "Refresh data"};

// Triangles pointing left or right, with the bar of "first" and "last".
void DrawMove(QPainter& p, bool right, bool bar) {
  const QPolygon left_tip({QPoint(10, 3), QPoint(4, 8), QPoint(10, 13)});
  const QPolygon right_tip({QPoint(6, 3), QPoint(12, 8), QPoint(6, 13)});
  p.drawPolygon(right ? right_tip : left_tip);
  if (bar) p.drawRect(right ? QRect(12, 3, 2, 11) : QRect(2, 3, 2, 11));
}

}  // namespace

QIcon NavigatorGlyph(NavigateBtn button) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  switch (button) {
    case NavigateBtn::nbFirst:
      DrawMove(p, false, true);
      break;
    case NavigateBtn::nbPrior:
      DrawMove(p, false, false);
      break;
    case NavigateBtn::nbNext:
      DrawMove(p, true, false);
      break;
    case NavigateBtn::nbLast:
      DrawMove(p, true, true);
      break;
    case NavigateBtn::nbInsert:
      p.drawRect(7, 3, 2, 10);
      p.drawRect(3, 7, 10, 2);
      break;
    case NavigateBtn::nbDelete:
      p.drawRect(3, 7, 10, 2);
      break;
    case NavigateBtn::nbEdit:  // a triangle pointing up
      p.drawPolygon(QPolygon({QPoint(3, 11), QPoint(8, 4), QPoint(13, 11)}));
      break;
    case NavigateBtn::nbPost:  // a tick
      p.setPen(QPen(Qt::black, 2));
      p.drawPolyline(QPolygon({QPoint(3, 8), QPoint(6, 12), QPoint(13, 4)}));
      break;
    case NavigateBtn::nbCancel:  // a cross
      p.setPen(QPen(Qt::black, 2));
      p.drawLine(4, 4, 12, 12);
      p.drawLine(12, 4, 4, 12);
      break;
    case NavigateBtn::nbRefresh: {  // an open circle with an arrow head
      p.setPen(QPen(Qt::black, 2));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRect(3, 3, 10, 10), 60 * 16, 280 * 16);
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::black);
      p.drawPolygon(QPolygon({QPoint(9, 1), QPoint(13, 4), QPoint(9, 7)}));
      break;
    }
  }
  return QIcon(pixmap);
}

TNavigatorBar::TNavigatorBar(QWidget* parent) : QWidget(parent) {
  for (int i = 0; i < kNavigateButtons; ++i) {
    const auto id = static_cast<NavigateBtn>(i);
    auto* button = new QToolButton(this);
    button->setIcon(NavigatorGlyph(id));
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(id == NavigateBtn::nbPrior || id == NavigateBtn::nbNext);
    connect(button, &QToolButton::clicked, this, [this, id] { Guarded([&] { BtnClick(id); }); });
    buttons_[static_cast<std::size_t>(i)] = button;
    hints_[static_cast<std::size_t>(i)] =
        QString::fromLatin1(kDefaultHints[static_cast<std::size_t>(i)]);
  }
  ApplyHints();
  UpdateButtons({});
  resize(241, 25);
}

QToolButton* TNavigatorBar::Button(NavigateBtn button) const {
  return buttons_[static_cast<std::size_t>(Index(button))];
}

void TNavigatorBar::UpdateButtons(const NavigatorState& state) {
  last_state_ = state;
  const bool on = isEnabled() && state.active;
  const bool modify = on && state.can_modify;
  const std::array<bool, kNavigateButtons> enabled = {on && !state.bof,
                                                      on && !state.bof,
                                                      on && !state.eof,
                                                      on && !state.eof,
                                                      modify,
                                                      modify && !(state.bof && state.eof),
                                                      modify && !state.editing,
                                                      modify && state.editing,
                                                      modify && state.editing,
                                                      on};
  for (int i = 0; i < kNavigateButtons; ++i) {
    buttons_[static_cast<std::size_t>(i)]->setEnabled(enabled[static_cast<std::size_t>(i)]);
  }
}

void TNavigatorBar::SetVisibleButtons(unsigned mask) {
  visible_ = mask & ((1u << kNavigateButtons) - 1);
  Arrange();
}

void TNavigatorBar::SetHint(NavigateBtn button, std::string_view hint_ansi) {
  hints_[static_cast<std::size_t>(Index(button))] = FromAnsi(hint_ansi);
  ApplyHints();
}

std::string TNavigatorBar::Hint(NavigateBtn button) const {
  return ToAnsi(hints_[static_cast<std::size_t>(Index(button))]);
}

void TNavigatorBar::SetShowHint(bool show) {
  show_hint_ = show;
  ApplyHints();
}

void TNavigatorBar::ApplyHints() {
  for (int i = 0; i < kNavigateButtons; ++i) {
    const auto k = static_cast<std::size_t>(i);
    buttons_[k]->setToolTip(show_hint_ ? hints_[k] : QString());
  }
}

void TNavigatorBar::SetAction(NavigateBtn button, std::function<void()> action) {
  actions_[static_cast<std::size_t>(Index(button))] = std::move(action);
}

void TNavigatorBar::BtnClick(NavigateBtn button) {
  const auto& action = actions_[static_cast<std::size_t>(Index(button))];
  if (action) action();
  if (OnClick) OnClick(button);
}

void TNavigatorBar::Arrange() {
  int count = 0;
  for (int i = 0; i < kNavigateButtons; ++i) count += (visible_ >> i) & 1u;
  if (count == 0) count = 1;
  const int each = width() / count;
  int extra = width() % count;
  for (int i = 0, x = 0; i < kNavigateButtons; ++i) {
    QToolButton* button = buttons_[static_cast<std::size_t>(i)];
    const bool shown = (visible_ >> i) & 1u;
    button->setVisible(shown);
    if (!shown) continue;
    const int w = each + (extra-- > 0 ? 1 : 0);
    button->setGeometry(x, 0, w, height());
    x += w;
  }
}

void TNavigatorBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Arrange();
}

void TNavigatorBar::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) UpdateButtons(last_state_);
}

}  // namespace orvex::ui
