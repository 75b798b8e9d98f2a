// Field kinds: texts in both directions, conversions and their refusals,
// display defaults; the short date format in both directions.
#include <gtest/gtest.h>

#include "memory_data_set.h"
#include "platform/data/database_error.h"
#include "platform/data/date_time.h"
#include "platform/data/field_kinds.h"
#include "platform/os/format_settings.h"

namespace orvex::test {
namespace {

class FieldsTest : public ::testing::Test {
 protected:
  void TearDown() override { os::ResetFormats(); }
};

TEST_F(FieldsTest, ShortDateFormatBothWays) {
  struct Case {
    const char* format;
    char separator;
    int y, m, d;
    const char* text;
  };
  for (const Case& c : {Case{"dd.MM.yyyy", '.', 2024, 2, 29, "29.02.2024"},
                        Case{"MM/dd/yy", '/', 1999, 12, 31, "12/31/99"},
                        Case{"yyyy-MM-dd", '-', 33, 1, 5, "0033-01-05"},
                        Case{"d/M/yyyy", '/', 2001, 3, 4, "4/3/2001"},
                        Case{"dd/MM/yyyy", '-', 1900, 1, 1, "01-01-1900"}}) {
    os::Formats().short_date_format = c.format;
    os::Formats().date_separator = c.separator;
    data::TDateTime v = 0;
    ASSERT_TRUE(data::TryEncodeDate(c.y, c.m, c.d, &v));
    EXPECT_EQ(data::DateToStr(v), c.text);
    data::TDateTime back = -1;
    ASSERT_TRUE(data::TryStrToDate(c.text, &back)) << c.text;
    if (std::string(c.format).find("yyyy") != std::string::npos) {
      EXPECT_EQ(back, v) << c.text;
    }
    data::TDate d = data::DecodeDate(v);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, c.y * 10000 + c.m * 100 + c.d);
  }
  data::TDateTime v = 0;
  ASSERT_TRUE(data::TryEncodeDate(1899, 12, 30, &v));
  EXPECT_EQ(v, 0.0);
  for (const char* bad : {"", "1.2", "31.02.2024", "1.2.3.4", "a.b.c", "29.02.2023", "1..2"}) {
    os::Formats().short_date_format = "dd.MM.yyyy";
    EXPECT_FALSE(data::TryStrToDate(bad, &v)) << bad;
  }
  EXPECT_THROW(data::StrToDate("soon"), data::EConvertError);
  EXPECT_FALSE(data::TryEncodeDate(10000, 1, 1, &v));
  EXPECT_FALSE(data::IsValidDate(-700000));
}

TEST_F(FieldsTest, KindsConvertTheirTexts) {
  MemoryDataSet ds({3});
  ds.Open();
  ds.Edit();
  data::TField* f = ds.Fields(0);
  EXPECT_EQ(f->Alignment(), data::TAlignment::taRightJustify);
  EXPECT_EQ(f->DisplayWidth(), 11);
  EXPECT_EQ(f->DisplayLabel(), "VALUE");
  f->SetText(" -42 ");
  EXPECT_EQ(f->AsInteger(), -42);
  EXPECT_EQ(f->DisplayText(), "-42");
  f->SetAsFloat(2.5);
  EXPECT_EQ(f->AsInteger(), 3);
  EXPECT_THROW(f->SetText("4x"), data::EConvertError);
  EXPECT_THROW(f->SetText("99999999999"), data::EConvertError);
  EXPECT_THROW(f->SetAsFloat(1e12), data::EConvertError);
  ds.Cancel();

  // Fields without a dataset have no value.
  data::TBooleanField boolean;
  data::TDateField date;
  data::TFloatField number;
  EXPECT_TRUE(boolean.IsNull());
  EXPECT_EQ(boolean.DisplayText(), "");
  EXPECT_EQ(date.DisplayText(), "");
  EXPECT_EQ(number.DisplayText(), "");
  EXPECT_EQ(boolean.DisplayWidth(), 5);
  EXPECT_EQ(number.DisplayWidth(), 10);
}

TEST_F(FieldsTest, FloatAndBooleanTexts) {
  os::Formats().decimal_separator = ',';
  MemoryDataSet ds({0});
  auto* flag = ds.AddField(std::make_unique<data::TBooleanField>());
  flag->SetFieldName("FLAG");
  flag->SetFieldKind(data::TFieldKind::fkCalculated);
  auto* ratio = static_cast<data::TFloatField*>(ds.AddField(std::make_unique<data::TFloatField>()));
  ratio->SetFieldName("RATIO");
  ratio->SetFieldKind(data::TFieldKind::fkCalculated);
  ratio->SetPrecision(4);
  auto* value = ds.AddField(std::make_unique<data::TIntegerField>());
  value->SetFieldName("VALUE");
  // Calculated fields are written while OnCalcFields runs: from a text
  // when one is given, else from the value.
  std::string flag_text, ratio_text;
  ds.OnCalcFields = [&](data::TDataSet&) {
    flag_text.empty() ? flag->SetAsBoolean(value->AsInteger() != 0) : flag->SetText(flag_text);
    ratio_text.empty() ? ratio->SetAsFloat(value->AsInteger() / 3.0) : ratio->SetText(ratio_text);
  };
  ds.Open();
  EXPECT_EQ(flag->DisplayText(), "False");
  ds.Edit();
  value->SetAsInteger(1);
  EXPECT_EQ(flag->DisplayText(), "True");
  EXPECT_TRUE(flag->AsBoolean());
  EXPECT_EQ(ratio->DisplayText(), "0,3333");
  EXPECT_EQ(ratio->AsString(), "0,333333333333333");
  value->SetAsInteger(-30000000);
  EXPECT_EQ(ratio->DisplayText(), "-1e+07");
  struct Case {
    std::string flag, ratio;
    std::string flag_shown, ratio_shown;
  };
  for (const Case& c : {Case{"f", "2,5", "False", "2,5"}, Case{"TRUE", "-0,125", "True", "-0,125"},
                        Case{" ", " ", "", ""}}) {
    flag_text = c.flag, ratio_text = c.ratio;
    value->SetAsInteger(7);
    EXPECT_EQ(flag->DisplayText(), c.flag_shown);
    EXPECT_EQ(ratio->DisplayText(), c.ratio_shown);
  }
  for (const Case& c : {Case{"yes", "1", "", ""}, Case{"t", "2,5x", "", ""}}) {
    flag_text = c.flag, ratio_text = c.ratio;
    EXPECT_THROW(value->SetAsInteger(8), data::EConvertError) << c.flag << c.ratio;
  }
  flag_text.clear(), ratio_text.clear();
  ds.Cancel();
}

}  // namespace
}  // namespace orvex::test
