#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QImage>
#include <QObject>
#include <optional>

#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "support/DocumentTestFiles.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "views/CWaveScrollView.h"

// What the view's drawing area shows, as 32-bit pixels.
QImage Grab(CWaveScrollView& view);
// Runs the events pending and those they post in turn.
void Settle();

// Stands in for the overview bar: records the live directions, play positions and updates it
// is sent.
class RecordingBar : public QObject {
  public:
    std::vector<int> livePans;
    std::vector<uint32_t> playPositions;
    std::vector<std::optional<SoundPlace>> livePlaces;
    std::optional<bool> topView;
    int updates = 0;

  protected:
    void customEvent(QEvent* event) override;
};

// An application on the null audio back end, documents made in memory, and views of a given
// size shown on the offscreen platform.
class ViewTestBench {
  public:
    ViewTestBench();
    ~ViewTestBench();

    // A document holding sound, made in memory; it lives as long as the bench.
    CTesselDoc& Document(const TestSound& sound);
    // A mono 16-bit sound of frames frames at rate, with these pan points.
    static TestSound Mono(uint32_t frames, uint32_t rate = 22050,
                          std::vector<PanChunkPoint> points = {});
    // A shown view whose drawing area is width x height pixels.
    std::unique_ptr<CWaveScrollView> MakeView(CTesselDoc& document, int width, int height);
    // Processes events until done() holds or timeoutMs passed; returns done().
    static bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
    // Asks view for its overview update as the bar does at idle, so the view knows bar.
    static void Feed(CWaveScrollView& view, QObject& bar);

    ScriptedPrompts prompts;
    MemorySettingsStore settings;
    CEditorApp app{prompts, settings};

  private:
    std::vector<std::unique_ptr<CTesselDoc>> m_documents;
};
