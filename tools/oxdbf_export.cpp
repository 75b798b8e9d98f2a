// The record writer of `oxdbf dump` (see oxdbf_export.h).
#include "oxdbf_export.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/errors.h"
#include "engine/field_values.h"
#include "engine/record_io.h"
#include "engine/work_area.h"
#include "oxdbf.h"
#include "oxdbf_memo.h"
#include "platform/os/codepage.h"
#include "platform/os/display_text.h"

namespace orvex::tool {
namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 20;

// The bytes that make a CSV cell need quotes, as a table indexed by byte:
// one look-up per byte instead of a search for each of the four.
constexpr std::array<bool, 256> kQuoted = [] {
  std::array<bool, 256> quoted{};
  for (unsigned char c : {',', '"', '\r', '\n'}) quoted[c] = true;
  return quoted;
}();

// Stored digits ("-.5", "+007", "3.") as a JSON number ("-0.5", "7", "3");
// "" when they are no number (an overflow's asterisks, say).
std::string JsonNumber(const std::string& digits) {
  std::size_t i = 0;
  std::string sign;
  if (i < digits.size() && (digits[i] == '+' || digits[i] == '-'))
    sign = digits[i++] == '-' ? "-" : "";
  std::size_t point = digits.find('.', i);
  std::string whole = digits.substr(i, point == std::string::npos ? std::string::npos : point - i);
  std::string fraction = point == std::string::npos ? "" : digits.substr(point + 1);
  auto all_digits = [](const std::string& s) {
    return s.find_first_not_of("0123456789") == std::string::npos;
  };
  if ((whole.empty() && fraction.empty()) || !all_digits(whole) || !all_digits(fraction)) return "";
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  if (whole.empty()) whole = "0";
  return sign + whole + (fraction.empty() ? "" : "." + fraction);
}

// The field as exported into `text` (its storage reused): dates as
// YYYY-MM-DD (other stored texts as they are), everything else as
// FieldTextIn gives it. False when a memo could not be read (the text is
// then empty). *null tells that the field holds no value.
bool ExportText(int n, char type, const char* record, std::string* text, bool* null) {
  *null = false;
  if (type == 'M') {
    // A memo field _NullFlags marks null holds no memo to read.
    const WorkArea& area = *CurrentWorkArea();
    *null = FieldIsNull(area, area.fields[static_cast<std::size_t>(n - 1)], record);
    if (*null) {
      text->clear();
      return true;
    }
    return TryMemoFieldText(n, text);
  }
  *null = !FieldTextIn(n, record, text);
  if (type == 'D') ShowIsoDate(text);
  return true;
}

}  // namespace

RecordExport::RecordExport(const ExportOptions& options, std::FILE* out)
    : options_(options),
      out_(out),
      row_end_(options.format == ExportFormat::kCsv && options.crlf ? "\r\n" : "\n"),
      buffer_(kBufferSize) {
  const int fields = FieldCount();
  for (int i = 1; i <= fields; ++i) {
    names_.push_back(StoredToUtf8(Field(i)));
    const FieldDesc& f = CurrentWorkArea()->fields[static_cast<std::size_t>(i - 1)];
    // Raw fields other than Visual FoxPro's memo fields never take the memo
    // path.
    types_.push_back(HoldsMemoBlock(*CurrentWorkArea(), f) ? 'M' : f.raw ? 'R' : FieldType(i));
  }
  width_ = static_cast<int>(std::to_string(RecCount()).size());
  if (options_.format != ExportFormat::kCsv) return;
  if (options_.with_deleted) Add("_deleted");
  for (int i = 1; i <= fields; ++i) {
    if (i > 1 || options_.with_deleted) Add(',');
    AddCsvCell(names_[static_cast<std::size_t>(i - 1)]);
  }
  Add(row_end_);
}

RecordExport::~RecordExport() { Flush(); }

void RecordExport::Record(std::int32_t recno, const char* record) {
  const bool deleted = record[0] == '*';
  const ExportFormat format = options_.format;
  if (format == ExportFormat::kText) {
    char head[32];
    std::snprintf(head, sizeof head, "%*d %c", width_, recno, deleted ? '*' : ' ');
    Add(head);
  } else if (format == ExportFormat::kCsv && options_.with_deleted) {
    Add(deleted ? "T," : "F,");
  } else if (format == ExportFormat::kJson) {
    Add(options_.with_deleted ? (deleted ? "{\"_deleted\":true," : "{\"_deleted\":false,") : "{");
  }
  for (std::size_t i = 0; i < types_.size(); ++i) {
    const int n = static_cast<int>(i) + 1;
    bool null = false;
    if (!ExportText(n, types_[i], record, &text_, &null)) {
      Flush();
      std::fflush(out_);
      std::fprintf(stderr, "oxdbf: warning: record %d, field %s left empty: %s (%s)\n", recno,
                   names_[i].c_str(), os::AnsiToUtf8(ErrorText(DbfErrorNo)).c_str(),
                   os::DisplayText(TakeErrorDetail()).c_str());
      DbfErrorNo = 0;
      ++damaged_;
    }
    if (format == ExportFormat::kText) {
      Add(i > 0 ? " | " : " ");
      Add(text_);
    } else if (format == ExportFormat::kCsv) {
      if (i > 0) Add(',');
      AddCsvCell(text_);
    } else {
      if (i > 0) Add(',');
      AddJsonString(names_[i]);
      Add(':');
      AddJsonValue(CurrentWorkArea()->fields[i], text_, null);
    }
  }
  if (format == ExportFormat::kJson) Add('}');
  Add(row_end_);
}

void RecordExport::Flush() {
  if (used_ > 0) std::fwrite(buffer_.data(), 1, used_, out_);
  used_ = 0;
}

void RecordExport::Add(std::string_view text) {
  if (text.size() > kBufferSize - used_) {
    Flush();
    if (text.size() > kBufferSize) {  // a memo larger than the buffer
      std::fwrite(text.data(), 1, text.size(), out_);
      return;
    }
  }
  std::memcpy(buffer_.data() + used_, text.data(), text.size());
  used_ += text.size();
}

void RecordExport::Add(char c) {
  if (used_ == kBufferSize) Flush();
  buffer_[used_++] = c;
}

// One CSV cell: quoted when it holds a comma, a quote or a line break.
void RecordExport::AddCsvCell(std::string_view text) {
  if (std::none_of(text.begin(), text.end(),
                   [](char c) { return kQuoted[static_cast<unsigned char>(c)]; })) {
    return Add(text);
  }
  Add('"');
  for (char c : text) {
    if (c == '"') Add('"');
    Add(c);
  }
  Add('"');
}

void RecordExport::AddJsonString(std::string_view text) {
  Add('"');
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      Add('\\');
      Add(static_cast<char>(c));
    } else if (c == '\n') {
      Add("\\n");
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      Add(escaped);
    } else {
      Add(static_cast<char>(c));
    }
  }
  Add('"');
}

void RecordExport::AddJsonValue(const FieldDesc& field, const std::string& text, bool null) {
  const char type = field.type;
  if (null) return Add("null");
  if (field.raw && !RawValueIsNumber(field)) return AddJsonString(text);
  if (type == 'C' || type == 'M') return AddJsonString(text);
  if (text.empty()) return Add("null");
  if (type == 'L') return Add(text == "T" ? "true" : "false");
  std::string number = type == 'N' || type == 'F' || field.raw ? JsonNumber(text) : "";
  if (number.empty()) return AddJsonString(text);
  Add(number);
}

}  // namespace orvex::tool
