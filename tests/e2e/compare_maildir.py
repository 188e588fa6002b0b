#!/usr/bin/env python3
"""Parses every message of a Maildir with Python's own email package and compares each
attachment, by file name, byte for byte with the original files given on the command line.
Usage: compare_maildir.py MAILDIR FILE... ; exit status 0 when every file arrived intact once."""
import email
import email.policy
import mailbox
import os
import sys


def main():
    maildir, originals = sys.argv[1], sys.argv[2:]
    box = mailbox.Maildir(maildir, factory=None, create=False)
    found = {}
    for key in box.keys():
        msg = email.message_from_bytes(box.get_bytes(key), policy=email.policy.default)
        for part in msg.iter_attachments():
            found.setdefault(part.get_filename(), []).append(part.get_payload(decode=True))
    ok = True
    for path in originals:
        name = os.path.basename(path)
        with open(path, "rb") as f:
            want = f.read()
        got = found.get(name, [])
        if len(got) != 1:
            print(f"{name}: arrived {len(got)} times")
            ok = False
        elif got[0] != want:
            print(f"{name}: content differs ({len(got[0])} bytes, expected {len(want)})")
            ok = False
        else:
            print(f"{name}: {len(want)} bytes intact")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
