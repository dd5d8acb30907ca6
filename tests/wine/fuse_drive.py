#!/usr/bin/python3
"""A drive whose file lives on FUSE: one that takes every write and keeps
nothing, or (with --keep) one that keeps what it is given, slowly.

Mounts a FUSE file system holding one file, disk.img, of a fixed size. By
default a write to it reports every byte as written and throws the bytes
away, and a read always returns the fill byte. With --keep the file holds the
fill byte until written and keeps what is written; --write-delay-ms makes
every write take that long, so that a write of the whole image lasts a while;
--hold-writes FILE holds every write until FILE exists, so that a write lasts
until the test lets it go, however busy the machine; with --hold-from BYTE
only writes that reach that byte or beyond are held, and --held FILE is made
once one is. With --rotation-ms the file turns as a diskette does: every
read and write costs that long for each track side (9,216 bytes) it
touches. While the file named by --gone exists, every read and write
fails with EIO, as a card reader's does once its card is pulled. With direct_io the kernel keeps no page cache
for the file, so a read never hands back bytes that were written, whether the
reader opened it with O_DIRECT or not.

Runs in the foreground until unmounted (fusermount3 -u) or ended by a
signal; start it in the background. With --log, every open (with its flags
in octal), read and write is logged, one line each:
  open flags=0o100002
  write 0 9216
  read 0 9216
Needs Debian's python3-fusepy and /dev/fuse.
"""
import argparse
import errno
import os
import stat
import sys
import threading
import time

try:
    import fusepy as fuse
except ImportError:
    import fuse
if not hasattr(fuse, "FUSE") or not hasattr(fuse, "Operations"):
    sys.exit("the fuse module found is not fusepy")

FILE_NAME = "/disk.img"
SIDE_BYTES = 18 * 512


class FuseDrive(fuse.Operations):
    use_ns = True

    def __init__(self, size, fill, log, keep, write_delay, hold, hold_from=0, held=None, gone=None, rotation=0):
        self.size = size
        self.fill = fill
        self.log = log
        self.kept = bytearray([fill]) * size if keep else None
        self.write_delay = write_delay
        self.hold = hold
        self.hold_from = hold_from
        self.held = held
        self.gone = gone
        self.rotation = rotation
        # One transfer at a time, as a drive makes them; open and stat are answered meanwhile.
        self.drive = threading.Lock()
        self.stamp = time.time_ns()

    def note(self, line):
        if self.log is not None:
            self.log.write(line + "\n")
            self.log.flush()

    def getattr(self, path, fh=None):
        times = dict(st_atime=self.stamp, st_mtime=self.stamp, st_ctime=self.stamp)
        if path == "/":
            return dict(st_mode=stat.S_IFDIR | 0o755, st_nlink=2, **times)
        if path == FILE_NAME:
            return dict(st_mode=stat.S_IFREG | 0o644, st_nlink=1, st_size=self.size, **times)
        raise fuse.FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        if path != "/":
            raise fuse.FuseOSError(errno.ENOTDIR)
        return [".", "..", FILE_NAME[1:]]

    def open(self, path, flags):
        if path != FILE_NAME:
            raise fuse.FuseOSError(errno.ENOENT)
        self.note("open flags=%s" % oct(flags))
        return 0

    def pulled(self):
        if self.gone and os.path.exists(self.gone):
            raise fuse.FuseOSError(errno.EIO)

    def turn(self, offset, size):
        if self.rotation and size > 0:
            with self.drive:
                time.sleep(self.rotation * ((offset + size - 1) // SIDE_BYTES - offset // SIDE_BYTES + 1))

    def read(self, path, size, offset, fh):
        self.note("read %d %d" % (offset, size))
        self.pulled()
        self.turn(offset, min(size, self.size - offset))
        if offset >= self.size:
            return b""
        if self.kept is not None:
            return bytes(self.kept[offset:offset + size])
        return bytes([self.fill]) * min(size, self.size - offset)

    def write(self, path, data, offset, fh):
        self.note("write %d %d" % (offset, len(data)))
        if self.write_delay:
            time.sleep(self.write_delay)
        if self.hold and offset + len(data) > self.hold_from and not os.path.exists(self.hold):
            if self.held:
                open(self.held, "w").close()
            while not os.path.exists(self.hold):
                time.sleep(0.01)
        self.pulled()
        self.turn(offset, len(data))
        if self.kept is not None:
            if offset + len(data) > self.size:
                raise fuse.FuseOSError(errno.ENOSPC)
            self.kept[offset:offset + len(data)] = data
        return len(data)

    # The size never changes; everything else is accepted and does nothing.
    def truncate(self, path, length, fh=None):
        return 0

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        return 0

    def release(self, path, fh):
        return 0

    def utimens(self, path, times=None):
        return 0

    def chmod(self, path, mode):
        return 0

    def chown(self, path, uid, gid):
        return 0

    def statfs(self, path):
        return dict(f_bsize=512, f_frsize=512, f_blocks=self.size // 512, f_bfree=0,
                    f_bavail=0, f_namemax=255)


def main():
    parser = argparse.ArgumentParser(description="Mount a drive that keeps nothing, or keeps slowly.")
    parser.add_argument("mountpoint")
    parser.add_argument("--size", type=int, default=2 * 1024 * 1024, help="bytes (default 2 MiB)")
    parser.add_argument("--fill", type=lambda text: int(text, 0), default=0xE5,
                        help="the byte every read returns (default 0xE5)")
    parser.add_argument("--log", help="file to log opens, reads and writes to")
    parser.add_argument("--keep", action="store_true", help="keep what is written")
    parser.add_argument("--write-delay-ms", type=int, default=0, help="how long each write takes")
    parser.add_argument("--hold-writes", help="every write waits until this file exists")
    parser.add_argument("--hold-from", type=int, default=0, help="hold only writes that reach this byte")
    parser.add_argument("--held", help="file made once a write is held")
    parser.add_argument("--gone", help="while this file exists, reads and writes fail with EIO")
    parser.add_argument("--rotation-ms", type=int, default=0, help="what each track side touched costs")
    args = parser.parse_args()
    log = open(args.log, "a", encoding="ascii") if args.log else None
    # direct_io: no page cache, every read reaches read() above. big_writes:
    # writes arrive in pieces of up to 128 KiB, not 4 KiB.
    drive = FuseDrive(args.size, args.fill, log, args.keep, args.write_delay_ms / 1000.0, args.hold_writes,
                      args.hold_from, args.held, args.gone, args.rotation_ms / 1000.0)
    fuse.FUSE(drive, args.mountpoint,
              foreground=True, nothreads=not args.rotation_ms, direct_io=True, big_writes=True,
              fsname="tdw-forgetful")


if __name__ == "__main__":
    main()
