#pragma once

#include <string>

// The modeless progress window of a long job, shown from its creation until the object is
// destroyed (destruction hands the user's input back to the application). Positions are in
// the caller's range, 0 .. 100 unless SetRange says otherwise. The caller owns the object.
class ProgressIndicator {
  public:
    virtual ~ProgressIndicator() = default;

    virtual void SetRange(int lower, int upper) = 0;
    // Moves the bar; returns the position it had before.
    virtual int SetPos(int pos) = 0;
    // The one status line under the bar.
    virtual void SetStatus(const std::string& text) = 0;
    // The time done of the whole ("0:03 of 0:05"), beside the status line; a window without
    // room for it ignores it.
    virtual void SetTime(const std::string&) {}
    // Whether Cancel was pressed since the last call; reading clears it.
    virtual bool CheckCancelButton() = 0;
};
