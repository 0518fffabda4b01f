#!/usr/bin/env python3
"""Passes the bytes of a file through a pipe in pieces, each written only
once the reader has taken all of the one before, so that the reader gets the
file in one read per piece at least, however fast it reads.

    feed_pipe.py SOURCE PIECE_BYTES [FIFO]

Without FIFO the bytes go to standard output, which must be a pipe. Ends
quietly when the reader goes away before the end.
"""
import array
import fcntl
import os
import select
import sys
import termios
import time


def unread_bytes(fd):
    count = array.array("i", [0])
    fcntl.ioctl(fd, termios.FIONREAD, count)
    return count[0]


def wait_until_taken(fd):
    """True once the pipe is empty; False when its reader has gone."""
    poller = select.poll()
    poller.register(fd, select.POLLOUT)
    while unread_bytes(fd) > 0:
        if any(events & select.POLLERR for _, events in poller.poll(0)):
            return False
        time.sleep(0.001)
    return True


def main():
    source, piece = sys.argv[1], int(sys.argv[2])
    with open(source, "rb") as f:
        data = f.read()
    # Opening a FIFO waits for its reader.
    fd = os.open(sys.argv[3], os.O_WRONLY) if len(sys.argv) > 3 else sys.stdout.fileno()
    try:
        for start in range(0, len(data), piece):
            os.write(fd, data[start:start + piece])
            if not wait_until_taken(fd):
                break
    except BrokenPipeError:
        pass
    os.close(fd)


if __name__ == "__main__":
    main()
