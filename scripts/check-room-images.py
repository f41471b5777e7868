#!/usr/bin/env python3
"""Holds Sonomap's image sources against pyroomacoustics' image-source model, as a check from
outside the project (the project's own tests never need it).

A click placed at azimuth 40, elevation 10, 2 m from the listener at (2.2, 1.7, 1.4) in a room of
6 x 4 x 3 m, order 2, no tail, rendered by `sonomap-cli render --ambix --sample-format f32 --doppler`
(so every path is heard at its own length over the speed of sound). Each arrival of order <= 2
that stands clear of the others is found in the W channel: its time (the centroid of its energy)
must lie within 1 frame of pyroomacoustics' image distance / c, and its level (the root of its
energy) within 1 dB of the distance law times the walls' sqrt(1 - a) (pyroomacoustics' damping).
At order 1, where all six stand clear, the first-order reflections must come from their images'
directions within 5 degrees (measured on X, Y, Z), and with absorption 0.1 on x = 0 and 0.9 on
x = W exactly the reflections off those walls change, by what pyroomacoustics says.

Needs pyroomacoustics with its libroom built (see README, "Checking rooms against
pyroomacoustics"). Usage: scripts/check-room-images.py BUILD_DIR [WORK_DIR]
"""
import math
import os
import subprocess
import sys
import tempfile

import numpy as np
import pyroomacoustics as pra
from scipy.io import wavfile

RATE = 48000
C = 343.0
ROOM = (6.0, 4.0, 3.0)
LISTENER = (2.2, 1.7, 1.4)
AZ, EL, DIST = 40.0, 10.0, 2.0
CLICK = 4800  # the frame the click leaves at
WALLS = ["west", "east", "south", "north", "floor", "ceiling"]  # x=0, x=W, y=0, y=D, z=0, z=H


def source_position():
    a, e = math.radians(AZ), math.radians(EL)
    return np.array(LISTENER) + DIST * np.array(
        [math.sin(a) * math.cos(e), math.cos(a) * math.cos(e), math.sin(e)])


def reference(absorption, order=2):
    room = pra.ShoeBox(ROOM, fs=RATE, max_order=order,
                       materials={w: pra.Material(a) for w, a in zip(WALLS, absorption)},
                       air_absorption=False)
    room.add_source(source_position())
    room.add_microphone(np.array(LISTENER))
    room.image_source_model()
    src = room.sources[0]
    images = []
    for i in range(src.images.shape[1]):
        pos = src.images[:, i]
        v = pos - np.array(LISTENER)
        d = float(np.linalg.norm(v))
        images.append({"order": int(src.orders[i]), "distance": d,
                       "damping": float(src.damping[0, i]),
                       "azimuth": math.degrees(math.atan2(v[0], v[1])),
                       "elevation": math.degrees(math.asin(v[2] / d)),
                       "walls": src.walls[i] if hasattr(src, "walls") else -1})
    return images


def render(cli, work, absorption, order=2):
    click = np.zeros(RATE, dtype=np.float32)
    click[CLICK] = 1.0
    source = os.path.join(work, "click.wav")
    wavfile.write(source, RATE, click)
    subprocess.run([cli, "set-points", source, "--points", f"0:{AZ:g}:{EL:g}:{DIST:g}"],
                   check=True, capture_output=True)
    out = os.path.join(work, "room.wav")
    subprocess.run([cli, "render", source, "-o", out, "--ambix", "--sample-format", "f32",
                    "--doppler", "--room", ",".join(f"{v:g}" for v in ROOM),
                    "--listener-at", ",".join(f"{v:g}" for v in LISTENER),
                    "--absorption", ",".join(f"{a:g}" for a in absorption),
                    "--reflections", str(order), "--room-tail", "off"],
                   check=True, capture_output=True)
    rate, x = wavfile.read(out)
    assert rate == RATE
    return x.astype(np.float64)


def law(d):
    return 1.0 / max(d, 0.25)


