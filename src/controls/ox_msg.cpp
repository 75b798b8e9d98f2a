#include "controls/ox_msg.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QStyle>

#include "platform/widgets/forms.h"
#include "platform/widgets/qt_text.h"

namespace orvex {

namespace {

constexpr Qt::WindowFlags kBorderless =
    Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
constexpr Qt::WindowFlags kDialog =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint;
constexpr std::uint32_t kYellow = 65535;
constexpr int kMargin = 30;     // room around the text
constexpr int kBevelFrame = 4;  // the text panel's inset without caption

// The advance width of the widest line and the height of all lines.
QSize MeasureText(const QFont& font, const QString& text) {
  const QFontMetrics metrics(font);
  const QStringList lines = QString(text).remove('\r').split('\n');
  int width = 0;
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  return QSize(width,
               metrics.height() + (static_cast<int>(lines.size()) - 1) * metrics.lineSpacing());
}

}  // namespace

TOxMsg::TOxMsg(QWidget* owner)
    : QWidget(owner, kBorderless),
      background_(new QFrame(this)),
      text_panel_(new QLabel(this)),
      reference_form_(QApplication::activeWindow()) {
  setFont(ui::MakeFont("MS Sans Serif", -11));
  ui::SetBackgroundColor(*this, ui::ColorFromTColor(kYellow));
  background_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  background_->setLineWidth(2);
  text_panel_->setFrameStyle(QFrame::Box | QFrame::Plain);
  text_panel_->setLineWidth(1);
  text_panel_->setAlignment(Qt::AlignCenter);
  text_panel_->raise();
  resize(0, 0);
}

void TOxMsg::SetCaption(std::string_view caption_ansi) {
  caption_ = caption_ansi;
  setWindowTitle(ui::FromAnsi(caption_ansi));
}

std::string TOxMsg::Caption() const { return caption_; }

void TOxMsg::ApplyBorder(bool bordered) {
  bordered_ = bordered;
  setWindowFlags(bordered ? kDialog : kBorderless);  // hides the window
}

void TOxMsg::ShowText(std::string_view text_ansi) {
  if (!text_ansi.empty()) text_ = text_ansi;
  const QString text = ui::FromAnsi(text_);
  const QSize measured = MeasureText(font(), text);

  const bool bordered = !caption_.empty();
  const bool border_changed = bordered != bordered_;
  if (border_changed) ApplyBorder(bordered);

  int caption_height = 0, frame_x = kBevelFrame, frame_y = kBevelFrame, caption_width = 0;
  if (bordered) {
    caption_height = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    frame_x = frame_y = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    caption_width = QFontMetrics(ui::MakeFont("System", 16)).horizontalAdvance(windowTitle());
  }
  background_->setVisible(!bordered);

  const QSize needed(std::max(measured.width() + kMargin, caption_width),
                     measured.height() + kMargin + caption_height);
  const bool visible = isVisible();
  if (!visible || border_changed || outer_.width() < needed.width() ||
      outer_.height() < needed.height()) {
    outer_ = visible && !border_changed ? outer_.expandedTo(needed) : needed;
    // The window's client area is its outer size less border and caption.
    const QSize client = bordered ? QSize(outer_.width() - 2 * frame_x,
                                          outer_.height() - caption_height - 2 * frame_y)
                                  : outer_;
    resize(client);
    background_->setGeometry(rect());
    if (bordered) {
      text_panel_->setGeometry(0, 0, client.width(), client.height());
    } else {
      text_panel_->setGeometry(frame_x, frame_y, outer_.width() - 2 * frame_x,
                               outer_.height() - 2 * frame_y);
    }
    const QRect over = reference_form_ ? reference_form_->frameGeometry()
                                       : QApplication::primaryScreen()->availableGeometry();
    move(over.center() - QPoint(outer_.width() / 2, outer_.height() / 2));
    show();
  }
  text_panel_->setText(text);
  QApplication::processEvents();
  text_panel_->repaint();
}

}  // namespace orvex
