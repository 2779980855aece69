#!/usr/bin/env python3
"""Imports every single-message file of the corpus's eml/ collections with
qvcli, one fresh installation per file, and compares what was stored with
Python's own reading of the file (the standard library's email package).

For each collection it reports: files, messages imported, header agreement
(From and To addresses, Subject, Date to the minute), text recall (the words
of Python's text parts found in the stored text; uuencoded blocks and lines
of base64 Python left undecoded are no words), parts equal by SHA-256
(every leaf part Python decodes against the parts `qvcli attachments --save`
writes), originals equal to the file, and each disagreement with its cause.
For the mimetools messages it also checks every leaf part against the
NAME_decoded_* files that come with them.

Only reads the corpus; everything it makes goes to a temporary directory.
"""

import argparse
import datetime
import email
import email.policy
import email.utils
import hashlib
import html
import os
import re
import shutil
import subprocess
import sys
import tempfile

COLLECTIONS = ["cpython", "enmime", "mailparser", "mime4j"]
OWNER = "Trial Owner"
OWNER_ADDRESS = "owner@trial.invalid"
NOT_MESSAGES = {"README.txt", "ARTISTIC-LICENSE.txt"}  # the licence and notes of a collection
WORD = re.compile(r"\w{2,}", re.UNICODE)


def message_files(collection_dir):
    out = []
    for root, _, files in os.walk(collection_dir):
        for f in files:
            if "_decoded" in f or f.endswith((".xml", ".out")) or f in NOT_MESSAGES:
                continue
            out.append(os.path.join(root, f))
    return sorted(out)


class Qvcli:
    def __init__(self, binary, root):
        self.binary = binary
        self.env = dict(os.environ, QUORVANE_ROOT=root, QT_QPA_PLATFORM="offscreen")

    def run(self, *args):
        p = subprocess.run([self.binary, *args], env=self.env, capture_output=True, timeout=600)
        return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


def import_file(qv, path):
    qv.run("init")
    qv.run("mailbox", "add", "--owner", OWNER, "--address", OWNER_ADDRESS)
    _, out, _ = qv.run("import", "--format", "Unix Mail", "--mailbox", OWNER, "--unattended", path)
    m = re.search(r"Temporary records:\s+(\d+)", out)
    return int(m.group(1)) if m else 0


def stored_messages(qv):
    _, out, _ = qv.run("show", OWNER)
    ids = [line.split()[0] for line in out.splitlines() if line[:1].isdigit()]
    messages = []
    for mid in ids:
        _, text, _ = qv.run("show", OWNER, mid)
        head, _, body = text.partition("\n\n")
        fields = {"TO": [], "CC": []}
        for line in head.splitlines():
            name, _, value = line.partition(":")
            value = value.strip()
            if name in ("TO", "CC"):
                fields[name].append(value)
            else:
                fields[name] = value
        messages.append({"id": mid, "fields": fields, "text": body})
    return messages


def address_of(text):
    m = re.search(r"<([^<>]*)>\s*$", text or "")
    return (m.group(1) if m else (text or "")).strip().lower()


def python_reading(path):
    with open(path, "rb") as f:
        return email.message_from_binary_file(f, policy=email.policy.default)


def header_text(msg, name):
    try:
        v = msg[name]
    except Exception as e:  # a header Python cannot parse
        return "<unreadable: %s>" % type(e).__name__
    return "" if v is None else " ".join(str(v).split())


def addresses(msg, name):
    try:
        v = msg[name]
        return [a.addr_spec.lower() for a in (v.addresses if v is not None else []) if a.addr_spec]
    except Exception:
        return None


def python_date(msg):
    try:
        v = msg["Date"]
        d = v.datetime if v is not None else None
    except Exception:
        d = None
    return d.strftime("%Y-%m-%d %H:%M") if isinstance(d, datetime.datetime) else ""


def compare_headers(msg, ours):
    """Each header compared: a name -> (agrees, python's, ours)."""
    f = ours["fields"]
    out = {}
    py_from = addresses(msg, "From")
    our_from = address_of(f.get("From", ""))
    if py_from:
        out["From"] = (py_from[0] == our_from, py_from[0], our_from)
    else:
        raw = header_text(msg, "From")
        out["From"] = (not raw or raw.lower() in f.get("From", "").lower() or our_from in raw.lower(), raw,
                       f.get("From", ""))
    py_to = addresses(msg, "To") or []
    our_to = [address_of(t) for t in f["TO"]]
    main = address_of(f.get("To", ""))
    if main and main != OWNER_ADDRESS:
        our_to.append(main)
    if py_to:
        out["To"] = (set(py_to) <= set(our_to), ",".join(py_to), ",".join(our_to))
    py_subject = header_text(msg, "Subject")
    our_subject = " ".join(f.get("Subject", "").split())
    out["Subject"] = (py_subject == our_subject, py_subject, our_subject)
    py_when = python_date(msg)
    our_when = f.get("Date", "")
    if py_when:
        out["Date"] = (py_when == our_when, py_when, our_when)
    return out


