#include "cli/BatchScene.h"

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/BatchManifest.h"
#include "cli/CliHost.h"
#include "cli/CliMixer.h"
#include "deliver/AdmExportCommand.h"
#include "deliver/AdmSceneExport.h"
#include "deliver/BinauralExportCommand.h"
#include "deliver/LoudnessTarget.h"
#include "deliver/ResampledSources.h"
#include "deliver/SceneLabels.h"
#include "deliver/SceneRender.h"
#include "deliver/SofaExportRenderer.h"
#include "deliver/SofaSetChoice.h"
#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/UndoRecord.h"
#include "formats/CSoundFile.h"
#include "platform/CFileException.h"
#include "platform/SafeFileWriter.h"
#include "scene/Propagation.h"
#include "scene/RenderInput.h"
#include "scene/Scene.h"
#include "trajectory/PanPointList.h"
#include "trajectory/TrajectoryGenerator.h"

namespace {

namespace fs = std::filesystem;

// Keeps what a job's steps say instead of printing it: a batch lists its failures at the end.
class QuietPrompts : public UserPrompts {
  public:
    Answer ShowMessage(const Box& box) override {
        m_texts.push_back(box.informative.empty() ? box.text : box.text + " " + box.informative);
        return box.defaultAnswer;
    }
    void OpenProcessingWindow() override {}
    void SetProcessingText(const std::string&) override {}
    void CloseProcessingWindow() override {}
    std::string FirstText() const { return m_texts.empty() ? "failed" : m_texts.front(); }
    std::string LastText() const { return m_texts.empty() ? "failed" : m_texts.back(); }

