#pragma once

// The value axis of a graph: from 0 to `top` in `step`s of 1, 2 or 5 times a power of ten, so
// that the labels read as round numbers whatever the unit's prefix.
struct ValueAxis {
    double top = 1;
    double step = 1;

    // The smallest "nice" step (1, 2 or 5 times a power of ten) at least `raw`; raw > 0.
    static double niceStep(double raw);

    // An axis for values up to `highest`: `steps` to `steps` + 3 steps, the top the lowest whole
    // number of steps at or above highest plus a 5 % headroom, so that the highest line never
    // runs along the frame. A highest value of 0 or less (or unknown) gives `emptyTop` in `steps`
    // steps.
    static ValueAxis fit(double highest, int steps = 5, double emptyTop = 1000);
};
