#pragma once

// The limit of the board: at most 20 interfaces are loaded, polled, logged and graphed (table
// rows 1 to 20, graph slots 1 to 20). Every other limit of 20 is this one.
inline constexpr int MaxInterfaces = 20;
