#pragma once

#include "support/TempDir.h"

// The folder XDG_CONFIG_HOME points at for this test binary.
const TempDir& TestConfigDir();
