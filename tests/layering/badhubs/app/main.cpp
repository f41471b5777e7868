// The start-up makes the concrete view: allowed.
#include "views/CWaveScrollView.h"
