#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class BinauralRenderer;
class CTesselDoc;
class PanPointList;
class UserPrompts;

// What the save-name prompt is asked: a save dialog with the two sound types.
struct SaveNameRequest {
    struct Filter {
        std::string name;     // "Windows Wave"
        std::string pattern;  // "*.WAV"
    };
    std::string title;  // window title, e.g. "Save As"
    std::vector<Filter> filters;
    int filterIndex = 1;       // preselected filter, from 1
    std::string proposedName;  // file name without its folder
    std::string startFolder;
    bool bHideReadOnly = true;
    bool bPathMustExist = true;
    // Set by a document's Save As: its own path may be chosen although it is open.
    bool bOwnDocument = false;
    std::string ownDocumentPath;
    // Why the dialog is shown instead of a plain Save ("take.wav cannot be written: ..."), or
    // for an export what its file will hold; or empty.
    std::string reason;
    // Lists to choose from under the name (an export's sample format, say), in order. A
    // choice with a key is remembered under it by the dialog, which then starts from the
    // remembered option instead of selected.
    struct Choice {
        std::string label;  // "Sample format:"
        std::vector<std::string> options;
        int selected = 0;  // from 0
        std::string key;
        // With a number, the last option stands for a value typed beside the list, from low
        // to high with one decimal, starting at value (the dialog remembers it beside the
        // option, under key + "Value").
        struct Number {
            double low = 0;
            double high = 0;
            double value = 0;
            std::string unit;  // "LUFS"
        };
        std::optional<Number> number = std::nullopt;
    };
    std::vector<Choice> choices;
};

// The two sound types of every save dialog, in the order the file types count them: WAV
// first, AIFF second.
inline const std::vector<SaveNameRequest::Filter> kSoundFileFilters = {{"Windows Wave", "*.WAV"},
                                                                       {"Macintosh AIFF", "*.AIF"}};

struct SaveNameResult {
    std::string fullPath;
    std::string title;    // name with extension
    int filterIndex = 1;  // chosen filter, from 1
    // The option taken of each of the request's choices, from 0, in order; a host that shows
    // no choices leaves it empty.
    std::vector<int> choices;
    // The value typed for each choice with a number, in the choices' order (anything for one
    // without); a host that shows no choices leaves it empty.
    std::vector<double> numbers;

    // The option taken of the request's choice index: the answer, else the request's own.
    int Chosen(const SaveNameRequest& request, size_t index) const {
        const int count = static_cast<int>(request.choices.at(index).options.size());
        return index < choices.size() && choices[index] >= 0 && choices[index] < count
                   ? choices[index]
                   : request.choices[index].selected;
    }
    // The value typed for the request's choice index, kept within its range; else the
    // request's own.
    double Number(const SaveNameRequest& request, size_t index) const {
        const SaveNameRequest::Choice::Number& number = request.choices.at(index).number.value();
        const double typed = index < numbers.size() ? numbers[index] : number.value;
        return typed >= number.low && typed <= number.high ? typed : number.value;
    }
};

// The application as a document and its flows see it: the user, the save dialog, the pan
// clipboard and the remembered folders. The editor's application object implements it;
// the command-line tool and the tests have their own. Folders end with their separator.
class DocumentHost {
  public:
    virtual ~DocumentHost() = default;

    // A render the user is not to see, whose messages the next one repeats (the measuring
    // render of a loudness target): while one is set, Prompts() are its prompts and what an
    // export measures goes to it.
    class QuietPass {
      public:
        virtual ~QuietPass() = default;
        virtual UserPrompts& Prompts() = 0;
        virtual void Measured(double lufs, double truePeak) = 0;
    };

    // The user as every flow reaches them: the host's own prompts, or the quiet pass's.
    UserPrompts& Prompts() {
        return m_pQuietPass != nullptr ? m_pQuietPass->Prompts() : OwnPrompts();
    }
    // Sets the pass under way, or none; the pass outlives its setting.
    void SetQuietPass(QuietPass* pass) { m_pQuietPass = pass; }
    // Shows the save dialog; false when the user cancelled.
    virtual bool AskSaveName(const SaveNameRequest& request, SaveNameResult& result) = 0;
    // Whether a document with this absolute path is open in the program.
    virtual bool IsDocumentOpen(const std::string& fullPath) const = 0;

    // The program's one pan clipboard (a PanClipboard), owned by the host, or none. Setting
    // it destroys the previous one. (Undo histories belong to their documents.)
    virtual PanPointList* GetPanClipboard() const = 0;
    virtual void SetPanClipboard(std::unique_ptr<PanPointList> clipboard) = 0;
    // The two "Paste Options..." questions; the answer is the chosen button's PasteOptionId.
    // caretVariant: the clipboard would run past the end of the sound from the caret.
    virtual int AskPasteMerge() = 0;
    virtual int AskPasteSize(bool caretVariant) = 0;

    virtual std::string GetSaveFolder() const = 0;
    virtual void SetSaveFolder(const std::string& folder) = 0;
    virtual void SetOpenFolder(const std::string& folder) = 0;

    // The folder the export dialog starts in, remembered after each export.
    virtual std::string GetExportFolder() const = 0;
    virtual void SetExportFolder(const std::string& folder) = 0;

    // A renderer for the binaural export with the host's HRTF choice, or none when there is
    // none to be had. The caller owns it. (The renderer is the exports' type: declared only.)
    virtual std::unique_ptr<BinauralRenderer> MakeBinauralRenderer() = 0;

    // Whether sounds are shown: a host without views (the command-line tool) spares the
    // document its waveform overview, a pass over every sample at open.
    virtual bool ShowsViews() const { return true; }
    // Whether a file the native open refuses is offered for import instead (the editor), or
    // just refused (the command-line tool, whose import is a command of its own).
    virtual bool OffersImport() const { return false; }
    // An export put path in place and measured it: integrated loudness in LUFS, true peak in
    // dBTP (-infinity for silence). The command-line tool reports it; the editor's status line
    // already says it.
    virtual void ExportMeasured(const std::string& path, double lufs, double truePeak) {
        (void)path, (void)lufs, (void)truePeak;
    }
    // What an export measured, to the quiet pass under way, else to ExportMeasured.
    void TellMeasured(const std::string& path, double lufs, double truePeak) {
        if (m_pQuietPass != nullptr) {
            m_pQuietPass->Measured(lufs, truePeak);
        } else {
            ExportMeasured(path, lufs, truePeak);
        }
    }

  protected:
    // The host's own way to the user.
    virtual UserPrompts& OwnPrompts() = 0;

  private:
    QuietPass* m_pQuietPass = nullptr;
};
