#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
# Makes the bench window's two sounds: a short rising pair of tones for a done handset and a
# lower, longer double buzz for a failed one, different enough to tell apart without looking.
# 16 kHz, 8-bit mono PCM keeps each under 20 KB. Run from this folder; the files are committed.
import math
import struct
import wave

RATE = 16000


def tones(parts):
    samples = bytearray()
    for freq, seconds, shape in parts:
        count = int(RATE * seconds)
        for i in range(count):
            t = i / RATE
            # A few milliseconds of fade at each end: no click.
            fade = min(1.0, i / 80, (count - i) / 80)
            if freq == 0:
                value = 0.0
            elif shape == "square":
                value = 0.35 if math.sin(2 * math.pi * freq * t) >= 0 else -0.35
            else:
                value = 0.6 * math.sin(2 * math.pi * freq * t)
            samples.append(int(128 + 127 * value * fade))
    return bytes(samples)


def write(name, data):
    with wave.open(name, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(1)
        out.setframerate(RATE)
        out.writeframes(data)


write("done.wav", tones([(880, 0.12, "sine"), (0, 0.03, "sine"), (1320, 0.18, "sine")]))
write("failed.wav", tones([(220, 0.22, "square"), (0, 0.08, "sine"), (220, 0.22, "square")]))
