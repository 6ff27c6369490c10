#pragma once
// A small printf for the tree's texts: the same output as snprintf for the conversions
// the texts use (%d %i %u %x %X %f %s %% with flags, width and precision), at a fraction
// of its cost. Writing out a whole tree formats tens of millions of lines.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

struct FmtArg
{
    enum class Kind : uint8_t
    {
        Int,
        Double,
        Str
    };
    Kind kind;
    int64_t i = 0;
    double d = 0.0;
    std::string_view s;

    FmtArg(int v) : kind(Kind::Int), i(v) {}
    FmtArg(unsigned v) : kind(Kind::Int), i(v) {}
    FmtArg(double v) : kind(Kind::Double), d(v) {}
    FmtArg(std::string_view v) : kind(Kind::Str), s(v) {}
    FmtArg(const char* v) : kind(Kind::Str), s(v) {}
};

// Appends the formatted text. %d and %i print the argument as a signed 32-bit value,
// %u, %x and %X as an unsigned 32-bit one, as printf does with an int argument.
void AppendFormat(std::string& out, const char* format, std::initializer_list<FmtArg> args);

// ---- compile-time checked single-conversion formats --------------------------------
// Most tree texts are a literal with one %d, %x or %.Nf in it. AppendOne<"text %d">(out, v)
// splits such a format while compiling and appends its pieces directly: the same text as
// printf, without looking at the format at run time. Any other format does not compile.

template <size_t N>
struct FormatLiteral
{
    char text[N];
    consteval FormatLiteral(const char (&s)[N])
    {
        for (size_t i = 0; i < N; ++i)
            text[i] = s[i];
    }
    constexpr std::string_view View() const { return std::string_view(text, N - 1); }
};

struct SimpleFormat
{
    size_t prefixEnd;    // the literal before '%'
    size_t suffixBegin;  // the literal after the conversion
    char conv;           // 'd', 'x', 'X' or 'f'
    int precision;       // for 'f'
};

// An index loop rather than string_view::find: GCC does not take the pointer test inside
// find as a constant expression when the undefined-behaviour sanitizer instruments it.
consteval size_t FindPercent(std::string_view f, size_t from)
{
    for (size_t i = from; i < f.size(); ++i)
        if (f[i] == '%')
            return i;
    return std::string_view::npos;
}

consteval SimpleFormat ParseSimpleFormat(std::string_view f)
{
    const size_t pct = FindPercent(f, 0);
    if (pct == std::string_view::npos || pct + 1 >= f.size())
        throw "a single conversion is required";
    size_t i = pct + 1;
    int precision = -1;
    if (f[i] == '.')
    {
        precision = 0;
        for (++i; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i)
            precision = precision * 10 + (f[i] - '0');
    }
    const char conv = i < f.size() ? f[i] : '\0';
    if (conv == 'f' ? precision < 0 || precision > 6 : (precision >= 0 || (conv != 'd' && conv != 'x' && conv != 'X')))
        throw "only %d, %x, %X and %.Nf are taken here";
    if (FindPercent(f, i + 1) != std::string_view::npos)
        throw "a single conversion is required";
    return SimpleFormat{pct, i + 1, conv, precision};
}

void AppendInt32(std::string& out, int32_t v);
void AppendHex32(std::string& out, uint32_t v, bool upper);
void AppendFixed(std::string& out, double v, int precision);

template <FormatLiteral F, class T>
void AppendOne(std::string& out, T value)
{
    constexpr SimpleFormat s = ParseSimpleFormat(F.View());
    out.append(F.text, s.prefixEnd);
    if constexpr (s.conv == 'f')
    {
        static_assert(std::is_floating_point_v<T>, "%f takes a double");
        AppendFixed(out, value, s.precision);
    }
    else
    {
        static_assert(std::is_integral_v<T>, "%d and %x take an integer");
        if constexpr (s.conv == 'd')
            AppendInt32(out, static_cast<int32_t>(value));
        else
            AppendHex32(out, static_cast<uint32_t>(value), s.conv == 'X');
    }
    out.append(F.text + s.suffixBegin, sizeof(F.text) - 1 - s.suffixBegin);
}
