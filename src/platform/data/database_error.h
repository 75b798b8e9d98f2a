// The framework's exceptions and message texts.
//
// EDatabaseError is what the framework raises for failures it defines itself
// (a closed dataset, a field written outside edit mode, a record that cannot
// be found). EAbort is the silent exception: it unwinds an operation without
// a message (an error event that answers daAbort). EConvertError reports a
// text that does not convert to a field's type.
#pragma once

#include <string>

#include "platform/os/exception.h"

namespace orvex::data {

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Message texts of the framework (%s is replaced by the field or value).
inline constexpr const char* kNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* kDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* kDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* kDataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* kDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* kRecordNotFound = "Record not found";
inline constexpr const char* kFieldNotFound = "Field '%s' not found";
inline constexpr const char* kFieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* kFieldTypeMismatch = "Type mismatch for field '%s'";
inline constexpr const char* kInvalidConversion = "Invalid conversion of field '%s'";
inline constexpr const char* kNotInteger = "'%s' is not a valid integer value";
inline constexpr const char* kNotFloat = "'%s' is not a valid floating point value";
inline constexpr const char* kNotBoolean = "'%s' is not a valid boolean value";
inline constexpr const char* kNotDate = "'%s' is not a valid date";

// The framework's texts of the two logical values.
inline constexpr const char* kTrueText = "True";
inline constexpr const char* kFalseText = "False";

// `text` with its first "%s" replaced by `value`.
std::string FormatMessage(const char* text, const std::string& value);

// Raises EDatabaseError with `message`, preceded by "<component>: " when a
// component name is given.
[[noreturn]] void DatabaseError(const std::string& message, const std::string& component = "");

}  // namespace orvex::data
