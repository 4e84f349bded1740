#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into fuzz/corpus/<target>/.

Real recordings are cut to a few KB; the rest are small generated files.
Inputs of targets that split their bytes with libFuzzer's FuzzedDataProvider
are laid out the way it reads them: strings from the front (a backslash
followed by another character ends one), integers from the back.

Usage: make_corpus.py [TESTDATA_DIR]   (default: ../shared/testdata/real
beside the repository)
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
DATA = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, '..', 'shared', 'testdata', 'real')
EXAMPLE = os.path.join(TOP, 'examples', 'ptb_s0010_8lead.sig')


def read(*parts):
    with open(os.path.join(DATA, *parts), 'rb') as f:
        return f.read()


def put(target, name, data):
    d = os.path.join(HERE, 'corpus', target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), 'wb') as f:
        f.write(data if isinstance(data, bytes) else data.encode('latin-1'))


class Provider:
    """Builds an input for FuzzedDataProvider: front strings, back integers."""

    def __init__(self):
        self.front = b''
        self.back = b''  # the first integer consumed is at the very end

    def string(self, s):
        if isinstance(s, str):
            s = s.encode('latin-1')
        self.front += s.replace(b'\\', b'\\\\') + b'\\ '

    def raw(self, b):
        self.front += b

    def integer(self, lo, hi, value):
        span, r, n = hi - lo, value - lo, 0
        while n < 8 and (span >> (8 * n)) > 0:
            n += 1
        self.back = r.to_bytes(n, 'little') + self.back if n else self.back

    def boolean(self, b):
        self.integer(0, 255, 1 if b else 0)

    def bytes(self):
        return self.front + self.back


def sig_header(channels, interval, description=b'', scales=None):
    scales = scales or [0.0] * 16
    h = struct.pack('<HI', channels, interval) + struct.pack('<16f', *scales)
    return h + description[:256].ljust(256, b'\0')


# --- recordings
example = open(EXAMPLE, 'rb').read()
ptb12 = read('ptbdb', 's0010_re.dat')  # 12 leads, 16-bit little-endian
mit = read('mitdb', '100.dat')  # format 212, packed

put('sig_open', 'ptb_8lead_100_frames.sig', example[:326 + 16 * 100])
put('sig_open', 'ptb_12lead.sig', sig_header(12, 1000, b'PTB s0010_re, 12 leads') + ptb12[:24 * 60])
put('sig_open', 'ptb_3lead_odd_tail.sig', sig_header(3, 1000, b'three leads') + ptb12[:6 * 50 + 3])
put('sig_open', 'one_channel_cp1252.sig', sig_header(1, 250, b'Mess\xe9 \x80 \xc3') + ptb12[:400])
put('sig_open', 'sixteen_channels.sig', sig_header(16, 2778, b'x' * 256) + ptb12[:32 * 20])
put('sig_open', 'header_only.sig', example[:326])
put('sig_open', 'short_header.sig', example[:200])
put('sig_open', 'seventeen_channels.sig', sig_header(17, 1000) + ptb12[:200])
put('sig_open', 'zero_interval.sig', sig_header(8, 0) + ptb12[:200])

for name, kind, channels, data in [('mitdb_100_212.bin', 0, 2, mit[:1500]),
                                   ('ptb_12lead.dat', 1, 12, ptb12[:2400]),
                                   ('ptb_3lead.nib', 2, 3, ptb12[:600]),
                                   ('negative_channels.bin', 0, -2, ptb12[:100]),
                                   ('empty.dat', 1, 8, b'')]:
    p = Provider()
    p.integer(0, 2, kind)
    p.integer(-2, 12, channels)
    p.boolean(True)
    p.integer(-2**31, 2**31 - 1, 2778 if channels > 0 else -5)
    p.raw(b'\x03\x40\xff\x00')  # run lengths
    p.raw(data)
    put('raw_open', name, p.bytes())

