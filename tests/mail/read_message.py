#!/usr/bin/python3
# Reads each message file the smtpd peer stored (two lines of envelope, then the
# content) with Python's email parser and prints what a reader would see:
# the envelope, the header names in order, From, To and the decoded Subject,
# whether Date is a valid date within a minute of now and Message-ID
# well-formed, then the body bytes exactly as received and a line "--".
import datetime, email, email.policy, email.utils, re, sys

def read(path):
    raw = open(path, "rb").read()
    envelope, status, content = raw.split(b"\n", 2)
    head, _, body = content.partition(b"\r\n\r\n")
    message = email.message_from_bytes(content, policy=email.policy.default)
    date = email.utils.parsedate_to_datetime(message["Date"])
    now = datetime.datetime.now(datetime.timezone.utc)
    out = [envelope.decode(), status.decode(), " ".join(message.keys()),
           "From: " + message["From"], "To: " + message["To"], "Subject: " + message["Subject"],
           "Date: " + ("recent" if abs((now - date).total_seconds()) < 60 else message["Date"]),
           "Message-ID: " + ("valid" if re.fullmatch(r"<[^<>@\s]+@[^<>@\s]+>", message["Message-ID"])
                             else message["Message-ID"])]
    sys.stdout.buffer.write("\n".join(out).encode() + b"\n\n" + body + b"--\n")

for path in sys.argv[1:]:
    read(path)
