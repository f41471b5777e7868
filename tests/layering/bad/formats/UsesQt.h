// A core layer with a Qt header.
#include <QString>
