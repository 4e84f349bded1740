#!/usr/bin/env python3
"""Rebuilds the bundled example recordings from the shared test data.

ptb_s0010_8lead.sig: PTB Diagnostic ECG Database record patient001/s0010_re,
leads I II III aVR aVL aVF V1 V2, 38,400 frames at 1 kHz, values
(ADC - baseline) / 2. See ATTRIBUTION.md.
"""
import struct
import sys

src = sys.argv[1] if len(sys.argv) > 1 else "../../shared/testdata/real/ptbdb/s0010_re_8lead.txt"
out = sys.argv[2] if len(sys.argv) > 2 else "ptb_s0010_8lead.sig"

with open(src, "rb") as f:
    lines = f.read().decode("ascii").splitlines()
channels = int(lines[0].split("Channels:")[1].split()[0])
interval = int(lines[0].split("Interval:")[1])
desc = b"PTB patient001/s0010_re: I II III aVR aVL aVF V1 V2 (1 kHz, ADC/2)"
header = struct.pack("<HI", channels, interval) + struct.pack("<16f", *([0.0] * 16))
header += desc.ljust(256, b"\0")
assert len(header) == 326
frames = bytearray()
for line in lines[3:]:
    vals = [int(v) for v in line.split()]
    if len(vals) != channels:
        continue
    frames += struct.pack("<%dh" % channels, *vals)
with open(out, "wb") as f:
    f.write(header + frames)
print(out, len(frames) // (2 * channels), "frames")
