#include "platform/widgets/qt_text.h"

#include "platform/os/codepage.h"

namespace orvex::ui {

QString FromAnsi(std::string_view ansi) { return QString::fromStdString(os::AnsiToUtf8(ansi)); }

std::string ToAnsi(const QString& text) { return os::Utf8ToAnsi(text.toStdString()); }

}  // namespace orvex::ui
