#!/usr/bin/env python3
"""Receive speed beside a peer tool: fetchmail empties a local Dovecot mailbox of 200 and of
2,000 messages of about 1 KB each (the same form bench_gateway_receive uses: a text part and a
base64 attachment), handing every message to an mda that writes it to a file and deleting it on
the server, as the robot does with DeleteOffServer. The robot's own figures for the same
mailboxes come from bench_gateway_receive, run here too.

fetchmail is only measured against; it is no part of the build. Without it installed this
prints "fetchmail not installed" and exits 0.

Usage: compare_fetch.py [--bench PATH_TO_bench_gateway_receive] [COUNT...]   (default 200 2000)
"""
import argparse
import base64
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PYTHON = "/usr/bin/python3" if os.access("/usr/bin/python3", os.X_OK) else sys.executable


def message(n, rng):
    data = bytes(rng.getrandbits(8) for _ in range(1024))
    b64 = base64.b64encode(data).decode()
    lines = "\n".join(b64[i:i + 76] for i in range(0, len(b64), 76))
    b = f"b-{n}"
    return (f"From: sender@bench.test\nTo: robot@bench.test\nSubject: data {n}\nMIME-Version: 1.0\n"
            f"Content-Type: multipart/mixed; boundary=\"{b}\"\n\n--{b}\nContent-Type: text/plain\n\n"
            f"Data file attached.\n\n--{b}\nContent-Type: application/octet-stream; name=\"data{n}.bin\"\n"
            f"Content-Transfer-Encoding: base64\n\n{lines}\n\n--{b}--\n")


def fetch(count, work):
    """Seconds fetchmail takes to empty a mailbox of count messages, and how many it wrote."""
    peers_dir = os.path.join(work, f"peers{count}")
    out = os.path.join(work, f"out{count}")
    os.makedirs(out)
    peers = subprocess.Popen([PYTHON, os.path.join(ROOT, "scripts", "mail_peers.py"), "--dir", peers_dir],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        ports = peers.stdout.readline().split()
        if len(ports) < 2 or not ports[0].isdigit():
            raise RuntimeError(f"the mail peers did not start: {' '.join(ports)}")
        box = os.path.join(peers_dir, "Maildir")
        for sub in ("new", "cur", "tmp"):
            os.makedirs(os.path.join(box, sub), exist_ok=True)
        rng = random.Random(5)
        for n in range(count):
            with open(os.path.join(box, "new", f"1700000000.M{n}P1.bench"), "w") as f:
                f.write(message(n, rng))
        rc = os.path.join(work, f"fetchmailrc{count}")
        with open(rc, "w") as f:
            f.write(f"set no bouncemail\n"
                    f"poll 127.0.0.1 protocol pop3 port {ports[0]} auth password\n"
                    f"  user \"robot\" password \"secret\"\n"
                    f"  sslproto '' fetchall no keep\n"
                    f"  mda \"/bin/sh -c 'cat > {out}/m.$$'\"\n")
        os.chmod(rc, 0o600)
        env = dict(os.environ, HOME=work, FETCHMAILHOME=work)
        start = time.monotonic()
        run = subprocess.run(["fetchmail", "-f", rc, "--nosyslog", "--silent"], env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        seconds = time.monotonic() - start
        if run.returncode not in (0, 1):
            print(run.stdout.strip())
        return seconds, len(os.listdir(out))
    finally:
        peers.stdin.close()
        peers.wait(timeout=60)


def ours(bench, count):
    """The robot's wall seconds for the same mailbox, from bench_gateway_receive."""
    if not bench or not os.access(bench, os.X_OK):
        return None, "bench_gateway_receive not built"
    run = subprocess.run([bench, str(count), "1", "plain"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    m = re.search(r"receive cycle: ([0-9.]+) s wall", run.stdout)
    return (float(m.group(1)), run.stdout.strip().splitlines()[0]) if m else (None, run.stdout.strip())


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bench", default=os.path.join(ROOT, "build", "bench", "gateway", "bench_gateway_receive"))
    ap.add_argument("counts", nargs="*", type=int, default=[200, 2000])
    args = ap.parse_args()
    if not shutil.which("fetchmail"):
        print("fetchmail not installed")
        return 0
    work = tempfile.mkdtemp(prefix="tw-fetch-")
    # Dovecot's own users must pass through the private folder.
    os.chmod(work, 0o711)
    try:
        print(f"{'mailbox':<14} {'fetchmail':>12} {'Tarnwick':>12}")
        for count in args.counts:
            seconds, written = fetch(count, work)
            mine, line = ours(args.bench, count)
            note = "" if written == count else f"  (fetchmail wrote {written} of {count})"
            mine_text = f"{mine:.2f} s" if mine is not None else "-"
            print(f"{count:>5} x 1 KB   {seconds:>10.2f} s {mine_text:>12}{note}")
            if mine is None:
                print(f"               {line}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
