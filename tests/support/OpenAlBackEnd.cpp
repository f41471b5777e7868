#include "support/OpenAlBackEnd.h"

#include <cstdlib>

void OpenAlBackEnd::Choose(const char* drivers) {
    ::setenv("ALSOFT_DRIVERS", drivers, 1);
    ::unsetenv("ALSOFT_CONF");
}
