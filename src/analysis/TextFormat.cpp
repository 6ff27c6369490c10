#include "analysis/TextFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{

struct Spec
{
    bool left = false, zero = false, plus = false, space = false, alt = false;
    int width = 0;
    int precision = -1;
};

void Pad(std::string& out, std::string_view body, const Spec& spec, std::string_view sign = {})
{
    const int len = static_cast<int>(body.size() + sign.size());
    const int fill = spec.width > len ? spec.width - len : 0;
    if (spec.left)
    {
        out.append(sign);
        out.append(body);
        out.append(static_cast<size_t>(fill), ' ');
    }
    else if (spec.zero)
    {
        out.append(sign);
        out.append(static_cast<size_t>(fill), '0');
        out.append(body);
    }
    else
    {
        out.append(static_cast<size_t>(fill), ' ');
        out.append(sign);
        out.append(body);
    }
}

void FormatInteger(std::string& out, const Spec& spec, char conv, int64_t raw)
{
    char digits[40];
    bool negative = false;
    uint32_t magnitude;
    int base = 10;
    if (conv == 'd' || conv == 'i')
    {
        const auto v = static_cast<int32_t>(raw);
        negative = v < 0;
        magnitude = negative ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    }
    else
    {
        magnitude = static_cast<uint32_t>(raw);
        if (conv == 'x' || conv == 'X')
            base = 16;
    }
    char* end = std::to_chars(digits, digits + sizeof digits, magnitude, base).ptr;
    if (conv == 'X')
        for (char* p = digits; p != end; ++p)
            if (*p >= 'a' && *p <= 'f')
                *p = static_cast<char>(*p - 'a' + 'A');
    std::string_view body(digits, static_cast<size_t>(end - digits));
    std::string widened;
    if (spec.precision >= 0)
    {
        // A precision gives the least number of digits; 0 with precision 0 prints nothing.
        if (spec.precision == 0 && magnitude == 0)
            body = {};
        else if (static_cast<int>(body.size()) < spec.precision)
        {
            widened.assign(static_cast<size_t>(spec.precision) - body.size(), '0');
            widened.append(body);
            body = widened;
        }
    }
    std::string_view sign;
    if (negative)
        sign = "-";
    else if (spec.plus && base == 10 && conv != 'u')
        sign = "+";
    else if (spec.space && base == 10 && conv != 'u')
        sign = " ";
    else if (spec.alt && base == 16 && magnitude != 0)
        sign = conv == 'X' ? "0X" : "0x";
    Spec s = spec;
    if (spec.precision >= 0)
        s.zero = false;  // printf ignores 0 when a precision is given
    Pad(out, body, s, sign);
}

// printf's %.Nf of v for N up to 3 and a v whose decimals fit in 33 bits, with integer
// arithmetic: the exact value, rounded to N decimals, is the integer nearest to v * 10^N
// (printf takes the binary value exactly). That product, made in double, is off by at
// most a millionth here, which decides nothing unless the exact product is close to a
// half; then, and for any other value, false (to_chars does it).
bool FastFixed(std::string& out, double v, int precision)
{
    static constexpr double kScale[4] = {1.0, 10.0, 100.0, 1000.0};
    if (precision < 0 || precision > 3 || !(v >= 0.0) || std::signbit(v))
        return false;
    const double x = v * kScale[precision];
    if (!(x < 8589934592.0))  // 2^33
        return false;
    const double whole = std::floor(x);
    const double fraction = x - whole;
    if (std::fabs(fraction - 0.5) < 1e-5)
        return false;
    const auto r = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
    const auto scale = static_cast<uint64_t>(kScale[precision]);
    char digits[32];
    char* end = std::to_chars(digits, digits + sizeof digits, r / scale).ptr;
    if (precision > 0)
    {
        *end++ = '.';
        uint64_t decimals = r % scale;
        for (int i = precision - 1; i >= 0; --i)
        {
            end[i] = static_cast<char>('0' + decimals % 10);
            decimals /= 10;
        }
        end += precision;
    }
    out.append(digits, static_cast<size_t>(end - digits));
    return true;
}

