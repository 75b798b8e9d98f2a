// The application object's hooks (the library's windows through Qt), its
// exception handler and loop, and forms built from stored property values.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QTest>
#include <QTimer>
#include <vector>

#include "common/errors.h"
#include "platform/os/codepage.h"
#include "platform/os/system.h"
#include "platform/widgets/forms.h"
#include "platform/widgets/qt_text.h"
#include "support/gui_test_support.h"
#include "support/test_support.h"

namespace orvex::ui {
namespace {

TEST(Application, LibraryWindowsAppearThroughQt) {
  test::GuiApp();
  struct Case {
    std::function<void()> call;
    QMessageBox::StandardButton answer;
    QString caption;
    QString text;
    QMessageBox::Icon icon;
  };
  const std::string question = os::Utf8ToAnsi("Datensatz löschen ?");
  bool confirmed = true;
  const Case cases[] = {
      {[] {
         os::MessageBox(os::Utf8ToAnsi("Fehler Nr. 2 (Datei nicht gefunden)\r\nä.dbf"),
                        "Programm angehalten.", true);
       },
       QMessageBox::Ok, "Programm angehalten.", "Fehler Nr. 2 (Datei nicht gefunden)\r\nä.dbf",
       QMessageBox::Critical},
      {[] { os::ShowWarning(os::Utf8ToAnsi("Konnte 'ü.dbf' nicht erzeugen")); }, QMessageBox::Ok,
       QApplication::applicationName(), "Konnte 'ü.dbf' nicht erzeugen", QMessageBox::NoIcon},
      {[&] { confirmed = os::Confirm(question); }, QMessageBox::Cancel, "Confirm",
       "Datensatz löschen ?", QMessageBox::Question},
  };
  for (const Case& c : cases) {
    const test::SeenDialog* seen = test::AnswerNextDialog(c.answer);
    c.call();
    ASSERT_TRUE(seen->shown);
    EXPECT_EQ(seen->caption, c.caption);
    EXPECT_EQ(seen->text, c.text);
    EXPECT_EQ(seen->icon, c.icon);
  }
  EXPECT_FALSE(confirmed) << "Cancel answers false";
  test::AnswerNextDialog(QMessageBox::Ok);
  EXPECT_TRUE(os::Confirm(question));
}

TEST(Application, LibraryStopsAGuiProgramAfterItsMessageBox) {
  test::GuiApp();
  const std::string helper =
      QCoreApplication::applicationDirPath().toStdString() + "/gui_stop_helper";
  const test::ProcessResult result =
      test::RunProcess({helper},
                       // exit() leaves the GUI up: what fontconfig holds then is no leak to report.
                       {"QT_QPA_PLATFORM=offscreen", "ASAN_OPTIONS=detect_leaks=0"});
  EXPECT_EQ(result.exit_status, 2) << result.err;
  EXPECT_EQ(result.out,
            "Programm angehalten.|Fehler Nr. 2 (Datei nicht gefunden)\r\nmovie_ä.dbf "
            "[USE/OpenDBF]|" +
                std::to_string(QMessageBox::Critical) + "\n");
}

TEST(Application, ProcessMessagesHookRunsPendingEvents) {
  test::GuiApp();
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  os::ProcessMessages();  // what a lock wait calls
  EXPECT_TRUE(ran);
}

TEST(Application, DestructionPutsTheConsoleDefaultsBack) {
  test::DropGuiApp();
  {
    int argc = 1;
    char name[] = "t";
    char* argv[] = {name, nullptr};
    TApplication app(argc, argv);
  }
  testing::internal::CaptureStderr();
  EXPECT_FALSE(os::Confirm("Sure ?"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Sure ? (Abbrechen)\n");
}

TEST(Application, ExceptionsFromEventsReachTheHandlerAndTheLoopGoesOn) {
  TApplication& app = test::GuiApp();
  std::string caught;
  app.OnException = [&](const std::exception& e) { caught = e.what(); };
  TForm form;
  TButton button(&form, {10, 10, 80, 25}, "Go");
  button.OnClick = [] { RaiseOrvexError("Fehler Nr. 1103 (Datenbank ist nicht offen)"); };
  form.show();
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(caught, "Fehler Nr. 1103 (Datenbank ist nicht offen)");

  // The loop runs until the main form is closed.
  QTimer::singleShot(20, &form, [&] { form.close(); });
  EXPECT_EQ(app.Run(form), 0);
  EXPECT_TRUE(app.Terminated());
  app.OnException = &TApplication::ShowException;
}

// The main form is activated when Run shows it, whether or not a window
// manager focuses it; the window system's activation that may follow is
// the same one, and a later one after another window had the focus is new.
TEST(Forms, MainFormIsActivatedWhenRunShowsIt) {
  TApplication& app = test::GuiApp();
  TForm form;
  int activations = 0;
  bool shown_when_activated = false;
  form.OnActivate = [&] {
    ++activations;
    shown_when_activated = form.isVisible();
  };
  std::vector<int> seen;
  QTimer::singleShot(0, &form, [&] {
    seen.push_back(activations);
    form.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    seen.push_back(activations);
    TForm other;
    other.show();
    other.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&other));
    form.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    seen.push_back(activations);
    form.close();
  });
  EXPECT_EQ(app.Run(form), 0);
  EXPECT_EQ(seen, (std::vector<int>{1, 1, 2}));
  EXPECT_TRUE(shown_when_activated);
}

TEST(Forms, BuiltFromStoredProperties) {
  test::GuiApp();
  TForm form;
  SetBounds(form, {228, 108, 470, 335});
  form.SetCaption("File opened ReadOnly");
  form.setFont(MakeFont("MS Sans Serif", -11));
  int activations = 0;
  form.OnActivate = [&] { ++activations; };
  TLabel label(&form, {280, 118, 129, 13}, "Sorted by TITLE ");
  label.setAlignment(Qt::AlignRight);
  SetFontColor(label, ColorFromTColor(0x0000FF));  // clRed
  TGroupBox group(&form, {90, 14, 177, 105}, "Order By:");
  TButton button(&group, {14, 24, 63, 25}, "Title");
  int clicks = 0;
  button.OnClick = [&] { ++clicks; };
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  EXPECT_EQ(activations, 1);

  EXPECT_EQ(form.size(), QSize(470, 335));
  EXPECT_EQ(form.Caption(), "File opened ReadOnly");
  EXPECT_EQ(label.geometry(), QRect(280, 118, 129, 13));
  EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(button.mapTo(&form, QPoint(0, 0)), QPoint(90 + 14, 14 + 24));
  EXPECT_EQ(group.title(), "Order By:");
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  label.SetCaption(os::Utf8ToAnsi("Sortiert nach GRÖSSE"));
  EXPECT_EQ(label.text(), "Sortiert nach GRÖSSE");
}

TEST(Forms, FontsAndColours) {
  test::GuiApp();
  const QFont font = MakeFont("MS Sans Serif", -11);
  EXPECT_EQ(font.pixelSize(), 11);
  EXPECT_EQ(QFontInfo(font).family(), MapFontFamily("MS Sans Serif")) << "the font is installed";
  EXPECT_EQ(MapFontFamily("MS Sans Serif"), "DejaVu Sans");
  EXPECT_EQ(MapFontFamily("Courier New"), "DejaVu Sans Mono");
  EXPECT_EQ(MapFontFamily("Times New Roman"), "DejaVu Serif");
  EXPECT_EQ(MapFontFamily("Arial"), "DejaVu Sans");
  EXPECT_TRUE(QFontInfo(MakeFont("Courier New", -12)).fixedPitch());
  EXPECT_TRUE(MakeFont("System", 16).bold());
  const QFont cell = MakeFont("MS Sans Serif", 20);  // positive: the cell height
  EXPECT_NEAR(QFontMetrics(cell).height(), 20, 1);
  EXPECT_EQ(ColorFromTColor(65535), QColor(255, 255, 0));
  EXPECT_EQ(ColorFromTColor(0x00FF0000), QColor(0, 0, 255));
  EXPECT_EQ(ToAnsi(FromAnsi("\xC4\xE4\xDF")), "\xC4\xE4\xDF");
}

}  // namespace
}  // namespace orvex::ui
