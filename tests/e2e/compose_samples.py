#!/usr/bin/env python3
"""Messages from an independent composer (Python's email package) for the receive tests.

  compose_samples.py put MAILDIR EXPECTED   writes the messages into MAILDIR and what their
                                            attachments hold into EXPECTED (with a manifest)
  compose_samples.py check EXPECTED ATTACHDIR
                                            compares the decoded attachments; exit 0 when all match

Binary attachments must match byte for byte. Text attachments are compared line by line: the
robot writes text with CR LF and ends it with an extra line end, as its decoders do.
"""
import json
import mailbox
import os
import random
import sys
from email.message import EmailMessage


def messages():
    rnd = random.Random(7)
    binary = bytes(rnd.randrange(256) for _ in range(150_000))
    small = bytes(rnd.randrange(256) for _ in range(1000))
    text = "naïve text, 100 € und Grüße\nsecond line = with an equals sign\n" + "x" * 200 + "\n"
    csv = "id;name\r\n1;Müller\r\n2;O'Brien\r\n"
    out = []

    m = EmailMessage()
    m["From"], m["To"], m["Subject"] = "ann@x.test", "robot@tarnwick.test", "base64"
    m.set_content("See the attached data.\n")
    m.add_attachment(binary, maintype="application", subtype="octet-stream", filename="data.bin")
    out.append((m, [("data.bin", binary, "exact")]))

    m = EmailMessage()
    m["From"], m["To"], m["Subject"] = "bob@x.test", "robot@tarnwick.test", "Grüße quoted-printable"
    m.set_content("Text part.\n")
    m.add_attachment(text, subtype="plain", filename="notes.txt", cte="quoted-printable")
    out.append((m, [("notes.txt", text.encode("utf-8"), "text")]))

    m = EmailMessage()
    m["From"], m["To"], m["Subject"] = "cy@x.test", "robot@tarnwick.test", "nested"
    m.set_content("plain alternative\n")
    m.add_alternative("<p>html alternative</p>\n", subtype="html")
    m.add_attachment(small, maintype="application", subtype="octet-stream", filename="café.bin")
    m.add_attachment(csv.encode("utf-8"), maintype="text", subtype="csv", filename="Übersicht.csv")
    out.append((m, [("café.bin", small, "exact"), ("Übersicht.csv", csv.encode("utf-8"), "exact")]))
    return out


def put(maildir, expected):
    box = mailbox.Maildir(maildir, create=True)
    os.makedirs(expected, exist_ok=True)
    manifest = []
    for msg, attachments in messages():
        box.add(msg.as_bytes())
        for name, data, mode in attachments:
            with open(os.path.join(expected, name), "wb") as f:
                f.write(data)
            manifest.append({"name": name, "mode": mode})
    box.close()
    with open(os.path.join(expected, "manifest.json"), "w") as f:
        json.dump(manifest, f)


def lines(data):
    return data.replace(b"\r\n", b"\n").rstrip(b"\n").split(b"\n")


def check(expected, attachdir):
    with open(os.path.join(expected, "manifest.json")) as f:
        manifest = json.load(f)
    bad = 0
    for item in manifest:
        with open(os.path.join(expected, item["name"]), "rb") as f:
            want = f.read()
        path = os.path.join(attachdir, item["name"])
        if not os.path.exists(path):
            print("missing:", item["name"], "have:", sorted(os.listdir(attachdir)))
            bad += 1
            continue
        with open(path, "rb") as f:
            got = f.read()
        same = got == want if item["mode"] == "exact" else lines(got) == lines(want)
        if not same:
            print("differs:", item["name"], len(got), len(want))
            bad += 1
    print("%d of %d attachments match" % (len(manifest) - bad, len(manifest)))
    return 1 if bad else 0


if __name__ == "__main__":
    if sys.argv[1] == "put":
        put(sys.argv[2], sys.argv[3])
    else:
        sys.exit(check(sys.argv[2], sys.argv[3]))
