#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/DocumentHost.h"

#include "formats/PcmFormat.h"
#include "platform/SafeFileWriter.h"
#include "render/SampleFormat.h"

class CTesselDoc;
class CSoundFile;
class CWaveFile;
class DocumentHost;
class UserPrompts;
struct SaveNameResult;

// The file an export writes: a sound file of the chosen type on a temp file beside the chosen
// name, put in place only when complete, so a cancelled or failed export leaves no half-made
// file and an older file of that name keeps its bytes. Also the messages that finishing or
// discarding it can show. Sizes are bytes.
class ExportTarget {
  public:
    // typeId: 0 WAV, 1 AIFF, as the save dialog's filter index less one.
    ExportTarget(const std::string& path, int typeId);
    ~ExportTarget();
    ExportTarget(const ExportTarget&) = delete;
    ExportTarget& operator=(const ExportTarget&) = delete;

    // Called on a WAV writer before its header is written, by every Begin: the chunks and the
    // large form an export wants beyond the plain ones.
    void SetWaveSetup(std::function<void(CWaveFile&)> setup) { m_waveSetup = std::move(setup); }
    // Begins the output afresh, dropping anything written before, and writes its header.
    // The sound file belongs to the target; null when it could not be begun.
    CSoundFile* Begin(const PcmFormat& format, uint32_t dataBytes);
    // After Cancel: the temp file goes; "Error removing output file." when it stays.
    void Discard(UserPrompts& prompts);
    // After the last block: closes the data and the file and puts it in place, or shows why
    // not ("Error writing wave data!" when bWriteFailed, "Error closing wave data!", "Error
    // closing wave file!", each with a line naming the folder and the cause: missing,
    // read-only, full). True when the file is in place.
    bool Finish(bool bWriteFailed, UserPrompts& prompts);

    // "No Pan Events to track!", with a line under it saying how to give the sound points.
    static void RefuseWithoutPoints(UserPrompts& prompts);
    // A sound in a room stays inside it, all the way: true, with the first frame outside (or
    // what makes the room impossible) said, when document's does not.
    static bool RefuseOutsideRoom(const CTesselDoc& document, UserPrompts& prompts);

    // Whether dataBytes of samples, with room for the file's own chunks, fit the 32-bit form
    // of a plain WAV or an AIFF file (CWaveFile::PlainFormLimit, which tests may lower).
    static bool FitsPlainForm(uint64_t dataBytes);

    // The name an export dialog proposes: "take-stereo.wav" for the title take.wav and kind
    // "stereo".
    static std::string ProposedName(const std::string& title, const std::string& kind);
    // Asks for an export's file in the host's export folder, proposing ProposedName. False
    // when the user cancelled.
    // choices go under the name (SaveNameRequest::choices); note, when not empty, is shown
    // under them (SaveNameRequest::reason): what the file will hold.
    static bool AskName(DocumentHost& host, const std::string& dialogTitle,
                        const std::string& documentTitle, const std::string& kind,
                        SaveNameResult& result,
                        const std::vector<SaveNameRequest::Choice>& choices = {},
                        const std::string& note = {});
    // The sample formats an export dialog offers, s16, s24 and f32 in that order (a caller
    // may put an option before them), remembered under key.
    static SaveNameRequest::Choice SampleFormatChoice(const std::string& key);
    // The loudness targets an export dialog offers, remembered under key: none, -23 LUFS
    // (EBU R 128), -24 (ATSC A/85), -16 and -14 (streaming), or a value typed (LoudnessTarget's
    // range).
    static SaveNameRequest::Choice LoudnessChoice(const std::string& key);
    // The target taken in the request's choice index, a LoudnessChoice: none for "None".
    static std::optional<double> ChosenLoudness(const SaveNameRequest& request,
                                                const SaveNameResult& result, size_t index);
    // For an export that can keep the sound's own samples: asks for the name with the sample
    // formats after "As the sound (no dither)" (remembered under key) and the loudness target
    // (under loudnessKey). False when the user cancelled; format is then the one chosen, none
    // for the sound's own, and loudness the target, none for none.
    static bool AskNameAndFormat(DocumentHost& host, const std::string& dialogTitle,
                                 const std::string& documentTitle, const std::string& kind,
                                 const std::string& key, const std::string& loudnessKey,
                                 SaveNameResult& result, std::optional<SampleFormat>& format,
                                 std::optional<double>& loudness, const std::string& note = {});

  private:
    std::string m_path;
    std::string m_typeName;
    int m_beginError = 0;  // errno of a Begin that failed, 0 for none
    SafeFileWriter m_output;
    std::unique_ptr<CSoundFile> m_pWriter;
    std::function<void(CWaveFile&)> m_waveSetup;
};
