#!/usr/bin/env python3
# Reads the --json output of one krtool command on standard input and prints
# the text form the same command prints without --json.
import json
import sys


def escape(text):
    out = []
    for c in text:
        if c == "\\":
            out.append("\\\\")
        elif ord(c) < 0x20 or ord(c) == 0x7F:
            out.append("\\x%02X" % ord(c))
        else:
            out.append(c)
    return "".join(out)


def time_(doc, mode):
    key = {"from-seconds": "stamp", "from-stamp": "seconds", "from-cms": "stamp"}.get(mode)
    print(doc[key] if key else doc["cms_date"] + " " + doc["cms_time"])


def ls(doc):
    for e in doc["entries"]:
        if "mode" not in e:
            print(escape(e["name"]))
        elif e["mode"] is None:
            print("? ? ? ? ? " + escape(e["name"]))
        else:
            print("%06o %d %d %d %d %s" % (e["mode"], e["size"], e["ctime"], e["mtime"],
                                            e["atime"], escape(e["name"])))


def ini(doc):
    if "sections" in doc:
        for name in doc["sections"]:
            print(name)
    else:
        for e in doc["entries"]:
            print(e["key"] + "=" + e["value"])


def params(doc):
    for number, record in enumerate(doc["records"], 1):
        for p in record:
            print("%d %d:%d %s=%s" % (number, p["line"], p["column"], p["keyword"], p["value"]))


def asn1(doc):
    # Headers and content octets in pre-order, as "ID LENGTH CONTENT" lines.
    def walk(elements):
        for e in elements:
            print("%02X %04X %s" % (e["id"], e["length"] & 0xFFFFFFFF, e.get("content", "")))
            walk(e.get("children", []))
    for block in doc["blocks"]:
        walk(block)


def escape_octets(octets):
    return b"".join(b"\\\\" if o == 0x5C else b"\\x%02X" % o if o < 0x20 or o == 0x7F
                    else bytes([o]) for o in octets)


def cert(doc):
    lines = []
    for n, c in enumerate(doc):
        if n:
            lines.append(b"")
        lines.append(b"certificate: %s #%d" % (escape(c["file"]).encode(), c["index"]))
        for label, value in c.items():
            if label in ("file", "index"):
                continue
            if isinstance(value, list):
                text = b", ".join(a["type"].encode() + b"=" + escape_octets(bytes.fromhex(a["hex"]))
                                  for a in value)
            else:
                text = escape(value).encode()
            lines.append(label.encode() + b": " + text)
    sys.stdout.buffer.write(b"\n".join(lines) + b"\n")


kind = sys.argv[1]
document = json.load(sys.stdin)
if kind == "time":
    time_(document, sys.argv[2])
else:
    {"ls": ls, "ini": ini, "params": params, "asn1": asn1, "cert": cert}[kind](document)
