#include "common/Convert.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace common {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::int32_t StrToInt(const std::string& text) {
    auto fail = [&]() -> std::int32_t {
        throw UserError("'" + text + "' is not a valid integer value");
    };
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return fail();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i])) return fail();
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return fail();
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) return fail();
    return static_cast<std::int32_t>(value);
}

double StrToFloatComma(const std::string& text) {
    auto fail = [&]() -> double {
        throw UserError("'" + text + "' is not a valid floating point value");
    };
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
    if (digits == 0) return fail();
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negExp = text[i++] == '-';
        int exp = 0, expDigits = 0;
        for (; i < text.size() && IsDigit(text[i]) && exp < 10000; ++i, ++expDigits)
            exp = exp * 10 + (text[i] - '0');
        if (expDigits == 0) return fail();
        value *= std::pow(10.0, negExp ? -exp : exp);
    }
    if (i != text.size() || !std::isfinite(value)) return fail();
    return negative ? -value : value;
}

}  // namespace common
