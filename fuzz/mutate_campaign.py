#!/usr/bin/env python3
"""Opens seeded mutants of the real recordings in tests/data/peer with `koru`.

Each mutant is a copy of one real EDF, BDF, GDF, WFDB or SCP-ECG file (a WFDB
record is copied whole and one of its files is mutated) with byte flips, a
truncation, or a header field set to 0, -1 or a huge value. SCP-ECG mutants get
their section CRCs and the file CRC recomputed, so they pass the CRC check and
reach the decoder. Every mutant is run through `koru info FILE` and
`koru cut FILE out.sig --from 0 --to 9` with a time limit; a run that ends by a
signal is a death, one past the limit a hang. Exit status 1 when there is any.

Usage: mutate_campaign.py KORU [--count N] [--seed S] [--formats gdf,scp,...]
                          [--timeout SECONDS] [--keep DIR] [--peer DIR]
The same seed and count make the same mutants. Python 3, standard library only.
"""
import argparse
import collections
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PEER = os.path.join(os.path.dirname(HERE), 'tests', 'data', 'peer')
FORMATS = ('edf', 'bdf', 'gdf', 'wfdb', 'scp')
HUGE32 = 0x7FFFFFFF


def sources(peer, formats):
    """(format, [files of one recording], index of the file to open)."""
    out = []
    for fmt in formats:
        if fmt == 'wfdb':
            folder = os.path.join(peer, 'wfdb-python-samples')
            for name in sorted(os.listdir(folder)):
                if not name.endswith('.hea'):
                    continue
                stem = name[:-4]
                files = [os.path.join(folder, f) for f in sorted(os.listdir(folder))
                         if f.split('.')[0] == stem.split('_skew')[0] or f == name
                         or f.startswith(stem + '.') or f.startswith(stem + '_')]
                files = sorted(set(files) | {os.path.join(folder, name)})
                out.append((fmt, files, files.index(os.path.join(folder, name))))
            continue
        folder = os.path.join(peer, fmt)
        for name in sorted(os.listdir(folder)):
            out.append((fmt, [os.path.join(folder, name)], 0))
    return out


