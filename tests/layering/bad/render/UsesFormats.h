// A sibling of the same rank.
#include "formats/CWaveFile.h"
