#pragma once

#include <cstdint>

// One point of a pan trajectory. Points are identified by address: the list that holds a
// point owns it, and other objects keep plain pointers to it.
struct PanPoint {
    uint32_t position = 0;  // sample frame, 0 .. frame count inclusive
    int32_t pan = 0;        // whole degrees, -90 full left .. +90 full right
};
