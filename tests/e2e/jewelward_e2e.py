#!/usr/bin/env python3
"""End-to-end scenarios: the real jewelward binary under its own Xvfb, driven
like a player with xdotool, checked by screenshots and by the captured sound.

usage: jewelward_e2e.py SCENARIO GAME DATA_DIR OUT_DIR

Every picture check compares the screen with the data files of DATA_DIR (never
with fixed colours), so the checks hold whatever the art looks like. Every
sound check compares the captured output with the WAV files of DATA_DIR.
On a failure the screenshots of the scenario are kept as PNG files in
OUT_DIR/SCENARIO together with the game's output.

Only the Python standard library is used; the tools called are Xvfb, xdotool,
xdpyinfo, import and convert (ImageMagick), and xmessage (the library's box,
which the game raises only before its screen mode is set).
A close request is sent as a WM_DELETE_WINDOW ClientMessage through libX11.
"""

import cmath
import ctypes
import ctypes.util
import array
import math
import operator
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xvfb import children_of, display_free, read_framebuffer, start_xvfb  # noqa: E402

SCREEN_W, SCREEN_H = 640, 480
HERO_BOX = (272, 192, 96, 96)      # the hero's sprite while the camera can follow
HUD_BOX = (484, 9, 148, 89)        # the HUD's panel: bars, jewels, level and experience
MASK = (255, 0, 255)               # Allegro's transparent colour in true colour
FUZZ = 6                           # per channel, about 2 % of 255
# Seconds a screen that follows a key (or the start) may take on a loaded
# machine: a wait that ends as soon as the screen is there costs nothing when
# the machine is calm. (The title loads every picture and track first.)
APPEAR, TITLE_WAIT = 15, 30
SOUND_RATE = 44100                 # captured: unsigned 16-bit LE stereo
SOUND_BYTES_PER_SECOND = SOUND_RATE * 4
SILENCE = 32768
# For Tracks (a recording whose rate no mixer of ours sets):
MUSIC_SETTLED = SOUND_BYTES_PER_SECOND * 3 // 10  # 0.3 s after the event that starts a track
MUSIC_SPAN = 1.5                                  # seconds of sound compared with the tracks
TRACKS = {"title": "BGM_00009.wav", "home": "BGM_00012.wav",
          "south-west": "BGM_00006.wav", "east": "BGM_00001.wav"}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


# ---------------------------------------------------------------- pictures

class Image:
    """An RGB picture held as rows of bytes."""

    def __init__(self, w, h, data, name="picture"):
        self.w, self.h, self.data, self.name = w, h, data, name

    @classmethod
    def from_ppm(cls, blob):
        # P6 header: magic, width, height, maxval, each followed by white space
        fields, at = [], 0
        while len(fields) < 4:
            while blob[at:at + 1].isspace():
                at += 1
            if blob[at:at + 1] == b"#":
                at = blob.index(b"\n", at) + 1
                continue
            start = at
            while not blob[at:at + 1].isspace():
                at += 1
            fields.append(blob[start:at])
        check(fields[0] == b"P6" and fields[3] == b"255", "unexpected PPM from ImageMagick")
        w, h = int(fields[1]), int(fields[2])
        data = blob[at + 1:at + 1 + w * h * 3]
        check(len(data) == w * h * 3, "short PPM from ImageMagick")
        return cls(w, h, data)

    def pixel(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.data[i:i + 3])

    def crop(self, x, y, w, h):
        rows = []
        for row in range(y, y + h):
            start = (row * self.w + x) * 3
            rows.append(self.data[start:start + w * 3])
        return Image(w, h, b"".join(rows), "%s (%d, %d)" % (self.name, x, y))


def load_picture(path):
    blob = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE).stdout
    image = Image.from_ppm(blob)
    image.name = os.path.basename(path)
    return image


def diff_fraction(shot, ref, box=(0, 0, SCREEN_W, SCREEN_H), excludes=(), ref_at=(0, 0), row_step=1):
    """Share of the pixels of box (screen coordinates, minus excludes) whose
    colour differs by more than FUZZ in a channel between shot and ref, where
    ref's pixel (ref_at + p - box corner) stands for the screen's pixel p.
    With row_step n only every n-th row is looked at."""
    bx, by, bw, bh = box
    rx, ry = ref_at
    counted = differing = 0
    chunk = 16  # pixels compared at once as bytes before looking closer
    for row in range(0, bh, row_step):
        y = by + row
        s0 = (y * shot.w + bx) * 3
        r0 = ((ry + row) * ref.w + rx) * 3
        srow = shot.data[s0:s0 + bw * 3]
        rrow = ref.data[r0:r0 + bw * 3]
        spans = [(0, bw)]
        for ex, ey, ew, eh in excludes:
            if ey <= y < ey + eh:
                cut = []
                for a, b in spans:
                    left, right = max(a, ex - bx), min(b, ex + ew - bx)
                    if left >= right:
                        cut.append((a, b))
                        continue
                    if a < left:
                        cut.append((a, left))
                    if right < b:
                        cut.append((right, b))
                spans = cut
        for a, b in spans:
            counted += b - a
            for c0 in range(a, b, chunk):
                c1 = min(b, c0 + chunk)
                if srow[c0 * 3:c1 * 3] == rrow[c0 * 3:c1 * 3]:
                    continue
                for i in range(c0 * 3, c1 * 3, 3):
                    if (abs(srow[i] - rrow[i]) > FUZZ or abs(srow[i + 1] - rrow[i + 1]) > FUZZ
                            or abs(srow[i + 2] - rrow[i + 2]) > FUZZ):
                        differing += 1
    return differing / counted if counted else 1.0


def sprite_match(shot, sx, sy, cell, hidden=None):
    """Share of the cell's opaque pixels that the shot shows at (sx, sy),
    leaving out those for which hidden(screen x, screen y) holds."""
    opaque = same = 0
    for y in range(cell.h):
        for x in range(cell.w):
            i = (y * cell.w + x) * 3
            c = cell.data[i:i + 3]
            if tuple(c) == MASK or (hidden and hidden(sx + x, sy + y)):
                continue
            opaque += 1
            j = ((sy + y) * shot.w + sx + x) * 3
            s = shot.data[j:j + 3]
            if abs(s[0] - c[0]) <= FUZZ and abs(s[1] - c[1]) <= FUZZ and abs(s[2] - c[2]) <= FUZZ:
                same += 1
    return same / opaque if opaque else 0.0


def best_cell(shot, sx, sy, sheet, cell_w, cell_h, cells, hidden=None):
    """(match, (row, column)) of the best-matching sheet cell among cells."""
    best = (-1.0, None)
    for row, col in cells:
        cell = sheet.crop(col * cell_w, row * cell_h, cell_w, cell_h)
        best = max(best, (sprite_match(shot, sx, sy, cell, hidden), (row, col)))
    return best


