#pragma once

// What happens to an interface whose reading failed: taken out of the poll (stop), or kept
// with its cells zeroed (zeroes).
enum class OnErrorMode { Stop, Zeroes };
