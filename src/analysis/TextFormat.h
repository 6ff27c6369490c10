#pragma once
// A small printf for the tree's texts: the same output as snprintf for the conversions
// the texts use (%d %i %u %x %X %f %s %% with flags, width and precision), at a fraction
// of its cost. Writing out a whole tree formats tens of millions of lines.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

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
