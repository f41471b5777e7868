#!/usr/bin/python3
"""Writes the SOFA sets the SOFA renderer's tests read, into the folder given.

Each set holds, for every measured direction, a pure delay and a gain per ear that
depend on the direction (nearer ear earlier and louder, a level that changes front
to back and with elevation), so a render tells which file and which direction it came
from. The faulty sets each break one thing a renderer needs.
"""
import math
import sys

import netCDF4
import numpy as np

AZIMUTH_STEP = 15
ELEVATIONS = (-90, -60, -30, 0, 30, 60, 90)


def directions(small=False):
    """SOFA spherical positions: azimuth to the left, elevation up, degrees. The small grid is
    the six axes and the eight corners between them."""
    if small:
        axes = [(0.0, 0.0), (90.0, 0.0), (180.0, 0.0), (270.0, 0.0), (0.0, 90.0), (0.0, -90.0)]
        return axes + [(float(az), float(el)) for az in (45, 135, 225, 315) for el in (-35, 35)]
    out = []
    for el in ELEVATIONS:
        if abs(el) == 90:
            out.append((0.0, float(el)))
            continue
        for az in range(0, 360, AZIMUTH_STEP):
            out.append((float(az), float(el)))
    return out


def impulses(rate, taps, positions):
    """One delayed, scaled impulse per direction and ear, at the set's rate (at the last tap
    where the delay would reach past the response)."""
    ir = np.zeros((len(positions), 2, taps))
    for m, (az, el) in enumerate(positions):
        a, e = math.radians(az), math.radians(el)
        x, y = math.cos(e) * math.cos(a), math.cos(e) * math.sin(a)
        front = 1.0 + 0.3 * x + 0.2 * math.sin(e)
        for ear, side in ((0, 1.0), (1, -1.0)):  # receiver 0 is the left ear
            seconds = 0.0015 - 0.0006 * side * y
            at = min(int(round(seconds * rate)), taps - 1)
            ir[m, ear, at] = 0.5 * front * (1.0 + 0.6 * side * y)
    return ir


def write(path, rate=48000.0, cartesian=False, conventions="SOFA",
          sofa_conventions="SimpleFreeFieldHRIR", receivers=2, measurements=None,
          rates=None, taps=None, delay=0.0, source_units=None, receiver_units="metre",
          shape="impulse", small=False):
    positions = directions(small)
    nominal = rate if 0 < rate <= 384000 else 48000.0
    if taps is None:
        taps = int(round(0.004 * nominal))
    ir = impulses(nominal, taps, positions)
    if shape == "silent":
        ir[:] = 0.0
    elif shape == "nyquist":  # all of it near half the set's rate, windowed to stay there
        ir[:, :, :] = 0.5 * (-1.0) ** np.arange(taps) * np.hanning(taps)
    if measurements is not None:
        positions, ir = positions[:measurements], ir[:measurements]
    ir = ir[:, :receivers, :]
    d = netCDF4.Dataset(path, "w", format="NETCDF4")
    d.Conventions = conventions
    d.Version = "1.0"
    d.SOFAConventions = sofa_conventions
    d.SOFAConventionsVersion = "1.0"
    d.APIName = "Sonomap tests"
    d.APIVersion = "1.0"
    d.DataType = "FIR"
    d.RoomType = "free field"
    d.Title = "Sonomap test set"
    d.DateCreated = d.DateModified = "2024-01-01 00:00:00"
    d.AuthorContact = d.Organization = d.License = ""
    m = len(positions)
    for name, size in (("I", 1), ("C", 3), ("R", receivers), ("E", 1), ("N", taps), ("M", m)):
        d.createDimension(name, size)

    def variable(name, dims, values, **attributes):
        v = d.createVariable(name, "f8", dims)
        for key, value in attributes.items():
            setattr(v, key, value)
        v[:] = values

    variable("ListenerPosition", ("I", "C"), [[0, 0, 0]], Type="cartesian", Units="metre")
    ears = [[[0], [0.09], [0]], [[0], [-0.09], [0]]][:receivers]
    variable("ReceiverPosition", ("R", "C", "I"), ears, Type="cartesian", Units=receiver_units)
    variable("EmitterPosition", ("E", "C", "I"), [[[0], [0], [0]]], Type="cartesian",
             Units="metre")
    variable("ListenerUp", ("I", "C"), [[0, 0, 1]], Type="cartesian", Units="metre")
    variable("ListenerView", ("I", "C"), [[1, 0, 0]], Type="cartesian", Units="metre")
    if cartesian:
        xyz = [[1.2 * math.cos(math.radians(el)) * math.cos(math.radians(az)),
                1.2 * math.cos(math.radians(el)) * math.sin(math.radians(az)),
                1.2 * math.sin(math.radians(el))] for az, el in positions]
        variable("SourcePosition", ("M", "C"), np.array(xyz).reshape(m, 3), Type="cartesian",
                 Units=source_units or "metre")
    else:
        sph = [[az, el, 1.2] for az, el in positions]
        variable("SourcePosition", ("M", "C"), np.array(sph).reshape(m, 3), Type="spherical",
                 Units=source_units or "degree, degree, metre")
    variable("Data.IR", ("M", "R", "N"), ir)
    if rates is None:
        variable("Data.SamplingRate", ("I",), [rate], Units="hertz")
    else:
        variable("Data.SamplingRate", ("M",), rates[:m], Units="hertz")
    variable("Data.Delay", ("I", "R"), [[delay] * receivers])
    d.close()


