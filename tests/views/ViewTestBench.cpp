#include "ViewTestBench.h"

#include <QApplication>
#include <QThread>

#include "playback/CommandIds.h"
#include "views/ViewEvents.h"

QImage Grab(CWaveScrollView& view) {
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void Settle() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void RecordingBar::customEvent(QEvent* event) {
    if (event->type() == kSetLivePanEvent) {
        livePans.push_back(static_cast<SetLivePanEvent*>(event)->Pan());
    } else if (event->type() == kSetPlayPositionEvent) {
        playPositions.push_back(static_cast<SetPlayPositionEvent*>(event)->Frame());
    } else if (event->type() == kSetLivePlaceEvent) {
        livePlaces.push_back(static_cast<SetLivePlaceEvent*>(event)->Place());
    } else if (event->type() == kSetTopViewEvent) {
        topView = static_cast<SetTopViewEvent*>(event)->TopView();
    } else if (event->type() == kOverviewUpdateEvent) {
        ++updates;
    }
}

ViewTestBench::ViewTestBench() = default;

ViewTestBench::~ViewTestBench() {
    app.GetPlayback().Stop();
    m_documents.clear();
    app.ExitInstance();
}

CTesselDoc& ViewTestBench::Document(const TestSound& sound) {
    m_documents.push_back(MemoryDocument(app, sound));
    return *m_documents.back();
}

TestSound ViewTestBench::Mono(uint32_t frames, uint32_t rate, std::vector<PanChunkPoint> points) {
    TestSound sound;
    sound.format = MakeFormat(1, rate, 16);
    sound.samples = Pattern(size_t{frames} * 2);
    sound.points = std::move(points);
    sound.chunkFrames = frames;
    return sound;
}

std::unique_ptr<CWaveScrollView> ViewTestBench::MakeView(CTesselDoc& document, int width,
                                                         int height) {
    auto view = std::make_unique<CWaveScrollView>(document, app);
    view->resize(width, height);
    view->show();
    QCoreApplication::processEvents();
    return view;
}

bool ViewTestBench::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    for (int waited = 0; !done() && waited < timeoutMs; waited += 5) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
    return done();
}

void ViewTestBench::Feed(CWaveScrollView& view, QObject& bar) {
    CommandState state;
    state.requester = &bar;
    view.UpdateCommand(CommandId::kOverviewUpdate, state);
}
