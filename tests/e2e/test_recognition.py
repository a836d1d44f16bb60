#!/usr/bin/env python3
"""The end-to-end tests' music recognition, checked on captures made up from
the data folder's own tracks and effects, where the truth is known: each
track starting 0.3 s into the capture at half volume (as after a zone change),
under none to three hurts at full volume (an enemy in the hero's way). The
track must be found piece by piece at its exact start, and no other track
may count as heard.

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
    for problem in problems:
        print("FAILED", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