# --- marker files: the first beats of MIT-BIH record 100 from its annotations
atr = read('mitdb', '100.atr')
beats, t, i = [], 0, 0
while i + 1 < len(atr):
    w = atr[i] | atr[i + 1] << 8
    i += 2
    code, inc = w >> 10, w & 0x3FF
    if w == 0:
        break
    if code == 59:
        t += (atr[i + 2] | atr[i + 3] << 8) << 16 | (atr[i] | atr[i + 1] << 8)
        i += 4
    elif code == 63:
        i += inc + (inc & 1)
    elif code < 50:
        t += inc
        beats.append(t)
for name, count, text in [
        ('mitdb_100_beats.mrk', 650000, ''.join('%d\r\n' % b for b in beats[:300])),
        ('past_the_end.mrk', 1000, '10\n500\n999\n1000\n1001\n2\n'),
        ('signs_and_junk.mrk', 50, ' -5\t+7\n\n-2147483648 x 9'),
        ('full_list.mrk', 100000, ''.join('%d\n' % (k % 10) for k in range(2100))),
        ('huge_number.mrk', 2147483647, '1\n99999999999999999999999\n3\n')]:
    p = Provider()
    p.boolean(False)
    p.integer(0, 100000, min(count, 100000))
    p.integer(1, 100, 7)
    p.raw(text.encode())
    put('marker_read', name, p.bytes())

# --- settings files
current = ('[SYSTEM]\r\nVERSION=95.400\r\nBACKGROUND=0,0,64\r\nTEXT=255,255,0\r\n'
           'SIGPATH=/data/ecg/\r\nDOTS=1\r\nMARKERS=0\r\nNAMES=1\r\nPRINTFRAME=0\r\n'
           'FILEMODE=1\r\nTIME HACKS=1\r\nTIME RESOLUTION=1\r\n\r\n'
           '[DEFAULT CONFIGURATION]\r\nCHAN1=1,1,9,5,0\r\nCHAN2=2,2,10,5,1\r\n'
           'CHAN3=3,3,11,5,0\r\nCHAN4=4,4,12,5,0\r\nCHAN5=15,5,13,5,0\r\nCHAN6=16,6,9,5,0\r\n'
           'CHAN7=14,7,14,5,0\r\nCHAN8=14,8,14,5,0\r\n\r\n'
           '[LEAD NAMES]\r\nLEAD1=I\r\nLEAD13=Atrial-Bi\r\nLEAD19=A very long lead name\r\n\r\n'
           '[COLORS]\r\nCOLOR9=Sky=0,128,255\r\nCOLOR3==300,-1\r\n')
old = ('; written by an old version\r\n[SYSTEM]\r\nDOTS=0\r\n[DEFAULT CONFIGURATION]\r\n'
       'CHAN1=1,1,9,5\r\nCHAN2=1,1,9,5\r\nchan3 = "3,2,10,5"\r\nCHAN5=13,4,12,5\r\n')
odd = ('\xef\xbb\xbf[system]\nversion\n[SYSTEM]\nVERSION=95.400\n[ DEFAULT CONFIGURATION ]\n'
       'CHAN1=99,-3,40,-20,7\nCHAN2=,,\nCHAN4=2147483647,0,16,1000000,1\n[LEAD NAMES]\nLEAD25=x\n'
       '[COLORS]\nCOLOR15\nCOLOR0=\'Ink\'=1,2,3\x1a\n')
broken = '[SYSTEM\r\nVERSION=ERROR\r\n[]\r\n=\r\n[DEFAULT CONFIGURATION]\rCHAN1=1\r\n\0CHAN2=2'
old_cfg = ''.join('%d %d %d %d\r\n' % (c + 1, c + 1, 9 + c, 5) for c in range(8))

for name, text, cfg in [('current.ini', current, None), ('old_with_cfg.ini', old, old_cfg),
                        ('odd.ini', odd, '1 2 3\x1a'), ('broken.ini', broken, None),
                        ('empty.ini', '', old_cfg)]:
    p = Provider()
    p.boolean(cfg is not None)
    if cfg is not None:
        p.string(cfg)
    p.raw(text.encode('latin-1'))
    put('settings', name, p.bytes())