def text_of(part):
    try:
        return part.get_content()
    except Exception:
        payload = part.get_payload(decode=True) or b""
        return payload.decode("latin-1")


UU_BEGIN = re.compile(r"^begin [0-7]{3,4} \S")
ENCODED_LINE = re.compile(r"^[A-Za-z0-9+/=]{60,}$")


def readable(text):
    """The text without encoded data a reader never reads as words: uuencoded
    blocks (begin ... end), which the stored text names as attachments, and
    lines of base64 that Python left undecoded (a forwarded message in base64,
    an encoding it does not know)."""
    out, block = [], False
    for line in text.splitlines():
        if block:
            block = line.strip() != "end"
        elif UU_BEGIN.match(line):
            block = True
        elif not ENCODED_LINE.match(line.strip()):
            out.append(line)
    return "\n".join(out)


def python_words(msg):
    """The words of the text a reader sees: the plain parts (HTML ones where a
    message has no plain text), attachments and encoded data left out."""
    plain, htmls = [], []
    for part in msg.walk():
        if part.is_multipart() or part.get_content_maintype() != "text":
            continue
        if part.get_content_disposition() == "attachment":
            continue
        (plain if part.get_content_subtype() == "plain" else htmls).append(part)
    texts = [text_of(p) for p in plain]
    if not texts:
        texts = [html.unescape(re.sub(r"(?s)<(script|style).*?</\1>|<[^>]*>", " ", text_of(p))) for p in htmls]
    return {w.lower() for t in texts if isinstance(t, str) for w in WORD.findall(readable(t))}


def leaves(part):
    """The leaf parts in order. A delivery status is no leaf to Python (it reads
    its header blocks as parts of their own): it is left out."""
    if part.get_content_type() == "message/delivery-status":
        return
    if part.is_multipart():
        for sub in part.iter_parts():
            yield from leaves(sub)
    elif part.get_content_type() != "message/rfc822":
        yield part


def python_parts(msg):
    out = []
    for part in leaves(msg):
        try:
            data = part.get_payload(decode=True)
        except Exception:
            data = None
        if data is None:
            continue
        # Line ends of text are compared as LF: Python gives decoded text with LF alone.
        if part.get_content_maintype() == "text":
            data = lf(data)
        out.append((part.get_filename() or part.get_content_type(), hashlib.sha256(data).hexdigest()))
    return out


def lf(data):
    return data.replace(b"\r\n", b"\n")


def saved_parts(qv, mid, directory):
    os.makedirs(directory, exist_ok=True)
    _, out, err = qv.run("attachments", OWNER, mid, "--save", directory)
    hashes = {}
    for line in out.splitlines():
        if os.path.isfile(line):
            with open(line, "rb") as f:
                data = f.read()
            hashes[hashlib.sha256(data).hexdigest()] = line
            hashes[hashlib.sha256(lf(data)).hexdigest()] = line
    damaged = [l for l in err.splitlines() if "damaged" in l]
    return hashes, damaged


def original_equal(qv, mid, path, directory):
    os.makedirs(directory, exist_ok=True)
    qv.run("export", OWNER, "--scope", "message", "--id", mid, "--original", "--eml", directory)
    written = os.path.join(directory, mid + ".eml")
    if not os.path.isfile(written):
        return False
    with open(written, "rb") as f:
        ours = f.read()
    with open(path, "rb") as f:
        source = f.read()
    # A file that begins with a mailbox separator line is read as a mailbox:
    # the separator line, and the empty line an mbox ends a message with, are
    # the store's, not the message's.
    if source.startswith(b"From "):
        source = source[source.index(b"\n") + 1:]
        for blank in (b"\r\n", b"\n"):
            if source.endswith(blank * 2):
                source = source[:-len(blank)]
                break
    return ours == source


def decoded_files(path):
    """The NAME_decoded_* files that come with a mimetools message."""
    base = os.path.basename(path)[:-len(".msg")]
    folder = os.path.dirname(path)
    return sorted(os.path.join(folder, f) for f in os.listdir(folder)
                  if f.startswith(base + "_decoded_") and not f.endswith(".xml"))


