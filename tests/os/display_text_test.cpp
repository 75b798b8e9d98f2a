#include "platform/os/display_text.h"

#include <string>

#include "gtest/gtest.h"

namespace orvex::os {
namespace {

// A message holds a name as its bytes or as its library text; either way a
// person sees the name as given, while the message's own '?' and text stay.
TEST(DisplayText, NamesNotedShowAsGivenWhereverAMessageHoldsThem) {
  ForgetNamesForDisplay();
  EXPECT_EQ(DisplayText("Gr\xF6\xDF"
                        "e?"),
            "Größe?");
  NoteNameForDisplay("/tmp/数据/表格.dbf");
  NoteNameForDisplay("/tmp/größe.dbt");
  // Library text of both components, the file first.
  EXPECT_EQ(DisplayText("Fehler beim \xD6"
                        "ffnen von /tmp/?"
                        "?/??.dbf [USE]"),
            "Fehler beim Öffnen von /tmp/数据/表格.dbf [USE]");
  // The bytes of a UTF-8 name put into the message as they stand.
  EXPECT_EQ(DisplayText(std::string("/tmp/größe.dbt Record # 1")), "/tmp/größe.dbt Record # 1");
  // A '?' that is not a whole component stays.
  EXPECT_EQ(DisplayText("Wert ??x und a??"), "Wert ??x und a??");
  // Of two names with the same library text, the newer wins.
  NoteNameForDisplay("/tmp/其他.dbf");
  EXPECT_EQ(DisplayText("??.dbf fehlt."), "其他.dbf fehlt.");
  // A name that a comma ends, as in a list of files.
  EXPECT_EQ(DisplayText("??.dbf, /tmp/?"
                        "?/??.dbf"),
            "其他.dbf, /tmp/数据/其他.dbf");
  ForgetNamesForDisplay();
  EXPECT_EQ(DisplayText("??.dbf"), "??.dbf");
}

}  // namespace
}  // namespace orvex::os
