// The evaluation loop: a stack machine over the postfix code, with C values
// kept as a stack of texts in the expression's work pool.
#include "expr/evaluator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/errors.h"
#include "dates/date_names.h"
#include "dates/date_settings.h"
#include "dates/date_text.h"
#include "dates/day_number.h"
#include "engine/entry_points.h"
#include "engine/record_pack.h"
#include "expr/functions.h"
#include "expr/keywords.h"
#include "expr/number_text.h"
#include "expr/table_access.h"
#include "platform/os/codepage.h"

namespace orvex {
namespace {

using VT = ValueType;
namespace tables = expr_tables;

struct Machine {
  CodeEntry* stack;
  int sp = 0;        // entries in use
  char* top;         // first free byte of the pool
  char* end;         // one past the pool
  bool failed = false;
};

char* Text(const CodeEntry& e) { return const_cast<char*>(e.value.text); }

void Overflow(Machine& m) {
  static const std::string detail = os::Utf8ToAnsi("Arbeitspool übergelaufen [PARSER/Allocate]");
  m.failed = true;
  SetError(354, detail);
}

// True when a text of n characters fits at `at`; reports 354 otherwise.
bool Room(Machine& m, const char* at, int n) {
  if (at + n + 1 <= m.end) return true;
  Overflow(m);
  return false;
}

// Makes `e` the C value of the n characters at s (already in place).
void SetText(Machine& m, CodeEntry& e, char* s, int n) {
  s[n] = '\0';
  e.type = VT::kC;
  e.value.text = s;
  e.argc = n;
  m.top = s + n + 1;
}

// Pushes a copy of a text (cut at 255 characters) at the pool top.
void PushText(Machine& m, const char* s, int n) {
  n = std::min(n, kMaxText);
  if (!Room(m, m.top, n)) return;
  std::memmove(m.top, s, n);
  SetText(m, m.stack[m.sp++], m.top, n);
}

void PushBlanks(Machine& m, int n) {
  n = std::clamp(n, 0, kMaxText);
  if (!Room(m, m.top, n)) return;
  std::memset(m.top, ' ', n);
  SetText(m, m.stack[m.sp++], m.top, n);
}

void PushNumber(Machine& m, VT type, double value) {
  CodeEntry& e = m.stack[m.sp++];
  e.type = type;
  e.value.number = value;
}

void PushLogical(Machine& m, bool value) {
  CodeEntry& e = m.stack[m.sp++];
  e.type = VT::kL;
  e.value.logical = value ? 1 : 0;
}

// Pops a C value: the pool top goes back to its start.
CodeEntry PopText(Machine& m) {
  CodeEntry e = m.stack[--m.sp];
  m.top = Text(e);
  return e;
}

double PopNumber(Machine& m) { return m.stack[--m.sp].value.number; }

std::int32_t ReadInt32(const unsigned char* p) {
  std::uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  return static_cast<std::int32_t>(v);
}

// Memo text of `block` in `area`, read through the memo store into the pool
// with its line ends (a negative block is a memo with block header in a
// dBASE III file). The area is made current for the memo store and restored
// afterwards.
void PushMemo(Machine& m, int area, std::int32_t block) {
  char* start = m.top;
  char* limit = m.end - 1;
  char* out = start;
  // A table without memo file has no texts to read (its M fields hold
  // leftovers at best).
  if (block != 0 && MemoStore.read != nullptr && tables::HasMemoFile(area) &&
      start <= limit) {
    std::uint8_t saved = CurrentArea;
    struct Restore {
      std::uint8_t area;
      ~Restore() { CurrentArea = area; }
    } restore{saved};
    CurrentArea = static_cast<std::uint8_t>(area);
    std::string text;
    if (MemoStore.read(block, &text)) {
      std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(limit - out));
      std::memcpy(out, text.data(), n);
      out += n;
    }
  }
  if (start > limit) return Overflow(m);
  CodeEntry& e = m.stack[m.sp++];
  *out = '\0';
  e.type = VT::kM;
  e.value.text = start;
  e.argc = static_cast<int>(out - start);
  m.top = out + 1;
}

void PushBlankField(Machine& m, VT type, int length, int area) {
  switch (type) {
    case VT::kC: return PushBlanks(m, length);
    case VT::kN: return PushNumber(m, VT::kN, 0);
    case VT::kL: return PushLogical(m, false);
    case VT::kD: return PushNumber(m, VT::kD, EmptyDayNumber);
    default: return PushMemo(m, area, 0);
  }
}

// Size of a field's part in the unpacked layout of a virtual area.
int UnpackedPart(VT type, const tables::FieldInfo& f) {
  switch (type) {
    case VT::kC: return f.length + 1;
    case VT::kD: return 11;
    case VT::kN: return f.decimals > 0 ? 6 : 4;
    case VT::kL: return 1;
    default: return 4;
  }
}

void ReadVirtualField(Machine& m, VT type, const tables::FieldInfo& f, const unsigned char* p,
                      int area) {
  switch (type) {
    case VT::kC:
      return PushText(m, reinterpret_cast<const char*>(p + 1), std::min<int>(p[0], f.length));
    case VT::kD: {
      std::string_view shown(reinterpret_cast<const char*>(p + 1), std::min<int>(p[0], 10));
      return PushNumber(m, VT::kD, DayNumberFromDText(DTextFromDisplayDateText(shown)));
    }
    case VT::kN:
      return PushNumber(m, VT::kN, f.decimals > 0 ? RealToDouble(p) : ReadInt32(p));
    case VT::kL: return PushLogical(m, p[0] != 0);
    default: return PushMemo(m, area, ReadInt32(p));
  }
}

void ReadField(Machine& m, const CodeEntry& op) {
  int area = op.value.logical != 0 ? op.value.logical : tables::CurrentArea();
  tables::FieldInfo f;
  if (!tables::GetField(area, op.argc, &f)) return PushBlankField(m, op.type, 0, area);
  if (f.raw) {
    // Binary numbers and date-times (of the date its day); no value (null,
    // no record) is blank, as in a new record.
    double value = 0;
    if (!tables::RawFieldNumber(area, op.argc, &value))
      return PushBlankField(m, op.type, f.length, area);
    return PushNumber(m, op.type, op.type == VT::kD ? std::floor(value) : value);
  }
  int record_length = 0;
  const unsigned char* record = tables::RecordBuffer(area, &record_length);
  bool is_virtual = tables::IsVirtual(area);
  int part = is_virtual ? UnpackedPart(op.type, f) : f.length;
  if (tables::RecordCount(area) == 0 || record == nullptr || f.offset < 0 ||
      f.offset + part > record_length)
    return PushBlankField(m, op.type, f.length, area);
  const unsigned char* p = record + f.offset;
  if (is_virtual) return ReadVirtualField(m, op.type, f, p, area);
  const char* text = reinterpret_cast<const char*>(p);
  switch (op.type) {
    case VT::kC: {
      const void* nul = std::memchr(text, '\0', f.length);
      int n = nul != nullptr ? static_cast<int>(static_cast<const char*>(nul) - text) : f.length;
      return PushText(m, text, n);
    }
    case VT::kN: return PushNumber(m, VT::kN, ParseDecimal(text, f.length));
    case VT::kL: return PushLogical(m, std::strchr("YyTt", p[0]) != nullptr && p[0] != 0);
    case VT::kD:
      return PushNumber(m, VT::kD,
                        DayNumberFromDText(std::string_view(text, std::min(f.length, 8))));
    default:
      return PushMemo(m, area, static_cast<std::int32_t>(ParseDecimal(text, f.length)));
  }
}

bool CurrentRecordDeleted() {
  int area = tables::CurrentArea();
  int length = 0;
  const unsigned char* record = tables::RecordBuffer(area, &length);
  if (record == nullptr || length < 1) return false;
  return tables::IsVirtual(area) ? record[0] != 0 : record[0] == '*';
}

// Binary operator on the two top entries; the result replaces them.
void Binary(Machine& m, int opcode) {
  CodeEntry b = m.stack[m.sp - 1];
  CodeEntry& a = m.stack[m.sp - 2];
  --m.sp;
  bool is_text = b.type == VT::kC;
  if (is_text) m.top = Text(b);  // b is popped
  double x = a.value.number, y = b.value.number;
  int c = 0;
  auto logical = [&a](bool v) {
    a.type = VT::kL;
    a.value.logical = v ? 1 : 0;
  };
  auto number = [&a](double v) { a.value.number = v; };
  if (is_text) {
    if (opcode == kOpAddC) {
      int n = std::min(a.argc + b.argc, kMaxText);
      std::memmove(Text(a) + a.argc, b.value.text, n - a.argc);
      return SetText(m, a, Text(a), n);
    }
    if (opcode == kOpSubC) {
      int n = ConcatMovingBlanks(Text(a), a.argc, b.value.text, b.argc);
      return SetText(m, a, Text(a), n);
    }
    m.top = Text(a);  // both texts popped
    c = CompareText(a.value.text, a.argc, b.value.text, b.argc);
  }
  switch (opcode) {
    case kOpAddN: return number(x + y);
    case kOpSubN: return number(x - y);
    case kOpMul: return number(x * y);
    case kOpDiv:
      if (y == 0) {
        SetError(358, "Auswertungsfehler: Division durch 0 [Evaluate/Engine]");
        return number(1e250);
      }
      return number(x / y);
    case kOpPow: return number(Power(x, y));
    case kOpEqN: return logical(x == y);
    case kOpNeN: return logical(x != y);
    case kOpLtN: return logical(x < y);
    case kOpGtN: return logical(x > y);
    case kOpLeN: return logical(x <= y);
    case kOpGeN: return logical(x >= y);
    case kOpEqL: return logical(a.value.logical == b.value.logical);
    case kOpNeL: return logical(a.value.logical != b.value.logical);
    case kOpAnd: return logical(a.value.logical && b.value.logical);
    case kOpOr: return logical(a.value.logical || b.value.logical);
    case kOpEqC: return logical(TextBeginsWith(a.value.text, a.argc, b.value.text, b.argc));
    case kOpNeC:
    case kOpEqEq: return logical((c != 0) == (opcode == kOpNeC));
    case kOpLtC: return logical(c < 0);
    case kOpGtC: return logical(c > 0);
    case kOpLeC: return logical(c <= 0);
    case kOpGeC: return logical(c >= 0);
    case kOpContains: return logical(FindText(a.value.text, a.argc, b.value.text, b.argc) > 0);
    default: return;
  }
}

// Pushes a text made outside the pool (short date texts and names).
void PushString(Machine& m, const std::string& s) {
  PushText(m, s.data(), static_cast<int>(s.size()));
}

void Call(Machine& m, Func func, int argc) {
  switch (func) {
    case Func::kAbs: return PushNumber(m, VT::kN, std::fabs(PopNumber(m)));
    case Func::kInt: return PushNumber(m, VT::kN, std::trunc(PopNumber(m)));
    case Func::kAsc: {
      CodeEntry s = PopText(m);
      return PushNumber(m, VT::kN, s.argc > 0 ? static_cast<unsigned char>(s.value.text[0]) : 0);
    }
    case Func::kLen: return PushNumber(m, VT::kN, PopText(m).argc);
    case Func::kVal: {
      CodeEntry s = PopText(m);
      return PushNumber(m, VT::kN, ParseDecimal(s.value.text, RTrimLength(s.value.text, s.argc)));
    }
    case Func::kAt: {
      CodeEntry hay = PopText(m), needle = PopText(m);
      return PushNumber(m, VT::kN, FindText(needle.value.text, needle.argc, hay.value.text, hay.argc));
    }
    case Func::kCtod: {
      CodeEntry s = PopText(m);
      return PushNumber(m, VT::kD,
                        DayNumberFromDateText(std::string_view(s.value.text, std::min(s.argc, 10))));
    }
    case Func::kDate: return PushNumber(m, VT::kD, Today());
    case Func::kRecno: return PushNumber(m, VT::kN, tables::RecordNumber(tables::CurrentArea()));
    case Func::kDeleted: return PushLogical(m, CurrentRecordDeleted());
    case Func::kDay: return PushNumber(m, VT::kN, YMDFromDayNumber(PopNumber(m)).day);
    case Func::kMonth: return PushNumber(m, VT::kN, YMDFromDayNumber(PopNumber(m)).month);
    case Func::kYear: {
      int year = YMDFromDayNumber(PopNumber(m)).year;
      return PushNumber(m, VT::kN, CenturyOn ? year : year % 100);
    }
    case Func::kDow: return PushNumber(m, VT::kN, WeekdayFromDayNumber(PopNumber(m)));
    case Func::kCdow: return PushString(m, DayNameOf(WeekdayFromDayNumber(PopNumber(m))));
    case Func::kCmonth: return PushString(m, MonthNameOf(YMDFromDayNumber(PopNumber(m)).month));
    case Func::kDtoc: return PushString(m, DateTextFromDayNumber(PopNumber(m)));
    case Func::kDtos: return PushString(m, DTextFromDayNumber(PopNumber(m)));
    case Func::kMax:
    case Func::kMin: {
      VT type = m.stack[m.sp - 1].type;
      double y = PopNumber(m), x = PopNumber(m);
      bool left = func == Func::kMax ? x > y : x < y;
      return PushNumber(m, type, left ? x : y);
    }
    case Func::kMod: {
      double y = PopNumber(m), x = PopNumber(m);
      return PushNumber(m, VT::kN, ModTrunc(x, y));
    }
    case Func::kRound: {
      double d = PopNumber(m), x = PopNumber(m);
      return PushNumber(m, VT::kN, RoundHalfAway(x, d));
    }
    case Func::kChr: {
      char c = ChrCode(PopNumber(m));
      return PushText(m, &c, c == '\0' ? 0 : 1);
    }
    case Func::kSpace: return PushBlanks(m, ClampCount(PopNumber(m), 0, kMaxText));
    case Func::kStr: {
      double decimals = argc >= 3 ? PopNumber(m) : 0;
      double width = argc >= 2 ? PopNumber(m) : 10;
      double x = PopNumber(m);
      char buffer[kMaxText + 1];
      int n = FormatStr(x, ClampCount(width, 0, kMaxText), ClampCount(decimals, 0, kMaxText),
                        buffer);
      return PushText(m, buffer, n);
    }
    case Func::kIif: {
      CodeEntry no = PopText(m), yes = PopText(m);
      bool condition = m.stack[--m.sp].value.logical != 0;
      const CodeEntry& chosen = condition ? yes : no;
      std::memmove(m.top, chosen.value.text, chosen.argc);
      return SetText(m, m.stack[m.sp++], m.top, chosen.argc);
    }
    case Func::kStuff: {
      CodeEntry insert = PopText(m);
      double count = PopNumber(m), start = PopNumber(m);
      CodeEntry& s = m.stack[m.sp - 1];
      int n = StuffText(Text(s), s.argc, start, count, insert.value.text, insert.argc);
      return SetText(m, s, Text(s), n);
    }
    default: break;
  }
  // Functions that change the top text in place.
  double count = 0, start = 0;
  if (func == Func::kSubstr) {
    count = PopNumber(m);
    start = PopNumber(m);
  } else if (func == Func::kLeft || func == Func::kRight || func == Func::kReplicate) {
    count = PopNumber(m);
  }
  CodeEntry& s = m.stack[m.sp - 1];
  char* text = Text(s);
  int n = s.argc;
  switch (func) {
    case Func::kUpper: UpperText(text, n); break;
    case Func::kLower: LowerText(text, n); break;
    case Func::kLtrim: n = LTrimText(text, n); break;
    case Func::kRtrim:
    case Func::kTrim: n = RTrimLength(text, n); break;
    case Func::kLeft: n = LeftLength(n, count); break;
    case Func::kRight: n = RightText(text, n, count); break;
    case Func::kSubstr: n = SubstrText(text, n, start, count); break;
    case Func::kReplicate: {
      int times = ClampCount(count, 0, kMaxText);
      if (!Room(m, text, std::min(n * times, kMaxText))) return;
      n = ReplicateText(text, n, times);
      break;
    }
    case Func::kSoundex: {
      if (!Room(m, text, 4)) return;
      char code[5];
      SoundexCode(text, n, code);
      std::memcpy(text, code, 4);
      n = 4;
      break;
    }
    default: return;
  }
  SetText(m, s, text, n);
}

void Step(Machine& m, const CodeEntry& op) {
  switch (op.opcode) {
    case kOpPush:
      if (op.type == VT::kC) return PushText(m, op.value.text, op.argc);
      m.stack[m.sp++] = op;
      return;
    case kOpField: return ReadField(m, op);
    case kOpNeg: m.stack[m.sp - 1].value.number = -m.stack[m.sp - 1].value.number; return;
    case kOpNot: m.stack[m.sp - 1].value.logical = !m.stack[m.sp - 1].value.logical; return;
    default:
      if (op.opcode >= kOpFunction)
        return Call(m, static_cast<Func>(op.opcode - kOpFunction), op.argc);
      return Binary(m, op.opcode);
  }
}

}  // namespace