for name, section, key, value, other_same, other_key, text in [
        ('replace.ini', 'SYSTEM', 'DOTS', '0', True, 'MARKERS', current),
        ('new_section.ini', 'NEW', 'KEY', '  "quoted"  ', False, 'VERSION', current),
        ('add_to_old.ini', 'default configuration', 'CHAN8', '16,7,14,5,0', True, 'chan1', old),
        ('bom_and_dupes.ini', 'SYSTEM', 'version', '95.400', False, 'x', odd),
        ('bad_key.ini', 'SYSTEM', '[KEY', 'v', True, 'DOTS', current),
        ('empty_file.ini', 'S', 'K', "'", True, 'K', '')]:
    p = Provider()
    p.string(section)
    p.string(key)
    p.string(value)
    p.boolean(other_same)
    if not other_same:
        p.string('SYSTEM')
    p.string(other_key)
    p.raw(text.encode('latin-1'))
    put('profile', name, p.bytes())

# --- configuration files
put('cfg_read', 'ptb_8lead.cfg', open(os.path.join(TOP, 'examples', 'ptb_s0010_8lead.cfg'), 'rb').read())
put('cfg_read', 'old_four_numbers.cfg', old_cfg)
put('cfg_read', 'old_with_eof_mark.cfg', old_cfg + '\x1a\r\n')
put('cfg_read', 'stops_early.cfg', '1 2 3 4 5\r\n6 7 x 9\r\n')
put('cfg_read', 'signs_and_range.cfg', '-1 +2 99999999999 -99999999999 - 5 ' * 8)

# --- text sample files
txt = read('ptbdb', 's0010_re_8lead.txt')
lines = txt.split(b'\r\n')
put('text_convert', 'ptb_8lead_60_frames.txt', b'\x10' + b'\r\n'.join(lines[:63]) + b'\r\n')
put('text_convert', 'ptb_lf_ends.txt', b'\x01' + b'\n'.join(lines[:20]) + b'\n')
put('text_convert', 'stops_at_word.txt',
    b'\x05Number of Channels: 2  Interval:500\r\nScale: -.5 1e3 nan\r\nd\r\n 1 2\r\n 3 oops 4\r\n')
put('text_convert', 'out_of_range.txt', b'\x02Channels 1 Interval 1\r\nScale:\r\n\r\n5\r\n40000\r\n')
put('text_convert', 'zero_interval.txt', b'\x02Channels 3 Interval 0\r\n')
put('text_convert', 'seventeen_channels.txt', b'\x02Channels 17 Interval 9\r\n')

# --- painting: scene numbers, settings, markers, recording
def scene(p, w, h, tb, strip, actions):
    p.integer(1, 260, w)
    p.integer(1, 260, h)
    p.integer(-1, 7, tb)
    l, t, r, b = strip
    p.integer(0, w - 1, l)
    p.integer(0, h - 1, t)
    p.integer(l + 1, w, r)
    p.integer(t + 1, h, b)
    p.integer(0, 6, len(actions))
    for a in actions:
        p.integer(0, 4, a[0])
        for v in a[1:]:
            p.integer(-300, 5000, v)


out_of_range = ('[SYSTEM]\r\nVERSION=95.400\r\nFILEMODE=0\r\n[DEFAULT CONFIGURATION]\r\n'
                'CHAN1=25,1,9,5,1\r\nCHAN2=2,9,10,5,0\r\nCHAN3=3,3,16,5,0\r\nCHAN4=4,4,-1,50,1\r\n'
                'CHAN5=-7,5,13,-5,0\r\nCHAN6=16,0,9,5,0\r\nCHAN7=14,7,14,2147483647,1\r\n'
                'CHAN8=14,-8,14,5,0\r\n[COLORS]\r\nCOLOR13=Bright=255,255,255\r\n')
