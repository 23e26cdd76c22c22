// Text-to-number conversions with the error messages the window reports.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace common {

// An error that a handler lets escape; the window shows its message as it is.
class UserError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The message of a value outside the range its destination can hold.
inline constexpr const char* kRangeCheckError = "Range check error";

// Decimal integer: leading blanks, an optional sign, digits, nothing after them.
// Throws UserError(NotAnInteger(text)) otherwise, and for values outside 32
// bits.
std::int32_t StrToInt(const std::string& text);

// Number with a comma as decimal separator, whatever the locale: leading blanks,
// an optional sign, digits, an optional comma with more digits, an optional
// exponent. Throws UserError(NotAFloat(text)) otherwise.
double StrToFloatComma(const std::string& text);

// The same conversions without the exception: no value where those throw.
std::optional<std::int32_t> ParseInt(const std::string& text);
std::optional<double> ParseFloatComma(const std::string& text);

// What the conversions say of a text they refuse: "'<text>' is not a valid
// integer value", "'<text>' is not a valid floating point value".
std::string NotAnInteger(const std::string& text);
std::string NotAFloat(const std::string& text);

}  // namespace common
