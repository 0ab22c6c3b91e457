"""Small, valid media files made by code for the end-to-end tests and the demo: a MIDI tune and a PCM WAV."""

import math
import struct


def midi_tune(notes=(60, 64, 67, 72), ticks=96):
    """A format-0 MIDI file playing `notes` one after another."""
    events = bytearray()
    for note in notes:
        events += bytes([0x00, 0x90, note, 0x50])                          # note on at once
        events += bytes([ticks & 0x7F, 0x80, note, 0x40]) if ticks < 128 else \
            bytes([0x80 | (ticks >> 7), ticks & 0x7F, 0x80, note, 0x40])    # note off after `ticks`
    events += bytes([0x00, 0xFF, 0x2F, 0x00])                              # end of track
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96)
    return header + b"MTrk" + struct.pack(">I", len(events)) + bytes(events)


def wav_tone(seconds=0.25, rate=8000, frequency=440.0):
    """A mono 16-bit PCM WAV of a sine tone."""
    count = int(seconds * rate)
    samples = b"".join(struct.pack("<h", int(12000 * math.sin(2 * math.pi * frequency * i / rate)))
                       for i in range(count))
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(samples)) + samples
    return b"RIFF" + struct.pack("<I", len(body)) + body
