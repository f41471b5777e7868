#pragma once

class CTesselDoc;

// Told what changed in a document, so that whoever shows, plays or keeps it follows: views
// repaint, playback steps along the new trajectory, a journal writes it. A listener registers
// with the document and must remove itself before it goes, unless the document went first.
class DocumentListener {
  public:
    virtual ~DocumentListener() = default;
    // A point was added, moved or removed: an edit, an undo or redo, a paste.
    virtual void OnTrajectoryChanged(CTesselDoc& /*document*/) {}
    // The space the sound is heard in changed (GetAcoustics).
    virtual void OnAcousticsChanged(CTesselDoc& /*document*/) {}
    // IsModified() changed.
    virtual void OnModifiedChanged(CTesselDoc& /*document*/) {}
    // The document is being destroyed; the listener must not use it after returning.
    virtual void OnDocumentClosing(CTesselDoc& /*document*/) {}
};
