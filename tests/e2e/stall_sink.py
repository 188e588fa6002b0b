#!/usr/bin/env python3
"""An SMTP server for the end-to-end tests of interrupted and stalled sends: plain sockets on a
free 127.0.0.1 port, every accepted message delivered into a Maildir. It can be told to stop
reading in the middle of a message, or to hold back its answer to a complete one, and says so by
writing a file, so that a test can kill or stop its client at a known point instead of at a
random time. Prints the port on its first line of output and runs until its standard input is
closed.

Control folder (--control DIR), one word per file:
  arm      written by the test. "data N": stop reading once N bytes of a message's content
           have been read (shorter messages pass). "reply": store the next complete message,
           then hold back the answer. Removed when it fires.
  stalled  written by the server when it stops: the Subject of the message in hand.
  resume   written by the test: the server goes on (and removes stalled and resume).

--rcvbuf N sets the receive buffer of the listening socket before listen, so that a client
writing faster than the server reads really blocks.
"""
import argparse
import mailbox
import os
import socket
import sys
import threading
import time

MAX_LINE = 1 << 20


class Control:
    def __init__(self, folder):
        self.folder = folder
        self.lock = threading.Lock()

    def path(self, name):
        return os.path.join(self.folder, name)

    def armed(self):
        """The armed word and its number ("data", 1000) or (None, 0)."""
        if not self.folder:
            return None, 0
        try:
            with open(self.path("arm")) as f:
                words = f.read().split()
        except OSError:
            return None, 0
        if not words:
            return None, 0
        return words[0], int(words[1]) if len(words) > 1 else 0

    def stall(self, subject):
        """Fires the armed stall and waits for the test to say go on."""
        with self.lock:
            try:
                os.remove(self.path("arm"))
            except OSError:
                pass
            tmp = self.path(".stalled")
            with open(tmp, "w") as f:
                f.write(subject)
            os.replace(tmp, self.path("stalled"))
        deadline = time.monotonic() + 120
        while not os.path.exists(self.path("resume")) and time.monotonic() < deadline:
            time.sleep(0.01)
        for name in ("resume", "stalled"):
            try:
                os.remove(self.path(name))
            except OSError:
                pass


def subject_of(lines):
    for line in lines:
        if line in (b"\r\n", b"\n"):
            break
        if line[:8].lower() == b"subject:":
            return line[8:].strip().decode("latin-1")
    return ""


def read_data(reader, control):
    """The message content up to the lone ".", or None when the client went away first."""
    word, limit = control.armed()
    lines, size, stalled = [], 0, False
    while True:
        line = reader.readline(MAX_LINE)
        if not line:
            return None
        if line in (b".\r\n", b".\n"):
            return lines
        if line.startswith(b"."):
            line = line[1:]
        lines.append(line)
        size += len(line)
        if word == "data" and not stalled and size >= limit:
            stalled = True
            control.stall(subject_of(lines))


def serve(conn, box, control):
    reader = conn.makefile("rb")

    def reply(text):
        try:
            conn.sendall(text.encode("latin-1") + b"\r\n")
            return True
        except OSError:
            return False

    try:
        reply("220 127.0.0.1 ready")
        recipients = []
        while True:
            line = reader.readline(MAX_LINE)
            if not line:
                return
            verb = line[:4].decode("latin-1").upper()
            if verb in ("HELO", "EHLO"):
                reply("250 127.0.0.1")
            elif verb == "MAIL":
                recipients = []
                reply("250 OK")
            elif verb == "RCPT":
                recipients.append(line)
                reply("250 OK")
            elif verb in ("RSET", "NOOP"):
                recipients = [] if verb == "RSET" else recipients
                reply("250 OK")
            elif verb == "QUIT":
                reply("221 Bye")
                return
            elif verb == "DATA":
                if not recipients:
                    reply("503 need RCPT first")
                    continue
                reply("354 End data with <CR><LF>.<CR><LF>")
                lines = read_data(reader, control)
                if lines is None:
                    return
                with control.lock:
                    box.add(b"".join(lines))
                recipients = []
                if control.armed()[0] == "reply":
                    control.stall(subject_of(lines))
                if not reply("250 OK stored"):
                    return
            else:
                reply("500 command not recognized")
    except OSError:
        pass
    finally:
        reader.close()
        conn.close()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--maildir", required=True)
    ap.add_argument("--control", default="")
    ap.add_argument("--rcvbuf", type=int, default=0)
    args = ap.parse_args()
    box = mailbox.Maildir(args.maildir, create=True)
    control = Control(args.control)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    if args.rcvbuf:
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, args.rcvbuf)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)

    def accept():
        while True:
            try:
                conn, _ = listener.accept()
            except OSError:
                return
            threading.Thread(target=serve, args=(conn, box, control), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    print(listener.getsockname()[1], flush=True)
    sys.stdin.read()
    listener.close()


if __name__ == "__main__":
    main()
