#include "deliver/LoudspeakerExportCommand.h"

#include "deliver/AmbisonicsExportCommand.h"
#include "deliver/ExportTarget.h"
#include "deliver/LoudnessTarget.h"
#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "formats/CWaveFile.h"
#include "render/LoudnessMeter.h"
#include "render/SpeakerLayout.h"

LoudspeakerExportCommand::LoudspeakerExportCommand(const CTesselDoc& document)
    : m_document(document), m_host(document.GetHost()) {}

std::string LoudspeakerExportCommand::UnknownLayoutText(const std::string& name) {
    if (std::string nearest = SpeakerLayout::NearestTo(name); !nearest.empty()) {
        return nearest;
    }
    std::string text = "Unknown loudspeaker layout '" + name + "'; the layouts are";
    const char* separator = " ";
    for (const SpeakerLayout& layout : SpeakerLayout::All()) {
        text += separator + layout.NameWithCommon();
        separator = ", ";
    }
    return text + ".";
}

void LoudspeakerExportCommand::ShapeWaveHeader(CWaveFile& wave, const PcmFormat& format,
                                               const SpeakerLayout& layout) {
    wave.KeepFormatChunk(CWaveFile::ExtensibleFormatChunk(format, layout.ChannelMask()));
    wave.SetChannelOrder(layout.WaveChannelOrder());
}

bool LoudspeakerExportCommand::Run() {
    SaveNameRequest::Choice layouts{"Layout:", {}, 1, "LoudspeakerLayout"};
    for (const SpeakerLayout& layout : SpeakerLayout::All()) {
        const std::string_view common = layout.CommonName();
        layouts.options.push_back(std::string(layout.Name()) + " (" +
                                  (common.empty() ? "" : std::string(common) + ", ") +
                                  std::to_string(layout.ChannelCount()) + " channels)");
    }
    SaveNameRequest request;
    request.choices = {layouts,
                       ExportTarget::SampleFormatChoice("LoudspeakerSampleFormat"),
                       {"Sample rate:", {"The sound's own", "48000 Hz"}, 0, "LoudspeakerRate"},
                       ExportTarget::LoudnessChoice("LoudspeakerLoudness")};
    SaveNameResult result;
    if (!ExportTarget::AskName(m_host, "Export Loudspeakers File As...", m_document.GetTitle(),
                               "speakers", result, request.choices)) {
        return false;
    }
    AmbisonicsExport::Options options;
    options.pLayout = &SpeakerLayout::All()[static_cast<size_t>(result.Chosen(request, 0))];
    options.format = SampleFormatFromIndex(result.Chosen(request, 1)).value_or(SampleFormat::S16);
    options.rate = result.Chosen(request, 2) == 1 ? 48000 : 0;
    return LoudnessTarget::Run(ExportTarget::ChosenLoudness(request, result, 3), m_host,
                               result.fullPath, [&](const std::string& path, float level) {
                                   options.level = level;
                                   return RenderTo(path, result.filterIndex - 1, options);
                               });
}

bool LoudspeakerExportCommand::RenderTo(const std::string& path, int typeId,
                                        const AmbisonicsExport::Options& options) {
    const SpeakerLayout* pLayout = options.pLayout;
    return AmbisonicsExportCommand::RenderExport(
        m_document, path, typeId, options, "loudspeaker", LoudnessMeter::WeightsFor(*pLayout),
        [pLayout](CWaveFile& wave, const PcmFormat& format) {
            ShapeWaveHeader(wave, format, *pLayout);
        });
}
