#include "common/Convert.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace common {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<std::int32_t> ParseInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i])) return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<double> ParseFloatComma(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    double value = 0;
    int digits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) value = value * 10 + (text[i] - '0');
    if (i < text.size() && text[i] == ',') {
        ++i;
        double scale = 0.1;
        for (; i < text.size() && IsDigit(text[i]); ++i, ++digits, scale /= 10)
            value += (text[i] - '0') * scale;
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negExp = text[i++] == '-';
        int exp = 0, expDigits = 0;
        for (; i < text.size() && IsDigit(text[i]) && exp < 10000; ++i, ++expDigits)
            exp = exp * 10 + (text[i] - '0');
        if (expDigits == 0) return std::nullopt;
        value *= std::pow(10.0, negExp ? -exp : exp);
    }
    if (i != text.size() || !std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

std::string NotAnInteger(const std::string& text) { return "'" + text + "' is not a valid integer value"; }

std::string NotAFloat(const std::string& text) { return "'" + text + "' is not a valid floating point value"; }

std::int32_t StrToInt(const std::string& text) {
    if (const std::optional<std::int32_t> v = ParseInt(text)) return *v;
    throw UserError(NotAnInteger(text));
}

double StrToFloatComma(const std::string& text) {
    if (const std::optional<double> v = ParseFloatComma(text)) return *v;
    throw UserError(NotAFloat(text));
}

}  // namespace common
