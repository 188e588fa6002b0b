#!/usr/bin/env python3
"""Real mail peers on loopback for the end-to-end tests, the receive benchmark and the demo:
Dovecot (POP3) with its own configuration, a password file and one Maildir, and aiosmtpd
delivering every accepted message into that same Maildir, so that what the robot sends comes
back to it in its next cycle.

With --tls FOLDER (certificates made there by test_certificates.py when missing) Dovecot also
offers STLS on its POP3 port and listens with TLS from the first byte on a second port, and two
more SMTP servers run: one that requires STARTTLS and then AUTH, one with TLS from the first
byte that requires AUTH. All of them present the certificate --cert names. The first plain SMTP
server stays as it was (it offers no STARTTLS).

Prints "POP3PORT SMTPPORT" (with --tls: "POP3PORT SMTPPORT POP3SPORT SUBMISSIONPORT SMTPSPORT")
on its first line of output once all answer, then runs until its standard input is closed (or,
with --until-signal, only) until it receives SIGTERM/SIGINT, and stops Dovecot before it ends.
"""
import argparse
import grp
import logging
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import ssl
import threading
import time
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.handlers import Mailbox
from aiosmtpd.smtp import AuthResult

import test_certificates


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def find_dovecot():
    for p in ("/usr/sbin/dovecot", shutil.which("dovecot")):
        if p and os.access(p, os.X_OK):
            return p
    return None


def accounts():
    """Who Dovecot's processes run as. As root, its login and internal processes must not be
    root, and it refuses a mail user of UID 0: the Debian package's own users and "nobody"
    serve. As anyone else, everything runs as that user."""
    if os.geteuid() != 0:
        me = pwd.getpwuid(os.geteuid()).pw_name
        group = grp.getgrgid(os.getegid()).gr_name
        return me, me, me, group
    return "dovenull", "dovecot", "nobody", grp.getgrgid(pwd.getpwnam("nobody").pw_gid).gr_name


def write_config(folder, run_dir, maildir, user, password, pop_port, tls=None):
    """tls: (certificate, key, implicit TLS port) or None."""
    login_user, internal_user, mail_user, mail_group = accounts()
    with open(os.path.join(folder, "passwd"), "w") as f:
        f.write("%s:{PLAIN}%s::::::\n" % (user, password))
    conf = os.path.join(folder, "dovecot.conf")
    with open(conf, "w") as f:
        f.write(f"""# Written by mail_peers.py for one run; nothing outside this folder is used.
base_dir = {run_dir}
state_dir = {folder}/state
log_path = {folder}/dovecot.log
protocols = pop3
listen = 127.0.0.1
{ssl_lines(tls)}
disable_plaintext_auth = no
auth_mechanisms = plain
login_trusted_networks = 127.0.0.0/8
default_login_user = {login_user}
default_internal_user = {internal_user}
default_internal_group = {grp.getgrgid(pwd.getpwnam(internal_user).pw_gid).gr_name}
mail_location = maildir:{maildir}
pop3_uidl_format = %08Xu%08Xv
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {folder}/passwd
}}
userdb {{
  driver = static
  args = uid={mail_user} gid={mail_group} home={maildir}
}}
service pop3-login {{
  inet_listener pop3 {{
    address = 127.0.0.1
    port = {pop_port}
  }}
{pop3s_listener(tls)}
}}
""")
    return conf


def ssl_lines(tls):
    if not tls:
        return "ssl = no"
    cert, key, _ = tls
    return f"ssl = yes\nssl_cert = <{cert}\nssl_key = <{key}"


def pop3s_listener(tls):
    if not tls:
        return ""
    return f"""  inet_listener pop3s {{
    address = 127.0.0.1
    port = {tls[2]}
    ssl = yes
  }}"""


def smtp_authenticator(user, password):
    def check(server, session, envelope, mechanism, auth_data):
        ok = auth_data.login == user.encode() and auth_data.password == password.encode()
        return AuthResult(success=ok, handled=False)
    return check


def tls_smtp_servers(maildir, cert, key, user, password):
    """The STARTTLS + AUTH server and the implicit TLS + AUTH server, started."""
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    common = dict(hostname="127.0.0.1", data_size_limit=64 * 1024 * 1024, auth_required=True,
                  authenticator=smtp_authenticator(user, password))
    submission = Controller(Mailbox(maildir), port=free_port(), tls_context=context, require_starttls=True,
                            auth_require_tls=True, **common)
    # With TLS from the first byte the server does not know the connection is secure and would
    # refuse AUTH for want of STARTTLS; its warning about that (on every connection) is noise.
    warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    smtps = Controller(Mailbox(maildir), port=free_port(), ssl_context=context, auth_require_tls=False, **common)
    submission.start()
    smtps.start()
    return submission, smtps