def measure(ambix, images, reach=6):
    """The isolated arrivals: time, level, direction, against the reference."""
    rows = []
    times = [CLICK + im["distance"] / C * RATE for im in images]
    for im, t in zip(images, times):
        if any(abs(t - u) < 2 * reach for u in times if u is not t):
            continue
        lo, hi = int(t) - reach, int(t) + reach + 1
        w = ambix[lo:hi, 0]
        energy = float(np.sum(w * w))
        centroid = lo + float(np.sum(np.arange(len(w)) * w * w)) / energy
        level = math.sqrt(energy)
        want = im["damping"] * law(im["distance"])
        # AmbiX: W, Y (left), Z, X (ahead); its azimuth is positive to the left.
        y, z, x = (float(np.sum(w * ambix[lo:hi, k])) for k in (1, 2, 3))
        azimuth = -math.degrees(math.atan2(y, x))
        elevation = math.degrees(math.atan2(z, math.hypot(x, y)))
        rows.append((im, t, centroid, level, want, azimuth, elevation))
    return rows


def angle_between(a1, e1, a2, e2):
    def vec(a, e):
        a, e = math.radians(a), math.radians(e)
        return np.array([math.sin(a) * math.cos(e), math.cos(a) * math.cos(e), math.sin(e)])
    return math.degrees(math.acos(max(-1.0, min(1.0, float(np.dot(vec(a1, e1), vec(a2, e2)))))))


def check(cli, work, absorption, label, order=2):
    images = reference(absorption, order)
    rows = measure(render(cli, work, absorption, order), images)
    failures = 0
    print(f"{label}, order {order}: {len(images)} images, {len(rows)} stand clear of the others")
    print("order  distance  time (ref / heard) frames   level dB (ref / heard)   direction error")
    for im, t, centroid, level, want, az, el in rows:
        dt = centroid - t
        ddb = 20 * math.log10(level / want)
        err = angle_between(az, el, im["azimuth"], im["elevation"]) if im["order"] <= 1 else float("nan")
        bad = abs(dt) > 1.0 or abs(ddb) > 1.0 or (im["order"] == 1 and err > 5.0)
        failures += bad
        print(f"{im['order']:5d}  {im['distance']:7.3f} m  {t:9.2f} / {centroid:9.2f}  "
              f"{20 * math.log10(want):+7.2f} / {20 * math.log10(level):+7.2f}   "
              f"{err:5.2f} deg{'   <-- off' if bad else ''}")
    firsts = [r for r in rows if r[0]["order"] == 1]
    if order == 1 and len(firsts) != 6:
        print(f"only {len(firsts)} of the six first-order reflections stand clear")
        failures += 1
    return rows, failures


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    cli = os.path.join(sys.argv[1], "src", "cli", "sonomap-cli")
    work = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="room-check-")
    os.makedirs(work, exist_ok=True)
    _, f0 = check(cli, work, [0.3] * 6, "absorption 0.3 on every wall")
    # At order 2 two first-order reflections meet second-order ones within a few frames; at
    # order 1 all six stand clear, for their directions and the walls' own absorption.
    even, f1 = check(cli, work, [0.3] * 6, "absorption 0.3 on every wall", 1)
    uneven, f2 = check(cli, work, [0.1, 0.9, 0.3, 0.3, 0.3, 0.3], "0.1 on x = 0, 0.9 on x = W", 1)
    # Exactly the reflections off x = 0 and x = W change, each by its walls.
    failures = f0 + f1 + f2
    print("change of level from the first run to the second, first order:")
    for a, b in zip(even, uneven):
        if a[0]["order"] != 1:
            continue
        heard = 20 * math.log10(b[3] / a[3])
        want = 20 * math.log10(b[4] / a[4])
        bad = abs(heard - want) > 0.2
        failures += bad
        print(f"  image at az {a[0]['azimuth']:7.2f} el {a[0]['elevation']:6.2f}: heard "
              f"{heard:+6.2f} dB, pyroomacoustics {want:+6.2f} dB{'   <-- off' if bad else ''}")
    print("all within their bounds" if failures == 0 else f"{failures} outside their bounds")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
