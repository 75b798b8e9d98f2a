#include "common/errors.h"

#include <gtest/gtest.h>

#include "common/quiet_errors.h"

#include "platform/os/codepage.h"

namespace orvex {
namespace {

class ErrorsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetErrorState(); }
  void TearDown() override { ResetErrorState(); }
};

TEST_F(ErrorsTest, TextsAreExactIncludingTrailingBlanksAndRanges) {
  EXPECT_EQ(ErrorText(0), "");
  EXPECT_EQ(ErrorText(2), "Fehler Nr. 2 (Datei nicht gefunden)");
  EXPECT_EQ(ErrorText(7), "Fehler Nr. 7 (Unbekannter Fehler)");
  EXPECT_EQ(ErrorText(1203), "Fehler Nr. 1203 (Netzwerkfehler)");
  EXPECT_EQ(ErrorText(1250), "Fehler Nr. 1250 (Netzwerkfehler)");
  EXPECT_EQ(ErrorText(1299), "Fehler Nr. 1299 (Netzwerkfehler)");
  EXPECT_EQ(ErrorText(1300), "Fehler Nr. 1300 (File format not supported)");
  EXPECT_EQ(ErrorText(1301), "Fehler Nr. 1301 (Unbekannter Fehler)");
  EXPECT_EQ(StandardErrorText(1004), "Speichermedium voll          ");
  EXPECT_EQ(StandardErrorText(12), os::Utf8ToAnsi("Unzulässiger Dateizugriff "));
  EXPECT_EQ(StandardErrorText(227), "Speichermediumplatz unzureichend ");
  // Umlauts are single Windows-1252 bytes.
  EXPECT_EQ(StandardErrorText(212), "Anfrage au\xDF" "erhalb Bereich");
  EXPECT_EQ(StandardErrorText(36), "\xDC" "berlauf des gemeinsamen Dateipuffers");
}

TEST_F(ErrorsTest, RaiseCarriesFullMessageAndClearsDetail) {
  SetRaiseOnError(true);
  try {
    SetError(210, "Datei:  X.DBF  [USE/OpenDBF]");
    FAIL() << "no exception";
  } catch (const EOrvexError& e) {
    EXPECT_EQ(e.Message(), "Fehler Nr. 210 (Keine dBASE-Datei)\r\nDatei:  X.DBF  [USE/OpenDBF]");
  }
  EXPECT_EQ(ErrorDetail, "");
  EXPECT_EQ(DbfErrorNo, 210);
  EXPECT_EQ(ReportedErrorNo, 0) << "taking the detail clears the reported number";
}

TEST_F(ErrorsTest, AnErrorHeldBackIsReportedOnceWithItsTextAsRecorded) {
  SetRaiseOnError(true);
  try {
    QuietErrors quiet;
    SetError(kDiskFullError, "Fehler beim Schreiben von T.DBF.");
    EXPECT_EQ(DbfErrorNo, kDiskFullError) << "held, not raised";
    quiet.ReportHeld();
    FAIL() << "no exception";
  } catch (const EOrvexError& e) {
    EXPECT_EQ(e.Message(),
              ErrorText(kDiskFullError) +
                  "\r\nKein Platz mehr auf dem Speichermedium. Fehler beim Schreiben von T.DBF.");
  }
  // Nothing held: nothing reported, and reporting is on again.
  DbfErrorNo = 0;
  {
    QuietErrors quiet;
    quiet.ReportHeld();
  }
  EXPECT_THROW(SetError(2, "x"), EOrvexError);
}

TEST_F(ErrorsTest, AutoReportOffStoresAndMessageIsTakenOnce) {
  EXPECT_TRUE(SetAutoReport(false));
  SetError(2, "Datei:  A.DBF");
  EXPECT_EQ(DbfErrorNo, 2);
  EXPECT_EQ(GetErrorMessage(), "Fehler Nr. 2 (Datei nicht gefunden)\r\nDatei:  A.DBF");
  EXPECT_EQ(GetErrorMessage(), "");
  EXPECT_FALSE(SetAutoReport(true));
}

TEST_F(ErrorsTest, HookReplacesRaiseAndStop) {
  int calls = 0;
  ErrorHook = [&] { ++calls; };
  SetRaiseOnError(true);
  EXPECT_NO_THROW(SetError(33, "x"));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ReportedErrorNo, 33);
  EXPECT_EQ(ErrorDetail, "x") << "the hook decides what happens to the detail";
  // A zero number with no hook produces nothing.
  ErrorHook = nullptr;
  EXPECT_NO_THROW(SetError(0, "only stored"));
  EXPECT_EQ(ErrorDetail, "only stored");
}

TEST_F(ErrorsTest, FreeingEmptyBlockIsErrorNineAndHarmless) {
  SetAutoReport(false);
  void* block = AllocMem16(100);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(block)[99], 0);
  FreeMem(block, 100);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(DbfErrorNo, 0);
  FreeMem(block, 100);
  EXPECT_EQ(DbfErrorNo, 9);
  EXPECT_EQ(ErrorDetail, "Versuch Null-Zeiger freizugeben [FreeMem()]");
  EXPECT_EQ(FreeMemory(), 2147483647);
}

// The stop path runs in a child process: message on stderr with the caption,
// exit status = error number (low 8 bits kept by the OS).
TEST(ErrorsDeathTest, StopPathExitsWithNumberAndShowsMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(SetError(210, "Datei:  X.DBF"), ::testing::ExitedWithCode(210),
              "Programm angehalten\\..*Fehler Nr\\. 210 \\(Keine dBASE-Datei\\).*X\\.DBF");
  EXPECT_EXIT(SetError(1003, "m"), ::testing::ExitedWithCode(1003 & 0xFF), "Memo-Adresse");
  // 1280's low 8 bits are 0: the status must still say "failed".
  EXPECT_EXIT(SetError(1280, "n"), ::testing::ExitedWithCode(1), "Netzwerkfehler");
}

TEST(ErrorsDeathTest, AfterStopLaterReportsDoNothing) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Halted never goes back: a later error is stored but neither shown nor
  // allowed to stop the program a second time.
  EXPECT_EXIT(
      {
        Halted = true;
        SetError(5, "ignored");
        std::exit(DbfErrorNo == 5 && ErrorDetail == "ignored" ? 42 : 1);
      },
      ::testing::ExitedWithCode(42), "");
}

}  // namespace
}  // namespace orvex