for name, w, h, tb, strip, actions, ini, marks, rec in [
        ('ptb_default_look', 200, 180, 4, (37, 0, 53, 180),
         [(0, 30, 40, 1, 0), (0, 150, 40, 1, 0), (1, 20, 30, 120, 90)], '', '5\n60\n300\n',
         example[:326 + 16 * 300]),
        ('out_of_range_config', 160, 250, 0, (0, 90, 160, 120),
         [(3, 2, 1, 0, 0), (0, 10, 10, 1, 0), (2, 1, 0, 0, 0)], out_of_range, '1\n2\n',
         example[:326 + 16 * 200]),
        ('old_settings_one_channel', 100, 100, 6, (99, 0, 100, 100),
         [(4, 1, 3, 0, 0), (1, 5, 5, 5, 90)], old, '',
         sig_header(1, 1000) + ptb12[:800]),
        ('twelve_channels_scrolled', 240, 120, 2, (201, 7, 240, 45),
         [(3, 40, 2, 0, 0), (0, 5, 0, 1, 0), (0, 230, 0, 1, 0), (2, 0, 0, 0, 0)], current,
         '0\n', sig_header(12, 1000) + ptb12[:24 * 150])]:
    p = Provider()
    scene(p, w, h, tb, strip, actions)
    p.string(ini)
    p.string(marks)
    p.raw(rec)
    put('paint', name, p.bytes())


# ---- foreign_open: byte 0 chooses EDF, BDF or WFDB; a WFDB input then gives
# the lengths of the header, the annotations and a segment header seg.hea
# (two bytes each), and the rest is the data file rec.dat.

def edf_field(value, width):
    s = str(value).encode()
    assert len(s) <= width, (s, width)
    return s.ljust(width, b' ')


def edf_file(signals, records, duration, bdf=False, plus=False):
    f = edf_field
    h = (b'\xffBIOSEMI' if bdf else f('0', 8)) + f('X X X X', 80) + f('Startdate X X X X', 80)
    h += f('01.01.26', 8) + f('00.00.00', 8) + f(256 * (len(signals) + 1), 8)
    h += f('24BIT' if bdf else ('EDF+C' if plus else ''), 44)
    h += f(records, 8) + f(duration, 8) + f(len(signals), 4)
    for key, width in [('label', 16), ('tr', 80), ('dim', 8), ('pmin', 8), ('pmax', 8),
                       ('dmin', 8), ('dmax', 8), ('pf', 80), ('spr', 8), ('res', 32)]:
        for s in signals:
            h += f(s.get(key, ''), width)
    body = b''
    for r in range(records):
        for s in signals:
            if s['label'] == 'EDF Annotations':
                text = ('+%d\x14\x14\x00+%d.5\x14beat\x14\x00' % (r * duration, r * duration))
                body += text.encode().ljust(s['spr'] * 2, b'\x00')
                continue
            for i in range(s['spr']):
                v = (r * 37 + i * 11) % 400 - 200
                body += struct.pack('<i', v * 1000)[:3] if bdf else struct.pack('<h', v)
    return h + body


def edf_signal(label, spr, dmin=-2048, dmax=2047, pmin=-5, pmax=5):
    return dict(label=label, dim='mV', pmin=pmin, pmax=pmax, dmin=dmin, dmax=dmax, spr=spr)


def wfdb_input(hea, atr, dat, seg=b''):
    return b'\x02' + struct.pack('<HHH', len(hea), len(atr), len(seg)) + hea + atr + seg + dat


def peer(*parts):
    with open(os.path.join(DATA, '..', 'peer', 'wfdb-python-samples', *parts), 'rb') as f:
        return f.read()


def mit_annotation(ticks, code):
    return struct.pack('<H', (code << 10) | ticks)


annotation_signal = dict(label='EDF Annotations', dim='', pmin=-1, pmax=1, dmin=-32768,
                         dmax=32767, spr=15)
put('foreign_open', 'edf_two', b'\x00' + edf_file(
    [edf_signal('ECG', 10), edf_signal('Resp', 10, -100, 100, -1.5, 3)], 3, 1))
put('foreign_open', 'edf_plus', b'\x00' + edf_file(
    [edf_signal('ECG', 20), annotation_signal], 2, 1, plus=True))
put('foreign_open', 'edf_rates', b'\x00' + edf_file(
    [edf_signal('ECG', 20), edf_signal('Slow', 5)], 2, 1))
put('foreign_open', 'bdf_24', b'\x01' + edf_file(
    [edf_signal('ECG', 8, -8388608, 8388607, -262, 262)], 3, 1, bdf=True))
