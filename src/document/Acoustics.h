#pragma once

// What sound meets on its way from a source to the listener, as a document or a render
// chooses it. All off is the dry point in free field that every render gave before: the
// distance law and nothing else, heard at the moment it leaves.
struct Acoustics {
    bool bDoppler = false;  // each arrival delayed by its path over the speed of sound
    bool bAir = false;      // ISO 9613-1 absorption along each path

    bool IsDry() const { return !bDoppler && !bAir; }
    bool operator==(const Acoustics&) const = default;
};
