#pragma once

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>

// Runs the benchmarks named on the command line inside an offscreen application over OpenAL
// Soft's null device, as a machine without a display or sound card has them. The caller sets
// ALSOFT_CONF (or leaves it unset) first.
inline int RunOffscreenBenchmarks(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("ALSOFT_DRIVERS", "null", 1);
    const std::filesystem::path runtime = std::filesystem::temp_directory_path() / "sonomap-bench";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
