#!/usr/bin/env python3
"""Certificates for the secure-connection tests and benchmarks, made with the openssl tool in a
folder of the caller's choosing (nothing else is touched):

  ca.pem          the test CA, the one a robot under test trusts through its CAFile
  other-ca.pem    a second CA that nobody trusts
  server.pem/key  for 127.0.0.1 and localhost, by the test CA: the good one
  otherhost.*     by the test CA, but for another host name
  expired.*       for 127.0.0.1 and localhost, by the test CA, expired in 2021
  untrusted.*     for 127.0.0.1 and localhost, by the CA nobody trusts

Usage: test_certificates.py FOLDER   (makes what is missing, prints the folder)
"""
import os
import subprocess
import sys
import tempfile

# Elliptic-curve keys: made in milliseconds, so every test run can have its own.
KEY_OPTIONS = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
LOOPBACK = "IP:127.0.0.1,DNS:localhost"

SERVERS = {
    # name: (issuing CA, subjectAltName, start date, end date); None: the CA's own span
    "server": ("ca", LOOPBACK, None, None),
    "otherhost": ("ca", "DNS:mail.elsewhere.test", None, None),
    "expired": ("ca", LOOPBACK, "20200101000000Z", "20210101000000Z"),
    "untrusted": ("other-ca", LOOPBACK, None, None),
}


def run(args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_ca(folder, name, subject):
    run(["req", "-x509", *KEY_OPTIONS, "-days", "3650", "-subj", "/CN=" + subject,
         "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
         "-keyout", name + ".key", "-out", name + ".pem"], folder)


def make_server(folder, name, ca, san, start, end, serial):
    with tempfile.TemporaryDirectory(dir=folder) as work:
        # "openssl ca" is the one command of this openssl version that takes a start and end
        # date, which the expired certificate needs; it wants a database and a config.
        open(os.path.join(work, "index.txt"), "w").close()
        with open(os.path.join(work, "serial"), "w") as f:
            f.write("%04X\n" % serial)
        with open(os.path.join(work, "ca.cnf"), "w") as f:
            f.write(f"""[ca]
default_ca = test
[test]
database = {work}/index.txt
new_certs_dir = {work}
serial = {work}/serial
default_md = sha256
default_days = 3650
policy = any
unique_subject = no
[any]
commonName = supplied
""")
        with open(os.path.join(work, "ext.cnf"), "w") as f:
            f.write(f"subjectAltName = {san}\nbasicConstraints = CA:FALSE\nextendedKeyUsage = serverAuth\n"
                    "keyUsage = critical,digitalSignature,keyEncipherment\n")
        run(["req", "-new", *KEY_OPTIONS, "-subj", "/CN=" + san.split(",")[0].split(":")[1],
             "-keyout", name + ".key", "-out", os.path.join(work, "req.pem")], folder)
        dates = ["-startdate", start, "-enddate", end] if start else []
        run(["ca", "-batch", "-notext", "-config", os.path.join(work, "ca.cnf"),
             "-cert", ca + ".pem", "-keyfile", ca + ".key", "-extfile", os.path.join(work, "ext.cnf"),
             *dates, "-in", os.path.join(work, "req.pem"), "-out", name + ".pem"], folder)


def make_all(folder):
    os.makedirs(folder, exist_ok=True)
    if not os.path.exists(os.path.join(folder, "ca.pem")):
        make_ca(folder, "ca", "Tarnwick Test CA")
    if not os.path.exists(os.path.join(folder, "other-ca.pem")):
        make_ca(folder, "other-ca", "Untrusted Test CA")
    for serial, (name, (ca, san, start, end)) in enumerate(SERVERS.items(), start=0x1000):
        if not os.path.exists(os.path.join(folder, name + ".pem")):
            make_server(folder, name, ca, san, start, end, serial)
    # Dovecot's own users read the key when it runs as root.
    for entry in os.listdir(folder):
        os.chmod(os.path.join(folder, entry), 0o644)
    return folder


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    try:
        print(make_all(os.path.abspath(sys.argv[1])))
    except subprocess.CalledProcessError as e:
        print("openssl failed: %s" % e.stderr.decode(errors="replace"), file=sys.stderr)
        sys.exit(1)
