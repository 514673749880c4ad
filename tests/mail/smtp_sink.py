#!/usr/bin/python3
"""A real SMTP server on loopback for the mailer tests.

Usage: smtp_sink.py DIR. Listens on 127.0.0.1 on a free port, writes the port
to DIR/port when ready, and stores every message it accepts as DIR/<n>.eml
(the DATA content as received) with DIR/<n>.env (sender and recipients, one
per line). Stops by itself after 120 seconds.
"""
import os
import socket
import sys
import time

from aiosmtpd.controller import Controller


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        with open(base + ".env.tmp", "w") as env:
            env.write("\n".join([envelope.mail_from] + list(envelope.rcpt_tos)) + "\n")
        with open(base + ".eml.tmp", "wb") as eml:
            eml.write(envelope.original_content or envelope.content)
        os.rename(base + ".env.tmp", base + ".env")
        os.rename(base + ".eml.tmp", base + ".eml")
        return "250 Message accepted"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    folder = sys.argv[1]
    controller = Controller(Sink(folder), hostname="127.0.0.1", port=free_port())
    controller.start()
    with open(os.path.join(folder, "port.tmp"), "w") as f:
        f.write(str(controller.port))
    os.rename(os.path.join(folder, "port.tmp"), os.path.join(folder, "port"))
    try:
        time.sleep(120)
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
