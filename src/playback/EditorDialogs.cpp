#include "playback/EditorDialogs.h"

#include "document/PasteOptionIds.h"

void EditorDialogs::SetPasteOptions(PasteMerge merge, PasteSize size) {
    m_pasteMerge = std::move(merge);
    m_pasteSize = std::move(size);
}

bool EditorDialogs::AskSaveName(const SaveNameRequest& request, SaveNameResult& result) const {
    return m_saveName && m_saveName(request, result);
}

bool EditorDialogs::IsDocumentOpen(const std::string& fullPath) const {
    return m_isOpen && m_isOpen(fullPath);
}

int EditorDialogs::AskPasteMerge() const {
    return m_pasteMerge ? m_pasteMerge() : kPasteCancel;
}

int EditorDialogs::AskPasteSize(bool caretVariant) const {
    return m_pasteSize ? m_pasteSize(caretVariant) : kPasteCancel;
}

bool EditorDialogs::EditPointProperties(PointProperties& properties) const {
    return m_pointProperties && m_pointProperties(properties);
}

bool EditorDialogs::GenerateTrajectory(CTesselDoc& doc, uint32_t from, uint32_t to) const {
    return m_generate && m_generate(doc, from, to);
}

bool EditorDialogs::StretchPoints(CTesselDoc& doc, uint32_t from, uint32_t to) const {
    return m_stretch && m_stretch(doc, from, to);
}
