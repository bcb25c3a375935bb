#pragma once

// "Max value auto" of a graph slot: the full scale, in percent, for the highest value in view,
// rounded up to 1, 2 or 5 times a power of ten and at least 1 %: 3 gives 5, 40 gives 50,
// 100 gives 100, 101 gives 200.
namespace AutoScale
{

int fullScale(int highest);

} // namespace AutoScale
