#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "support/OpenAlBackEnd.h"
#include "support/TempDir.h"

// One set-up for a GUI test binary: settings under a temp XDG_CONFIG_HOME, sockets under a
// temp XDG_RUNTIME_DIR, recovery journals under a temp XDG_STATE_HOME, the mixer on OpenAL
// Soft's null back end, and one QApplication on the given platform. All of it must come before the
// first QSettings and the first OpenAL call, which fix their choices once per process. The GUI
// support library registers one on the offscreen platform; a binary that needs a real display does
// not link that library and registers its own, which is why the set-up lives in this header.
class GuiTestEnvironment : public ::testing::Environment {
  public:
    explicit GuiTestEnvironment(const char* platform) : m_platform(platform) {}

    void SetUp() override {
        OpenAlBackEnd::Choose("null");
        ::setenv("QT_QPA_PLATFORM", m_platform, 1);
        m_pConfigDir = std::make_unique<TempDir>();
        ::setenv("XDG_CONFIG_HOME", m_pConfigDir->Path().c_str(), 1);
        // Sockets of this binary and of the editors it starts stay apart from those of test
        // binaries running beside it (mkdtemp makes it 0700, as Qt wants).
        m_pRuntimeDir = std::make_unique<TempDir>();
        ::setenv("XDG_RUNTIME_DIR", m_pRuntimeDir->Path().c_str(), 1);
        // Recovery journals of the editors under test stay out of the user's own.
        m_pStateDir = std::make_unique<TempDir>();
        ::setenv("XDG_STATE_HOME", m_pStateDir->Path().c_str(), 1);
        static int argc = 1;
        static char name[] = "sonomap_tests";
        static char* argv[] = {name, nullptr};
        m_pApplication = std::make_unique<QApplication>(argc, argv);
        QCoreApplication::setOrganizationName("Ambrel");
        QCoreApplication::setApplicationName("Sonomap");
    }
    void TearDown() override {
        m_pApplication.reset();
        m_pConfigDir.reset();
        m_pRuntimeDir.reset();
        m_pStateDir.reset();
    }
    // The folder XDG_CONFIG_HOME points at, while the environment is set up.
    const TempDir& ConfigDir() const { return *m_pConfigDir; }

  private:
    const char* m_platform;
    std::unique_ptr<TempDir> m_pConfigDir;
    std::unique_ptr<TempDir> m_pRuntimeDir;
    std::unique_ptr<TempDir> m_pStateDir;
    std::unique_ptr<QApplication> m_pApplication;
};

// The folder XDG_CONFIG_HOME points at for this test binary.
const TempDir& TestConfigDir();
