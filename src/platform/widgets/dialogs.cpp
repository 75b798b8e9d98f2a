#include "platform/widgets/dialogs.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/os/display_text.h"
#include "platform/widgets/qt_text.h"

namespace orvex::ui {

namespace {

int RunBox(QMessageBox::Icon icon, const QString& caption, std::string_view text_ansi,
           QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, caption, QString::fromStdString(os::DisplayText(text_ansi)), buttons,
                  QApplication::activeWindow());
  if (buttons & QMessageBox::Cancel) box.setEscapeButton(QMessageBox::Cancel);
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec();
}

}  // namespace

void MessageBoxDialog(std::string_view text_ansi, std::string_view caption_ansi, bool icon_stop) {
  RunBox(icon_stop ? QMessageBox::Critical : QMessageBox::NoIcon, FromAnsi(caption_ansi), text_ansi,
         QMessageBox::Ok);
}

void ShowMessage(std::string_view text_ansi) {
  RunBox(QMessageBox::NoIcon, QApplication::applicationName(), text_ansi, QMessageBox::Ok);
}

bool ConfirmDialog(std::string_view text_ansi) {
  return RunBox(QMessageBox::Question, QStringLiteral("Confirm"), text_ansi,
                QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

}  // namespace orvex::ui
