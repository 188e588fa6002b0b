#!/usr/bin/env python3
"""Parses every message of a Maildir with Python's own email package and compares each
attachment, by file name, byte for byte with the original files given on the command line.
Usage: compare_maildir.py MAILDIR [--resent NAME]... FILE...
Exit status 0 when every file arrived intact once. A file named with --resent must have arrived
exactly twice, both copies intact and under one Message-ID (so that a receiver can drop the
second): the one case no sender can rule out, a kill after the server took the message and
before the sender could note it."""
import email
import email.policy
import mailbox
import os
import sys


def main():
    args = sys.argv[1:]
    maildir, resent, originals = args[0], set(), []
    rest = iter(args[1:])
    for a in rest:
        if a == "--resent":
            resent.add(next(rest))
        else:
            originals.append(a)
    box = mailbox.Maildir(maildir, factory=None, create=False)
    found = {}
    for key in box.keys():
        msg = email.message_from_bytes(box.get_bytes(key), policy=email.policy.default)
        for part in msg.iter_attachments():
            found.setdefault(part.get_filename(), []).append((part.get_payload(decode=True), msg.get("Message-ID", "")))
    ok = True
    for path in originals:
        name = os.path.basename(path)
        with open(path, "rb") as f:
            want = f.read()
        got = found.get(name, [])
        times = 2 if name in resent else 1
        if len(got) != times:
            print(f"{name}: arrived {len(got)} times, expected {times}")
            ok = False
        elif any(data != want for data, _ in got):
            print(f"{name}: content differs ({[len(d) for d, _ in got]} bytes, expected {len(want)})")
            ok = False
        elif times > 1 and (not got[0][1] or any(mid != got[0][1] for _, mid in got)):
            print(f"{name}: resent under another Message-ID: {[mid for _, mid in got]}")
            ok = False
        else:
            print(f"{name}: {len(want)} bytes intact" + (f", twice under {got[0][1]}" if times > 1 else ""))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
