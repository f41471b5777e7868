// Reaches up from the document to a view.
#include "views/CWaveScrollView.h"
