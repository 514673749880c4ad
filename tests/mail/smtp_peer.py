#!/usr/bin/python3
# SMTP peers on loopback for the mailer tests, writing their port to DIR/port.
# "DIR sink": a real server (aiosmtpd); message n goes to DIR/n as sender and
# recipients on one line, then the content. "DIR PORT STEP REPLY MESSAGES": one
# connection on PORT (0: any), MESSAGES messages served, 354 after DATA; command
# STEP (0 HELO .. 5 QUIT) gets REPLY, or a close when REPLY is empty. All that
# was received goes to DIR/received when the client closes.
import os, socket, sys, time

def publish(name, data):
    with open(os.path.join(sys.argv[1], "tmp"), "wb") as f:
        f.write(data)
    os.rename(os.path.join(sys.argv[1], "tmp"), os.path.join(sys.argv[1], name))

class Sink:
    async def handle_DATA(self, server, session, envelope):
        head = " ".join([envelope.mail_from] + envelope.rcpt_tos) + "\n"
        publish(str(len(os.listdir(sys.argv[1]))), head.encode() + envelope.original_content)
        return "250 OK"

if sys.argv[2] == "sink":
    from aiosmtpd.controller import Controller
    with socket.create_server(("127.0.0.1", 0)) as probe:
        port = probe.getsockname()[1]
    Controller(Sink(), hostname="127.0.0.1", port=port).start()
    publish("port", str(port).encode())
    time.sleep(120)
    os._exit(0)

step, reply, messages = int(sys.argv[3]), os.fsencode(sys.argv[4]), int(sys.argv[5])
listener = socket.create_server(("127.0.0.1", int(sys.argv[2])))
publish("port", str(listener.getsockname()[1]).encode())
peer, received, consumed = listener.accept()[0], b"", 0
peer.settimeout(10)
good = [b"250 a\r\n", b"250 b\r\n", b"250 c\r\n", b"354 d\r\n", b"250 e\r\n", b"221 f\r\n"]
marker = [b"\r\n"] * 4 + [b"\r\n.\r\n", b"\r\n", b"\x01"]  # the last: until the client closes
try:
    for i in [i for _ in range(messages) for i in range(6)] + [6]:
        while received.find(marker[i], consumed) < 0:
            chunk = peer.recv(65536)
            received += chunk if chunk else sys.exit()
        consumed = received.find(marker[i], consumed) + len(marker[i])
        if i == step and not reply:
            break
        peer.sendall(reply if i == step else good[i])
except (OSError, SystemExit):  # the client closed or went silent
    pass
peer.close()
publish("received", received)