def trial_file(qvcli, path, work, report):
    root = tempfile.mkdtemp(dir=work)
    qv = Qvcli(qvcli, root)
    try:
        count = import_file(qv, path)
        stored = stored_messages(qv)
        report["files"] += 1
        report["messages"] += len(stored)
        name = os.path.relpath(path, report["dir"])
        if len(stored) != 1 or count != 1:
            report["issues"].append("%s: %d messages stored (%d cut)" % (name, len(stored), count))
            return
        msg = python_reading(path)
        ours = stored[0]
        for header, (ok, py, our) in compare_headers(msg, ours).items():
            report["headers"] += 1
            report["headers_ok"] += ok
            if not ok:
                report["issues"].append("%s: %s differs: python %r, ours %r" % (name, header, py, our))
        words = python_words(msg)
        ours_words = {w.lower() for w in WORD.findall(ours["text"])}
        found = len(words & ours_words)
        report["words"] += len(words)
        report["words_found"] += found
        if words and found < len(words):
            missing = sorted(words - ours_words)
            report["issues"].append("%s: text recall %d/%d (missing e.g. %s)" %
                                    (name, found, len(words), ", ".join(missing[:6])))
        hashes, damaged = saved_parts(qv, ours["id"], os.path.join(root, "parts"))
        for what, digest in python_parts(msg):
            report["parts"] += 1
            if digest in hashes:
                report["parts_ok"] += 1
            else:
                report["issues"].append("%s: part %s differs from Python's" % (name, what))
        for line in damaged:
            report["issues"].append("%s: %s" % (name, line.strip()))
        report["originals"] += 1
        if original_equal(qv, ours["id"], path, os.path.join(root, "eml")):
            report["originals_ok"] += 1
        else:
            report["issues"].append("%s: the kept original differs from the file" % name)
        if path.endswith(".msg") and "mimetools" in path:
            for f in decoded_files(path):
                with open(f, "rb") as h:
                    data = h.read()
                report["decoded"] += 1
                if hashlib.sha256(data).hexdigest() in hashes:
                    report["decoded_ok"] += 1
                elif hashlib.sha256(lf(data)).hexdigest() in hashes:
                    # The decoded file writes CR LF where the message writes LF alone.
                    report["decoded_ok"] += 1
                    report["decoded_line_ends"] += 1
                else:
                    report["issues"].append("%s: no saved part equals %s" % (name, os.path.basename(f)))
    finally:
        shutil.rmtree(root, ignore_errors=True)


def percent(n, d):
    return "%.1f %%" % (100.0 * n / d) if d else "-"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    source = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--qvcli", default=os.path.join(source, "build", "qvcli", "qvcli"), help="the qvcli to try")
    ap.add_argument("--corpus", default=os.path.join(source, "..", "shared", "corpus"), help="the corpus folder")
    ap.add_argument("--collection", action="append", choices=COLLECTIONS,
                    help="only this collection (repeatable); all four by default")
    ap.add_argument("--quiet", action="store_true", help="figures only, no list of disagreements")
    args = ap.parse_args()
    eml = os.path.join(args.corpus, "eml")
    if not os.path.isdir(eml):
        sys.exit("no eml/ folder in the corpus " + args.corpus)
    if not os.access(args.qvcli, os.X_OK):
        sys.exit("no qvcli at " + args.qvcli)
    work = tempfile.mkdtemp(prefix="eml-trial-")
    totals = {}
    try:
        print("%-11s %5s %8s %9s %9s %11s %11s %13s" % ("collection", "files", "messages", "headers", "recall",
                                                          "parts", "originals", "decoded files"))
        for c in args.collection or COLLECTIONS:
            report = {"dir": eml, "files": 0, "messages": 0, "headers": 0, "headers_ok": 0, "words": 0,
                      "words_found": 0, "parts": 0, "parts_ok": 0, "originals": 0, "originals_ok": 0,
                      "decoded": 0, "decoded_ok": 0, "decoded_line_ends": 0, "issues": []}
            for path in message_files(os.path.join(eml, c)):
                trial_file(args.qvcli, path, work, report)
            totals[c] = report
            print("%-11s %5d %8d %9s %9s %11s %11s %13s" % (
                c, report["files"], report["messages"], percent(report["headers_ok"], report["headers"]),
                percent(report["words_found"], report["words"]), "%d/%d" % (report["parts_ok"], report["parts"]),
                "%d/%d" % (report["originals_ok"], report["originals"]),
                "%d/%d" % (report["decoded_ok"], report["decoded"]) if report["decoded"] else "-"))
            if report["decoded_line_ends"]:
                print("%-11s (%d of the decoded files equal a saved part but for CR LF line ends the message "
                      "writes as LF)" % ("", report["decoded_line_ends"]))
        if not args.quiet:
            for c, report in totals.items():
                if report["issues"]:
                    print("\n%s: %d disagreements" % (c, len(report["issues"])))
                    for issue in report["issues"]:
                        print("  " + issue)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
