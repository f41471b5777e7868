#pragma once

#include <string>

#include "formats/PcmFormat.h"

class CFile;

// Why a sound file cannot be opened natively, in words for the line under the refusal's
// message: "24-bit samples are not supported; Sonomap edits 8- and 16-bit PCM", "the file
// holds no 'fmt ' chunk", "not a WAV or AIFF file". Plain reading of the file's chunks, apart
// from the readers, so it names what they only refuse. Nothing here shows anything.
namespace OpenRefusal {

// Neither reader accepts the file, or it holds no sample data. Reads file from its start
// and leaves its position anywhere; a read error reads as "not a WAV or AIFF file".
std::string WhyNotASound(CFile& file);
// The format check refuses format: the first of width, channels and rate that fails.
std::string WhyNotEditable(const PcmFormat& format);
// What an RF64 or BW64 file's 64-bit sizes say against the file: no "ds64" chunk, one too
// short for its sizes, or a data size past the end of the file. Empty when they agree, and for
// any other file. Reads file from its start and leaves its position anywhere; throws
// CFileException when a read fails.
std::string WhyNotLargeForm(CFile& file);
// "Sonomap cannot open PATH: REASON."
std::string Line(const std::string& path, const std::string& reason);

}  // namespace OpenRefusal
