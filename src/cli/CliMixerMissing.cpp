// CliMixer for a build without the mixer library.
#include "cli/CliMixer.h"

bool CliMixer::IsAvailable() {
    return false;
}

std::vector<std::string> CliMixer::HrtfNames() {
    return {};
}

std::unique_ptr<BinauralRenderer> CliMixer::MakeRenderer(const std::string&) {
    return nullptr;
}
