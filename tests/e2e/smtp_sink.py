#!/usr/bin/env python3
"""A real SMTP server for the end-to-end tests and the throughput benchmark: aiosmtpd on a free
127.0.0.1 port, delivering every accepted message into a Maildir. Prints the port on its first
line of output and runs until its standard input is closed."""
import argparse
import socket
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.handlers import Mailbox


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--maildir", required=True)
    args = ap.parse_args()
    port = free_port()
    controller = Controller(Mailbox(args.maildir), hostname="127.0.0.1", port=port,
                            data_size_limit=64 * 1024 * 1024)
    controller.start()
    print(port, flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
