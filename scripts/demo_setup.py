#!/usr/bin/env python3
"""Prepares the demo instance folder for ./run.sh: its settings point at the local mail peers
(scripts/mail_peers.py), csv files are mapped to the demo mailbox, and a sample CSV waits in
the mapping folder. With the port of the demo web site (scripts/web_pages.py) the interval
script logs into it on every web cycle and drops what it reads as a CSV into the mapping folder.

  demo_setup.py HOME POP3PORT SMTPPORT [WEBPORT]

A settings file without the demo marker line is someone's own configuration: it is left alone
and the script exits with 3, so that ./run.sh starts no demo servers for it.
"""
import datetime
import os
import time
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
                  "", "[WWW]", "CheckInterval=60", "ScriptOnInterval=onInterval.txt", "MonitorPause=8"]
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
        elif section == "www" and key == "CheckInterval":
            lines[i] = "CheckInterval=60"
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
    # The empty script of earlier demo folders is replaced; a script someone wrote is kept.
    if not os.path.exists(interval) or read_lines(interval)[:3] == [INTERVAL_STUB, "Sub Main", "End Sub"]:
        write_lines(interval, INTERVAL_DEMO)


INTERVAL_STUB = "' Tarnwick interval script: Main runs on every web interval."
INTERVAL_DEMO = [
    INTERVAL_STUB,
    "' Demo: log into the local demo shop (its address is in demo-web.txt), read the balance from",
    "' the account page and drop it as a CSV into the mapping folder: the next e-mail cycle mails it.",
    "Sub Main",
    "    site = Trim(Replace(Replace(IW.FileGetText(IW.PathHome & \"demo-web.txt\"), vbCr, \"\"), vbLf, \"\"))",
    "    IW.LogMessage \"DEMO WWW: opening \" & site & \"/login-form.html\"",
    "    IW.ExecuteWWW site & \"/login-form.html\"",
    "    If IW.State <> \"OK\" Then Exit Sub",
    "    IW.XForm(\"user\").value = \"robot\"",
    "    IW.XForm(\"pass\").value = \"secret\"",
    "    IW.ExecuteWWW \"SUBMIT\", 0",
    "    balance = IW.RunJS(\"document.getElementById('balance') ? document.getElementById('balance').textContent : ''\")",
    "    If balance = \"\" Then",
    "        IW.LogMessage \"WARNING DEMO WWW: no balance on the page after logging in\"",
    "        Exit Sub",
    "    End If",
    "    IW.LogMessage \"DEMO WWW: logged in, balance \" & balance",
    "    file = IW.PathExtMap & \"balance-\" & IW.XFormat(Now, \"yyyymmdd-hhnnss\") & \".csv\"",
    "    If IW.OutputToFile(\"date;balance\" & vbCrLf & IW.XFormat(Now, \"yyyy-mm-dd hh:nn\") & \";\" & balance, file) Then",
    "        IW.LogMessage \"DEMO WWW: wrote \" & file & \" for the next e-mail cycle\"",
    "    End If",
    "End Sub",
]


def web_address(home, web_port):
    with open(os.path.join(home, "demo-web.txt"), "w", newline="") as f:
        f.write("http://127.0.0.1:%s\r\n" % web_port)


def sample(home):
    now = datetime.datetime.now()
    name = now.strftime("sample-%Y%m%d-%H%M%S.csv")
    rows = ["order;item;quantity;price"] + ["%d;article %d;%d;%d.%02d" % (1000 + i, i, i % 7 + 1, 3 + i, i * 7 % 100)
                                            for i in range(25)]
    path = os.path.join(home, "ExtMap", name)
    write_lines(path, rows)
    # The robot sends only files that have stood unchanged for a few seconds (a writer may still
    # be at work on a newer one); this one is whole, so it is stamped as settled already.
    settled = time.time() - 60
    os.utime(path, (settled, settled))
    return name


def main():
    home, pop_port, smtp_port = sys.argv[1], sys.argv[2], sys.argv[3]
    web_port = sys.argv[4] if len(sys.argv) > 4 else "0"
    os.makedirs(home, exist_ok=True)
    if not settings(home, pop_port, smtp_port):
        print("%s/Tarnwick.ini is your own configuration (no demo marker): no demo servers started" % home)
        return 3
    for d in FOLDERS:
        os.makedirs(os.path.join(home, d), exist_ok=True)
    mapping(home)
    scripts(home)
    if web_port != "0":
        web_address(home, web_port)
    print("Dropped %s into %s/ExtMap (mapped to %s)" % (sample(home), home, MAILBOX))
    return 0


if __name__ == "__main__":
    sys.exit(main())
