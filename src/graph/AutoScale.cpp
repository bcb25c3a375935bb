#include "AutoScale.h"

#include <initializer_list>
#include <limits>

namespace AutoScale
{

int fullScale(int highest)
{
    // 1, 2, 5, 10, 20, 50, ... up to the largest that an int holds.
    long long power = 1;
    while (power <= std::numeric_limits<int>::max()) {
        for (const long long m : {1LL, 2LL, 5LL}) {
            if (m * power >= highest && m * power <= std::numeric_limits<int>::max())
                return static_cast<int>(m * power);
        }
        power *= 10;
    }
    return std::numeric_limits<int>::max();
}

} // namespace AutoScale
