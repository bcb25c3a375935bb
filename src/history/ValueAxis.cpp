#include "ValueAxis.h"

#include <cmath>
#include <initializer_list>

double ValueAxis::niceStep(double raw)
{
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0}) {
        // A small tolerance: 0.3 / 0.1 is 2.9999999999999996, not above 3.
        if (m * power >= raw * (1 - 1e-9))
            return m * power;
    }
    return 10 * power;
}

ValueAxis ValueAxis::fit(double highest, int steps, double emptyTop)
{
    steps = steps < 1 ? 1 : steps;
    // NaN fails the comparison and takes the empty axis as well.
    const double top = highest > 0 && std::isfinite(highest) ? highest * 1.05 : emptyTop;
    ValueAxis axis;
    axis.step = niceStep(top / steps);
    axis.top = std::ceil(top / axis.step * (1 - 1e-9)) * axis.step;
    // A finer step where it fits a tighter top in a few more steps: 1.05 G reads up to 1.2 G
    // in steps of 200 M rather than up to 1.5 G in steps of 500 M.
    const double finer = niceStep(top / (2 * steps));
    const double count = std::ceil(top / finer * (1 - 1e-9));
    if (count <= steps + 3 && count * finer < axis.top) {
        axis.step = finer;
        axis.top = count * finer;
    }
    return axis;
}
