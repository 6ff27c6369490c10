#pragma once
// 33-bit time stamps made monotonic across their wrap-around (about 26.5 hours at
// 90 kHz): each value is placed in the period that brings it closest to the last one.

#include <cstdint>

namespace model
{

class CTimeUnwrap
{
public:
    static constexpr int64_t kPeriod = int64_t{1} << 33;

    int64_t operator()(uint64_t value)
    {
        int64_t v = static_cast<int64_t>(value & (kPeriod - 1));
        if (m_have)
        {
            v += m_last - (m_last & (kPeriod - 1));
            if (v - m_last > kPeriod / 2)
                v -= kPeriod;
            else if (m_last - v > kPeriod / 2)
                v += kPeriod;
        }
        m_have = true;
        m_last = v;
        return v;
    }

private:
    bool m_have = false;
    int64_t m_last = 0;
};

}  // namespace model