class WorldOverlay:
    """What the game draws over the figures (roofs, wall tops, tree crowns),
    read from its atlas of 64 x 64 cells as src/sprites/overlay.h lays it out."""

    def __init__(self, data_dir):
        self.atlas = load_picture(os.path.join(data_dir, "worldOverlay.bmp"))
        self.slots = {}
        per_row = self.atlas.w // 64
        for k in range(per_row * (self.atlas.h // 64 - 1)):
            x, y = k % 256 * 12, k // 256
            if x + 12 > self.atlas.w or self.atlas.pixel(x, y) == MASK:
                break
            index = 0
            for bit in range(12):
                index = index << 1 | (self.atlas.pixel(x + bit, y)[1] > 127)
            self.slots[index] = (k % per_row * 64, (1 + k // per_row) * 64)

    def covers(self, x, y):
        """Whether the overlay has a pixel at world (x, y)."""
        if x < 0 or y < 0 or x >= 3200 or y >= 3200:
            return False
        slot = self.slots.get(y // 64 * 50 + x // 64)
        return slot is not None and self.atlas.pixel(slot[0] + x % 64, slot[1] + y % 64) != MASK


def overlay_masked(base, sprite, x, y):
    """base (a mutable bytearray picture) with sprite drawn masked at (x, y)."""
    for row in range(sprite.h):
        for col in range(sprite.w):
            i = (row * sprite.w + col) * 3
            c = sprite.data[i:i + 3]
            if tuple(c) == MASK:
                continue
            tx, ty = x + col, y + row
            if 0 <= tx < base.w and 0 <= ty < base.h:
                j = (ty * base.w + tx) * 3
                base.data[j:j + 3] = c


HUD_PANEL = (22, 20, 34)         # the HUD's panel, behind the bars


def bar_count(shot, bar_sheet, frame_sheet, frame_y):
    """How many pips the bar whose frame stands at (490, frame_y) shows: the
    screen is compared with the bar drawn from the data pictures over the
    HUD's panel for every count from 0 to 25. Returns (count, its difference)."""
    frame = frame_sheet.crop(0, 0, 130, 14)
    pip = bar_sheet.crop(130, 2, 6, 10)
    box = (490, frame_y, 130, 14)
    region = Image(box[2], box[3], bytearray(HUD_PANEL * (box[2] * box[3])))
    results = []
    for count in range(26):
        expected = Image(region.w, region.h, bytearray(region.data))
        overlay_masked(expected, frame, 0, 0)
        for i in range(count):
            overlay_masked(expected, pip, 2 + 5 * i, 2)
        results.append((diff_fraction(shot, expected, box, ref_at=(0, 0)), count))
    difference, count = min(results)
    return count, difference


# ---------------------------------------------------------------- sound

def fft(values):
    """Iterative radix-2 FFT of a list of complex numbers (length 2^k)."""
    n = len(values)
    a = list(values)
    j = 0
    for i in range(1, n):
        bit = n >> 1
        while j & bit:
            j ^= bit
            bit >>= 1
        j |= bit
        if i < j:
            a[i], a[j] = a[j], a[i]
    size = 2
    while size <= n:
        step = cmath.exp(-2j * math.pi / size)
        half = size // 2
        twiddles = [step ** k for k in range(half)]
        for start in range(0, n, size):
            for k in range(half):
                u = a[start + k]
                v = a[start + k + half] * twiddles[k]
                a[start + k] = u + v
                a[start + k + half] = u - v
        size *= 2
    return a


BAND_LOW, BAND_COUNT = 55.0, 84     # semitone bands from 55 Hz up to about 7 kHz
FRAME_SECONDS = 0.18                # analysis window, rounded up to a power of 2 samples


def frame_size(rate):
    n = 1
    while n < rate * FRAME_SECONDS:
        n *= 2
    return n


def band_frames(samples, rate, hop):
    """Energy per semitone band for windows of frame_size(rate) samples taken
    every hop samples: a description that does not depend on loudness."""
    n = frame_size(rate)
    window = [0.5 - 0.5 * math.cos(2 * math.pi * i / n) for i in range(n)]
    top = min(rate / 2 * 0.9, BAND_LOW * 2 ** (BAND_COUNT / 12))
    bins = []
    for k in range(1, n // 2):
        hz = k * rate / n
        if BAND_LOW <= hz < top:
            bins.append((k, int(12 * math.log2(hz / BAND_LOW))))
    frames = []
    for start in range(0, len(samples) - n + 1, hop):
        spectrum = fft([samples[start + i] * window[i] for i in range(n)])
        bands = [0.0] * BAND_COUNT
        for k, band in bins:
            v = spectrum[k]
            bands[band] += v.real * v.real + v.imag * v.imag
        frames.append(bands)
    return frames


def amplitude_profile(frames):
    return [math.sqrt(sum(column)) for column in zip(*frames)]


def similarity(p, q):
    dot = sum(a * b for a, b in zip(p, q))
    norm = math.sqrt(sum(a * a for a in p) * sum(b * b for b in q))
    return dot / norm if norm else 0.0


def read_wav(path):
    """(mono samples, rate, factor to the 16-bit scale) of an 8- or 16-bit WAV."""
    with wave.open(path, "rb") as w:
        channels, width, rate = w.getnchannels(), w.getsampwidth(), w.getframerate()
        raw = w.readframes(w.getnframes())
    if width == 1:
        values = [b - 128 for b in raw]
    else:
        values = list(struct.unpack("<%dh" % (len(raw) // 2), raw[:len(raw) // 2 * 2]))
    if channels == 1:
        return values, rate, 256 if width == 1 else 1
    mono = [sum(values[i:i + channels]) / channels for i in range(0, len(values) - channels + 1, channels)]
    return mono, rate, 256 if width == 1 else 1


def rms(samples):
    return math.sqrt(sum(s * s for s in samples) / len(samples)) if samples else 0.0


class Tracks:
    """The four music files of the data folder, described by the band energies
    of their first seconds (a captured segment is always taken from a track's
    first seconds after it started). A coarse description: two tracks can
    score within 0.1 of each other. The game's own captures are told by
    Music, sample by sample; this serves recordings that went through another
    resampler (PulseAudio under Wine), where samples cannot be matched."""

    SECONDS = 4.0

    def __init__(self, data_dir):
        self.frames, self.loudness = {}, {}
        for name, file_name in TRACKS.items():
            samples, rate, scale = read_wav(os.path.join(data_dir, file_name))
            head = samples[:int(rate * self.SECONDS) + frame_size(rate)]
            while len(head) < int(rate * self.SECONDS) + frame_size(rate):
                head += samples  # a short track loops
            self.frames[name] = band_frames(head, rate, frame_size(rate) // 2)
            self.loudness[name] = rms(samples) * scale

    def identify(self, samples):
        """Tracks ranked by how well their best-fitting stretch of the same
        length matches the sound: [(similarity, name), ...], best first."""
        captured = band_frames(samples, SOUND_RATE, frame_size(SOUND_RATE))
        check(captured, "too little sound to analyse (%d samples)" % len(samples))
        profile = amplitude_profile(captured)
        span = 2 * len(captured) - 1  # the tracks' frames overlap by half
        ranked = []
        for name, frames in self.frames.items():
            best = max(similarity(profile, amplitude_profile(frames[p:p + span:2]))
                       for p in range(0, len(frames) - span + 1))
            ranked.append((best, name))
        return sorted(ranked, reverse=True)


# ---------------------------------------------------------------- sound effects

EFFECT_FOUND = 0.5    # normalised correlation of an effect heard over the music
EFFECT_ABSENT = 0.3   # the most an effect's shape may echo in music alone
EFFECT_HEAD = 0.25    # seconds of an effect enough to recognise it
# Measured: the library's mixer steps through a 32 kHz sample by exactly
# 185 / 256 of a sample per captured frame (a step with 8 bits of fraction),
# not 32000 / 44100 = 0.7256; a copy resampled at the nominal ratio drifts out
# of phase within a few milliseconds and correlates at 0.3 to 0.6, while at
# 185 / 256 a whole second of a track correlates at 0.997 or more (0.7225, a
# first guess, drifts a sample in 0.25 s).
MIXER_STEP_32K = 185 / 256


def as_mixed(samples, position, count):
    """count captured frames of a 32 kHz sound as the mixer plays it from
    `position` (in the sound's own samples): linearly interpolated at the
    mixer's step, wrapping round as a looping track does."""
    n = len(samples)
    out = []
    for i in range(count):
        p = position + i * MIXER_STEP_32K
        k = math.floor(p)
        a, b = samples[k % n], samples[(k + 1) % n]
        out.append(a + (b - a) * (p - k))
    return out


def inverse_fft(values):
    n = len(values)
    return [v.conjugate() / n for v in fft([v.conjugate() for v in values])]


class Effects:
    """The sound effects of the data folder at the capture's rate, found in a
    capture by normalised cross-correlation with their own samples."""

    def __init__(self, data_dir):
        self.heads, self.played = {}, {}
        for name in ("swing", "hit", "boss", "hurt", "jewel", "levelup", "heal", "gameover", "victory", "page",
                     "saved"):
            samples, rate, _ = read_wav(os.path.join(data_dir, "sfx_%s.wav" % name))
            check(rate == 32000, "sfx_%s.wav is not at 32 kHz" % name)
            self.played[name] = as_mixed(samples, 0, int((len(samples) - 1) / MIXER_STEP_32K))
            self.heads[name] = self.played[name][:int(EFFECT_HEAD * SOUND_RATE)]

    def find(self, name, capture):
        """(best normalised correlation, offset in seconds) of the effect's head
        in the capture."""
        head = self.heads[name]
        check(len(capture) > len(head), "a capture shorter than the effect")
        found = correlations(head, capture)
        lag = max(range(len(found)), key=found.__getitem__)
        return max(0.0, found[lag]), lag / SOUND_RATE


def expect_effect(effects, name, capture, label, within=None, sent=0.0):
    """The effect is heard in the capture; with `within`, it starts at most
    that many seconds after `sent`, the capture's second at which the key had
    reached the X server (the time xdotool takes to start is not the game's)."""
    found, at = effects.find(name, capture)
    print("%s: %s found with correlation %.2f at %.3f s (key sent at %.3f s)" % (label, name, found, at, sent))
    check(found >= EFFECT_FOUND, "%s: the %s effect is not heard (best correlation %.2f)" % (label, name, found))
    if within is not None:
        check(at - sent <= within, "%s: the %s effect starts %.0f ms after the key, later than %.0f ms"
              % (label, name, 1000 * (at - sent), 1000 * within))
    return at


# Seconds around the place a track must have reached that are searched to lay
# its samples on the capture's: the place is known from the capture's byte at
# which the track started, give or take a few frames.
MUSIC_SEARCH = 0.02
ALSO_HEARD = 4  # times another effect is looked for under the sought one


def least_squares(parts, target):
    """Gains g minimising |target - sum(g[i] * parts[i])| (normal equations,
    Gauss-Jordan elimination: a handful of parts at most)."""
    k = len(parts)
    rows = [[dot(parts[i], parts[j]) for j in range(k)] + [dot(parts[i], target)] for i in range(k)]
    for i in range(k):
        pivot = max(range(i, k), key=lambda r: abs(rows[r][i]))
        rows[i], rows[pivot] = rows[pivot], rows[i]
        if rows[i][i] == 0:
            return [0.0] * k
        for r in range(k):
            if r != i:
                f = rows[r][i] / rows[i][i]
                rows[r] = [a - f * b for a, b in zip(rows[r], rows[i])]
    return [rows[i][k] / rows[i][i] for i in range(k)]


def placed(samples, first, length):
    """samples laid from index first in a silence of `length`."""
    out = [0.0] * length
    for i, v in enumerate(samples[:max(0, length - first)]):
        out[first + i] = v
    return out


def without_music(music, track, started, start, capture, effects, name, also=()):
    """The capture (mono samples from byte start) less the track that plays
    under it since byte started, laid sample on sample, and less any of the
    effects `also` that the scene may play over the sought one (an enemy's
    touch over the jewel's chime): the library's mixer is copied to 0.997 or
    better, so the sought effect then stands almost alone. The gains are
    fitted by least squares together, the sought effect's with them: fitted
    alone, the track's would take in a share of the effects, several per
    cent."""
    slack = int(MUSIC_SEARCH * SOUND_RATE)
    place = (start - started) // 4 * MIXER_STEP_32K
    played = music.played(track, place - slack * MIXER_STEP_32K, len(capture) + 2 * slack)
    found = correlations(capture, played)
    lag = max(range(len(found)), key=found.__getitem__)
    parts, names = [played[lag:lag + len(capture)]], [track]
    gains = least_squares(parts, capture)
    # The sought effect once, then each of the others as often as it is
    # heard (a touch repeats while the toucher stays), a few times at most.
    # What is left once all is taken away is mostly the copy's small errors,
    # which an effect's shape can echo at up to 0.35: another effect counts
    # as heard only where it fits as a heard one does.
    for effect in [name] + [other for other in also for _ in range(ALSO_HEARD)]:
        left = [c - sum(g * p[i] for g, p in zip(gains, parts)) for i, c in enumerate(capture)]
        heard, at = effects.find(effect, left)
        if effect != name and heard < EFFECT_FOUND:
            continue
        parts.append(placed(effects.played[effect], int(round(at * SOUND_RATE)), len(capture)))
        names.append("%s at %.3f s" % (effect, at))
        gains = least_squares(parts, capture)
    away = [k for k in range(len(parts)) if k != 1]  # all but the sought effect, placed first
    left = [c - sum(gains[k] * parts[k][i] for k in away) for i, c in enumerate(capture)]
    print("taken away: %s; %.1f dB of the sound left" % (
        ", ".join("%s (gain %.3f)" % (names[k], gains[k]) for k in away),
        10 * math.log10(max(dot(left, left), 1e-9) / max(dot(capture, capture), 1e-9))))
    return left


def expect_effect_over(s, effects, name, music, track, started, start, seconds, label, within=None, sent=0.0,
                       also=()):
    """expect_effect for an effect heard over a known track: `seconds` of
    capture from byte start, with the track (started at byte started) and
    the effects `also` taken away first (without_music), so a soft effect
    over a busy bar is told as surely as over a quiet one. The correlation
    with everything left in is printed too."""
    capture = s.sound(start, seconds)
    over, _ = effects.find(name, capture)
    print("%s: %s correlates at %.2f with the music left in" % (label, name, over))
    return expect_effect(effects, name, without_music(music, track, started, start, capture, effects, name, also),
                         label, within=within, sent=sent)


def expect_no_effect(effects, capture, label):
    for name in effects.heads:
        found, at = effects.find(name, capture)
        check(found < EFFECT_ABSENT, "%s: the %s effect seems heard (correlation %.2f at %.3f s)"
              % (label, name, found, at))


# ---------------------------------------------------------------- music by its own samples

TRACK_SPAN = 1.5      # seconds then compared sample by sample
TRACK_FOUND = 0.8     # normalised correlation of the track that plays (seen: 0.94 to 1.00)
TRACK_ABSENT = 0.4    # the most any other track may reach where it fits best (seen: 0.24)
START_SLACK = 1.5     # seconds the capture may lag behind the screen (the mixer's own thread)
TRACK_SLACK = 0.5     # seconds around a playing track's place searched for every track
TRACK_PLACE = 0.01    # seconds the playing track may sit off the place it must have reached
LOCATE_PEAKS = 16     # coarse candidates for a track's place, each then scored piece by piece
LEVEL_SPAN = 0.05     # seconds over which the coarse search evens out the loudness
TRACK_PIECE = 0.1     # seconds: a track is judged by the median of its pieces this long
REPEAT_GAP = 0.2      # seconds between two stretches of a track that may both be its beginning
DECIMATE = 16         # the search runs on sums of 16 frames before it is refined frame by frame


class Music:
    """The four music files of the data folder as their own samples, found in
    a capture as the library's mixer plays them (see as_mixed): the track
    that plays correlates at 0.94 to 1.00 (an effect heard over it lowers
    that), any other track's best stretch at 0.24 at most, however alike the
    tracks sound."""

    def __init__(self, data_dir, tracks=TRACKS):
        self.paths, self.lengths = {}, {}
        for name, file_name in tracks.items():
            path = os.path.join(data_dir, file_name)
            with wave.open(path, "rb") as w:
                check(w.getframerate() == 32000 and w.getsampwidth() == 2 and w.getnchannels() == 2,
                      "%s is not 16-bit stereo at 32 kHz" % file_name)
                self.paths[name], self.lengths[name] = path, w.getnframes()

    def played(self, name, position, count):
        """count captured frames of the track as the mixer plays it from
        `position` in its own samples (read from the file only there: a
        whole track takes a loaded machine a minute in Python)."""
        first = math.floor(position)
        need = int(count * MIXER_STEP_32K) + 2
        total = self.lengths[name]
        mono = []
        with wave.open(self.paths[name], "rb") as w:
            at = first % total
            while len(mono) < need:  # the loop wraps round
                w.setpos(at)
                frames = array.array("h", w.readframes(min(need - len(mono), total - at)))
                mono.extend((a + b) / 2 for a, b in zip(frames[0::2], frames[1::2]))
                at = 0
        return as_mixed(mono, position - first, count)


def decimated(samples):
    return [sum(samples[i:i + DECIMATE]) for i in range(0, len(samples) - DECIMATE + 1, DECIMATE)]


def levelled(samples, width):
    """samples each divided by the RMS of the `width` samples around it: every
    stretch then weighs the same in a correlation, so a loud effect over the
    music cannot outweigh the stretches where the music is heard alone."""
    prefix = [0.0]
    for v in samples:
        prefix.append(prefix[-1] + v * v)
    half, n = width // 2, len(samples)
    out = []
    for i, v in enumerate(samples):
        a, b = max(0, i - half), min(n, i + half + 1)
        energy = (prefix[b] - prefix[a]) / (b - a)
        out.append(v / math.sqrt(energy) if energy > 0 else 0.0)
    return out


def dot(a, b):
    return sum(map(operator.mul, a, b))


def correlation_at(template, signal, lag):
    """Normalised correlation of template with signal[lag:lag + len(template)]."""
    part = signal[lag:lag + len(template)]
    norm = math.sqrt(dot(template, template) * dot(part, part))
    return dot(template, part) / norm if norm else 0.0


def track_fit(template, signal, lag):
    """The median, over the template's TRACK_PIECE stretches, of their
    normalised correlation with signal from lag on: an effect heard over a few
    pieces (most last 0.1 to 0.3 s) lowers those pieces and leaves the median
    where the music alone puts it. A template shorter than two pieces is
    correlated whole."""
    if len(template) < 2 * int(TRACK_PIECE * SOUND_RATE):
        return correlation_at(template, signal, lag)
    fits = sorted(piece_fits(template, signal, lag))
    return fits[len(fits) // 2]


def piece_fits(template, signal, lag):
    """The normalised correlation of each TRACK_PIECE of template with signal from lag on."""
    n = int(TRACK_PIECE * SOUND_RATE)
    return [correlation_at(template[i:i + n], signal, lag + i) for i in range(0, len(template) - n + 1, n)]


def correlations(template, signal):
    """Normalised correlation of template with each stretch of signal as long
    as it, by lag (through the FFT)."""
    n = 1
    while n < len(signal):
        n *= 2
    c = fft([complex(v) for v in signal] + [0j] * (n - len(signal)))
    h = fft([complex(v) for v in template] + [0j] * (n - len(template)))
    corr = inverse_fft([a * b.conjugate() for a, b in zip(c, h)])
    template_energy = sum(v * v for v in template)
    prefix = [0.0]
    for v in signal:
        prefix.append(prefix[-1] + v * v)
    found = []
    for lag in range(len(signal) - len(template) + 1):
        energy = prefix[lag + len(template)] - prefix[lag]
        found.append(corr[lag].real / math.sqrt(template_energy * energy) if energy > 0 else 0.0)
    return found


def locate(template, signal, last=None):
    """(correlation, lag) of the stretch of signal that fits template best:
    searched on sums of DECIMATE frames (the best LOCATE_PEAKS places), refined frame by frame on the
    template's probes, scored over the whole template (track_fit). Music
    repeats itself: of the stretches that fit about as well as the best and
    lie a phrase (REPEAT_GAP) or more before it, the earliest wins (a track's
    beginning is heard first where it starts). `last`, when given, is the
    latest lag searched."""
    width = int(LEVEL_SPAN * SOUND_RATE) // DECIMATE
    coarse = correlations(levelled(decimated(template), width), levelled(decimated(signal), width))
    last = len(signal) - len(template) if last is None else min(last, len(signal) - len(template))
    peaks = [i for i in range(min(len(coarse), last // DECIMATE + 1))
             if coarse[i] >= max(coarse[max(0, i - 1):i + 2])]
    # Three 50 ms probes, 0.5 s apart where the template is that long: the
    # median of their fits refines a place even where an effect covers one.
    probe = SOUND_RATE // 20
    probes = [at for at in range(0, len(template) - probe + 1, SOUND_RATE // 2)][:3]

    def refined(at):
        fits = sorted(correlation_at(template[p:p + probe], signal, at + p) for p in probes)
        return fits[len(fits) // 2]

    found = []
    # A loud effect over the music can outscore the true place on the coarse
    # sums: the best LOCATE_PEAKS of them are all scored piece by piece.
    for rough in sorted(peaks, key=lambda i: -coarse[i])[:LOCATE_PEAKS]:
        rough *= DECIMATE
        lag = max(range(max(0, rough - DECIMATE), min(last, rough + DECIMATE) + 1), key=refined)
        found.append((lag, track_fit(template, signal, lag)))
    best_lag, best = max(found, key=lambda f: f[1])
    # Only a repeat a phrase apart counts as earlier: a stretch a few
    # waveform cycles before the best (a held bass note repeats every 10 ms)
    # is the same passage fitted worse, never an earlier start.
    earlier = [(lag, c) for lag, c in found if c >= best - 0.02 and lag < best_lag - REPEAT_GAP * SOUND_RATE]
    lag, c = min(earlier) if earlier else (best_lag, best)
    return c, lag


def track_scores(fit, template, signal, lag, seconds):
    """(piece by piece, whole, seconds) for judge_tracks, from locate's fit at lag."""
    return fit, correlation_at(template, signal, lag), seconds


def judge_tracks(scores, expected, label):
    """scores: {track: (piece by piece, whole, seconds)}, correlations of each
    track where it fits best. The expected track fits piece by piece (an
    effect over a few pieces cannot hide it). Every other one clearly does
    not: it counts as heard only where it fits both piece by piece and as a
    whole, for short pieces of two tracks in one key and tempo can echo each
    other (up to 0.35) where the whole stretches do not (0.25 at most), and a
    track that plays fits both."""
    print("%s: %s" % (label, ", ".join("%s %.3f (whole %.3f) at %+.3f s" % (name, c, whole, at)
                                       for name, (c, whole, at)
                                       in sorted(scores.items(), key=lambda item: -item[1][0]))))
    found = scores[expected][0]
    other, name = max((min(c, whole), n) for n, (c, whole, _) in scores.items() if n != expected)
    check(found >= TRACK_FOUND, "%s: the %s track is not heard (correlation %.3f, at least %.2f needed)"
          % (label, expected, found, TRACK_FOUND))
    check(other <= TRACK_ABSENT, "%s: the %s track fits the sound too (correlation %.3f, at most %.2f allowed)"
          % (label, name, other, TRACK_ABSENT))


def expect_track_start(s, music, expected, mark, seen, label):
    """The expected track starts from its beginning between the capture's
    byte mark (taken before the event) and byte seen (taken once the screen
    showed the event) give or take START_SLACK, and the TRACK_SPAN seconds
    from there are its own samples; no other track's beginning fits there or
    anywhere near. Returns the capture's byte at which the track started."""
    within = (seen - mark) / SOUND_BYTES_PER_SECOND + START_SLACK
    window = s.sound(mark, within + TRACK_SPAN)
    scores = {}
    for name in music.paths:
        played = music.played(name, 0, int(TRACK_SPAN * SOUND_RATE))
        fit, lag = locate(played, window, int(within * SOUND_RATE))
        scores[name] = track_scores(fit, played, window, lag, lag / SOUND_RATE)
        if name == expected and fit < TRACK_FOUND:  # for the reader of a failure: where it went astray
            print("%s: the %s track's pieces there fit %s" % (label, name, " ".join(
                "%.2f" % c for c in piece_fits(played, window, lag))))
    judge_tracks(scores, expected, label + " (start after the event)")
    return mark + int(round(scores[expected][2] * SOUND_RATE)) * 4


def expect_track_playing(s, music, expected, started, start, seconds, label):
    """The capture from byte start on is the expected track at the place it
    has reached since it started at byte `started` (its loop wrapped), within
    TRACK_PLACE seconds; no other track fits anywhere within TRACK_SLACK
    seconds of that place."""
    piece = s.sound(start, seconds)
    place = (start - started) // 4 * MIXER_STEP_32K
    slack = int(TRACK_SLACK * SOUND_RATE)
    scores = {}
    for name in music.paths:
        track = music.played(name, place - slack * MIXER_STEP_32K, len(piece) + 2 * slack)
        fit, lag = locate(piece, track)
        scores[name] = track_scores(fit, piece, track, lag, (lag - slack) / SOUND_RATE)
    judge_tracks(scores, expected, "%s (%.1f s into the track)" % (label, place / 32000))
    off = scores[expected][2]
    check(abs(off) <= TRACK_PLACE, "%s: the %s track plays %.0f ms off the place it must have reached"
          % (label, expected, 1000 * off))


def expect_unclipped(s, start, end, label):
    """No sample of the capture between two marks sits at full scale."""
    with open(s.sound_path, "rb") as f:
        f.seek(start)
        raw = f.read(end - start)
    values = struct.unpack("<%dH" % (len(raw) // 2), raw[:len(raw) // 2 * 2])
    low, high = min(values), max(values)
    print("%s: captured samples from %d to %d (silence 32768)" % (label, low, high))
    check(low > 0 and high < 65535, "%s: the mix reaches full scale (%d .. %d)" % (label, low, high))


# ---------------------------------------------------------------- X and processes

def send_close_request(display, window):
    """A WM_DELETE_WINDOW ClientMessage to window, as a window manager sends
    when the close button is clicked."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                    ("message_type", ctypes.c_ulong), ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(Event)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    check(dpy, "cannot open display %s to send the close request" % display)
    event = Event()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.l[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    sent = x11.XSendEvent(dpy, window, 0, 0, ctypes.byref(event))
    x11.XFlush(dpy)
    x11.XCloseDisplay(dpy)
    check(sent, "XSendEvent refused the close request")


class Session:
    """One scenario's Xvfb, temp folder, game runs, screenshots and sound."""
    # The capture's samples: unsigned 16-bit (ALSA's file plugin), silence at SILENCE.
    SAMPLE_FORMAT, SAMPLE_ZERO = "H", SILENCE

    def __init__(self, name, game, data_dir, out_root):
        self.name, self.game, self.data_dir = name, game, data_dir
        self.out = os.path.join(out_root, name)
        shutil.rmtree(self.out, ignore_errors=True)
        os.makedirs(self.out)
        self.tmp = tempfile.mkdtemp(prefix="jewelward-e2e-")
        self.home = os.path.join(self.tmp, "home")
        os.makedirs(self.home)
        self.sound_path = os.path.join(self.tmp, "sound.raw")
        with open(os.path.join(self.home, ".asoundrc"), "w") as f:
            f.write('pcm.!default { type file slave.pcm "null" file "%s" format "raw" }\n' % self.sound_path)
        with open(os.path.join(self.home, ".allegrorc"), "w") as f:
            f.write("[sound]\nalsa_fragsize = 441\n")  # real-time pace into the file
        self.run_dir = None
        self.xvfb = None
        self.display = None
        self.game_proc = None
        self.runs = 0
        self.music_mark = self.music_seen = 0
        self.shots = []
        self.key_sent, self.key_sent_at = 0, 0.0
        self._pictures = {}

    # -- set-up and tear-down
    def start_x(self):
        self.fbdir = os.path.join(self.tmp, "screen")
        os.makedirs(self.fbdir)
        try:
            self.xvfb, self.display = start_xvfb(50, self.tmp, SCREEN_W, SCREEN_H, self.fbdir)
        except RuntimeError as error:
            raise Failure(str(error))

    def data_copy(self):
        """A fresh copy of the data folder to run the game in."""
        self.run_dir = os.path.join(self.tmp, "run")
        shutil.rmtree(self.run_dir, ignore_errors=True)
        shutil.copytree(self.data_dir, self.run_dir)
        return self.run_dir

    def close(self, failed):
        self.stop_game()
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        if failed or os.environ.get("JEWELWARD_E2E_KEEP"):
            for label, path in self.shots:
                subprocess.run(["convert", path, os.path.join(self.out, label + ".png")],
                               stderr=subprocess.DEVNULL)
            for entry in os.listdir(self.tmp):
                if entry.startswith("game-") or entry.startswith("xvfb") or entry == "sound.raw":
                    shutil.copy(os.path.join(self.tmp, entry), self.out)
            print("screenshots and logs kept in %s" % self.out)
        shutil.rmtree(self.tmp, ignore_errors=True)

    # -- the game
    def start_game(self, display=None, wait_title=True, stderr="file"):
        """stderr: "file" (kept for output()), "closed" (started as `game 2>&-`)
        or "broken pipe" (a pipe whose reader has already gone)."""
        check(self.game_proc is None, "a game is already running")
        self.runs += 1
        env = dict(os.environ, HOME=self.home, DISPLAY=display or self.display)
        env.pop("XAUTHORITY", None)
        self.game_out = os.path.join(self.tmp, "game-%d.out" % self.runs)
        self.game_err = os.path.join(self.tmp, "game-%d.err" % self.runs)
        with open(self.game_out, "w") as out, open(self.game_err, "w") as err:
            if stderr == "closed":
                self.game_proc = subprocess.Popen(["/bin/sh", "-c", 'exec "$0" 2>&-', self.game],
                                                  cwd=self.run_dir, env=env, stdout=out)
            elif stderr == "broken pipe":
                reader, writer = os.pipe()
                os.close(reader)
                self.game_proc = subprocess.Popen([self.game], cwd=self.run_dir, env=env, stdout=out,
                                                  stderr=writer)
                os.close(writer)
            else:
                self.game_proc = subprocess.Popen([self.game], cwd=self.run_dir, env=env, stdout=out,
                                                  stderr=err)
        if wait_title:
            self.wait_screen("title", lambda s: diff_fraction(s, self.picture("Main Menu.bmp")) < 0.01, TITLE_WAIT)
            self.focus()

    def find_windows(self, *criteria, timeout=10):
        """The ids of the windows `xdotool search` finds by criteria, once it
        finds any. A failed search is made again: a window destroyed while
        xdotool walks the tree (a message box's toolkit makes and drops
        windows as it starts) ends it with BadWindow."""
        deadline = time.time() + timeout
        while True:
            result = subprocess.run(["xdotool", "search"] + list(criteria),
                                    env=dict(os.environ, DISPLAY=self.display), stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, universal_newlines=True)
            found = result.stdout.split()
            if found:
                return found
            check(time.time() < deadline, "no window %s within %s s (xdotool: %s)"
                  % (" ".join(criteria), timeout, result.stderr.strip()))
            time.sleep(0.05)

    def focus(self):
        self.window = int(self.find_windows("--name", "Jewelward")[0])
        self.xdo("mousemove", str(SCREEN_W // 2), str(SCREEN_H // 2))
        # The named window is the unmapped frame of the full-screen mode: a
        # refusal to focus it is harmless, the keys reach the game anyway.
        self.xdo("windowfocus", str(self.window), tolerate=True)

    def quit_with(self, key, timeout):
        """Holds key (ESC) until the game has ended, as a player does who
        keeps it down: a tap can fall wholly inside a tick that waits on the
        disk (F1 saves in every tick it is held), where the loop never sees
        it. Returns the exit code."""
        self.xdo("keydown", key)
        self.key_sent, self.key_sent_at = self.sound_mark(), time.time()
        try:
            return self.wait_exit(timeout)
        finally:
            self.xdo("keyup", key, tolerate=True)

    def wait_exit(self, timeout):
        try:
            code = self.game_proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the game did not end within %s s" % timeout)
        self.game_proc = None
        return code

    def expect_game_ended(self):
        """A scenario ends with the game ended as a player ends it. The clean-up
        below kills only what a failed scenario left behind: were it to end a
        running game (or a box the game waits on), a frozen game could pass."""
        check(self.game_proc is None or self.game_proc.poll() is not None,
              "the scenario finished with the game still running: only a failure may leave it to the clean-up")

    def stop_game(self):
        if self.game_proc is None:
            return
        for pid, _ in children_of(self.game_proc.pid):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        if self.game_proc.poll() is None:
            self.game_proc.kill()
        self.game_proc.wait()
        self.game_proc = None

    def output(self):
        with open(self.game_out, errors="replace") as f:
            out = f.read()
        with open(self.game_err, errors="replace") as f:
            err = f.read()
        return out, err

    def message_box(self, timeout):
        """The command line of the xmessage the game starts, once it is there."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            for pid, argv in children_of(self.game_proc.pid):
                if argv and os.path.basename(argv[0]) == "xmessage":
                    return pid, argv
            check(self.game_proc.poll() is None,
                  "the game ended (code %s) without a message box" % self.game_proc.returncode)
            time.sleep(0.05)
        raise Failure("no xmessage box appeared within %s s" % timeout)

    # -- input
    def xdo(self, *args, tolerate=False):
        result = subprocess.run(["xdotool"] + list(args), env=dict(os.environ, DISPLAY=self.display),
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True)
        check(tolerate or result.returncode == 0, "xdotool %s failed: %s" % (" ".join(args), result.stderr))
        return result.stdout

    def press(self, key, hold=0.1):
        self.hold(key, hold)

    def hold(self, key, seconds):
        self.xdo("keydown", key)
        self.key_sent, self.key_sent_at = self.sound_mark(), time.time()  # the X server has the key by now
        time.sleep(seconds)
        self.xdo("keyup", key)

    def seconds_since(self, mark):
        """Seconds of capture from byte mark to the last key sent."""
        return (self.key_sent - mark) / SOUND_BYTES_PER_SECOND

    def hold_until(self, key, label, condition, timeout, longer=0.3):
        """Holds key until the screen meets condition, and `longer` seconds
        more (for walks that end at a wall anyway)."""
        self.xdo("keydown", key)
        try:
            self.wait_screen(label, condition, timeout)
            time.sleep(longer)
        finally:
            self.xdo("keyup", key)

    def close_request(self):
        send_close_request(self.display, self.window)

    # -- screen
    def world_overlay(self):
        if "worldOverlay" not in self._pictures:
            self._pictures["worldOverlay"] = WorldOverlay(self.data_dir)
        return self._pictures["worldOverlay"]

    def picture(self, name):
        if name not in self._pictures:
            self._pictures[name] = load_picture(os.path.join(self.data_dir, name))
        return self._pictures[name]

    def shot(self, label):
        path = os.path.join(self.tmp, "shot-%02d-%s.ppm" % (len(self.shots), label))
        try:
            image = Image(*read_framebuffer(self.fbdir))
        except (OSError, RuntimeError) as error:
            raise Failure("cannot read the screen: %s" % error)
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (image.w, image.h) + image.data)
        self.shots.append(("%02d-%s" % (len(self.shots), label), path))
        return image

    def wait_screen(self, label, condition, timeout):
        deadline = time.time() + timeout
        while True:
            image = self.shot(label)
            if condition(image):
                return image
            if self.game_proc is not None and self.game_proc.poll() is not None:
                raise Failure("the game ended (code %s) while waiting for the %s screen"
                              % (self.game_proc.returncode, label))
            if time.time() > deadline:
                raise Failure("the %s screen did not appear within %s s" % (label, timeout))
            time.sleep(0.1)

    # -- sound
    def sound_mark(self):
        """The capture's position now, in bytes."""
        try:
            return os.path.getsize(self.sound_path) // 4 * 4
        except OSError:
            return 0

    def first_sound(self, start, timeout=15):
        """The capture's byte at its first sample away from silence after byte start."""
        deadline = time.time() + timeout
        while True:
            end = self.sound_mark()
            if end > start:
                with open(self.sound_path, "rb") as f:
                    f.seek(start)
                    raw = f.read(end - start)
                values = struct.unpack("<%d%s" % (len(raw) // 2, self.SAMPLE_FORMAT), raw)
                for i, v in enumerate(values):
                    if v != self.SAMPLE_ZERO:
                        return start + i // 2 * 4
                start = end
            check(time.time() < deadline, "no sound was captured within %s s" % timeout)
            time.sleep(0.05)

    def sound(self, start, seconds, timeout=15):
        """Mono samples (silence 0) of `seconds` of capture from byte `start`,
        waiting for the game to play them."""
        end = start + int(seconds * SOUND_RATE) * 4
        deadline = time.time() + timeout
        while self.sound_mark() < end:
            check(time.time() < deadline, "the sound capture stopped growing (%d of %d bytes)"
                  % (self.sound_mark(), end))
            time.sleep(0.05)
        with open(self.sound_path, "rb") as f:
            f.seek(start)
            raw = f.read(end - start)
        values = struct.unpack("<%d%s" % (len(raw) // 2, self.SAMPLE_FORMAT), raw)
        return [(values[i] + values[i + 1]) / 2 - self.SAMPLE_ZERO for i in range(0, len(values), 2)]


# ---------------------------------------------------------------- checks

def expect_screen(shot, ref, label, limit, excludes=(), ref_at=(0, 0)):
    d = diff_fraction(shot, ref, excludes=excludes, ref_at=ref_at)
    check(d <= limit, "%s: %.1f %% of the pixels differ from the data picture (at most %.1f %% allowed)"
          % (label, 100 * d, 100 * limit))
    return d


def expect_world_view(shot, picture, camera, label, wrong=(), limit=0.15):
    """The screen, outside the hero and the HUD, shows picture at camera, and
    clearly not any of the (picture, camera) views of wrong: each of those is
    first checked to differ from the expected view, so that this can fail."""
    excludes = (HERO_BOX, HUD_BOX)
    d = expect_screen(shot, picture, "%s at camera %s" % (label, camera), limit, excludes, camera)
    expected = picture.crop(camera[0], camera[1], SCREEN_W, SCREEN_H)
    for other_picture, other_camera in wrong:
        apart = diff_fraction(expected, other_picture, excludes=excludes, ref_at=other_camera)
        check(apart > 0.1, "%s: the art cannot tell the expected view from %s at %s (%.1f %% differ)"
              % (label, other_picture.name, other_camera, 100 * apart))
        other = diff_fraction(shot, other_picture, excludes=excludes, ref_at=other_camera)
        check(other > 2 * d + 0.05, "%s: the screen matches %s at %s about as well (%.1f %% vs %.1f %%)"
              % (label, other_picture.name, other_camera, 100 * other, 100 * d))
    return d


def expect_camera(shot, picture, camera, label):
    """Of the cameras up to 12 pixels (3 steps) away along either axis, the
    screen fits picture at camera best."""
    near = [(camera[0] + d, camera[1]) for d in range(-12, 13, 4)] + \
        [(camera[0], camera[1] + d) for d in range(-12, 13, 4) if d]
    scored = sorted((diff_fraction(shot, picture, excludes=(HERO_BOX, HUD_BOX), ref_at=(x, y), row_step=2), (x, y))
                    for x, y in near if x >= 0 and y >= 0 and x + SCREEN_W <= picture.w and y + SCREEN_H <= picture.h)
    fit = dict((c, d) for d, c in scored)[camera]
    check(scored[0][1] == camera and (len(scored) == 1 or scored[1][0] > fit),
          "%s: the screen fits camera %s best (%.2f %%), not %s (%.2f %%)"
          % (label, scored[0][1], 100 * scored[0][0], camera, 100 * fit))


def find_camera_x(shot, picture, camera_y, candidates):
    """The candidate camera x at which the screen best shows picture."""
    scored = sorted((diff_fraction(shot, picture, excludes=(HERO_BOX, HUD_BOX), ref_at=(x, camera_y),
                                   row_step=8), x) for x in candidates)
    return scored[0][1]


def expect_hero(session, shot, sheet_name, columns, label, rows=range(8), cell=(96, 96), at=HERO_BOX[:2],
                camera=None):
    """A frame of the hero's sheet stands at `at`; returns (row, column). With
    the camera given, what the world's overlay draws over him (he may stand
    behind a roof) is left out."""
    sheet = session.picture(sheet_name)
    hidden = None
    if camera is not None:
        overlay = session.world_overlay()
        hidden = lambda x, y: overlay.covers(camera[0] + x, camera[1] + y)  # noqa: E731
    match, where = best_cell(shot, at[0], at[1], sheet, cell[0], cell[1],
                             [(r, c) for r in rows for c in range(columns)], hidden)
    check(match >= 0.8, "%s: no frame of %s at %s (best %.0f %% of its pixels, cell %s)"
          % (label, sheet_name, at, 100 * match, where))
    return where


def expect_track(tracks, samples, expected, label):
    loud = rms(samples)
    check(loud > max(30.0, 0.03 * tracks.loudness[expected]),
          "%s: the sound is near silence (RMS %.1f)" % (label, loud))
    ranked = tracks.identify(samples)
    print("%s: RMS %.0f, closest tracks %s" % (label, loud,
          ", ".join("%s %.3f" % (n, s) for s, n in ranked)))
    check(ranked[0][1] == expected, "%s: the sound is closest to the %s track, not the %s track (%s)"
          % (label, ranked[0][1], expected, ranked))
    check(ranked[0][0] - ranked[1][0] >= 0.1, "%s: the sound fits the %s track hardly better than the %s track (%s)"
          % (label, expected, ranked[1][1], ranked))


def write_save(run_dir, camera, hero, zone=0, level=1, life=25, max_life=25, magic=20, max_magic=20,
               experience=0, next_level=10, jewels=(0, 0, 0)):
    values = [camera[0], camera[1], hero[0], hero[1], zone, level, life, max_life, magic, max_magic,
              experience, next_level] + list(jewels)
    with open(os.path.join(run_dir, "heroData.txt"), "w") as f:
        f.write("".join("%d\n" % v for v in values))


def read_save(run_dir):
    with open(os.path.join(run_dir, "heroData.txt")) as f:
        return f.read()


def enter_game(s):
    """ENTER four times from the title: three story pages, then play."""
    for page in ("bitmap1.bmp", "bitmap2.bmp", "bitmap3.bmp"):
        s.press("Return")
        s.wait_screen(page, lambda shot, p=page: diff_fraction(shot, s.picture(p)) < 0.01, APPEAR)
    s.music_mark = s.sound_mark()  # the home track starts at this press
    s.press("Return")
    world = s.picture("worldMap.bmp")
    play = s.wait_screen("play", lambda shot: diff_fraction(shot, world, excludes=(HERO_BOX, HUD_BOX)) < 0.15, APPEAR)
    s.music_seen = s.sound_mark()  # and has started by now
    return play


def resume(s):
    """F2 on the title; returns once the title has gone."""
    s.music_mark = s.sound_mark()  # the saved zone's track starts at this press
    s.press("F2")
    title = s.picture("Main Menu.bmp")
    shown = s.wait_screen("resumed", lambda shot: diff_fraction(shot, title) > 0.5, APPEAR)
    s.music_seen = s.sound_mark()  # and has started by now
    return shown


# ---------------------------------------------------------------- scenarios

def scenario_title_story(s):
    """Title picture and title music; four ENTER presses show the three story
    pages and then the world at camera (0, 0) with the home track."""
    music = Music(s.data_dir)
    s.data_copy()
    s.start_x()
    s.start_game()
    expect_screen(s.shot("title"), s.picture("Main Menu.bmp"), "title", 0.01)
    # The title track is the first sound the game makes.
    first = s.first_sound(0)
    expect_track_start(s, music, "title", first, first, "title music")
    play = enter_game(s)
    expect_world_view(play, s.picture("worldMap.bmp"), (0, 0), "new game")
    expect_hero(s, play, "Avatar.bmp", 8, "new game")
    expect_track_start(s, music, "home", s.music_mark, s.music_seen, "music in play")
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


# How each end is reached, and the exit code it must give.
END_CASES = {
    "esc_on_title": (False, "esc", 1),
    "esc_in_play": (True, "esc", 0),
    "close_on_title": (False, "close", 1),
    "close_in_play": (True, "close", 0),
}


def scenario_end(s, in_play, how, code):
    s.data_copy()
    s.start_x()
    s.start_game()
    if in_play:
        enter_game(s)
    if how == "esc":
        got = s.quit_with("Escape", 10)
    else:
        s.close_request()
        got = s.wait_exit(10)
    check(got == code, "%s %s ended with %s, expected %s" % (how, "in play" if in_play else "on the title",
                                                             got, code))


def scenario_no_display(s):
    """No X server at all: exit -1 (255) with a message, no crash, no hang."""
    s.data_copy()
    number = next(n for n in range(90, 200) if display_free(n))
    s.start_game(display=":%d" % number, wait_title=False)
    code = s.wait_exit(15)
    out, err = s.output()
    text = "\n".join(line for line in (out + err).splitlines()
                     if line.strip() and not line.startswith("ALSA lib"))
    check(code == 255, "without a display the game ended with %s, expected 255 (output: %r)" % (code, text))
    check(text, "without a display the game gave no message on stdout or stderr")


# What is done to the data copy, and the file the message must name.
DATA_FAULT_CASES = {
    "missing_file": ("remove", "Avatar.bmp"),
    "truncated_bmp": ("truncate", "worldMap.bmp"),
}


def scenario_data_fault(s, action, file_name):
    run_dir = s.data_copy()
    path = os.path.join(run_dir, file_name)
    if action == "remove":
        os.remove(path)
    else:
        os.truncate(path, os.path.getsize(path) // 2)
    s.start_x()
    s.start_game(wait_title=False)
    pid, argv = s.message_box(10)
    box_text = " ".join(argv[1:])
    # Before the screen mode nothing grabs the keyboard: the library's box
    # takes a real Return once it has the focus.
    boxes = s.find_windows("--class", "Xmessage")
    s.xdo("windowfocus", "--sync", boxes[-1], tolerate=True)
    s.press("Return")
    code = s.wait_exit(10)
    out, err = s.output()
    check(code == 255, "with %s %sd the game ended with %s, expected 255" % (file_name, action, code))
    check(file_name in box_text, "the message box does not name %s: %r" % (file_name, box_text))
    check(file_name in err, "stderr does not name %s: %r" % (file_name, err[-500:]))


def view_condition(picture, camera, limit=0.15):
    return lambda shot: diff_fraction(shot, picture, excludes=(HERO_BOX, HUD_BOX), ref_at=camera,
                                      row_step=4) < limit


# From the start (272, 192) the hero can walk 224 pixels down, to the house at
# (272, 416), whose roof then hides his legs; from there 368 pixels right, to
# the wall at (640, 416). The
# camera follows: camera = hero - (272, 192).
DOWN_TO_WALL = (0, 224)
RIGHT_TO_WALL = (368, 224)


def scenario_walk(s):
    """Down, then right from the start: the view scrolls while the hero stays
    at the screen's centre; both walks end at walls, so the cameras are known."""
    s.data_copy()
    s.start_x()
    s.start_game()
    start = enter_game(s)
    world = s.picture("worldMap.bmp")
    s.hold_until("Down", "walking-down", view_condition(world, DOWN_TO_WALL), 6)
    down = s.shot("after-down")
    expect_world_view(down, world, DOWN_TO_WALL, "after walking down", wrong=[(world, (0, 0))])
    expect_camera(down, world, DOWN_TO_WALL, "after walking down")
    row, _ = expect_hero(s, down, "Avatar.bmp", 8, "after walking down", camera=DOWN_TO_WALL)
    check(row == 4, "the hero faces row %d after walking down, expected 4 (down)" % row)
    s.hold_until("Right", "walking-right", view_condition(world, RIGHT_TO_WALL), 8)
    right = s.shot("after-right")
    expect_world_view(right, world, RIGHT_TO_WALL, "after walking right", wrong=[(world, DOWN_TO_WALL)])
    expect_camera(right, world, RIGHT_TO_WALL, "after walking right")
    row, _ = expect_hero(s, right, "Avatar.bmp", 8, "after walking right", camera=RIGHT_TO_WALL)
    check(row == 0, "the hero faces row %d after walking right, expected 0 (right)" % row)
    check(diff_fraction(right, start, excludes=(HERO_BOX, HUD_BOX)) > 0.05, "the view did not move")
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


NEW_GAME_SAVE = "0\n0\n272\n192\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n"


def wait_save(run_dir, condition, timeout=5):
    """The save file's text once condition holds for it (or the last text)."""
    deadline = time.time() + timeout
    text = None
    while time.time() < deadline:
        try:
            text = read_save(run_dir)
        except OSError:
            text = None
        if text is not None and condition(text):
            break
        time.sleep(0.05)
    return text


def scenario_save_resume(s):
    """F1 in a new game writes the starting values; a later save after a walk
    is resumed by F2 in a new run at the saved camera and position."""
    run_dir = s.data_copy()
    s.start_x()
    s.start_game()
    enter_game(s)
    s.press("F1")
    saved = wait_save(run_dir, lambda text: True)
    check(saved == NEW_GAME_SAVE, "the save of a new game is %r, expected %r" % (saved, NEW_GAME_SAVE))
    world = s.picture("worldMap.bmp")
    s.hold_until("Down", "walking-down", view_condition(world, DOWN_TO_WALL), 6)
    s.press("F1")
    where = ["0", "224", "272", "416", "0"]  # camera, hero, zone
    walked = wait_save(run_dir, lambda text: text.split("\n")[:5] == where)
    check(walked.split("\n")[:5] == where, "after walking down the save starts %r, expected %r"
          % (walked.split("\n")[:5], where))
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")

    s.start_game()
    back = resume(s)
    expect_world_view(back, world, DOWN_TO_WALL, "resumed", wrong=[(world, (0, 0))])
    expect_camera(back, world, DOWN_TO_WALL, "resumed")
    expect_hero(s, back, "Avatar.bmp", 8, "resumed", camera=DOWN_TO_WALL)
    os.remove(os.path.join(run_dir, "heroData.txt"))
    s.press("F1")
    again = wait_save(run_dir, lambda text: True)
    check(again == walked, "a save right after the resume is %r, expected the resumed %r" % (again, walked))
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


# The game's own message box: centred on the screen; where its OK button is
# for a one-line message (the panel is 130 pixels high).
BOX_AREA = (120, 180, 400, 120)    # inside every box
BOX_BAND = (0, 140, SCREEN_W, 200)  # holds every box of up to three lines
OK_BUTTON_CENTRE = (320, 262)


def expect_no_xmessage(s):
    boxes = [argv for _, argv in children_of(s.game_proc.pid) if argv and os.path.basename(argv[0]) == "xmessage"]
    check(not boxes, "the game opened a box of another program, which full screen leaves unanswerable: %r" % boxes)


def answer_message(s, text, answer):
    """F2 on the title raises `text` in the game's own box; `answer` (a key
    name, or "click") closes it, and the title is back, unchanged."""
    title = s.picture("Main Menu.bmp")
    s.press("F2")
    s.wait_screen("box", lambda shot: diff_fraction(shot, title, box=BOX_AREA) > 0.3
                  and diff_fraction(shot, title, excludes=(BOX_BAND,)) < 0.01, APPEAR)
    expect_no_xmessage(s)
    mark = s.sound_mark()
    check(rms(s.sound(mark, 0.5)) > 30.0, "the music stopped while the message is shown")
    check(s.game_proc.poll() is None, "the game ended with the message on screen")
    out, err = s.output()
    check(text in err, "standard error does not hold %r: %r" % (text, err[-300:]))
    if answer == "click":
        s.xdo("mousemove", str(OK_BUTTON_CENTRE[0]), str(OK_BUTTON_CENTRE[1]))
        time.sleep(0.1)
        s.xdo("mousedown", "1")
        time.sleep(0.1)
        s.xdo("mouseup", "1")
    else:
        s.press(answer)
    s.wait_screen("title-after-" + answer, lambda shot: diff_fraction(shot, title) < 0.01, APPEAR)
    time.sleep(0.5)  # the answering key must not turn a page or quit
    check(s.game_proc.poll() is None, "answering the message with %s ended the game" % answer)
    expect_screen(s.shot("still-title"), title, "the title after answering with " + answer, 0.01)


def scenario_resume_without_save(s):
    """F2 with no save file: "No saved Found" in the game's own box, answered
    by a real ENTER and then by a click on OK; neither turns the title's page.
    ESC then ends the title with 1."""
    s.data_copy()
    s.start_x()
    s.start_game()
    answer_message(s, "No saved Found", "Return")
    answer_message(s, "No saved Found", "click")
    check(s.quit_with("Escape", 10) == 1, "ESC on the title after the box did not end with 1")


def scenario_resume_damaged(s):
    """A damaged save, then a pipe at the save's name (called no file): each is
    refused in the game's own box, answered by ESC and by space, without
    quitting or hanging."""
    run_dir = s.data_copy()
    save = os.path.join(run_dir, "heroData.txt")
    with open(save, "w") as f:
        f.write("1 2 3 not a save\n")
    s.start_x()
    s.start_game()
    damaged = 'The saved game in "heroData.txt" is damaged and cannot be resumed.'
    answer_message(s, damaged, "Escape")
    os.remove(save)
    os.mkfifo(save)
    answer_message(s, '"heroData.txt" is not a file', "space")
    check(s.quit_with("Escape", 10) == 1, "ESC on the title after the boxes did not end with 1")


def scenario_late_load_failure(s):
    """The game-over picture vanishes after the start-up check: reaching game
    over stops the game with a message in its own box naming the file, which a
    real Return answers; the game then ends with -1 (255)."""
    run_dir = s.data_copy()
    camera = (1000, 800)
    write_save(run_dir, camera=camera, hero=(camera[0] + 272, camera[1] + 192), life=0)
    s.start_x()
    s.start_game()
    os.remove(os.path.join(run_dir, "gameover.bmp"))
    s.press("F2")
    s.wait_screen("box", lambda shot: diff_fraction(shot, s.picture("Main Menu.bmp")) > 0.3
                  and diff_fraction(shot, s.picture("worldMap.bmp"), box=BOX_AREA, ref_at=(camera[0] + 120,
                                                                                           camera[1] + 180)) > 0.3, APPEAR)
    expect_no_xmessage(s)
    time.sleep(0.3)
    check(s.game_proc.poll() is None, "the game ended before its message was answered")
    s.press("Return")
    code = s.wait_exit(10)
    out, err = s.output()
    check(code == 255, "a picture that cannot be loaded in play ended the game with %s, expected 255" % code)
    check("gameover.bmp" in err, "standard error does not name gameover.bmp: %r" % err[-300:])


# The notice of a failed save: over the bottom of the frame, two lines.
NOTICE_BOX = (8, 396, 624, 60)


def scenario_save_fails(s):
    """A folder at "heroData.txt": F1 shows a notice over the play frame and a
    line on standard error, play goes on, the notice goes after about two
    seconds, ESC ends with 0 and the folder is untouched. Then a link planted
    at a temporary name: F1 saves, and the link's target is untouched. Last,
    "heroData.txt" a link to the save in another folder (a synced one): F1
    saves through the link, which stays, and F2 in a new run resumes from
    that file."""
    run_dir = s.data_copy()
    folder = os.path.join(run_dir, "heroData.txt")
    os.mkdir(folder)
    s.start_x()
    s.start_game()
    enter_game(s)
    world = s.picture("worldMap.bmp")
    s.press("F1", hold=0.5)  # held: told once
    told = s.wait_screen("notice", lambda shot: diff_fraction(shot, world, box=NOTICE_BOX) > 0.5, APPEAR)
    expect_world_view(told, world, (0, 0), "play under the notice", limit=0.2)
    s.hold_until("Down", "walking-under-notice", view_condition(world, DOWN_TO_WALL), 6)
    s.wait_screen("notice-gone", lambda shot: diff_fraction(shot, world, box=NOTICE_BOX, ref_at=(8, 396 + 224))
                  < 0.2, 5)
    out, err = s.output()
    lines = [line for line in err.splitlines() if line.startswith("Could not save")]
    check(len(lines) == 1, "one held F1 should tell one line on standard error, got %r" % lines)
    check('a folder is in the way of "heroData.txt"' in lines[0], "the line says %r" % lines[0])
    check(s.quit_with("Escape", 10) == 0, "ESC in play after a failed save did not end with 0")
    check(os.path.isdir(folder) and not os.listdir(folder), "the folder at heroData.txt was changed")
    check(not [n for n in os.listdir(run_dir) if n.startswith("heroData.txt.")], "a temporary file was left")

    os.rmdir(folder)
    target = os.path.join(s.tmp, "precious.txt")
    with open(target, "w") as f:
        f.write("keep me\n")
    os.symlink(target, os.path.join(run_dir, "heroData.txt.new"))
    os.symlink(target, os.path.join(run_dir, "heroData.txt.saving-XXXXXX"))
    s.start_game()
    enter_game(s)
    s.press("F1")
    saved = wait_save(run_dir, lambda text: True)
    check(saved == NEW_GAME_SAVE, "the save beside a planted link is %r" % saved)
    with open(target) as f:
        check(f.read() == "keep me\n", "F1 wrote through a link planted at a temporary name")
    for name in ("heroData.txt.new", "heroData.txt.saving-XXXXXX"):
        check(os.path.islink(os.path.join(run_dir, name)), "the planted link %s was removed" % name)
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")

    synced = os.path.join(s.tmp, "synced")
    os.mkdir(synced)
    linked = os.path.join(synced, "save.txt")
    with open(linked, "w") as f:
        f.write("the previous save\n")
    save = os.path.join(run_dir, "heroData.txt")
    os.remove(save)
    os.symlink(linked, save)
    s.start_game()
    enter_game(s)
    s.hold_until("Down", "walking-down-linked", view_condition(world, DOWN_TO_WALL), 6)
    s.press("F1")
    where = ["0", "224", "272", "416", "0"]  # camera, hero, zone
    walked = wait_save(run_dir, lambda text: text.split("\n")[:5] == where)
    check(walked is not None and walked.split("\n")[:5] == where, "the linked save holds %r" % walked)
    check(os.path.islink(save) and os.readlink(save) == linked, "F1 replaced the link at heroData.txt")
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")
    # Counted once the game has ended: F1 saves in every tick it is held, so
    # a later save of the same press may still be writing its temporary file
    # when the first one has reached the linked file.
    left = [n for folder in (run_dir, synced) for n in os.listdir(folder) if n.startswith("heroData.txt.saving-")]
    check(left == ["heroData.txt.saving-XXXXXX"], "temporary files were left: %r" % left)
    s.start_game()
    back = resume(s)
    expect_camera(back, world, DOWN_TO_WALL, "resumed through the link")
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


def scenario_save_during_swing(s):
    """F1 while the sword swings (92 ticks in which keys wait): a tap 0.2 s
    after ENTER, then F1 held 0.5 s, then F1 held past the swing's end. Each
    time nothing is saved during the swing, and the whole save is there once
    it ends."""
    run_dir = s.data_copy()
    s.start_x()
    s.start_game()
    enter_game(s)
    time.sleep(1.2)  # the ENTER that started play may have started a swing: let it end
    save = os.path.join(run_dir, "heroData.txt")
    for label, f1_seconds in (("a tap", 0.1), ("held 0.5 s", 0.5), ("held past the swing", 1.5)):
        check(not os.path.exists(save), "%s: a save is there before F1" % label)
        pressed = time.time()
        s.press("Return", hold=0.08)
        time.sleep(max(0.0, pressed + 0.2 - time.time()))
        s.xdo("keydown", "F1")
        time.sleep(min(f1_seconds, 0.5))
        if time.time() - pressed < 0.75:  # still within the swing, with room to spare
            check(not os.path.exists(save), "%s: F1 saved during the swing" % label)
        time.sleep(max(0.0, f1_seconds - 0.5))
        s.xdo("keyup", "F1")
        saved = wait_save(run_dir, lambda text: True, timeout=3)
        check(saved == NEW_GAME_SAVE, "%s: F1 during a swing left the save %r, expected the 15 lines %r"
              % (label, saved, NEW_GAME_SAVE))
        time.sleep(0.3)
        os.remove(save)
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


def box_then_title(s, answer):
    """F2 with no save: the game's own box; `answer` is a key name or
    "click" (a zero-length click on OK); the title comes back."""
    title = s.picture("Main Menu.bmp")
    s.press("F2")
    s.wait_screen("box", lambda shot: diff_fraction(shot, title, box=BOX_AREA) > 0.3
                  and diff_fraction(shot, title, excludes=(BOX_BAND,)) < 0.01, APPEAR)
    if answer == "click":
        s.xdo("mousemove", str(OK_BUTTON_CENTRE[0]), str(OK_BUTTON_CENTRE[1]))
        time.sleep(0.1)
        s.xdo("click", "1")
    else:
        s.press(answer)
    s.wait_screen("title-again", lambda shot: diff_fraction(shot, title) < 0.01, APPEAR)


def scenario_quick_click(s):
    """A click on OK with no time between press and release (`xdotool click
    1`) closes the box, ten times out of ten."""
    s.data_copy()
    s.start_x()
    s.start_game()
    for _ in range(10):
        box_then_title(s, "click")
    check(s.quit_with("Escape", 10) == 1, "ESC on the title did not end with 1")


def scenario_stderr_closed(s):
    """Started with standard error closed (`2>&-`): the title comes, F2's box
    is answered by a real ENTER, ESC ends with 1. The start also removed a
    temporary save of a killed game older than a minute, and only that."""
    run_dir = s.data_copy()
    stale, young = "heroData.txt.saving-k1LLed", "heroData.txt.saving-n0wNow"
    # Not the game's: a player's copies, and a temporary name of 1.1.0 that
    # cannot be told from them.
    others = ["heroData.txt.1.old", "heroData.txt.backup", "heroData.txt.copy01", "heroData.txt.k1LLed"]
    for name in [stale, young] + others:
        with open(os.path.join(run_dir, name), "w") as f:
            f.write("0\n")
    two_minutes_ago = time.time() - 120
    for name in [stale] + others:
        os.utime(os.path.join(run_dir, name), (two_minutes_ago, two_minutes_ago))
    s.start_x()
    s.start_game(stderr="closed")
    box_then_title(s, "Return")
    check(s.quit_with("Escape", 10) == 1, "ESC on the title did not end with 1")
    left = sorted(n for n in os.listdir(run_dir) if n.startswith("heroData.txt"))
    check(left == sorted([young] + others), "after the start the temporary saves are %r, expected %r"
          % (left, sorted([young] + others)))


def scenario_stderr_broken_pipe(s):
    """Standard error on a pipe whose reader has gone: F2 with no save and a
    failed F1 (a folder at "heroData.txt") leave the game running; ESC then
    ends it with 0."""
    run_dir = s.data_copy()
    s.start_x()
    s.start_game(stderr="broken pipe")
    box_then_title(s, "Return")
    os.mkdir(os.path.join(run_dir, "heroData.txt"))
    enter_game(s)
    world = s.picture("worldMap.bmp")
    s.press("F1")
    s.wait_screen("notice", lambda shot: diff_fraction(shot, world, box=NOTICE_BOX) > 0.5, APPEAR)
    time.sleep(0.5)
    check(s.game_proc.poll() is None, "the game ended (code %s) after a failed save" % s.game_proc.returncode)
    check(s.quit_with("Escape", 10) == 0, "ESC in play after a failed save did not end with 0")


def scenario_east_music(s):
    """Resumed just west of x = 2000 in the home zone, walking right crosses
    into the east zone: the home track gives way to the east track. The
    enemies stand where the clock's second puts them: when one is in the
    hero's way, its hurts (every 0.1 s while he walks into it) cover the
    track, so the run is made again, at most twice, with other places."""
    music, effects = Music(s.data_dir), Effects(s.data_dir)
    run_dir = s.data_copy()
    # Row 37 of the hero's grid is free from x 1984 to x 3136.
    camera = (1984 - 272, 1152 - 192)
    write_save(run_dir, camera=camera, hero=(1984, 1152))
    s.start_x()
    world = s.picture("worldMap.bmp")
    for attempt in range(3):
        s.start_game()
        back = resume(s)
        expect_world_view(back, world, camera, "resumed")
        expect_track_start(s, music, "home", s.music_mark, s.music_seen, "resumed")
        east_from = s.sound_mark()
        s.hold("Right", 0.6)  # the zone changes at the 5th step, from x = 2000
        after = s.shot("after-crossing")
        crossing_seen = s.sound_mark()
        walked_to = find_camera_x(after, world, camera[1], range(camera[0], camera[0] + 4 * 200, 4))
        print("walked %d pixels right" % (walked_to - camera[0]))
        check(walked_to - camera[0] >= 20, "the hero walked only %d pixels right" % (walked_to - camera[0]))
        expect_world_view(after, world, (walked_to, camera[1]), "after the crossing", wrong=[(world, camera)])
        heard = s.sound(east_from, (crossing_seen - east_from) / SOUND_BYTES_PER_SECOND + START_SLACK + TRACK_SPAN)
        hurt, at = effects.find("hurt", heard)
        if hurt < EFFECT_FOUND or attempt == 2:
            break
        print("an enemy hurt the hero %.2f s into the walk (correlation %.2f): again" % (at, hurt))
        check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")
    expect_track_start(s, music, "east", east_from, crossing_seen, "after the crossing")
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


def scenario_heal_and_swing(s):
    """Resumed with life 10: right Shift heals to full for magic; ENTER shows
    the attack frames for the swing, then the standing frame again."""
    run_dir = s.data_copy()
    write_save(run_dir, camera=(0, 0), hero=(272, 192), life=10, magic=20)
    s.start_x()
    s.start_game()
    first = resume(s)
    life_sheet, magic_sheet = s.picture("life_bar.bmp"), s.picture("magic_bar.bmp")

    def bars(shot):
        life = bar_count(shot, life_sheet, life_sheet, 15)
        magic = bar_count(shot, magic_sheet, life_sheet, 31)
        for what, (count, difference) in (("life", life), ("magic", magic)):
            check(difference < 0.1, "the %s bar matches no count of pips (best %d, %.0f %% differ)"
                  % (what, count, 100 * difference))
        return life[0], magic[0]

    check(bars(first) == (10, 20), "after the resume the bars show life/magic %s, expected (10, 20)"
          % (bars(first),))
    s.xdo("keydown", "62")  # right Shift by its keycode
    time.sleep(0.1)
    s.xdo("keyup", "62")
    # 6 life for 2 magic per tick until full: 10 -> 16 -> 22 -> 25, magic 14.
    healed = s.wait_screen("healed", lambda shot: bars(shot) != (10, 20), APPEAR)
    check(bars(healed) == (25, 14), "after healing the bars show life/magic %s, expected (25, 14)"
          % (bars(healed),))

    standing = expect_hero(s, first, "Avatar.bmp", 8, "before the swing")
    walk_sheet, attack_sheet = s.picture("Avatar.bmp"), s.picture("avatar attacks.bmp")

    def fits(shot):
        """How well the best walking and the best attack frame of the
        standing row fit the hero's place."""
        walk = best_cell(shot, HERO_BOX[0], HERO_BOX[1], walk_sheet, 96, 96,
                         [(standing[0], c) for c in range(8)])
        attack = best_cell(shot, HERO_BOX[0], HERO_BOX[1], attack_sheet, 96, 96,
                           [(standing[0], c) for c in range(13)])
        return walk, attack

    def swinging(shot):
        walk, attack = fits(shot)
        return attack[0] >= 0.8 and attack[0] > walk[0]

    def standing_again(shot):
        walk, attack = fits(shot)
        return walk[0] >= 0.8 and walk[0] > attack[0]

    s.press("Return")
    # A swing lasts 92 ticks: screenshots within it show an attack frame.
    try:
        s.wait_screen("swinging", swinging, 2)
    except Failure:
        walk, attack = fits(s.shot("no-swing"))
        raise Failure("during the swing the hero shows no attack frame: attack cell %s fits %.0f %%, walking cell "
                      "%s %.0f %%" % (attack[1], 100 * attack[0], walk[1], 100 * walk[0]))
    try:
        after = s.wait_screen("after-swing", standing_again, APPEAR)
    except Failure:
        after = s.shot("after-swing")
    walk, attack = fits(after)
    check(walk[0] >= 0.8 and walk[0] > attack[0],
          "after the swing the hero shows no walking frame: walking cell %s fits %.0f %%, attack cell %s %.0f %%"
          % (walk[1], 100 * walk[0], attack[1], 100 * attack[0]))
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


def scenario_game_over(s):
    """A resumed game with life 0 is lost at once: the view shows the game-over
    picture at the saved camera."""
    run_dir = s.data_copy()
    camera = (1000, 800)
    write_save(run_dir, camera=camera, hero=(camera[0] + 272, camera[1] + 192), life=0)
    s.start_x()
    s.start_game()
    over_picture, world = s.picture("gameover.bmp"), s.picture("worldMap.bmp")
    resume(s)
    over = s.wait_screen("game-over", lambda shot: diff_fraction(
        shot, over_picture, excludes=(HERO_BOX, HUD_BOX), ref_at=camera) < 0.15, APPEAR)
    expect_world_view(over, over_picture, camera, "game over", wrong=[(world, camera)])
    expect_hero(s, over, "Avatar.bmp", 8, "game over")
    check(s.quit_with("Escape", 10) == 0, "ESC after the game over did not end with 0")


def scenario_swing_sounds(s):
    """Walking with nothing happening plays only the home track; a swing is
    heard within 100 ms of its ENTER; through 30 swings in a row the mix never
    reaches full scale, and the home track still plays after them."""
    music, effects = Music(s.data_dir), Effects(s.data_dir)
    run_dir = s.data_copy()
    write_save(run_dir, camera=(0, 0), hero=(272, 192))
    s.start_x()
    s.start_game()
    resume(s)
    time.sleep(MUSIC_SETTLED / SOUND_BYTES_PER_SECOND)
    walk_from = s.sound_mark()
    s.hold("Left", 0.6)
    s.hold("Right", 0.6)
    walking = s.sound(walk_from, 1.2)
    started = expect_track_start(s, music, "home", s.music_mark, s.music_seen, "resumed")
    expect_track_playing(s, music, "home", started, walk_from, 1.2, "walking")
    expect_no_effect(effects, walking, "walking")
    pressed = s.sound_mark()
    s.press("Return")
    sent = s.seconds_since(pressed)
    expect_effect_over(s, effects, "swing", music, "home", started, pressed, sent + 0.5, "one swing",
                       within=0.1, sent=sent)
    struck, _ = effects.find("hit", s.sound(pressed, sent + 0.5))
    check(struck < EFFECT_ABSENT, "a swing at nothing sounds like a strike (correlation %.2f)" % struck)
    time.sleep(1.0)  # the swing's animation ends
    storm_from = s.sound_mark()
    s.hold("Return", 30 * 0.92 + 0.1)  # held: a new swing every 92 ticks
    storm_to = s.sound_mark()
    expect_unclipped(s, storm_from, storm_to, "30 swings")
    # The last swing's sound has ended 0.4 s on; the music goes on alone.
    expect_track_playing(s, music, "home", started, storm_to + int(0.4 * SOUND_RATE) * 4, TRACK_SPAN,
                         "after 30 swings")
    # swings come every 0.92 s
    expect_effect_over(s, effects, "swing", music, "home", started, storm_to - int(1.5 * SOUND_RATE) * 4, 1.5,
                       "the 30th swing")
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


def scenario_title_sounds(s):
    """Three quick ENTERs turn the story pages, each with its page sound, and
    the title track is still recognised through them."""
    music, effects = Music(s.data_dir), Effects(s.data_dir)
    s.data_copy()
    s.start_x()
    s.start_game()
    started = s.first_sound(0)  # the title track
    s.sound(started, 0.5)  # half a second of it before the first ENTER
    storm_from = s.sound_mark()
    for page in ("bitmap1.bmp", "bitmap2.bmp", "bitmap3.bmp"):
        pressed = s.sound_mark()
        s.press("Return", 0.08)
        sent = s.seconds_since(pressed)
        expect_effect_over(s, effects, "page", music, "title", started, pressed, sent + 0.35, "turning to " + page,
                           within=0.1, sent=sent)
        s.wait_screen(page, lambda shot, p=page: diff_fraction(shot, s.picture(p)) < 0.01, APPEAR)
    storm_seconds = max(TRACK_SPAN, (s.sound_mark() - storm_from) / SOUND_BYTES_PER_SECOND)
    expect_track_playing(s, music, "title", started, storm_from, storm_seconds, "through the page turns")
    check(s.quit_with("Escape", 10) == 1, "ESC on the story pages did not end with 1")


JEWEL_HERO = (1592, 1992)  # the hero's centre 10 pixels left of the first jewel's (1650, 2000, 48 x 80)


def scenario_jewel_sound(s):
    """Stepping right onto the first jewel takes it, and its sound is heard."""
    music, effects = Music(s.data_dir), Effects(s.data_dir)
    run_dir = s.data_copy()
    write_save(run_dir, camera=(JEWEL_HERO[0] - 272, JEWEL_HERO[1] - 192), hero=JEWEL_HERO)
    s.start_x()
    s.start_game()
    resume(s)
    started = expect_track_start(s, music, "home", s.music_mark, s.music_seen, "resumed")
    step_from = s.sound_mark()  # the track has played TRACK_SPAN seconds and more by now
    s.hold("Right", 0.3)
    expect_effect_over(s, effects, "jewel", music, "home", started, step_from, s.seconds_since(step_from) + 1.0,
                       "the jewel taken", also=("hurt",))  # a lizard may touch the hero there
    s.press("F1")  # the save tells that the jewel was taken
    saved = wait_save(run_dir, lambda text: text.split()[12:15] != ["0", "0", "0"])
    check(saved.split()[12:15] != ["0", "0", "0"], "no jewel taken in the save: %s" % saved.split())
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


BOSS_START = (2580, 2496)


def red_pixels(shot):
    """Pixels of the hero's box that are strongly red (the hurt flash)."""
    x0, y0, w, h = HERO_BOX
    count = 0
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            i = (y * shot.w + x) * 3
            r, g, b = shot.data[i:i + 3]
            if r > 140 and g < 0.55 * r and b < 0.55 * r:
                count += 1
    return count


def scenario_hurt_flash(s):
    """Resumed with the hero standing in the dark lord: his touch costs life,
    is heard, and the hero is drawn red; once the touches stop he is drawn as
    usual again. A swing beside him is heard with his wound."""
    effects = Effects(s.data_dir)
    run_dir = s.data_copy()
    hero = (BOSS_START[0] - 30, BOSS_START[1])  # his centre inside the boss's 96 x 96
    camera = (hero[0] - 272, hero[1] - 192)
    write_save(run_dir, camera=camera, hero=hero, zone=2, life=60, max_life=60)
    s.start_x()
    s.start_game()
    touched_from = s.sound_mark()
    resume(s)
    reds = []
    # Into the pushed-back boss again and again, until a screenshot catches
    # the flash: held longer, the hero would walk past the boss into
    # whatever lies beyond.
    s.xdo("keydown", "Right")
    try:
        until = time.time() + 1.5
        while (not reds or max(reds) < 300) and time.time() < until:
            reds.append(red_pixels(s.shot("touching-%d" % len(reds))))
    finally:
        s.xdo("keyup", "Right")
    check(max(reds) >= 300, "no screenshot shows the hero tinted red (red pixels %s)" % reds)
    released = time.time()
    calm = s.wait_screen("calm", lambda shot: red_pixels(shot) * 10 < max(reds), 3)
    print("red pixels of the hero's box while touching %s, %d after %.2f s"
          % (reds, red_pixels(calm), time.time() - released))
    expect_hero(s, calm, "Avatar.bmp", 8, "after the flash")
    # The first touch comes at the first tick of play, which the screen showed
    # by music_seen (a loaded machine may take seconds to load the world).
    expect_effect(effects, "hurt", s.sound(touched_from, (s.music_seen - touched_from) / SOUND_BYTES_PER_SECOND
                                           + 1.0), "the first touch")
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


def enemy_places(replay, data_dir, seed, work):
    """[(kind, x, y)] of every lizard and ogre as the game places them for a
    seed, from the replay tool (the same placement code, no display)."""
    with open(os.path.join(work, "place.save"), "w") as f:
        f.write(NEW_GAME_SAVE)
    script = os.path.join(work, "place.replay")
    with open(script, "w") as f:
        f.write("seed %d\nsave place.save\n2 -\n1 F2\n1 -\n" % seed)
    out = subprocess.run([replay, "--data", data_dir, "--no-effects", script], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, universal_newlines=True, check=True).stdout
    places = []
    for line in out.splitlines():
        words = line.replace(":", "").split()
        if words and words[0] in ("lizard", "ogre"):
            places.append((words[0], int(words[3]), int(words[5])))
    check(len(places) == 70, "the replay tool placed %d enemies, not 70" % len(places))
    return places


ENEMY_SIZES = {"lizard": (90, 100), "ogre": (96, 96)}  # a frame of Lizard.bmp and of ogre.bmp
ENEMY_SHEETS = {"lizard": "Lizard.bmp", "ogre": "ogre.bmp"}


def figure_box(sheet, w, h):
    """(x, y, w, h) within a cell that holds every frame's figure (all that is
    not the magenta backdrop) in a sheet of w x h cells."""
    xs, ys = set(), set()
    for y in range(sheet.h):
        row = sheet.data[y * sheet.w * 3:(y + 1) * sheet.w * 3]
        for x in range(0, sheet.w, 2):
            if row[x * 3:x * 3 + 3] != b"\xff\x00\xff":
                xs.add(x % w)
                ys.add(y % h)
    return min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1
ENEMY_STEP = 4 / 7 * 100  # pixels per second an enemy walks (4 every 7 ticks, 100 ticks a second)


def scenario_kill_sound(s):
    """A swing that strikes a lizard or an ogre is heard. The game places its
    enemies from the clock's second once the world has loaded after F2; the
    replay tool gives the places for a second just ahead, the save puts the
    hero 60 pixels left of one of them, and F2 is pressed so that the load
    should end inside that second. A loaded machine can finish it in another
    second, with other places: when nothing is drawn where the enemy must
    stand, the run is made again (at most twice), F2 then timed by the load
    just seen. Every enemy walks down from the start: the hero
    stands so that its centre enters the swing's reach 4 pixels below the top
    and stays in it for 92 pixels, 1.6 s of play in which ENTER must come. The
    enemy is chosen far from the dark lord's start: with him in view a swing
    sounds his cry instead of the strike."""
    effects = Effects(s.data_dir)
    replay = os.path.join(os.path.dirname(s.game), "tools", "replay")
    check(os.access(replay, os.X_OK), "no replay tool beside the game at %s" % replay)
    run_dir = s.data_copy()
    s.start_x()
    world = s.picture("worldMap.bmp")
    load = 0.4  # seconds from F2 to the enemies' placement, first guessed, then seen
    for attempt in range(3):
        s.start_game()
        ahead = 2  # seconds: a loaded machine may need more to run the replay tool
        for _ in range(4):
            began = time.time()
            seed = int(began) + ahead
            places = enemy_places(replay, s.data_dir, seed, s.tmp)
            # Far from the dark lord: a swing with him in view sounds his cry, not the strike.
            kind, x, y = next(p for p in places if 400 <= p[1] <= 2800 and 300 <= p[2] <= 2800
                              and (abs(p[1] - BOSS_START[0]) > 1000 or abs(p[2] - BOSS_START[1]) > 800))
            hero = (x - 60, y + ENEMY_SIZES[kind][1] // 2 - 4)
            write_save(run_dir, camera=(hero[0] - 272, hero[1] - 192), hero=hero)
            if time.time() < seed + 0.1:
                break
            ahead = 2 + int(2 * (time.time() - began))
        print("seed %d: the hero resumes 60 pixels left of the %s at (%d, %d)" % (seed, kind, x, y))
        time.sleep(max(0.0, seed + 0.5 - load - time.time()))
        back = resume(s)
        resumed_at, seen_at = s.key_sent_at, time.time()
        mark = s.sound_mark()
        s.press("Return")
        # Play starts after the world has loaded, some time after F2: this is
        # the most the enemy can have walked, told for a failure's reader.
        print("ENTER reached the X server %.2f s after F2 (the %s walks out of reach %.2f s into play)"
              % (s.key_sent_at - resumed_at, kind, 92 / ENEMY_STEP))
        fx, fy, fw, fh = figure_box(s.picture(ENEMY_SHEETS[kind]), *ENEMY_SIZES[kind])
        drawn = diff_fraction(back, world, box=(x + fx - hero[0] + 272, y + fy - hero[1] + 192, fw, fh),
                              excludes=(HERO_BOX,), ref_at=(x + fx, y + fy))
        if drawn >= 0.15 or attempt == 2:
            break
        load = min(0.9, seen_at - resumed_at)
        print("nothing drawn where the %s stands (%.0f %% differ from the world): the game placed its enemies "
              "in another second; again, F2 %.2f s before the second's middle" % (kind, 100 * drawn, load))
        check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")
    capture = s.sound(mark, s.seconds_since(mark) + 0.6)
    expect_effect(effects, "hit", capture, "the %s struck" % kind, within=0.1, sent=s.seconds_since(mark))
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


SCENARIOS = {
    "save_during_swing": scenario_save_during_swing,
    "quick_click": scenario_quick_click,
    "stderr_closed": scenario_stderr_closed,
    "stderr_broken_pipe": scenario_stderr_broken_pipe,
    "title_story": scenario_title_story,
    "no_display": scenario_no_display,
    "walk": scenario_walk,
    "save_resume": scenario_save_resume,
    "resume_without_save": scenario_resume_without_save,
    "resume_damaged": scenario_resume_damaged,
    "save_fails": scenario_save_fails,
    "late_load_failure": scenario_late_load_failure,
    "east_music": scenario_east_music,
    "heal_and_swing": scenario_heal_and_swing,
    "game_over": scenario_game_over,
    "swing_sounds": scenario_swing_sounds,
    "title_sounds": scenario_title_sounds,
    "jewel_sound": scenario_jewel_sound,
    "hurt_flash": scenario_hurt_flash,
    "kill_sound": scenario_kill_sound,
}
for _name, _case in END_CASES.items():
    SCENARIOS[_name] = lambda s, c=_case: scenario_end(s, *c)
for _name, _case in DATA_FAULT_CASES.items():
    SCENARIOS[_name] = lambda s, c=_case: scenario_data_fault(s, *c)


# Tool -> the Debian package that brings it.
TOOLS = {"Xvfb": "xvfb", "xdotool": "xdotool", "xdpyinfo": "x11-utils", "xmessage": "x11-utils",
         "import": "imagemagick", "convert": "imagemagick"}


def main(argv):
    if len(argv) != 5 or argv[1] not in SCENARIOS:
        print(__doc__)
        print("scenarios: " + ", ".join(sorted(SCENARIOS)))
        return 2
    name, game, data_dir, out_root = argv[1:]
    missing = ["%s (package %s)" % (tool, package) for tool, package in TOOLS.items() if not shutil.which(tool)]
    if missing:
        print("FAILED %s: missing tools: %s" % (name, ", ".join(missing)))
        return 1
    # ctest's timeout sends SIGTERM: end through the clean-up below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    session = Session(name, os.path.abspath(game), os.path.abspath(data_dir), os.path.abspath(out_root))
    return run_scenario(SCENARIOS[name], name, session)


def run_scenario(scenario, name, session):
    """Plays one scenario; the game must have ended by itself. Returns the exit code."""
    failed = True
    started = time.time()
    try:
        scenario(session)
        session.expect_game_ended()
        failed = False
        print("%s passed in %.1f s" % (name, time.time() - started))
    except Failure as problem:
        print("FAILED %s: %s" % (name, problem))
    finally:
        session.close(failed)
    return 1 if failed else 0


# ---------------------------------------------------------------- three quarters

# The hero resumed beside something taller than he is: (label, hero position,
# camera, in front). Just south of a wood and of a house, he stands where a
# step north is refused (his reference cell under the blocked one, in its top
# step of 4 pixels), in front of the drawn face: every pixel of him shows.
# Just north of a house, in the free cell above it, he stands behind it: the
# roof's eaves hide his legs, not his head. The trees of a wood rise higher
# than a roof (a step from their edge he is all but hidden), so a cell further
# north he stands under the canopy's edge, its lower crowns over his legs.
OVERLAY_CASES = [
    ("south of a house", (400, 380), (128, 188), True),     # blocked cell (11, 13)
    ("south of a wood", (2512, 348), (2240, 156), True),    # blocked cell (10, 79)
    ("north of a house", (208, 416), (0, 224), False),      # blocked cell (15, 7)
    ("under a wood's edge", (2416, 896), (2144, 704), False),  # blocked cell (31, 76)
]


def scenario_three_quarters(s):
    """For each case: resumed beside something tall, the hero is whole in
    front of it and partly hidden behind it; the view around him is the world
    picture, the overlay drawn over it changing nothing."""
    sheet = s.picture("Avatar.bmp")
    world = s.picture("worldMap.bmp")
    cells = [(r, c) for r in range(8) for c in range(8)]
    s.start_x()
    for label, hero, camera, in_front in OVERLAY_CASES:
        run_dir = s.data_copy()
        write_save(run_dir, camera=camera, hero=hero)
        s.start_game()
        resume(s)
        at = (hero[0] - camera[0], hero[1] - camera[1])
        hero_box = (at[0], at[1], 96, 96)
        # Awaited: an enemy wandering over him for a moment must not decide it.
        wanted = (lambda m: m >= 0.97) if in_front else (lambda m: 0.2 <= m <= 0.9)
        shot = s.wait_screen(label, lambda shot: diff_fraction(shot, world, excludes=(hero_box, HUD_BOX),
                                                               ref_at=camera) < 0.05 and
                             wanted(best_cell(shot, at[0], at[1], sheet, 96, 96, cells)[0]), 8)
        match, where = best_cell(shot, at[0], at[1], sheet, 96, 96, cells)
        print("%s: %.1f %% of the hero's frame %s shows" % (label, 100 * match, where))
        if in_front:
            check(match >= 0.97, "%s: only %.1f %% of the hero shows, though he stands in front"
                  % (label, 100 * match))
        else:
            check(0.2 <= match <= 0.9, "%s: %.1f %% of the hero shows; behind it he is partly hidden"
                  % (label, 100 * match))
            # What hides him is the overlay, and all of him the overlay leaves shows.
            overlay = s.world_overlay()
            frame = sheet.crop(where[1] * 96, where[0] * 96, 96, 96)
            seen = sprite_match(shot, at[0], at[1], frame,
                                lambda x, y: overlay.covers(camera[0] + x, camera[1] + y))
            check(seen >= 0.97, "%s: only %.1f %% of the hero outside the overlay shows" % (label, 100 * seen))
        check(s.quit_with("Escape", 10) == 0, "%s: ESC in play did not end with 0" % label)


SCENARIOS["three_quarters"] = scenario_three_quarters


# ---------------------------------------------------------------- feedback: notices, HUD, victory theme

SAVED_PANEL = (12, 40, 20)       # the "Saved" notice's panel
NOTICE_PROBE = (20, 430)         # inside the notice's panel, left of its text
HUD_INK = (255, 236, 170)        # the level and experience text
XP_FILL = (120, 210, 255)        # the experience bar's filled part
XP_BAR = (490, 91, 130)          # its left end, row and length
SOCKET_CENTRES = [(490 + 25 * i + 10, 55) for i in range(3)]
SOCKET_FILL = (44, 40, 62)       # an empty jewel socket


def pixel(shot, x, y):
    i = (y * shot.w + x) * 3
    return tuple(shot.data[i:i + 3])


def near(colour, expected):
    return all(abs(a - b) <= FUZZ for a, b in zip(colour, expected))


def scenario_saved_notice(s):
    """F1 that saves shows "Saved" over the bottom of the screen with its own
    sound, once per press; the notice is gone about two seconds later."""
    effects = Effects(s.data_dir)
    run_dir = s.data_copy()
    s.start_x()
    s.start_game()
    enter_game(s)
    world = s.picture("worldMap.bmp")
    mark = s.sound_mark()
    pressed = time.time()
    s.press("F1")
    shown = s.wait_screen("saved", lambda shot: near(pixel(shot, *NOTICE_PROBE), SAVED_PANEL), 2)
    check(wait_save(run_dir, lambda text: True) == NEW_GAME_SAVE, "F1 wrote no save")
    # The word itself: light text in the middle of the panel.
    text = sum(1 for y in range(425, 450) for x in range(270, 370) if min(pixel(shown, x, y)) > 150)
    check(text > 100, "the notice's panel shows no text (%d light pixels)" % text)
    expect_effect(effects, "saved", s.sound(mark, 1.5), "the save")
    probes = [NOTICE_PROBE, (620, 440), (150, 452)]  # along the panel, away from its text
    s.wait_screen("notice-gone", lambda shot: not any(near(pixel(shot, *p), SAVED_PANEL) for p in probes), 5)
    lasted = time.time() - pressed
    print("the notice was seen gone %.1f s after F1" % lasted)
    check(1.5 <= lasted, "the notice lasted only %.1f s" % lasted)
    # The world shows again where the notice stood (only figures may differ).
    gone = diff_fraction(s.shot("after-notice"), world, box=(0, 404, SCREEN_W, 60), excludes=(HERO_BOX, HUD_BOX),
                         ref_at=(0, 404))
    check(gone < 0.1, "%.0f %% of the notice's place differs from the world" % (100 * gone))
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


def scenario_hud_level(s):
    """The HUD shows, on its own panel: the level and experience as text, the
    experience toward the next level as a filled bar, and a socket for each
    jewel with the taken ones in theirs."""
    run_dir = s.data_copy()
    camera = (1200, 1000)
    write_save(run_dir, camera=camera, hero=(camera[0] + 272, camera[1] + 192), level=3, experience=14,
               next_level=25, jewels=(1, 0, 1))
    s.start_x()
    s.start_game()
    resume(s)
    hud = s.wait_screen("hud", lambda shot: near(pixel(shot, 486, 11), HUD_PANEL), 5)
    filled = sum(1 for x in range(XP_BAR[0], XP_BAR[0] + XP_BAR[2]) if near(pixel(hud, x, XP_BAR[1]), XP_FILL))
    check(filled == 14 * XP_BAR[2] // 25, "the experience bar fills %d of %d pixels, expected %d"
          % (filled, XP_BAR[2], 14 * XP_BAR[2] // 25))
    for row, what in ((70, "level"), (80, "experience")):
        ink = sum(1 for y in range(row, row + 8) for x in range(490, 620) if near(pixel(hud, x, y), HUD_INK))
        check(ink > 20, "no %s text on the HUD (%d pixels of ink)" % (what, ink))
    # Two jewels taken: the jewel picture (scaled to 20 x 20) in the first two
    # sockets, the third empty.
    jewel = s.picture("jewel.bmp")
    inside = pixel(jewel, jewel.w // 2, jewel.h // 2)
    check(inside != MASK, "the jewel picture is transparent in its middle")
    for i, (x, y) in enumerate(SOCKET_CENTRES):
        colour = pixel(hud, x, y)
        expected = SOCKET_FILL if i == 2 else inside
        check(near(colour, expected), "jewel socket %d shows %s, expected %s (%s)"
              % (i, colour, expected, "empty" if i == 2 else "a jewel"))
    check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")


VICTORY_TRACKS = dict(TRACKS, victory="BGM_victory.wav")
VICTORY_THEME_DELAY = 3.3  # seconds from the victory to the theme's start


def scenario_victory_theme(s):
    """Resumed with the three jewels and a level so high that one swing beats
    the dark lord: the victory fanfare sounds, then the victory theme, which
    is heard again from its start once its loop has come round."""
    effects, music = Effects(s.data_dir), Music(s.data_dir, VICTORY_TRACKS)
    run_dir = s.data_copy()
    write_save(run_dir, camera=(0, 0), hero=(272, 192), level=1000, jewels=(1, 1, 1))
    loop = music.lengths["victory"] / MIXER_STEP_32K / SOUND_RATE  # seconds of capture per round
    s.start_x()
    s.start_game()
    resume(s)
    time.sleep(0.5)
    mark = s.sound_mark()
    s.press("Return")
    won = s.wait_screen("victory", lambda shot: diff_fraction(
        shot, s.picture("Victory.bmp"), excludes=(HERO_BOX, HUD_BOX)) < 0.15, 10)
    # The picture is read from the disk before the fanfare starts: time the
    # theme from the fanfare, which starts in the tick its countdown does.
    fanfare = mark + int(expect_effect(effects, "victory", s.sound(mark, 3.0), "the fanfare") * SOUND_RATE) * 4
    due = fanfare + int(VICTORY_THEME_DELAY * SOUND_RATE) * 4
    started = expect_track_start(s, music, "victory", due - int(0.5 * SOUND_RATE) * 4, due, "after the fanfare")
    again = started + int((loop + 0.3) * SOUND_RATE) * 4
    s.sound(again, TRACK_SPAN, timeout=loop + 15)  # the capture has come that far
    expect_track_playing(s, music, "victory", started, again, TRACK_SPAN, "the theme come round")
    check(won is not None, "no victory picture")
    check(s.quit_with("Escape", 10) == 0, "ESC after the victory did not end with 0")


SCENARIOS["saved_notice"] = scenario_saved_notice
SCENARIOS["hud_level"] = scenario_hud_level
SCENARIOS["victory_theme"] = scenario_victory_theme


if __name__ == "__main__":
    sys.exit(main(sys.argv))
