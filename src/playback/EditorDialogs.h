#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "document/DocumentHost.h"

class CTesselDoc;
class PointProperties;

// The dialogs the shell lends the application: the save dialog, the open-document test, the
// two "Paste Options..." questions, Point Properties, Generate Trajectory and Stretch Points.
// Plain C++: each is a function the shell installs (and removes, with nullptr, before it goes);
// until it does, a dialog is cancelled and no document counts as open, so the application and
// its tests run without a shell. Frames.
class EditorDialogs {
  public:
    using SaveName = std::function<bool(const SaveNameRequest&, SaveNameResult&)>;
    using OpenDocumentQuery = std::function<bool(const std::string& fullPath)>;
    using PasteMerge = std::function<int()>;
    using PasteSize = std::function<int(bool caretVariant)>;
    // Applies OK itself; true when OK changed the point.
    using PointPropertiesDialog = std::function<bool(PointProperties& properties)>;
    // Over frames from .. to of a document; applies OK itself as one undo step and is true
    // when OK changed the points.
    using SpanDialog = std::function<bool(CTesselDoc& doc, uint32_t from, uint32_t to)>;

    void SetSaveName(SaveName dialog) { m_saveName = std::move(dialog); }
    void SetOpenDocumentQuery(OpenDocumentQuery query) { m_isOpen = std::move(query); }
    void SetPasteOptions(PasteMerge merge, PasteSize size);
    void SetPointProperties(PointPropertiesDialog dialog) { m_pointProperties = std::move(dialog); }
    void SetGenerate(SpanDialog dialog) { m_generate = std::move(dialog); }
    void SetStretch(SpanDialog dialog) { m_stretch = std::move(dialog); }

    // False when cancelled, or without a dialog.
    bool AskSaveName(const SaveNameRequest& request, SaveNameResult& result) const;
    bool IsDocumentOpen(const std::string& fullPath) const;
    // The chosen button's PasteOptionId; kPasteCancel without a dialog.
    int AskPasteMerge() const;
    int AskPasteSize(bool caretVariant) const;
    bool EditPointProperties(PointProperties& properties) const;
    bool GenerateTrajectory(CTesselDoc& doc, uint32_t from, uint32_t to) const;
    bool StretchPoints(CTesselDoc& doc, uint32_t from, uint32_t to) const;

  private:
    SaveName m_saveName;
    OpenDocumentQuery m_isOpen;
    PasteMerge m_pasteMerge;
    PasteSize m_pasteSize;
    PointPropertiesDialog m_pointProperties;
    SpanDialog m_generate;
    SpanDialog m_stretch;
};
