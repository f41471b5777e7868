#include "deliver/LoudnessTarget.h"

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "document/DocumentHost.h"
#include "platform/TempFileRegistry.h"
#include "platform/UserPrompts.h"

namespace {

namespace fs = std::filesystem;

// A hidden name beside path for a render that is measured and removed.
std::string MeasuringPath(const std::string& path) {
    static std::atomic<unsigned> s_next{0};
    const fs::path target(path);
    return (target.parent_path() / ("." + target.filename().string() + ".measuring-" +
                                    std::to_string(::getpid()) + "-" + std::to_string(s_next++)))
        .string();
}

// The measuring render as the user sees it: its progress under a caption of its own, its boxes
// kept (answered with their defaults) to be shown only if it fails, its status lines dropped.
class MeasuringPass : public DocumentHost::QuietPass, public UserPrompts {
  public:
    explicit MeasuringPass(UserPrompts& user) : m_user(user) {}

    UserPrompts& Prompts() override { return *this; }
    void Measured(double lufs, double truePeak) override {
        m_lufs = lufs;
        m_truePeak = truePeak;
        m_bMeasured = true;
    }

    Answer ShowMessage(const Box& box) override {
        m_held.push_back(box);
        return box.defaultAnswer;
    }
    void OpenProcessingWindow() override { m_user.OpenProcessingWindow(); }
    void SetProcessingText(const std::string& text) override { m_user.SetProcessingText(text); }
    void CloseProcessingWindow() override { m_user.CloseProcessingWindow(); }
    std::unique_ptr<ProgressIndicator> OpenProgressDialog() override {
        return m_user.OpenProgressDialog("Measuring the loudness...");
    }
    std::unique_ptr<ProgressIndicator> OpenProgressDialog(const std::string&) override {
        return OpenProgressDialog();
    }
    void ShowStatus(const std::string&) override {}

    void ShowHeld() {
        for (const Box& box : m_held) {
            m_user.ShowMessage(box);
        }
    }

    bool m_bMeasured = false;
    double m_lufs = 0.0;
    double m_truePeak = 0.0;

  private:
    UserPrompts& m_user;
    std::vector<Box> m_held;
};

}  // namespace

std::optional<double> LoudnessTarget::Parse(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= kLowest && value <= kHighest)) {
        return std::nullopt;
    }
    return value;
}

bool LoudnessTarget::RenderTo(DocumentHost& host, const std::string& output,
                              const ExportRun& render) {
    UserPrompts& user = host.Prompts();
    MeasuringPass pass(user);
    const std::string measuring = MeasuringPath(output);
    TempFileRegistry::Change().Add(measuring);
    host.SetQuietPass(&pass);
    const bool bRendered = render(measuring, 1.0f);
    host.SetQuietPass(nullptr);
    std::error_code ignored;
    fs::remove(measuring, ignored);
    TempFileRegistry::Change().Remove(measuring);
    if (!bRendered) {
        pass.ShowHeld();
        return false;
    }
    char line[400];
    if (!pass.m_bMeasured || !std::isfinite(pass.m_lufs)) {
        std::snprintf(line, sizeof line,
                      "%s: it is silent (or shorter than 0.4 s), so no gain brings it to "
                      "%.1f LUFS; nothing is written",
                      output.c_str(), m_lufs);
        user.Message(line);
        return false;
    }
    const double gain = m_lufs - pass.m_lufs;
    if (pass.m_truePeak + gain > kPeakLimit) {
        std::snprintf(line, sizeof line,
                      "%s: at %.1f LUFS its true peak would be %+.1f dBTP, past %.0f dBTP "
                      "(it measures %.1f LUFS, true peak %+.1f dBTP); nothing is written",
                      output.c_str(), m_lufs, pass.m_truePeak + gain, kPeakLimit, pass.m_lufs,
                      pass.m_truePeak);
        user.Message(line);
        return false;
    }
    m_gainDb = gain;
    return render(output, static_cast<float>(std::pow(10.0, gain / 20.0)));
}

bool LoudnessTarget::Run(std::optional<double> lufs, DocumentHost& host, const std::string& output,
                         const LoudnessTarget::ExportRun& render) {
    if (!lufs) {
        return render(output, 1.0f);
    }
    return LoudnessTarget(*lufs).RenderTo(host, output, render);
}
