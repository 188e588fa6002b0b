#!/usr/bin/env python3
"""Prepares the demo instance folder for ./run.sh: its settings point at the local mail peers
(scripts/mail_peers.py), csv files are mapped to the demo mailbox, and a sample CSV waits in
the mapping folder.

  demo_setup.py HOME POP3PORT SMTPPORT

A settings file without the demo marker line is someone's own configuration: it is left alone
and the script exits with 3, so that ./run.sh starts no demo servers for it.
"""
import datetime
import os
import re
import sys

MARKER = "; Tarnwick demo settings: ./run.sh keeps the server lines pointing at its local mail servers."
MAILBOX = "robot@tarnwick.demo"
FOLDERS = ("MsgIn", "MsgOut", "AttachIn", "AttachOut", "ExtMap", "ExtMapArchive", "ExtMapReject")


def write_lines(path, lines):
    with open(path, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


def read_lines(path):
    with open(path, encoding="latin-1", newline="") as f:
        return f.read().replace("\r\n", "\n").split("\n")


def settings(home, pop_port, smtp_port):
    email = {
        "SMTPServer": "127.0.0.1", "SMTPPort": smtp_port, "SMTPDomain": "tarnwick.demo",
        "POPServer": "127.0.0.1", "POPPort": pop_port, "UserName": "robot",
        "DeleteOffServer": "True", "ReturnAddress": MAILBOX,
    }
    path = os.path.join(home, "Tarnwick.ini")
    if not os.path.exists(path):
        lines = [MARKER, "[Global]", "LogExtra=False", "Unattended=True", "MultiInstance=False", "", "[Email]"]
        lines += ["%s=%s" % kv for kv in email.items()]
        lines += ["Password=", "Timeout=50", "MessageMax=2000000", "CheckInterval=30", "ScriptOnReceive=onReceive.txt",
                  "", "[WWW]", "CheckInterval=0", "ScriptOnInterval=onInterval.txt", "MonitorPause=8"]
        write_lines(path, lines)
        return True
    lines = read_lines(path)
    if MARKER not in lines:
        return False
    section = ""
    for i, line in enumerate(lines):
        m = re.match(r"\s*\[(.*)\]\s*$", line)
        if m:
            section = m.group(1).strip().lower()
            continue
        key = line.split("=", 1)[0].strip()
        if section == "email" and key in email:
            lines[i] = "%s=%s" % (key, email[key])
    while lines and lines[-1] == "":
        lines.pop()
    write_lines(path, lines)
    return True


def mapping(home):
    path = os.path.join(home, "extmap.ini")
    lines = read_lines(path) if os.path.exists(path) else ["# Tarnwick mapping file: extension=address a line."]
    if not any(re.match(r"\s*csv\s*=", l, re.I) for l in lines):
        lines = [l for l in lines if l != ""] + ["csv=" + MAILBOX]
        write_lines(path, lines)


def scripts(home):
    receive = os.path.join(home, "onReceive.txt")
    if not os.path.exists(receive):
        write_lines(receive, [
            "' Tarnwick receive script: Main runs once for every received message.",
            "Sub Main",
            "    IM.LogMessage \"DEMO: received \" & IM.MsgFile & \" with \" & IM.AttachNumber & \" attachment(s)\"",
            "End Sub",
        ])
    interval = os.path.join(home, "onInterval.txt")
    if not os.path.exists(interval):
        write_lines(interval, ["' Tarnwick interval script: Main runs on every web interval.", "Sub Main", "End Sub"])


def sample(home):
    now = datetime.datetime.now()
    name = now.strftime("sample-%Y%m%d-%H%M%S.csv")
    rows = ["order;item;quantity;price"] + ["%d;article %d;%d;%d.%02d" % (1000 + i, i, i % 7 + 1, 3 + i, i * 7 % 100)
                                            for i in range(25)]
    write_lines(os.path.join(home, "ExtMap", name), rows)
    return name


def main():
    home, pop_port, smtp_port = sys.argv[1], sys.argv[2], sys.argv[3]
    os.makedirs(home, exist_ok=True)
    if not settings(home, pop_port, smtp_port):
        print("%s/Tarnwick.ini is your own configuration (no demo marker): no demo servers started" % home)
        return 3
    for d in FOLDERS:
        os.makedirs(os.path.join(home, d), exist_ok=True)
    mapping(home)
    scripts(home)
    print("Dropped %s into %s/ExtMap (mapped to %s)" % (sample(home), home, MAILBOX))
    return 0


if __name__ == "__main__":
    sys.exit(main())
