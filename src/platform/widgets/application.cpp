#include "platform/widgets/application.h"

#include <QApplication>

#include "platform/os/system.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/forms.h"
#include "platform/widgets/qt_text.h"

namespace orvex::ui {

namespace {

TApplication* g_current = nullptr;

// Qt does not let exceptions pass through its event dispatch; this catches
// what escapes an event anyway and passes it on to the application object's
// handler, so that one failing event does not end the program. Qt may lose
// what it held for that event; code of ours that Qt calls runs Guarded, so
// that its exceptions stop before they reach Qt.
class GuardedApplication : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
      HandleException(error);
    }
    return false;
  }
};

}  // namespace

TApplication::TApplication(int& argc, char** argv)
    : qt_app_(std::make_unique<GuardedApplication>(argc, argv)) {
  g_current = this;
  os::SetProcessMessagesHook(&TApplication::ProcessMessages);
  os::SetMessageBoxHook([](const std::string& text, const std::string& caption, bool stop) {
    MessageBoxDialog(text, caption, stop);
  });
  os::SetWarningHook([](const std::string& text) { ShowMessage(text); });
  os::SetConfirmHook([](const std::string& text) { return ConfirmDialog(text); });
}

TApplication::~TApplication() {
  g_current = nullptr;
  os::SetProcessMessagesHook({});
  os::SetMessageBoxHook({});
  os::SetWarningHook({});
  os::SetConfirmHook({});
}

namespace {

// Ends the message loop once the main form has closed. A close event may
// still be refused by the form, so the check waits until it has been handled.
class CloseWatch : public QObject {
 public:
  CloseWatch(TApplication& app, QWidget& form) : app_(app), form_(form) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Close) {
      QMetaObject::invokeMethod(
          this,
          [this] {
            if (!form_.isVisible()) app_.Terminate();
          },
          Qt::QueuedConnection);
    }
    return false;
  }

 private:
  TApplication& app_;
  QWidget& form_;
};

}  // namespace

int TApplication::Run(QWidget& main_form) {
  if (terminated_) return 0;
  CloseWatch watch(*this, main_form);
  main_form.installEventFilter(&watch);
  main_form.show();
  if (auto* form = dynamic_cast<TForm*>(&main_form)) form->ShownAsMainWindow();
  const int code = QApplication::exec();
  main_form.removeEventFilter(&watch);
  return code;
}

void TApplication::Terminate() {
  terminated_ = true;
  QCoreApplication::exit(0);
}

void TApplication::ProcessMessages() { QCoreApplication::processEvents(); }

void TApplication::ShowException(const std::exception& error) {
  MessageBoxDialog(error.what(), ToAnsi(QApplication::applicationName()), true);
}

}  // namespace orvex::ui

namespace orvex::ui {

TApplication* TApplication::Current() { return g_current; }

void HandleException(const std::exception& error) {
  TApplication* app = TApplication::Current();
  if (app != nullptr && app->OnException) {
    app->OnException(error);
  } else {
    TApplication::ShowException(error);
  }
}

}  // namespace orvex::ui
