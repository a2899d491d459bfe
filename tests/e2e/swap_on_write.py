#!/usr/bin/env python3
"""Swaps a folder for a symbolic link to another one the moment a file in it
has been written, as a user who may write in the folder could swap it for a
junction: Wine follows a Unix symbolic link inside its prefix as Windows
follows a junction.

Usage: swap_on_write.py FOLDER TARGET VOLUME

Waits for VOLUME/arm, watches FOLDER/UnitPrefs.ini, says VOLUME/armed, and
after the file's second close for writing (the profile API opens it for
writing to read it, then writes it) renames FOLDER to FOLDER.real, links
FOLDER to TARGET and says VOLUME/swapped. Gives up after two minutes.
"""
import ctypes
import os
import struct
import sys
import time

IN_CLOSE_WRITE = 0x8
EVENT = struct.Struct("iIII")


def main():
    folder, target, volume = sys.argv[1:4]
    deadline = time.monotonic() + 120
    while not os.path.exists(os.path.join(volume, "arm")):
        if time.monotonic() > deadline:
            return 1
        time.sleep(0.01)
    libc = ctypes.CDLL(None, use_errno=True)
    watch = libc.inotify_init()
    path = os.path.join(folder, "UnitPrefs.ini").encode()
    if watch < 0 or libc.inotify_add_watch(watch, path, IN_CLOSE_WRITE) < 0:
        return 1
    open(os.path.join(volume, "armed"), "w").close()
    closes = 0
    while closes < 2:
        data = os.read(watch, 4096)
        offset = 0
        while offset < len(data):
            _, mask, _, length = EVENT.unpack_from(data, offset)
            offset += EVENT.size + length
            closes += 1 if mask & IN_CLOSE_WRITE else 0
    os.rename(folder, folder + ".real")
    os.symlink(target, folder)
    open(os.path.join(volume, "swapped"), "w").close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
