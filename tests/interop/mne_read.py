#!/usr/bin/env python3
"""Reads an EDF(+) or BDF(+) file with MNE and prints what it found in the
form edflib_read prints: signals with their unit and rate, annotations with
their onset in microseconds, and each frame's values in the file's own unit.
Exits with status 77 when MNE is not installed.

    mne_read.py FILE
"""
import sys

try:
    import mne
except ImportError:
    print("MNE (Debian python3-mne) is not installed", file=sys.stderr)
    sys.exit(77)

path = sys.argv[1]
read = mne.io.read_raw_bdf if path.lower().endswith(".bdf") else mne.io.read_raw_edf
raw = read(path, preload=True, verbose="error")
when = raw.info["meas_date"]
print("start", when.strftime("%Y-%m-%d %H:%M:%S") if when else "none")
units = getattr(raw, "_orig_units", {}) or {}
columns = []
for name in raw.ch_names:
    unit = units.get(name, "")
    # MNE holds volts; it gives them back in the file's unit where it knows it.
    wanted = {"uV": "uV", "µV": "uV", "mV": "mV", "V": "V"}.get(unit)
    columns.append(raw.get_data(picks=[name], units=wanted)[0] if wanted
                   else raw.get_data(picks=[name])[0])
    # MNE spells the header's "uV" with a micro sign.
    print("signal %s\t%s\t%.9g" % (name, "uV" if unit == "µV" else unit, raw.info["sfreq"]))
for a in raw.annotations:
    print("ann %d\t%s" % (round(a["onset"] * 1e6), a["description"]))
frames = len(columns[0]) if columns else 0
print("data", frames)
for f in range(frames):
    print(" ".join("%.9g" % c[f] for c in columns))
