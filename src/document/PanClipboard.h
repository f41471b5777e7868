#pragma once

#include "trajectory/PanPointList.h"

// The program-wide pan clipboard: a pan point list whose positions are relative to the start
// of the copied region and whose regionLength is that region's length in frames. Owned by the
// application, not by any document.
using PanClipboard = PanPointList;