def main():
    """make_sofa.py FOLDER [small]: the tests' sets, or with "small" the fuzzer's seeds."""
    out = sys.argv[1]
    if len(sys.argv) > 2 and sys.argv[2] == "small":
        # Seeds for the fuzzer, which reads at most 64 KiB of a file.
        write(f"{out}/small-48000.sofa", taps=16, small=True)
        write(f"{out}/small-cartesian.sofa", taps=8, cartesian=True, small=True)
        write(f"{out}/small-taps-1.sofa", taps=1, rate=8000.0, small=True)
        write(f"{out}/small-one-ear.sofa", taps=8, receivers=1, small=True)
        write(f"{out}/small-furlong.sofa", taps=8, source_units="furlong", small=True)
        write(f"{out}/small-delay.sofa", taps=8, delay=1.0e9, small=True)
        return
    for rate in (8000, 44100, 48000, 96000):
        write(f"{out}/grid-{rate}.sofa", rate=float(rate))
    write(f"{out}/cartesian-48000.sofa", rate=48000.0, cartesian=True)
    write(f"{out}/netcdf-not-sofa.sofa", conventions="CF-1.8")
    write(f"{out}/general-fir.sofa", sofa_conventions="GeneralFIR")
    write(f"{out}/one-ear.sofa", receivers=1)
    write(f"{out}/no-measurements.sofa", measurements=0)
    write(f"{out}/rate-zero.sofa", rate=0.0)
    write(f"{out}/rate-huge.sofa", rate=1.0e9)
    count = len(directions())
    write(f"{out}/rate-per-measurement.sofa", rates=[48000.0 if i % 2 else 44100.0
                                                      for i in range(count)])
    # Short responses, which a change of rate must keep whole.
    write(f"{out}/taps-128-48000.sofa", taps=128)
    write(f"{out}/taps-1-48000.sofa", taps=1)
    # Files that must be refused for what they hold.
    write(f"{out}/units-furlong.sofa", source_units="furlong")
    write(f"{out}/units-receivers.sofa", receiver_units="banana, kelvin, parsec")
    write(f"{out}/delay-1e9.sofa", delay=1.0e9)
    write(f"{out}/delay-4e9.sofa", delay=4.0e9)
    write(f"{out}/silent.sofa", shape="silent")
    write(f"{out}/nyquist-48000.sofa", shape="nyquist")


if __name__ == "__main__":
    main()