def crc_ccitt(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    return crc


def fix_scp_crcs(d):
    """Recomputes each section's CRC (from its pointer in section 0) and the file's."""
    if len(d) < 22:
        return
    zero_len = struct.unpack_from('<I', d, 10)[0]
    sections = [(6, zero_len)]
    end = min(len(d), 6 + max(zero_len, 16))
    for at in range(22, end - 9, 10):
        _, length, index = struct.unpack_from('<HII', d, at)
        if length > 0 and index > 0:
            sections.append((index - 1, length))
    for start, length in sections[1:] + sections[:1]:  # section 0 last: it holds the others
        if length >= 16 and start + length <= len(d):
            struct.pack_into('<H', d, start, crc_ccitt(d[start + 2:start + length]))
    struct.pack_into('<H', d, 0, crc_ccitt(d[2:]))


def header_fields(fmt, d):
    """(offset, width, kind) of fields worth setting to 0, -1 or huge."""
    if fmt in ('edf', 'bdf'):
        fields = [(184, 8, 'text'), (236, 8, 'text'), (244, 8, 'text'), (252, 4, 'text')]
        try:
            ns = int(d[252:256].decode('ascii', 'replace').strip() or 0)
        except ValueError:
            ns = 0
        ns = max(0, min(ns, 64))
        for base, width in ((104, 8), (112, 8), (120, 8), (128, 8), (216, 8)):  # phys/dig, SPR
            for i in range(ns):
                fields.append((256 + ns * base + i * width, width, 'text'))
        return fields
    if fmt == 'gdf':
        fields = [(184, 2, 'int'), (236, 8, 'int'), (244, 4, 'int'), (248, 4, 'int'),
                  (252, 2, 'int')]
        ns = struct.unpack_from('<H', d, 252)[0] if len(d) > 254 else 0
        ns = min(ns, 64)
        for base, width in ((104, 8), (112, 8), (120, 8), (128, 8), (216, 4), (220, 4)):
            for i in range(ns):
                fields.append((256 + ns * base + i * width, width, 'int'))
        return fields
    if fmt == 'scp':
        fields = [(2, 4, 'int'), (10, 4, 'int')]
        end = min(len(d), 6 + max(struct.unpack_from('<I', d, 10)[0] if len(d) > 14 else 0, 16))
        for at in range(22, end - 9, 10):
            sid, length, index = struct.unpack_from('<HII', d, at)
            fields += [(at + 2, 4, 'int'), (at + 6, 4, 'int')]
            if length >= 16 and index > 0 and index - 1 + 32 <= len(d):
                start = index - 1 + 16
                fields += [(index - 1 + 4, 4, 'int')]
                fields += [(start + k, w, 'int') for k, w in ((0, 2), (2, 2), (4, 2), (6, 2),
                                                                (8, 4), (12, 4))]
        return fields
    return []


def set_field(d, at, width, kind, choice):
    if at + width > len(d):
        return
    if kind == 'text':
        text = {'0': '0', '-1': '-1', 'huge': '9' * width}[choice]
        d[at:at + width] = text.ljust(width)[:width].encode()
    else:
        value = {'0': 0, '-1': (1 << (8 * width)) - 1, 'huge': (1 << (8 * width - 1)) - 1}[choice]
        d[at:at + width] = value.to_bytes(width, 'little')


def mutate_wfdb_header(rng, text):
    words = text.split(' ')
    numbers = [i for i, w in enumerate(words) if any(c.isdigit() for c in w)]
    for _ in range(rng.randint(1, 3)):
        if numbers:
            i = rng.choice(numbers)
            words[i] = rng.choice(['0', '-1', '99999999999', '1/0', '16x', words[i] * 3])
    return ' '.join(words)


def mutate(rng, fmt, data, is_header_text):
    d = bytearray(data)
    how = rng.choice(['flip', 'truncate', 'field', 'field', 'flip'])
    if is_header_text and how != 'truncate':
        return mutate_wfdb_header(rng, d.decode('latin-1')).encode('latin-1'), 'field'
    if how == 'truncate' and len(d) > 1:
        del d[rng.randrange(1, len(d)):]
    elif how == 'field' and header_fields(fmt, d):
        for _ in range(rng.randint(1, 2)):
            at, width, kind = rng.choice(header_fields(fmt, d))
            set_field(d, at, width, kind, rng.choice(['0', '-1', 'huge']))
    else:
        how = 'flip'
        span = min(len(d), 4096 if rng.random() < 0.7 else len(d))
        for _ in range(rng.randint(1, 8)):
            if span:
                d[rng.randrange(span)] ^= 1 << rng.randrange(8)
    if fmt == 'scp':
        fix_scp_crcs(d)
    return bytes(d), how


def run(cmd, timeout):
    start = time.monotonic()
    try:
        p = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=timeout)
    except subprocess.TimeoutExpired:
        return 'hang', time.monotonic() - start
    if p.returncode < 0:
        return signal.Signals(-p.returncode).name, time.monotonic() - start
    return 'exit %d' % p.returncode, time.monotonic() - start


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('koru')
    ap.add_argument('--count', type=int, default=300)
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('--formats', default=','.join(FORMATS))
    ap.add_argument('--timeout', type=float, default=10)
    ap.add_argument('--keep', help='copy every mutant that died or hung here')
    ap.add_argument('--peer', default=PEER)
    args = ap.parse_args()
    formats = [f for f in args.formats.split(',') if f]
    pools = {f: sources(args.peer, [f]) for f in formats}
    rng = random.Random(args.seed)
    tally = collections.Counter()
    worst = 0.0
    bad = []
    with tempfile.TemporaryDirectory(prefix='koru-mutants-') as scratch:
        for n in range(args.count):
            # Each format as often as the others, however many files it has.
            pool = pools[formats[rng.randrange(len(formats))]]
            fmt, files, main_index = pool[rng.randrange(len(pool))]
            case = os.path.join(scratch, 'm%d' % n)
            os.mkdir(case)
            for f in files:
                shutil.copy(f, case)
            target = rng.randrange(len(files)) if fmt == 'wfdb' else 0
            path = os.path.join(case, os.path.basename(files[target]))
            with open(files[target], 'rb') as f:
                data, how = mutate(rng, fmt, f.read(), fmt == 'wfdb' and path.endswith('.hea'))
            with open(path, 'wb') as f:
                f.write(data)
            opened = os.path.join(case, os.path.basename(files[main_index]))
            for sub in (['info', opened],
                        ['cut', opened, os.path.join(case, 'out.sig'), '--from', '0', '--to', '9']):
                outcome, seconds = run([args.koru] + sub, args.timeout)
                worst = max(worst, seconds)
                tally[(fmt, outcome if not outcome.startswith('exit') else 'ok or refused')] += 1
                if not outcome.startswith('exit'):
                    bad.append((fmt, how, sub[0], outcome, files[target]))
                    if args.keep:
                        os.makedirs(args.keep, exist_ok=True)
                        shutil.copytree(case, os.path.join(args.keep, 'm%d_%s' % (n, sub[0])))
            shutil.rmtree(case)
    print('mutants: %d (seed %d, formats %s), runs: %d, slowest run %.1f s'
          % (args.count, args.seed, ','.join(formats), sum(tally.values()), worst))
    for (fmt, outcome), count in sorted(tally.items()):
        print('  %-5s %-16s %d' % (fmt, outcome, count))
    for fmt, how, sub, outcome, source in bad:
        print('  FAILED %s %s (%s of %s): %s' % (fmt, sub, how, os.path.basename(source), outcome))
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
