#pragma once

#include <gtest/gtest.h>

// OpenAL Soft fixes its back end at its first use in a process, so a test binary chooses it
// once, from a global environment, before any test runs.
namespace OpenAlBackEnd {

// A back end list naming nothing OpenAL Soft has: no device can open, as on a machine without
// sound card or sound server. Loopback renders still run.
constexpr const char* kNoDevice = "sonomap-no-such-driver";

// Points ALSOFT_DRIVERS at drivers and drops any ALSOFT_CONF of the caller's.
void Choose(const char* drivers);

class Environment : public ::testing::Environment {
  public:
    explicit Environment(const char* drivers) : m_drivers(drivers) {}
    void SetUp() override { Choose(m_drivers); }

  private:
    const char* m_drivers;
};

}  // namespace OpenAlBackEnd
