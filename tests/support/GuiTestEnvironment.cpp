// The GUI binaries' one set-up, on the offscreen platform.
#include "support/GuiTestEnvironment.h"

namespace {

auto* const g_pEnvironment = static_cast<GuiTestEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new GuiTestEnvironment("offscreen")));

}  // namespace

const TempDir& TestConfigDir() {
    return g_pEnvironment->ConfigDir();
}
