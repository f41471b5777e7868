// One set-up for each GUI test binary: settings under a temp XDG_CONFIG_HOME, sockets under a
// temp XDG_RUNTIME_DIR, the mixer on OpenAL Soft's null back end, and one offscreen
// QApplication. All of it must come before the first QSettings and the first OpenAL call,
// which fix their choices once per process.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "support/GuiTestEnvironment.h"

namespace {

std::unique_ptr<TempDir> g_pConfigDir;
std::unique_ptr<TempDir> g_pRuntimeDir;

class GuiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        ::setenv("ALSOFT_DRIVERS", "null", 1);
        ::unsetenv("ALSOFT_CONF");
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        g_pConfigDir = std::make_unique<TempDir>();
        ::setenv("XDG_CONFIG_HOME", g_pConfigDir->Path().c_str(), 1);
        // Sockets of this binary and of the editors it starts stay apart from those of test
        // binaries running beside it (mkdtemp makes it 0700, as Qt wants).
        g_pRuntimeDir = std::make_unique<TempDir>();
        ::setenv("XDG_RUNTIME_DIR", g_pRuntimeDir->Path().c_str(), 1);
        static int argc = 1;
        static char name[] = "sonomap_tests";
        static char* argv[] = {name, nullptr};
        m_pApplication = std::make_unique<QApplication>(argc, argv);
        QCoreApplication::setOrganizationName("Ambrel");
        QCoreApplication::setApplicationName("Sonomap");
    }
    void TearDown() override {
        m_pApplication.reset();
        g_pConfigDir.reset();
        g_pRuntimeDir.reset();
    }

  private:
    std::unique_ptr<QApplication> m_pApplication;
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace

const TempDir& TestConfigDir() {
    return *g_pConfigDir;
}
