#!/usr/bin/python3
"""A local SMTP server for the Windows tests of the attribute monitor.

    /usr/bin/python3 smtp_test_server.py FOLDER [--port N] [--rcpt-reply LINE]
                                                [--silent] [--lifetime SECONDS]

Listens on 127.0.0.1, on port N or a free one, and writes the port to
FOLDER/port once it takes connections. Every message it accepts is stored
whole as FOLDER/mail-K.txt (K counts on from the files already there), after
three lines that tell what the client said: its EHLO/HELO name, MAIL FROM
and RCPT TO. --rcpt-reply answers RCPT with LINE (for example
"550 5.1.1 No such user"); --silent takes connections and never says a
word. The server ends when FOLDER/stop appears, or after the lifetime; it
then removes FOLDER/port and writes FOLDER/stopped.
"""
import argparse
import asyncio
import os
import time

from aiosmtpd.smtp import SMTP


class Store:
    def __init__(self, folder, rcpt_reply):
        self.folder = folder
        self.rcpt_reply = rcpt_reply

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.rcpt_reply:
            return self.rcpt_reply
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        count = sum(1 for name in os.listdir(self.folder) if name.startswith("mail-") and name.endswith(".txt"))
        path = os.path.join(self.folder, "mail-%d.txt" % (count + 1))
        head = "HELO %s\r\nMAIL FROM %s\r\nRCPT TO %s\r\n" % (
            session.host_name, envelope.mail_from, ",".join(envelope.rcpt_tos))
        with open(path + ".part", "wb") as out:
            out.write(head.encode("ascii", "replace") + envelope.original_content)
        os.replace(path + ".part", path)
        return "250 Message accepted"


async def hold_silently(reader, writer):
    await reader.read()
    writer.close()


def write_file(path, text):
    with open(path + ".part", "w") as out:
        out.write(text)
    os.replace(path + ".part", path)


async def serve(args):
    loop = asyncio.get_running_loop()
    if args.silent:
        server = await asyncio.start_server(hold_silently, "127.0.0.1", args.port)
    else:
        store = Store(args.folder, args.rcpt_reply)
        server = await loop.create_server(lambda: SMTP(store, hostname="ostrivel.test"), "127.0.0.1", args.port)
    write_file(os.path.join(args.folder, "port"), str(server.sockets[0].getsockname()[1]))
    stop = os.path.join(args.folder, "stop")
    deadline = time.monotonic() + args.lifetime
    while not os.path.exists(stop) and time.monotonic() < deadline:
        await asyncio.sleep(0.02)
    server.close()
    os.remove(os.path.join(args.folder, "port"))
    write_file(os.path.join(args.folder, "stopped"), "")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--rcpt-reply", default="")
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--lifetime", type=float, default=300)
    args = parser.parse_args()
    asyncio.run(serve(args))
    # Connections still open end with the process.
    os._exit(0)


if __name__ == "__main__":
    main()
