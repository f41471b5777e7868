// Allowed: a view may include the document and Qt.
#include <QWidget>

#include "document/CTesselDoc.h"
