#pragma once
// Min/max decimation: whatever a plot draws is cut down to at most a few points per
// pixel column before it reaches the plotting library. A column keeps its lowest and
// highest value in the order they occur, so a line through the kept points has the same
// envelope on screen as a line through all of them; one point on either side of the
// visible range keeps the lines running off the edges.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace inspector
{

struct Decimated
{
    std::vector<double> x, y;
    void clear()
    {
        x.clear();
        y.clear();
    }
};

// The first i in [0, n) whose at(i) is not below value (n if none), for values read
// through an accessor in ascending order.
template <class At, class Value>
size_t LowerBound(size_t n, At at, Value value)
{
    size_t lo = 0, hi = n;
    while (lo < hi)
    {
        const size_t mid = lo + (hi - lo) / 2;
        if (at(mid) < value)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// xs ascending (ties allowed); values read through xAt(i), yAt(i) for i in [0, n).
// The visible range [x0, x1] is spread over `columns` pixel columns.
template <class XAt, class YAt>
void DecimateMinMax(size_t n, XAt xAt, YAt yAt, double x0, double x1, int columns, Decimated& out)
{
    out.clear();
    if (n == 0 || columns <= 0 || !(x1 > x0))
        return;
    size_t i = LowerBound(n, xAt, x0);
    if (i > 0)
    {
        out.x.push_back(xAt(i - 1));
        out.y.push_back(yAt(i - 1));
    }
    const double scale = columns / (x1 - x0);
    // x1 itself belongs to the last column.
    auto columnOf = [&](double x) { return std::min<int64_t>(static_cast<int64_t>((x - x0) * scale), columns - 1); };
    while (i < n)
    {
        const double xi = xAt(i);
        if (xi > x1)
        {
            out.x.push_back(xi);
            out.y.push_back(yAt(i));
            break;
        }
        const int64_t column = columnOf(xi);
        // The points of this column: remember where the min and the max are.
        size_t minAt = i, maxAt = i;
        double minY = yAt(i), maxY = minY;
        size_t j = i + 1;
        for (; j < n; ++j)
        {
            const double xj = xAt(j);
            if (xj > x1 || columnOf(xj) != column)
                break;
            const double yj = yAt(j);
            if (yj < minY)
            {
                minY = yj;
                minAt = j;
            }
            else if (yj > maxY)
            {
                maxY = yj;
                maxAt = j;
            }
        }
        const size_t first = std::min(minAt, maxAt), second = std::max(minAt, maxAt);
        out.x.push_back(xAt(first));
        out.y.push_back(yAt(first));
        if (second != first)
        {
            out.x.push_back(xAt(second));
            out.y.push_back(yAt(second));
        }
        i = j;
    }
}

inline void DecimateMinMax(const std::vector<double>& xs, const std::vector<double>& ys, double x0, double x1,
                           int columns, Decimated& out)
{
    DecimateMinMax(
        std::min(xs.size(), ys.size()), [&](size_t i) { return xs[i]; }, [&](size_t i) { return ys[i]; }, x0, x1,
        columns, out);
}

}  // namespace inspector