  private:
    std::vector<std::string> m_texts;
};

class QuietHost : public CliHost {
  public:
    UserPrompts& OwnPrompts() override { return m_quiet; }
    QuietPrompts m_quiet;
};

// The event's trajectory, or null with the reason shown.
std::unique_ptr<PanPointList> MakeTrajectory(const BatchEvent& event, const CTesselDoc& doc,
                                             UserPrompts& prompts) {
    auto list = std::make_unique<PanPointList>();
    if (event.path == BatchEvent::Path::Points) {
        // Points past the source's end are kept: the sound ends on the way to them.
        list->AddPoints(event.points);
        return list;
    }
    std::string error;
    const std::optional<TrajectoryGenerator> shape = TrajectoryGenerator::Parse(
        event.generate, doc.GetFrameCount(), doc.GetFormat().sampleRate, error);
    std::vector<PanPoint> points;
    if (!shape || !shape->Generate(points, error)) {
        prompts.Message(event.source + ": " + error);
        return nullptr;
    }
    list->AddPoints(points);
    return list;
}

int TypeOf(const BatchJob& job) {
    const std::string extension = fs::path(job.outputName).extension().string();
    return extension == ".aif" || extension == ".aiff" ? kSoundTypeAiff : kSoundTypeWave;
}

// The one event of a stereo, binaural or ADM job, rendered by the editor's export with the
// event's trajectory put in place of the source's. False with the reason shown.
bool RenderExport(const BatchJob& job, CTesselDoc& doc, const PanPointList& points, CliHost& host,
                  const std::string& path, float level) {
    if (&points != &doc.GetPanPoints()) {
        const std::vector<PanPoint> values = points.Values();
        doc.BeginGroup(UndoKind::Replace);
        while (const PanPoint* first = doc.NextPoint(nullptr)) {
            doc.RemovePoint(first);
        }
        for (const PanPoint& point : values) {
            doc.AddPoint(point);
        }
        doc.EndGroup();
    }
    const int typeId = TypeOf(job);
    if (job.format == "adm") {
        AdmExportCommand command(doc);
        command.SetLevel(level);
        return command.RenderTo(path, job.sampleFormat);
    }
    if (job.format == "binaural") {
        if (const std::shared_ptr<SofaSetChoice> sofa = job.pSofa) {
            host.SetRendererFactory([sofa] { return std::make_unique<SofaExportRenderer>(sofa); });
        } else {
            const std::string hrtf = job.hrtf;
            host.SetRendererFactory([hrtf] { return CliMixer::MakeRenderer(hrtf); });
        }
        BinauralExportCommand command(doc);
        command.SetLevel(level);
        return command.RenderTo(path, typeId, job.sampleFormat.value_or(SampleFormat::S16));
    }
    StereoExportCommand command(doc);
    command.SetLevel(level);
    return command.RenderTo(path, typeId, job.sampleFormat);
}

void MakeFolderOf(const std::string& path) {
    std::error_code code;
    fs::create_directories(fs::path(path).parent_path(), code);
}

bool WriteLabels(const BatchJob& job, const std::vector<SceneLabels::Event>& events, uint32_t rate,
                 uint64_t frames, const SceneSpace& space, std::string& reason) {
    if (job.labels.empty()) {
        return true;
    }
    MakeFolderOf(job.labels);
    const std::string csv = SceneLabels::CsvOf(SceneLabels::RowsOf(events, rate, frames, space));
    try {
        SafeFileWriter writer(job.labels);
        writer.Begin().Write(csv.data(), csv.size());
        writer.Commit();
    } catch (const CFileException& error) {
        reason = job.labels + ": " + error.what();
        return false;
    }
    return true;
}

// Every job of the process shares one: a set sounds the same sources in many scenes.
ResampledSources& SharedResampling() {
    static ResampledSources shared(size_t{64} << 20);
    return shared;
}

// The job rendered once into job.output, every sample times level; host's prompts take what
// goes wrong, and with a loudness target host takes what was written's measure.
bool RenderOnce(const BatchJob& job, QuietHost& host, float level, std::string& reason) {
    // One document a source file, however many events sound it: its samples once in memory.
    std::map<std::string, std::unique_ptr<CTesselDoc>> docs;
    std::vector<std::unique_ptr<PanPointList>> made;
    std::vector<SceneLabels::Event> labelled;
    Scene scene;
    scene.space.acoustics = job.acoustics;
    scene.space.listener.head = job.head;
    uint32_t rate = job.rate;
    for (const BatchEvent& event : job.events) {
        std::unique_ptr<CTesselDoc>& doc = docs[event.source];
        if (!doc) {
            doc = std::make_unique<CTesselDoc>(host);
            if (!DocumentOpen(*doc).Open(event.source)) {
                reason = event.source + ": " + host.m_quiet.FirstText();
                return false;
            }
        }
        if (rate == 0) {
            rate = doc->GetFormat().sampleRate;
        }
        const PanPointList* points = &doc->GetPanPoints();
        if (event.path != BatchEvent::Path::Stored) {
            made.push_back(MakeTrajectory(event, *doc, host.m_quiet));
            if (!made.back()) {
                reason = host.m_quiet.FirstText();
                return false;
            }
            points = made.back().get();
        } else if (points->IsEmpty()) {
            reason = event.source + ": the source stores no trajectory";
            return false;
        }
        if (!job.bMixes && job.format != "ambix" && job.pLayout == nullptr) {
            MakeFolderOf(job.output);
            doc->SetAcoustics(job.acoustics);
            doc->SetHeadTurn(job.head);
            if (!RenderExport(job, *doc, *points, host, job.output, level)) {
                reason = host.m_quiet.FirstText();
                return false;
            }
            // The export's own trajectory, which the document now holds, heard as it heard it.
            const uint32_t frames = doc->GetFrameCount();
            const uint32_t sourceRate = doc->GetFormat().sampleRate;
            const uint64_t heard =
                Propagation(doc->GetPanPoints(), frames,
                            {sourceRate, TrajectoryCursor::Mode::AllAround, scene.space})
                    .HeardFrames();
            labelled.push_back(
                {&doc->GetPanPoints(), frames, sourceRate, 0, heard, event.classIndex.value_or(0)});
            return WriteLabels(job, labelled, sourceRate, heard, scene.space, reason);
        }
        SceneSource source;
        source.input = RenderInput::OfDocument(*doc);
        source.points = points;
        source.onset = static_cast<uint64_t>(std::llround(event.onset * rate));
        source.gain = static_cast<float>(std::pow(10.0, event.gainDb / 20.0));
        source.name = doc->GetTitle();
        source.identity = ResampledSources::KeyOfFile(event.source);
        source.classIndex = event.classIndex.value_or(0);
        labelled.push_back({points, doc->GetFrameCount(), doc->GetFormat().sampleRate, source.onset,
                            0, source.classIndex});
        scene.sources.push_back(std::move(source));
    }
    std::optional<uint64_t> length;
    if (job.duration) {
        length = static_cast<uint64_t>(std::llround(*job.duration * rate));
    }
    MakeFolderOf(job.output);
    if (job.format == "adm") {
        AdmSceneExport adm(std::move(scene), job.sampleFormat, rate, length);
        for (size_t i = 0; i < labelled.size(); ++i) {
            labelled[i].frames = adm.SourceFrames(i);
        }
        adm.SetLevel(level);
        if (!adm.RenderTo(job.output, fs::path(job.outputName).stem().string(), host)) {
            reason = host.m_quiet.FirstText();
            return false;
        }
        return WriteLabels(job, labelled, adm.OutputRate(), adm.OutputFrames(),
                           SceneSpace{{job.head, nullptr}, job.acoustics}, reason);
    }
    SceneRender::Output output;
    output.options.rate = rate;
    if (job.format == "stereo" || job.format == "binaural") {
        output.kind = job.format == "stereo" ? SceneRender::Output::Kind::Stereo
                                             : SceneRender::Output::Kind::Binaural;
        output.options.format = job.sampleFormat.value_or(SampleFormat::S16);
        output.sofa = job.pSofa;
    } else {
        output.options.order = job.order;
        output.options.pLayout = job.pLayout;
        output.options.format = job.sampleFormat.value_or(SampleFormat::S16);
    }
    output.length = length;
    output.level = level;
    output.pMeasureFor = job.loudness ? &host : nullptr;
    output.pResampled = &SharedResampling();
    const SceneSpace space = scene.space;
    SceneRender render(std::move(scene), output);
    for (size_t i = 0; i < labelled.size(); ++i) {
        labelled[i].frames = render.SourceFrames(i);
    }
    if (!render.RenderTo(job.output, host.m_quiet, TypeOf(job))) {
        reason = host.m_quiet.FirstText();
        return false;
    }
    return WriteLabels(job, labelled, render.OutputRate(), render.OutputFrames(), space, reason);
}

}  // namespace

bool BatchScene::Render(const BatchJob& job, std::string& reason) {
    QuietHost host;
    if (!job.loudness) {
        return RenderOnce(job, host, 1.0f, reason);
    }
    // As render --loudness: a measuring render beside the output (without labels), then the
    // output at the level that brings it to the target, or a refusal with the figures.
    bool bMeasuring = true;
    const bool bWritten = LoudnessTarget::Run(job.loudness, host, job.output,
                                              [&](const std::string& path, float level) {
                                                  BatchJob once = job;
                                                  once.output = path;
                                                  if (bMeasuring) {
                                                      once.labels.clear();
                                                      bMeasuring = false;
                                                  }
                                                  return RenderOnce(once, host, level, reason);
                                              });
    // A refusal of the target is said last, after whatever the renders said.
    if (!bWritten && reason.empty()) {
        reason = host.m_quiet.LastText();
    }
    return bWritten;
}
