#include "cli/CliMixer.h"

#include "binaural/MixerDirectory.h"
#include "binaural/TrevantBinauralRenderer.h"

bool CliMixer::IsAvailable() {
    return true;
}

std::vector<std::string> CliMixer::HrtfNames() {
    std::vector<std::string> names;
    for (const MixerDirectory::Hrtf& hrtf : MixerDirectory::Hrtfs()) {
        names.push_back(hrtf.name);
    }
    return names;
}

std::unique_ptr<BinauralRenderer> CliMixer::MakeRenderer(const std::string& hrtfName) {
    // No low-pass: the editor's own default for it is off.
    return std::make_unique<TrevantBinauralRenderer>(hrtfName, 0);
}