const void* EvaluateExpr(CompiledExpr* expr) {
  if (expr == nullptr) return nullptr;
  Machine m{expr->work.data(), 0, expr->pool.data(), expr->pool.data() + expr->pool.size()};
  expr->pool[0] = '\0';
  for (const CodeEntry& op : expr->code) {
    if (op.opcode == kOpEnd) break;
    Step(m, op);
    if (m.failed) {
      expr->pool[0] = '\0';
      expr->work[0].value.number = 0;
      return nullptr;
    }
  }
  return expr->result;
}

std::string_view ResultText(const CompiledExpr* expr) {
  return std::string_view(static_cast<const char*>(expr->result));
}

double ResultNumber(const CompiledExpr* expr) { return expr->work[0].value.number; }

bool ResultLogical(const CompiledExpr* expr) { return expr->work[0].value.logical != 0; }

std::string ValueToText(const CompiledExpr* expr, const void* value) {
  switch (expr->result_type) {
    case 'N': {
      char buffer[kMaxText + 1];
      int n = FormatStr(*static_cast<const double*>(value), expr->result_length, expr->decimals,
                        buffer);
      return std::string(buffer, n);
    }
    case 'D': return DateTextFromDayNumber(*static_cast<const double*>(value));
    case 'L': return *static_cast<const std::int32_t*>(value) != 0 ? ".T." : ".F.";
    default: return std::string(static_cast<const char*>(value));
  }
}

}  // namespace orvex
