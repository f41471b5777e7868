#include "scene/Scene.h"

#include "document/CTesselDoc.h"

SceneSpace SceneSpace::Of(const CTesselDoc& document) {
    SceneSpace space;
    space.acoustics = document.GetAcoustics();
    space.listener.head = document.GetHeadTurn();
    return space;
}

Scene Scene::OfDocument(const CTesselDoc& document) {
    Scene scene;
    SceneSource source;
    source.input = RenderInput::OfDocument(document);
    source.points = &document.GetPanPoints();
    source.name = document.GetTitle();
    scene.sources.push_back(std::move(source));
    scene.space = SceneSpace::Of(document);
    return scene;
}
