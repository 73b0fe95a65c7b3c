#!/usr/bin/python3
"""SMTP server on 127.0.0.1 for the monitor's Windows tests (python3-aiosmtpd).

    smtp_test_server.py FOLDER [--port N] [--rcpt-reply LINE] [--silent] [--lifetime S]

Writes its port to FOLDER/port once listening; stores each message as
FOLDER/mail-K.txt after the lines "HELO name", "MAIL FROM a" and "RCPT TO a".
--rcpt-reply answers RCPT with LINE; --silent never says a word. Ends when
FOLDER/stop appears (then writes FOLDER/stopped) or after the lifetime.
"""
import argparse, asyncio, os, time
from aiosmtpd.smtp import SMTP


class Store:
    def __init__(self, args):
        self.args = args

    async def handle_RCPT(self, server, session, envelope, address, options):
        envelope.rcpt_tos.append(address)
        return self.args.rcpt_reply or "250 OK"

    async def handle_DATA(self, server, session, envelope):
        count = sum(name.endswith(".txt") for name in os.listdir(self.args.folder))
        head = "HELO %s\r\nMAIL FROM %s\r\nRCPT TO %s\r\n" % (session.host_name, envelope.mail_from, envelope.rcpt_tos[0])
        write(os.path.join(self.args.folder, "mail-%d.txt" % (count + 1)), head.encode() + envelope.original_content)
        return "250 Message accepted"


def write(path, data):
    with open(path + ".part", "wb") as out:
        out.write(data)
    os.replace(path + ".part", path)


async def hold(reader, writer):
    await reader.read()


async def serve(args):
    if args.silent:
        server = await asyncio.start_server(hold, "127.0.0.1", args.port)
    else:
        store = Store(args)
        server = await asyncio.get_running_loop().create_server(lambda: SMTP(store), "127.0.0.1", args.port)
    write(os.path.join(args.folder, "port"), str(server.sockets[0].getsockname()[1]).encode())
    deadline = time.monotonic() + args.lifetime
    while not os.path.exists(os.path.join(args.folder, "stop")) and time.monotonic() < deadline:
        await asyncio.sleep(0.02)
    server.close()
    os.remove(os.path.join(args.folder, "port"))
    write(os.path.join(args.folder, "stopped"), b"")


parser = argparse.ArgumentParser()
parser.add_argument("folder")
parser.add_argument("--port", type=int, default=0)
parser.add_argument("--rcpt-reply", default="")
parser.add_argument("--silent", action="store_true")
parser.add_argument("--lifetime", type=float, default=300)
asyncio.run(serve(parser.parse_args()))
os._exit(0)  # connections still open end with the process