put('foreign_open', 'wfdb_212', wfdb_input(
    b'rec 2 360 20\r\nrec.dat 212 200 11 1024 995 -22131 0 MLII\r\n'
    b'rec.dat 212 200 11 1024 1011 20052 0 V5\r\n',
    mit_annotation(3, 1) + mit_annotation(5, 1) + mit_annotation(4, 28) + mit_annotation(0, 0),
    bytes((i * 7) % 256 for i in range(60))))
put('foreign_open', 'wfdb_16', wfdb_input(
    b'# comment\nrec 3 500 10\n\nrec.dat 16 1000/mV 16 0 0 0 0 i\n'
    b'rec.dat 16 2000(5)/mV 16 0 -3 0 0 ii\nrec.dat 16 500 16 0 7 0 0 v1\n',
    b'', struct.pack('<30h', *range(-15, 15))))
put('foreign_open', 'wfdb_mitdb100_cut', wfdb_input(
    read('mitdb', '100.hea').replace(b' 650000', b' 1000').replace(b'100.dat', b'rec.dat'), read('mitdb', '100.atr')[:400],
    read('mitdb', '100.dat')[:3000]))
# Every storage format: a signal file of the peer records under a one-signal header.
for n, fmt in enumerate([8, 16, 61, 80, 160, 212, 310, 311, 24, 32]):
    put('foreign_open', 'wfdb_format_%d' % fmt, wfdb_input(
        b'rec 1 200 499\nrec.dat %d 200/mV 12 0 -2047 0 0 sig\n' % fmt, b'',
        peer('binformats.d%d' % n)))
for n, fmt in enumerate([508, 516, 524]):
    put('foreign_open', 'wfdb_format_%d' % fmt, wfdb_input(
        b'rec 1 200 499\nrec.dat %d 200/mV 16 0 0 0 0 sig\n' % fmt, b'',
        peer('flacformats.d%d' % n)))
put('foreign_open', 'wfdb_flac_two_per_frame', wfdb_input(
    b'rec 1 100 249\nrec.dat 516x2 200/mV 16 0 0 0 0 a\n', b'', peer('flacformats.d1')))
# A FLAC file cut short: it opens by its header, and the load says where it broke off.
put('foreign_open', 'wfdb_flac_cut', wfdb_input(
    b'rec 2 62.5 100\nrec.dat 516x2 200/mV 16 0 0 0 0 a\nrec.dat 516x2 16(800)/mmHg 12 0 0 0 0 b\n',
    b'', peer('mixedsignals_p.dat')[:4000]))
put('foreign_open', 'wfdb_skew_and_spf', wfdb_input(
    b'rec 3 500 40\nrec.dat 16:3 100/mV 16 0 10 0 0 a\nrec.dat 16x2 100/mV 16 0 -8 0 0 b\n'
    b'rec.dat 16 100/mV 16 0 -57 0 0 c\n', b'', peer('test01_00s.dat')[:320]))
# Multi-segment: fixed layout, and variable layout with a gap, both over seg.hea.
segment = b'seg 2 125 40\nrec.dat 212x4 2000 12 0 168 0 0 III\nrec.dat 212 20(-1600)/mmHg 12 0 0 0 0 ABP\n'
put('foreign_open', 'wfdb_segments_fixed', wfdb_input(
    b'rec/2 2 125 80\nseg 40\nseg 40\n', b'',
    peer('multi-segment', '041s', '041s01.dat')[:300], seg=segment))
put('foreign_open', 'wfdb_segments_variable', wfdb_input(
    b'rec/4 2 125 100\nseg 0\n~ 20\nseg 40\nseg 40\n',
    mit_annotation(30, 1) + mit_annotation(10, 1) + mit_annotation(0, 0),
    peer('multi-segment', '041s', '041s01.dat')[:300], seg=segment))
put('foreign_open', 'wfdb_time_resolution', wfdb_input(
    read('mitdb', '100.hea').replace(b' 650000', b' 1000').replace(b'100.dat', b'rec.dat'), peer('03700181.gqrsh')[:600],
    read('mitdb', '100.dat')[:3000]))
put('foreign_open', 'edf_eeg_cut', b'\x00' + read('eegmat_edf', 'Subject00_2.edf')[:9000])
