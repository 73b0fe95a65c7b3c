#!/usr/bin/python3
"""Certificates for the TLS tests, made with openssl in FOLDER:

    make_test_certificates.py FOLDER

ca.pem (a test authority), localhost.pem/.key (DNS name localhost, signed by
it), otherhost.pem/.key (DNS name mail.example, signed by it) and
unknown.pem/.key (DNS name localhost, signed by an authority nobody trusts).
Writes FOLDER/certificates-made last.
"""
import os, subprocess, sys

folder = sys.argv[1]


def run(*args):
    subprocess.run(["openssl"] + list(args), cwd=folder, check=True, capture_output=True)


def authority(name):
    run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=" + name,
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
        "-keyout", name + ".key", "-out", name + ".pem")


def server(name, dns, ca):
    run("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + dns, "-keyout", name + ".key", "-out", name + ".csr")
    with open(os.path.join(folder, name + ".ext"), "w") as out:
        out.write("subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n" % dns)
    run("x509", "-req", "-in", name + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key", "-CAcreateserial",
        "-days", "2", "-extfile", name + ".ext", "-out", name + ".pem")


authority("ca")
authority("stranger")
server("localhost", "localhost", "ca")
server("otherhost", "mail.example", "ca")
server("unknown", "localhost", "stranger")
open(os.path.join(folder, "certificates-made"), "w").close()
