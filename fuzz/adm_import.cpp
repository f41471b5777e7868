// Feeds arbitrary bytes as the "axml" chunk of a small mono and a small stereo WAV file through
// the import a user's ADM file takes: libsndfile, the walk over the chunks, the XML model. The
// import either refuses with a reason, or takes the sound with no model or with one list of
// places a channel, every value a number. Nothing else may happen: no crash, no hang, no
// allocation sized by the input beyond its own size.
#include <cmath>

#include "FuzzFile.h"
#include "formats/AdmMetadata.h"
#include "formats/SoundImporter.h"

namespace {

void ImportOne(const FuzzFile& file, uint16_t channels, const uint8_t* data, size_t size) {
    std::vector<uint8_t> middle;
    const std::vector<uint8_t> chna = BuildChnaChunk(channels);
    FuzzChunk(middle, "chna", chna.data(), chna.size());
    FuzzChunk(middle, "axml", data, size);
    file.Fill(FuzzWave(channels, 48000, 4, middle));

    SoundImporter importer(file.path, ImportOptions{});
    ImportedSound sound;
    const SoundImporter::Status status = importer.Import(sound);
    if (status == SoundImporter::Status::AdmRefused) {
        FuzzCheck(!importer.GetError().empty());
        return;
    }
    FuzzCheck(status == SoundImporter::Status::Ok);
    FuzzCheck(sound.format.channels == channels && sound.dataBytes == 4u * channels * 2);
    FuzzCheck(sound.admChannels.empty() || sound.admChannels.size() == channels);
    for (const std::vector<AdmPlace>& places : sound.admChannels) {
        FuzzCheck(!places.empty());
        for (const AdmPlace& place : places) {
            FuzzCheck(std::isfinite(place.azimuth) && std::isfinite(place.elevation) &&
                      std::isfinite(place.distanceCm));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzFile file("sonomap-fuzz-adm");
    ImportOne(file, 1, data, size);
    ImportOne(file, 2, data, size);
    return 0;
}
