// The tree's own printf against the C library's, on the conversions the texts use.

#include "analysis/TextFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

namespace
{

std::string Mine(const char* f, std::initializer_list<FmtArg> a)
{
    std::string s;
    AppendFormat(s, f, a);
    return s;
}

template <class... T>
std::string Libc(const char* f, T... a)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, f, a...);
    return buf;
}

TEST(TextFormat, IntegersAsPrintfPrintsThem)
{
    const char* formats[] = {"%d", "%1d", "%2.2d", "%x", "%X", "%2X", "%4X", "%u", "%5d", "%-4d|", "%05d", "%.0d", "%#x"};
    std::mt19937 rng(5);
    std::vector<uint32_t> values = {0, 1, 9, 10, 15, 16, 99, 100, 255, 0x1A, 0xFFFF, 0x7FFFFFFF, 0x80000000u,
                                    0xFFFFFFFFu, 2147483603u};
    for (int i = 0; i < 300; ++i)
        values.push_back(static_cast<uint32_t>(rng()) >> (rng() % 32));
    for (const char* f : formats)
        for (uint32_t v : values)
            ASSERT_EQ(Mine(f, {v}), Libc(f, v)) << f << " " << v;
}

TEST(TextFormat, FixedPointAsPrintfRoundsIt)
{
    std::mt19937_64 rng(6);
    std::vector<double> values = {0.0, -0.0, 0.005, 0.015, 0.125, 2.5, 1000.0, 26.1224489795918, 8.70748299319728,
                                  22.05, 44.1, 23860929.422222223, 47721858.833333336, -3.75, 1e12, 1e300, -1e-300,
                                  5e-324, 0.5, 1.5, -0.5, NAN, -NAN, INFINITY, -INFINITY};
    for (int i = 0; i < 20000; ++i)
        values.push_back(static_cast<double>(static_cast<uint32_t>(rng())) * (1.0 / 90.0));
    for (int i = 0; i < 2000; ++i)
        values.push_back(static_cast<double>(rng() % 100000) / 8.0);  // exact binary ties
    for (int i = 0; i < 2000; ++i)
    {
        // Next to the halves where the rounding turns, and near the largest values the
        // decimals are made of integers for.
        const double half = (static_cast<double>(rng() % 10000000) + 0.5) / 100.0;
        values.push_back(std::nextafter(half, 0.0));
        values.push_back(std::nextafter(half, 1e9));
        values.push_back(85899345.92 - static_cast<double>(rng() % 1000) / 100.0);
    }
    for (int i = 0; i < 5000; ++i)
    {
        // Any bit pattern: every magnitude, subnormals, both signs.
        const uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        values.push_back(v);
    }
    for (const char* f : {"%.2f", "%.1f", "%.3f", "%f", "%.0f", "%8.3f", "%.17f", "%+.2f", "% .1f", "%08.2f", "%-9.3f|",
                          "%#.0f", "%+010.1f"})
        for (double v : values)
            ASSERT_EQ(Mine(f, {v}), Libc(f, v)) << f << " " << v;
    // The compile-time formats take the same path.
    for (double v : values)
    {
        std::string s;
        AppendFixed(s, v, 2);
        ASSERT_EQ(s, Libc("%.2f", v)) << v;
    }
}

TEST(TextFormat, StringsAndMixedFormats)
{
    EXPECT_EQ(Mine("%s [%d packets]", {"clip.mpg", 100}), "clip.mpg [100 packets]");
    EXPECT_EQ(Mine("Stream 0x%2X %s, PTS: %.2f ms", {0xBFu, "", 1000.0}), "Stream 0xBF , PTS: 1000.00 ms");
    EXPECT_EQ(Mine("100%% %5s|%-3s|%.2s", {"ab", "c", "xyz"}), Libc("100%% %5s|%-3s|%.2s", "ab", "c", "xyz"));
    EXPECT_EQ(Mine("%d %d", {1}), "1 ");  // missing arguments print nothing
}

}  // namespace
