#!/usr/bin/env python3
"""An independent reader's view of mail messages, for the round trip of
originals: the messages of a source store as Python's mailbox and email
modules read them, against the .eml files an export of originals wrote.

Usage: originals_view.py [--subset] MODE EXPORT SOURCE...
  EXPORT a directory of .eml files, or an exported mailbox file (mboxrd)
  MODE   how the sources hold their messages:
         mbox    "From " separator lines (mbox variants, Eudora, Netscape)
         mbox-cr the same with classic Mac line ends (CR alone)
         pmm     a Pegasus folder: a 128-byte header, messages ended by 0x1A
         becky   messages ended by a line ".", body lines dot-stuffed
         oe-mbx  an Outlook Express 4 store: records after 00 7F 00 7F markers
         file    one message per file (news articles, Pegasus new mail)
  --subset the export may hold fewer messages (an import that skipped
         duplicates): each exported message must be one of the source's
Each message is seen as its headers (names and unfolded values, in order)
and its leaf parts (type, file name, SHA-256 of the decoded bytes; text
parts with line ends as LF, trailing blank space and the quoting of "From "
lines left out, which mailbox formats change). Prints the number of
messages; exit status 0 when both sides hold the same messages, 1 when not.
"""
import collections
import email
import email.policy
import hashlib
import json
import mailbox
import os
import re
import sys

FROM_QUOTE = re.compile(rb"^>+(From )", re.M)


def split_source(mode, path):
    with open(path, "rb") as f:
        data = f.read()
    if mode == "file":
        return [data]
    if mode == "oe-mbx":
        marker = b"\x00\x7f\x00\x7f"
        starts = [i for i in range(len(data)) if data.startswith(marker, i)]
        out = []
        for n, p in enumerate(starts):
            end = starts[n + 1] if n + 1 < len(starts) else len(data)
            size = int.from_bytes(data[p + 12:p + 16], "little")
            out.append(data[p + 16:min(p + 16 + size, end)].rstrip(b"\x00"))
        return out
    if mode == "pmm":
        return [m for m in data[128:].split(b"\x1a") if m.strip(b"\r\n\x00")]
    if mode == "becky":
        out, cur = [], []
        for line in data.splitlines(keepends=True):
            if line.rstrip(b"\r\n") == b".":
                out.append(b"".join(cur))
                cur = []
            else:
                cur.append(line[1:] if line.startswith(b"..") else line)
        if b"".join(cur).strip():
            out.append(b"".join(cur))
        return out
    if mode == "mbox-cr":
        # mailbox reads LF lines only: a copy with LF line ends is read.
        copy = os.path.join(os.environ.get("TMPDIR", "/tmp"), "originals_view_%d.mbox" % os.getpid())
        with open(copy, "wb") as f:
            f.write(data.replace(b"\r", b"\n"))
        try:
            box = mailbox.mbox(copy)
            return [box.get_bytes(k) for k in box.keys()]
        finally:
            os.unlink(copy)
    box = mailbox.mbox(path)
    return [box.get_bytes(k) for k in box.keys()]


def unfold(value):
    return " ".join(re.sub(r"\r?\n[ \t]", " ", value).split())


def text_bytes(b):
    b = b.replace(b"\r\n", b"\n").replace(b"\r", b"\n")
    b = FROM_QUOTE.sub(rb"\1", b)
    return b"\n".join(line.rstrip() for line in b.split(b"\n")).rstrip()


def view(raw):
    raw = raw.replace(b"\r", b"\n") if b"\n" not in raw else raw
    if raw.startswith(b"From "):
        raw = raw.split(b"\n", 1)[1] if b"\n" in raw else b""
    msg = email.message_from_bytes(raw, policy=email.policy.compat32)
    headers = [[k.lower(), unfold(str(v))] for k, v in msg.items()]
    parts = []
    for p in msg.walk():
        if p.is_multipart():
            continue
        payload = p.get_payload(decode=True) or b""
        ctype = p.get_content_type()
        if p.get_content_maintype() == "text" and p.get_filename() is None:
            payload = text_bytes(payload)
        parts.append([ctype, p.get_filename() or "", hashlib.sha256(payload).hexdigest()])
    return json.dumps({"headers": headers, "parts": parts}, ensure_ascii=False, sort_keys=True)


def main(argv):
    subset = len(argv) > 1 and argv[1] == "--subset"
    if subset:
        argv = argv[1:]
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    mode, emldir, sources = argv[1], argv[2], argv[3:]
    source = collections.Counter(view(m) for path in sources for m in split_source(mode, path))
    if os.path.isfile(emldir):
        exported = collections.Counter(view(m) for m in split_source("mbox", emldir))
    else:
        names = os.listdir(emldir) if os.path.isdir(emldir) else []
        exported = collections.Counter(view(open(os.path.join(emldir, n), "rb").read())
                                       for n in names if n.endswith(".eml"))
    print("messages: source %d, exported %d" % (sum(source.values()), sum(exported.values())))
    only_source = [] if subset else list((source - exported).elements())
    only_exported = list((exported - source).elements())
    if not only_source and not only_exported:
        return 0
    for label, views in (("only in the source", only_source), ("only in the export", only_exported)):
        for v in views[:3]:
            print("%s: %s" % (label, v[:1500]))
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
