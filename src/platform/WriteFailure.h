#pragma once

#include <string>

// Why writing a file failed, in words for the line under a failure's message: the folder it
// was to go into and what the system said, as a user can act on it ("The disk holding /music
// is full.", "The folder /music/out does not exist.").
namespace WriteFailure {

// error is the errno of the failing call (0 when there was none to say); path the file that
// was being written, or its temp file beside it.
std::string Reason(int error, const std::string& path);

}  // namespace WriteFailure
