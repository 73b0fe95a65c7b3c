#!/usr/bin/python3
"""SMTP server on 127.0.0.1 for the monitor's Windows tests (python3-aiosmtpd).

    smtp_test_server.py FOLDER PORT [silent | early | RCPT-REPLY] [starttls | tls CERT KEY USER PASSWORD]

Listens on PORT (0: a free one) and writes it to FOLDER/port; stores each
message as FOLDER/mail-K.txt after the lines "HELO name", "MAIL FROM a" and
"RCPT TO a". "silent" never says a word; "early" sends every reply of a
whole dialogue on connecting, unasked, then refuses each line it gets; a
reply line (such as "550 No such user") answers RCPT. Ends, writing
FOLDER/stopped, when FOLDER/stop appears or after ten minutes. With
"starttls" EHLO offers STARTTLS (before which it takes no login), with "tls"
TLS comes first; both take AUTH PLAIN and LOGIN for USER and PASSWORD only
and note each attempt in FOLDER/auth.log.
"""
import asyncio, os, ssl, sys, time
from aiosmtpd.smtp import SMTP, AuthResult

folder, port, mode = sys.argv[1], int(sys.argv[2]), (sys.argv[3:] or [""])[0]
security, cert, key, user, password = (sys.argv[4:] + [""] * 5)[:5]


def write(name, data):
    with open(os.path.join(folder, name + ".part"), "wb") as out:
        out.write(data)
    os.replace(os.path.join(folder, name + ".part"), os.path.join(folder, name))


class Store:
    async def handle_RCPT(self, server, session, envelope, address, options):
        envelope.rcpt_tos.append(address)
        return mode or "250 OK"

    async def handle_DATA(self, server, session, envelope):
        head = "HELO %s\r\nMAIL FROM %s\r\nRCPT TO %s\r\n" % (session.host_name, envelope.mail_from,
                                                             envelope.rcpt_tos[0])
        count = sum(name.endswith(".txt") for name in os.listdir(folder))
        write("mail-%d.txt" % (count + 1), head.encode() + envelope.original_content)
        return "250 Message accepted"


def check_login(server, session, envelope, mechanism, data):
    good = data.login.decode() == user and data.password.decode() == password
    with open(os.path.join(folder, "auth.log"), "a") as out:
        out.write("AUTH %s %s %s\n" % (mechanism, data.login.decode(), "accepted" if good else "refused"))
    return AuthResult(success=good, handled=False)  # a refusal is answered 535


def server_context():
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


def make_server():
    if not security:
        return SMTP(Store())
    if security == "starttls":
        return SMTP(Store(), tls_context=server_context(), authenticator=check_login)
    return SMTP(Store(), authenticator=check_login, auth_require_tls=False)


async def hold(reader, writer):
    await reader.read()


async def early(reader, writer):
    writer.write(b"220 hi\r\n250 hello\r\n250 ok\r\n250 ok\r\n354 go\r\n250 queued\r\n221 bye\r\n")
    while await reader.readline():
        writer.write(b"554 no\r\n")


async def serve():
    if mode in ("silent", "early"):
        server = await asyncio.start_server(hold if mode == "silent" else early, "127.0.0.1", port)
    else:
        server = await asyncio.get_running_loop().create_server(
            make_server, "127.0.0.1", port, ssl=server_context() if security == "tls" else None)
    write("port", str(server.sockets[0].getsockname()[1]).encode())
    end = time.monotonic() + 600
    while not os.path.exists(os.path.join(folder, "stop")) and time.monotonic() < end:
        await asyncio.sleep(0.02)
    server.close()
    os.remove(os.path.join(folder, "port"))
    write("stopped", b"")


asyncio.run(serve())
os._exit(0)  # connections still open end with the process