def unreachable_ancestor(folder):
    """The first existing folder above folder that other users cannot pass through: Dovecot's
    own users read the password file and the Maildir there."""
    if os.geteuid() != 0:
        return None
    path = os.path.dirname(folder)
    while True:
        if os.path.isdir(path) and not os.stat(path).st_mode & 0o001:
            return path
        parent = os.path.dirname(path)
        if parent == path:
            return None
        path = parent


def wait_for_greeting(port, prefix, seconds=30):
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
                if s.recv(64).startswith(prefix):
                    return True
        except OSError:
            pass
        time.sleep(0.1)
    return False


def wait_for_tls_greeting(port, seconds=30):
    """The implicit TLS listener is up when a TLS handshake gets through to a greeting; the
    certificate is not judged here (it may be one made to be refused)."""
    context = ssl.create_default_context()
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2) as raw:
                with context.wrap_socket(raw) as s:
                    if s.recv(64).startswith(b"+OK"):
                        return True
        except OSError:
            pass
        time.sleep(0.1)
    return False


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dir", required=True, help="folder for the configuration, the Maildir and the logs")
    ap.add_argument("--user", default="robot")
    ap.add_argument("--password", default="secret")
    ap.add_argument("--pop-port", type=int, default=0, help="0: a free port")
    ap.add_argument("--smtp-port", type=int, default=0, help="0: a free port")
    ap.add_argument("--until-signal", action="store_true", help="ignore standard input; run until SIGTERM/SIGINT")
    ap.add_argument("--tls", metavar="FOLDER", help="certificate folder: also run the TLS listeners and servers")
    ap.add_argument("--cert", default="server", help="the certificate the TLS servers present (see test_certificates.py)")
    ap.add_argument("--smtp-user", default="sender")
    ap.add_argument("--smtp-password", default="smtp-secret")
    args = ap.parse_args()

    folder = os.path.abspath(args.dir)
    blocked = unreachable_ancestor(folder)
    if blocked:
        print("0 0 Dovecot's users cannot pass through %s (needs o+x)" % blocked, flush=True)
        return 2
    dovecot = find_dovecot()
    if not dovecot:
        print("0 0 no dovecot (Debian package dovecot-pop3d)", flush=True)
        return 2
    maildir = os.path.join(folder, "Maildir")
    # Dovecot's sockets live in base_dir, whose path must stay short (a socket path has at most
    # 107 bytes), so it goes to a fresh folder under /tmp rather than into a deep checkout.
    run_dir = tempfile.mkdtemp(prefix="tw-dovecot-")
    for d in (folder, run_dir, os.path.join(folder, "state")):
        os.makedirs(d, exist_ok=True)
        os.chmod(d, 0o755)   # Dovecot's own users must reach its sockets
    # The Maildir is written by aiosmtpd (this process) and read and emptied by Dovecot's
    # mail user, so both must be able to write into its folders.
    for d in (maildir, *(os.path.join(maildir, s) for s in ("new", "cur", "tmp"))):
        os.makedirs(d, exist_ok=True)
        os.chmod(d, 0o777)
    pop_port = args.pop_port or free_port()
    smtp_port = args.smtp_port or free_port()
    tls = None
    if args.tls:
        certs = test_certificates.make_all(os.path.abspath(args.tls))
        tls = (os.path.join(certs, args.cert + ".pem"), os.path.join(certs, args.cert + ".key"), free_port())
    conf = write_config(folder, run_dir, maildir, args.user, args.password, pop_port, tls)

    proc = subprocess.Popen([dovecot, "-F", "-c", conf], stdin=subprocess.DEVNULL,
                            stdout=open(os.path.join(folder, "dovecot.out"), "w"), stderr=subprocess.STDOUT)
    controller = Controller(Mailbox(maildir), hostname="127.0.0.1", port=smtp_port,
                            data_size_limit=64 * 1024 * 1024)
    controller.start()
    secure = tls_smtp_servers(maildir, tls[0], tls[1], args.smtp_user, args.smtp_password) if tls else ()

    stop = threading.Event()

    def on_signal(*_):
        stop.set()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    try:
        if not wait_for_greeting(pop_port, b"+OK"):
            print("0 0 dovecot did not answer; see %s/dovecot.log" % folder, flush=True)
            return 1
        if tls and not wait_for_tls_greeting(tls[2]):
            print("0 0 dovecot did not answer with TLS; see %s/dovecot.log" % folder, flush=True)
            return 1
        ports = [pop_port, smtp_port] + ([tls[2]] + [c.port for c in secure] if tls else [])
        print(*ports, flush=True)

        def watch_stdin():
            try:
                sys.stdin.read()
            except Exception:
                pass
            stop.set()

        if not args.until_signal and not sys.stdin.isatty():
            threading.Thread(target=watch_stdin, daemon=True).start()
        while not stop.is_set() and proc.poll() is None:
            stop.wait(0.2)
    finally:
        controller.stop()
        for c in secure:
            c.stop()
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(15)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        shutil.rmtree(run_dir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
