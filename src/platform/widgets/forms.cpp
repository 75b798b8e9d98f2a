#include "platform/widgets/forms.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPalette>
#include <array>

#include "platform/widgets/application.h"
#include "platform/widgets/qt_text.h"

namespace orvex::ui {

void SetBounds(QWidget& widget, const Bounds& b) {
  widget.move(b.left, b.top);
  widget.resize(b.width, b.height);
}

QColor ColorFromTColor(std::uint32_t value) {
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

QColor WindowColor() { return QApplication::palette().color(QPalette::Base); }
QColor WindowTextColor() { return QApplication::palette().color(QPalette::Text); }
QColor ButtonFaceColor() { return QApplication::palette().color(QPalette::Button); }
QColor HighlightColor() { return QApplication::palette().color(QPalette::Highlight); }
QColor HighlightTextColor() { return QApplication::palette().color(QPalette::HighlightedText); }

namespace {

enum class FontKind { kSans, kSerif, kMono };

// The kind of a classic Windows font name; sans for every name not listed.
FontKind KindOf(std::string_view name) {
  static constexpr std::string_view kMonoNames[] = {"Courier",
                                                    "Courier New",
                                                    "Fixedsys",
                                                    "Terminal",
                                                    "Lucida Console",
                                                    "Consolas",
                                                    "Lucida Sans Typewriter",
                                                    "Andale Mono",
                                                    "MS Gothic",
                                                    "OCR A Extended"};
  static constexpr std::string_view kSerifNames[] = {
      "Times New Roman",    "Times",        "MS Serif",          "Roman",    "Georgia",
      "Garamond",           "Book Antiqua", "Bookman Old Style", "Palatino", "Palatino Linotype",
      "Century Schoolbook", "Cambria",      "Constantia",        "Sylfaen",  "Small Fonts Serif"};
  for (std::string_view mono : kMonoNames) {
    if (name == mono) return FontKind::kMono;
  }
  for (std::string_view serif : kSerifNames) {
    if (name == serif) return FontKind::kSerif;
  }
  return FontKind::kSans;
}

}  // namespace

QString MapFontFamily(std::string_view windows_name) {
  static constexpr std::array<const char*, 4> kSans = {"DejaVu Sans", "Liberation Sans",
                                                       "Noto Sans", "FreeSans"};
  static constexpr std::array<const char*, 4> kSerif = {"DejaVu Serif", "Liberation Serif",
                                                        "Noto Serif", "FreeSerif"};
  static constexpr std::array<const char*, 4> kMono = {"DejaVu Sans Mono", "Liberation Mono",
                                                       "Noto Sans Mono", "FreeMono"};
  const FontKind kind = KindOf(windows_name);
  const QStringList installed = QFontDatabase::families();
  for (const char* family : kind == FontKind::kMono    ? kMono
                            : kind == FontKind::kSerif ? kSerif
                                                       : kSans) {
    if (installed.contains(QString::fromLatin1(family))) return QString::fromLatin1(family);
  }
  // None of the usual families: what the font matching offers of the kind.
  if (kind == FontKind::kMono) return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
  if (kind == FontKind::kSerif) {
    QFont serif;
    serif.setStyleHint(QFont::Serif);
    serif.setFamily(QString());
    return QFontInfo(serif).family();
  }
  return QApplication::font().family();
}

QFont MakeFont(std::string_view windows_name, int height) {
  QFont font(MapFontFamily(windows_name));
  const FontKind kind = KindOf(windows_name);
  font.setStyleHint(kind == FontKind::kMono    ? QFont::TypeWriter
                    : kind == FontKind::kSerif ? QFont::Serif
                                               : QFont::SansSerif);
  if (windows_name == "System") font.setBold(true);
  if (height < 0) {
    font.setPixelSize(-height);
  } else if (height > 0) {
    // A cell height includes the internal leading: scale the character height
    // by the family's ratio of em size to line height.
    QFont probe = font;
    probe.setPixelSize(100);
    const int cell = QFontMetrics(probe).height();
    font.setPixelSize(std::max(1, (height * 100 + cell / 2) / cell));
  }
  return font;
}

void SetFontColor(QWidget& widget, const QColor& color) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::WindowText, color);
  palette.setColor(QPalette::Text, color);
  palette.setColor(QPalette::ButtonText, color);
  widget.setPalette(palette);
}

void SetBackgroundColor(QWidget& widget, const QColor& color) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Window, color);
  widget.setPalette(palette);
  widget.setAutoFillBackground(true);
}

TForm::TForm(QWidget* owner) : QWidget(owner, Qt::Window) {}

void TForm::SetCaption(std::string_view caption_ansi) { setWindowTitle(FromAnsi(caption_ansi)); }

std::string TForm::Caption() const { return ToAnsi(windowTitle()); }

void TForm::ShownAsMainWindow() { Activated(); }

void TForm::Activated() {
  if (active_) return;
  active_ = true;
  if (OnActivate) Guarded(OnActivate);
}

bool TForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) Activated();
  if (event->type() == QEvent::WindowDeactivate) active_ = false;
  return QWidget::event(event);
}

TLabel::TLabel(QWidget* parent, const Bounds& bounds, std::string_view caption_ansi)
    : QLabel(FromAnsi(caption_ansi), parent) {
  SetBounds(*this, bounds);
}

void TLabel::SetCaption(std::string_view caption_ansi) { setText(FromAnsi(caption_ansi)); }

std::string TLabel::Caption() const { return ToAnsi(text()); }

TButton::TButton(QWidget* parent, const Bounds& bounds, std::string_view caption_ansi)
    : QPushButton(FromAnsi(caption_ansi), parent) {
  SetBounds(*this, bounds);
  connect(this, &QPushButton::clicked, this, [this] {
    if (OnClick) Guarded(OnClick);
  });
}

TGroupBox::TGroupBox(QWidget* parent, const Bounds& bounds, std::string_view caption_ansi)
    : QGroupBox(FromAnsi(caption_ansi), parent) {
  SetBounds(*this, bounds);
}

}  // namespace orvex::ui
