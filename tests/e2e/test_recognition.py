#!/usr/bin/env python3
"""The end-to-end tests' music recognition, checked on captures made up from
the data folder's own tracks and effects, where the truth is known: each
track starting 0.3 s into the capture at half volume (as after a zone change),
under none to three hurts at full volume (an enemy in the hero's way). The
track must be found piece by piece at its exact start, and no other track
may count as heard. And the effects over the music: a soft page turn, a
swing or a jewel's chime laid over each track, under hurts, must be found at
its exact place once the track and the hurts are taken away (without_music),
and nothing may be found where the effect is not.

  test_recognition.py DATA_DIR
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import jewelward_e2e as e2e  # noqa: E402

START = 0.3  # seconds of silence before the track
HURTS = [(), (0.35,), (0.32, 0.6), (0.5, 1.1), (0.25, 0.4, 0.9)]  # seconds into the capture


def capture_of(music, track, hurt, at_seconds):
    rate = e2e.SOUND_RATE
    samples = [0.0] * int(3.5 * rate)
    start = int(START * rate)
    for i, v in enumerate(music.played(track, 0, len(samples) - start)):
        samples[start + i] += 0.5 * v
    for t in at_seconds:
        k = int(t * rate)
        for i, v in enumerate(hurt[:len(samples) - k]):
            samples[k + i] += v
    return samples


MUSIC_GAIN, HURT_GAIN = 0.56, 0.28  # as fitted in the game's captures at full volume
PLAYED_BEFORE = 2.0                 # seconds the track has played before the capture
# (effect, its gain, seconds into the capture, hurts at): soft enough that the
# music left in hides it, or nearly
EFFECTS_OVER = [("page", 0.12, 0.2, ()), ("swing", 0.15, 0.35, (0.3,)), ("jewel", 0.12, 0.1, (0.05, 0.25))]


def effects_over_music(data_dir, music):
    effects = e2e.Effects(data_dir)
    rate = e2e.SOUND_RATE
    started, start = 0, int(PLAYED_BEFORE * rate) * 4
    problems = []
    for track in e2e.TRACKS:
        for name, gain, at, hurts in EFFECTS_OVER:
            for heard in (True, False):
                samples = [MUSIC_GAIN * v for v in music.played(track, PLAYED_BEFORE * rate * e2e.MIXER_STEP_32K,
                                                                 int(0.7 * rate))]
                sounds = [(effects.played[name], gain, at)] if heard else []
                for when in hurts:
                    sounds.append((effects.played["hurt"], HURT_GAIN, when))
                for sound, g, when in sounds:
                    k = int(when * rate)
                    for i, v in enumerate(sound[:len(samples) - k]):
                        samples[k + i] += g * v
                capture = [float(round(v)) for v in samples]  # the capture is 16-bit
                over, _ = effects.find(name, capture)
                found, found_at = effects.find(name, e2e.without_music(music, track, started, start, capture, effects,
                                                                       name, also=("hurt",)))
                label = "%s %s over %s under hurts at %s (%.2f with the music left in)" % (
                    name, "played" if heard else "not played", track, list(hurts), over)
                if heard and (found < 0.9 or abs(found_at - at) > 0.001):
                    problems.append("%s: found at %.2f, %.1f ms off" % (label, found, 1000 * (found_at - at)))
                if not heard and found >= e2e.EFFECT_ABSENT:
                    problems.append("%s: seems heard at %.2f" % (label, found))
                print("%s: %.2f at %.3f s" % (label, found, found_at))
    return problems


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    data_dir = argv[1]
    music = e2e.Music(data_dir)
    hurt_wav, rate, _ = e2e.read_wav(os.path.join(data_dir, "sfx_hurt.wav"))
    hurt = e2e.as_mixed(hurt_wav, 0, int((len(hurt_wav) - 1) / e2e.MIXER_STEP_32K))
    span = int(e2e.TRACK_SPAN * e2e.SOUND_RATE)
    problems = []
    for track in e2e.TRACKS:
        for at_seconds in HURTS:
            capture = capture_of(music, track, hurt, at_seconds)
            scores = {}
            for name in music.paths:
                played = music.played(name, 0, span)
                fit, lag = e2e.locate(played, capture, int(2.0 * e2e.SOUND_RATE))
                scores[name] = e2e.track_scores(fit, played, capture, lag, lag / e2e.SOUND_RATE - START)
            label = "%s under hurts at %s" % (track, list(at_seconds))
            try:
                e2e.judge_tracks(scores, track, label)
                off = scores[track][2]
                e2e.check(abs(off) <= 0.001, "%s: found %.1f ms off its start" % (label, 1000 * off))
            except e2e.Failure as problem:
                problems.append(str(problem))
    problems += effects_over_music(data_dir, music)
    for problem in problems:
        print("FAILED", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
