// sonomap-cli import: a file libsndfile reads, converted into a new WAV or AIFF file.
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "cli/CliHost.h"
#include "document/CTesselDoc.h"
#include "document/SoundImport.h"
#include "platform/FileIdentity.h"

namespace {

namespace fs = std::filesystem;

int ImportUsageError(const std::string& problem) {
    return UsageError("import", problem);
}

}  // namespace

std::string ImportUsage() {
    return "usage: sonomap-cli import IN OUT [--type wav|aiff] [--bits 8|16|24|32]\n"
           "                                 [--no-dither]\n"
           "  Converts IN, any file libsndfile reads (FLAC, RF64, CAF, Ogg Vorbis, Opus,\n"
           "  WAV and AIFF of any encoding, ...), mono or stereo, into OUT at IN's depth:\n"
           "  floating point stays 32-bit float, integers 16, 24 or 32 bits as they fit, lossy\n"
           "  codecs become 16 bits; --bits gives the PCM width instead. The rate is IN's;\n"
           "  rates above 48000 Hz are resampled to 48000 Hz (44100 Hz for multiples of\n"
           "  11025), rates below 6000 Hz to 8000 Hz. A drop in bit depth is dithered (TPDF)\n"
           "  unless --no-dither is given. IN's pan trajectory is kept;\n"
           "  an ADM file's objects (one per channel, of type Objects) become it.\n"
           "  Without --type the type follows OUT's extension (.aif or .aiff: AIFF, else\n"
           "  WAV). OUT must not be IN.\n";
}

int RunImport(const std::vector<std::string>& words) {
    const CliArguments args(words, {"--type", "--bits"}, {"--no-dither"});
    if (!args.IsValid()) {
        return ImportUsageError(args.GetError());
    }
    if (args.Positional().size() != 2) {
        return ImportUsageError("name IN and OUT");
    }
    ImportOptions options;
    options.bDither = !args.Flag("--no-dither");
    if (const auto bits = args.Option("--bits")) {
        if (*bits != "8" && *bits != "16" && *bits != "24" && *bits != "32") {
            return ImportUsageError("--bits is 8, 16, 24 or 32, not '" + *bits + "'");
        }
        options.bits = std::stoi(*bits);
    }
    CliHost::SaveTarget target{args.Positional()[1], std::nullopt};
    if (const auto type = args.Option("--type")) {
        target.typeId = CliArguments::ParseType(*type);
        if (!target.typeId) {
            return ImportUsageError("--type is wav or aiff, not '" + *type + "'");
        }
    }
    const std::string in = fs::absolute(args.Positional()[0]).lexically_normal().string();
    const std::string out = fs::absolute(target.path).lexically_normal().string();
    if (in == out || FileIdentity::IsSameFile(in, out)) {
        return ImportUsageError("OUT must differ from IN: import never writes over its source");
    }

    CliHost host;
    host.SetSaveTarget(target);
    // The source counts as open, so no save name can reach it.
    host.SetOpenDocument(in);
    CTesselDoc doc(host);
    if (!SoundImport(host).ImportInto(doc, in, options)) {
        return kExitFailed;
    }
    return host.SaveDocument(doc, true) ? kExitOk : kExitFailed;
}
