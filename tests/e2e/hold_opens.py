#!/usr/bin/env python3
"""Plays a user who may change the capture application's folder on VOLUME
(a tmpfs mounted into the Wine prefix), with fanotify permission events: the
kernel holds every open of a file on the volume until this script answers,
so a move can be made while one of the program's opens waits. (Wine follows
a Unix symbolic link in its prefix as Windows follows a junction.)

Usage: hold_opens.py VOLUME CONTROL

VOLUME holds Lumora/ (the application's folder) and Decoy/ (the user's own,
with a UnitPrefs.ini of the user's). The test writes a command into
CONTROL/arm, which lies off the volume (this script's own opens there would
wait on itself); the script takes it, says CONTROL/armed, and on
CONTROL/disarm undoes its move, writes the result into CONTROL/result and
says CONTROL/disarmed. Commands:
  swap N file    at the N-th open of a UnitPrefs.ini outside Decoy/, while
                 it waits, that file is renamed to UnitPrefs.moved and a
                 second name of Decoy/UnitPrefs.ini takes its place;
  swap N folder  the same open: Lumora/ is renamed to Lumora.real and a
                 link to Decoy/ takes its place;
  plant          Lumora/ is replaced by a link to Decoy/ at once;
Result: "swapped" or "not swapped", then the number of files (not folders)
in Decoy/ that were opened. Ends after ten minutes without a command.
"""
import ctypes
import os
import select
import stat
import struct
import sys
import time

FAN_CLASS_CONTENT = 0x04
FAN_MARK_ADD = 0x01
FAN_MARK_MOUNT = 0x10
FAN_OPEN_PERM = 0x00010000
FAN_ALLOW = 0x01
O_LARGEFILE = 0o100000
AT_FDCWD = -100
METADATA = struct.Struct("IBBHQii")
RESPONSE = struct.Struct("iI")


def watch(volume):
    libc = ctypes.CDLL(None, use_errno=True)
    libc.fanotify_mark.argtypes = [ctypes.c_int, ctypes.c_uint,
                                   ctypes.c_uint64, ctypes.c_int,
                                   ctypes.c_char_p]
    fd = libc.fanotify_init(FAN_CLASS_CONTENT, os.O_RDONLY | O_LARGEFILE)
    if fd < 0 or libc.fanotify_mark(fd, FAN_MARK_ADD | FAN_MARK_MOUNT,
                                    FAN_OPEN_PERM, AT_FDCWD,
                                    volume.encode()) < 0:
        raise OSError(ctypes.get_errno(), "fanotify")
    return fd


class User:
    def __init__(self, volume):
        self.lumora = os.path.join(volume, "Lumora")
        self.decoy = os.path.join(volume, "Decoy")
        self.command = []
        self.opens = 0
        self.swapped = False
        self.decoy_files_opened = 0

    def arm(self, command):
        self.command = command
        self.opens = 0
        self.swapped = False
        self.decoy_files_opened = 0
        if command == ["plant"]:
            self.move_folder()

    def move_folder(self):
        os.rename(self.lumora, self.lumora + ".real")
        os.symlink(self.decoy, self.lumora)
        self.swapped = True

    def opened(self, path, is_file):
        """Called while the open of `path` waits."""
        if path.startswith(self.decoy + os.sep):
            self.decoy_files_opened += is_file
            return
        if not is_file or os.path.basename(path) != "UnitPrefs.ini":
            return
        self.opens += 1
        if self.command[:1] != ["swap"] or self.opens != int(self.command[1]):
            return
        if self.command[2] == "file":
            os.rename(path, os.path.join(os.path.dirname(path),
                                         "UnitPrefs.moved"))
            os.link(os.path.join(self.decoy, "UnitPrefs.ini"), path)
            self.swapped = True
        else:
            self.move_folder()

    def disarm(self):
        """Puts the application's folder back as it was."""
        if os.path.islink(self.lumora):
            os.unlink(self.lumora)
            os.rename(self.lumora + ".real", self.lumora)
        moved = os.path.join(self.lumora, "UnitPrefs.moved")
        if os.path.exists(moved):
            os.unlink(os.path.join(self.lumora, "UnitPrefs.ini"))
            os.rename(moved, os.path.join(self.lumora, "UnitPrefs.ini"))
        self.command = []
        return "%s\n%d\n" % ("swapped" if self.swapped else "not swapped",
                             self.decoy_files_opened)


def main():
    volume, control = os.path.realpath(sys.argv[1]), sys.argv[2]
    fd = watch(volume)
    user = User(volume)
    last_command = time.monotonic()
    while time.monotonic() - last_command < 600:
        ready, _, _ = select.select([fd], [], [], 0.01)
        if ready:
            data = os.read(fd, 4096)
            for offset in range(0, len(data), METADATA.size):
                _, _, _, _, _, event_fd, _ = METADATA.unpack_from(data, offset)
                path = os.readlink("/proc/self/fd/%d" % event_fd)
                try:
                    user.opened(path, not stat.S_ISDIR(
                        os.fstat(event_fd).st_mode))
                finally:
                    os.write(fd, RESPONSE.pack(event_fd, FAN_ALLOW))
                    os.close(event_fd)
        arm = os.path.join(control, "arm")
        if os.path.exists(arm):
            with open(arm) as command:
                user.arm(command.read().split())
            os.unlink(arm)
            open(os.path.join(control, "armed"), "w").close()
            last_command = time.monotonic()
        disarm = os.path.join(control, "disarm")
        if os.path.exists(disarm):
            with open(os.path.join(control, "result"), "w") as result:
                result.write(user.disarm())
            os.unlink(disarm)
            open(os.path.join(control, "disarmed"), "w").close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
