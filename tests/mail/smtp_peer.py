#!/usr/bin/python3
# SMTP peers on loopback for the mailer tests, writing their port to DIR/port.
# "DIR sink": a real server (aiosmtpd); message n goes to DIR/n as sender and
# recipients on one line, then the content. "DIR PORT STEP REPLY MESSAGES": one
# connection on PORT (0: any), MESSAGES messages served, 354 after DATA; command
# STEP (0 HELO .. 5 QUIT) gets REPLY, or a close when REPLY is empty. All that
# was received goes to DIR/received when the client closes.
# "DIR smtpd OPTION... [-- OPTION...]...": aiosmtpd servers, one per group of
# options, server i on the port in DIR/port.i (DIR/port: the first, written
# last). Its message n goes to DIR/i-n as sender and recipients, "tls=yes|no
# auth=MECHANISM:USER|-", then the content. Options: cert=FILE key=FILE
# (STARTTLS offered), implicit (TLS from the start), auth=USER:PASSWORD,
# auth-required, auth-clear (AUTH allowed without TLS), login-only (no PLAIN).
# "DIR script RUNS STEP... [-- RUNS STEP...]...": scripted peers, peer i on
# DIR/port.i serving RUNS connections one after another, each with the
# steps: ">TEXT" sends TEXT (Python escapes), "~TEXT" sends it a byte at a
# time 2 ms apart, "~~TEXT" 300 ms apart, "<" reads a command line, "<data"
# reads up to the end-of-data line, "sleep=SECONDS", "close", "shutdown"
# (closes the sending side, reading on) and "reset" (closes with a TCP
# reset). Afterwards it waits for the client to close.
# DIR/transcript.i.N of run N has a line per exchange, "S: " what it sent,
# "C: " what it read, "C(early): " what the client sent before a send of
# ours, each with Python's escapes.
import os, select, socket, ssl, struct, sys, threading, time

def publish(name, data):
    with open(os.path.join(sys.argv[1], "tmp." + name), "wb") as f:
        f.write(data)
    os.rename(os.path.join(sys.argv[1], "tmp." + name), os.path.join(sys.argv[1], name))

def groups(arguments):
    """The arguments between "--" separators, numbered from 1."""
    found = [[]]
    for argument in arguments:
        if argument == "--":
            found.append([])
        else:
            found[-1].append(argument)
    return enumerate(found, 1)

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

def smtpd(index, options):
    from aiosmtpd.controller import Controller
    from aiosmtpd.smtp import AuthResult
    options = dict(o.split("=", 1) if "=" in o else (o, "") for o in options)
    context = None
    if "cert" in options:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(options["cert"], options["key"])
    user, _, password = options.get("auth", "").partition(":")
    logins, count = {}, [0]

    def authenticator(server, session, envelope, mechanism, data):
        good = data.login.decode() == user and data.password.decode() == password
        logins[id(session)] = mechanism + ":" + data.login.decode()
        return AuthResult(success=good and bool(user), handled=False)

    class Handler:
        async def handle_DATA(self, server, session, envelope):
            secure = session.ssl is not None or "implicit" in options
            head = " ".join([envelope.mail_from] + envelope.rcpt_tos) + "\n"
            head += "tls=%s auth=%s\n" % ("yes" if secure else "no", logins.get(id(session), "-"))
            count[0] += 1
            publish("%d-%d" % (index, count[0]), head.encode() + envelope.original_content)
            return "250 OK"

    with socket.create_server(("127.0.0.1", 0)) as probe:
        port = probe.getsockname()[1]
    kwargs = dict(hostname="127.0.0.1", port=port, authenticator=authenticator,
                  auth_required="auth-required" in options,
                  # aiosmtpd sees TLS only after STARTTLS: implicit TLS needs no rule
                  auth_require_tls="auth-clear" not in options and "implicit" not in options,
                  auth_exclude_mechanism=["PLAIN"] if "login-only" in options else None)
    if "implicit" in options:
        kwargs["ssl_context"] = context
    elif context:
        kwargs["tls_context"] = context
    Controller(Handler(), **kwargs).start()
    publish("port.%d" % index, str(port).encode())
    return port

def run_script(peer, steps, transcript):
    def note(kind, data):
        transcript.append(kind + ": " + data.decode("latin-1").encode("unicode_escape").decode())
    def early():
        while select.select([peer], [], [], 0)[0]:
            data = peer.recv(65536)
            if not data:
                return
            note("C(early)", data)
    pending = b""
    def read_until(marker):
        nonlocal pending
        while marker not in pending:
            data = peer.recv(65536)
            if not data:
                raise EOFError
            pending += data
        at = pending.index(marker) + len(marker)
        note("C", pending[:at])
        pending = pending[at:]
    for step in steps:
        if step.startswith("~"):
            pause = 0.3 if step.startswith("~~") else 0.002
            data = step.lstrip("~").encode("latin-1").decode("unicode_escape").encode("latin-1")
            early()
            note("S", data)
            for i in range(len(data)):
                peer.sendall(data[i:i + 1])
                time.sleep(pause)
        elif step.startswith(">"):
            data = step[1:].encode("latin-1").decode("unicode_escape").encode("latin-1")
            early()
            note("S", data)
            peer.sendall(data)
        elif step == "<":
            read_until(b"\n")
        elif step == "<data":
            read_until(b"\r\n.\r\n")
        elif step.startswith("sleep="):
            time.sleep(float(step[6:]))
        elif step == "close":
            return
        elif step == "shutdown":  # closes the sending side only
            peer.shutdown(socket.SHUT_WR)
        elif step == "reset":
            peer.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            return
    while peer.recv(65536):
        pass

def script(index, runs, steps):
    listener = socket.create_server(("127.0.0.1", 0))
    publish("port.%d" % index, str(listener.getsockname()[1]).encode())
    def serve():
        for run in range(1, runs + 1):
            peer, transcript = listener.accept()[0], []
            peer.settimeout(10)
            try:
                run_script(peer, steps, transcript)
            except (OSError, EOFError):  # the client closed or went silent
                pass
            peer.close()
            publish("transcript.%d.%d" % (index, run), "".join(t + "\n" for t in transcript).encode())
    return threading.Thread(target=serve, daemon=True)

if sys.argv[2] == "smtpd":
    ports = [smtpd(index, options) for index, options in groups(sys.argv[3:])]
    publish("port", str(ports[0]).encode())
    time.sleep(120)
    os._exit(0)
if sys.argv[2] == "script":
    threads = [script(i, int(group[0]), group[1:]) for i, group in groups(sys.argv[3:])]
    publish("port", open(os.path.join(sys.argv[1], "port.1"), "rb").read())
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(120)
    sys.exit()

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