void FormatDouble(std::string& out, const Spec& spec, double v)
{
    const int precision = spec.precision < 0 ? 6 : spec.precision;
    if (!spec.left && !spec.zero && !spec.plus && !spec.space && !spec.alt && spec.width == 0 &&
        FastFixed(out, v, precision))
        return;
    // std::to_chars in fixed notation gives printf's digits, rounding and "inf"/"nan"
    // texts; the sign, the flags and the width are ours. It has no form for '#' (a point
    // after zero decimals), and a value too long for the buffer goes to snprintf too.
    if (!spec.alt)
    {
        char digits[400];
        const std::to_chars_result r =
            std::to_chars(digits, digits + sizeof digits, v, std::chars_format::fixed, precision);
        if (r.ec == std::errc())
        {
            std::string_view body(digits, static_cast<size_t>(r.ptr - digits));
            std::string_view sign;
            if (!body.empty() && body.front() == '-')
            {
                sign = "-";
                body.remove_prefix(1);
            }
            else if (spec.plus)
                sign = "+";
            else if (spec.space)
                sign = " ";
            Spec s = spec;
            if (!std::isfinite(v))
                s.zero = false;  // printf pads "inf" and "nan" with blanks
            Pad(out, body, s, sign);
            return;
        }
    }
    char fmt[32];
    std::snprintf(fmt, sizeof fmt, "%%%s%s%s%s%s%d.%df", spec.left ? "-" : "", spec.zero ? "0" : "",
                  spec.plus ? "+" : "", spec.space ? " " : "", spec.alt ? "#" : "", spec.width, precision);
    char buf[512];
    const int n = std::snprintf(buf, sizeof buf, fmt, v);
    if (n > 0)
        out.append(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

// Reads the flags, width and precision after a '%'; returns where the conversion is.
const char* ParseSpec(const char* p, Spec& spec)
{
    for (;; ++p)
    {
        if (*p == '-')
            spec.left = true;
        else if (*p == '0')
            spec.zero = true;
        else if (*p == '+')
            spec.plus = true;
        else if (*p == ' ')
            spec.space = true;
        else if (*p == '#')
            spec.alt = true;
        else
            break;
    }
    while (*p >= '0' && *p <= '9')
        spec.width = spec.width * 10 + (*p++ - '0');
    if (*p == '.')
    {
        ++p;
        spec.precision = 0;
        while (*p >= '0' && *p <= '9')
            spec.precision = spec.precision * 10 + (*p++ - '0');
    }
    if (spec.left)
        spec.zero = false;
    return p;
}

void FormatArgument(std::string& out, const Spec& spec, char conv, const FmtArg& a)
{
    switch (conv)
    {
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
        FormatInteger(out, spec, conv, a.kind == FmtArg::Kind::Double ? static_cast<int64_t>(a.d) : a.i);
        break;
    case 'f':
        FormatDouble(out, spec, a.kind == FmtArg::Kind::Double ? a.d : static_cast<double>(a.i));
        break;
    case 's':
    {
        std::string_view s = a.kind == FmtArg::Kind::Str ? a.s : std::string_view{};
        if (spec.precision >= 0 && static_cast<size_t>(spec.precision) < s.size())
            s = s.substr(0, static_cast<size_t>(spec.precision));
        Spec st = spec;
        st.zero = false;
        Pad(out, s, st);
        break;
    }
    default:
        break;
    }
}

}  // namespace

void AppendFormat(std::string& out, const char* format, std::initializer_list<FmtArg> args)
{
    const FmtArg* arg = args.begin();
    const FmtArg* const argEnd = args.end();
    const char* p = format;
    while (*p)
    {
        const char* percent = std::strchr(p, '%');
        if (!percent)
        {
            out.append(p);
            break;
        }
        out.append(p, static_cast<size_t>(percent - p));
        p = percent + 1;
        // The common case, a plain %d, %x or %u: no flags, width or precision.
        if ((*p == 'd' || *p == 'x' || *p == 'u') && arg != argEnd && arg->kind == FmtArg::Kind::Int)
        {
            char digits[16];
            char* end;
            if (*p == 'd')
                end = std::to_chars(digits, digits + sizeof digits, static_cast<int32_t>(arg->i)).ptr;
            else
                end = std::to_chars(digits, digits + sizeof digits, static_cast<uint32_t>(arg->i), *p == 'x' ? 16 : 10).ptr;
            out.append(digits, static_cast<size_t>(end - digits));
            ++arg;
            ++p;
            continue;
        }
        if (*p == '%')
        {
            out.push_back('%');
            ++p;
            continue;
        }
        Spec spec;
        p = ParseSpec(p, spec);
        const char conv = *p;
        if (!conv)
            break;
        ++p;
        if (arg == argEnd)
            continue;  // a format asking for more than it was given prints nothing there
        FormatArgument(out, spec, conv, *arg++);
    }
}

void AppendInt32(std::string& out, int32_t v)
{
    char digits[16];
    out.append(digits, static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, v).ptr - digits));
}

void AppendHex32(std::string& out, uint32_t v, bool upper)
{
    char digits[16];
    char* end = std::to_chars(digits, digits + sizeof digits, v, 16).ptr;
    if (upper)
        for (char* p = digits; p != end; ++p)
            if (*p >= 'a')
                *p = static_cast<char>(*p - 'a' + 'A');
    out.append(digits, static_cast<size_t>(end - digits));
}

void AppendFixed(std::string& out, double v, int precision)
{
    Spec spec;
    spec.precision = precision;
    FormatDouble(out, spec, v);
}
