#!/usr/bin/env python3
"""An independent reader's view of an address book written by the address
export: every entry as its name and address, as other programs read them.

Usage: address_book_view.py MODE FILE
  MODE rfc822  one RFC 822 address a line, read by email.utils.getaddresses
       eudora  "alias " lines of a nickname file; the address after the
               word "alias" read by email.utils.getaddresses
       vcard   vCard cards read by the vobject parser
Prints one line per entry, sorted: for rfc822 and eudora the name and the
address, for vcard FN, EMAIL, the family and the given name of N, separated
by tabs. Exit status 0 when every line or card was read as one entry with an
address, 1 when not.
"""
import sys


def fail(message):
    print(message)
    sys.exit(1)


def text_lines(path):
    with open(path, "rb") as f:
        data = f.read()
    if data and not data.endswith(b"\r\n"):
        fail("the file does not end with CR LF")
    lines = data.split(b"\r\n")[:-1]
    for line in lines:
        if b"\n" in line or b"\r" in line:
            fail("a bare line end inside an entry: %r" % line)
    return [line.decode("utf-8") for line in lines]


def address_lines(path, eudora):
    from email.utils import getaddresses
    rows = []
    for line in text_lines(path):
        if eudora:
            if not line.startswith("alias "):
                fail("not an alias line: %r" % line)
            line = line[len("alias "):]
        found = getaddresses([line])
        if len(found) != 1 or "@" not in found[0][1]:
            fail("not one address: %r -> %r" % (line, found))
        rows.append("%s\t%s" % found[0])
    return rows


def cards(path):
    import vobject
    with open(path, "rb") as f:
        data = f.read()
    if b"\n" in data.replace(b"\r\n", b""):
        fail("a line not ended by CR LF")
    for line in data.split(b"\r\n"):
        if len(line) > 75:
            fail("a line longer than 75 octets: %r" % line)
    rows = []
    for card in vobject.readComponents(data.decode("utf-8")):
        if card.name != "VCARD" or card.version.value != "4.0":
            fail("not a vCard 4.0: %r" % card)
        n = card.n.value
        emails = card.contents.get("email", [])
        if len(emails) != 1:
            fail("not one EMAIL: %r" % card)
        rows.append("\t".join([card.fn.value, emails[0].value, n.family, n.given]))
    return rows


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("rfc822", "eudora", "vcard"):
        fail(__doc__)
    mode, path = sys.argv[1], sys.argv[2]
    rows = cards(path) if mode == "vcard" else address_lines(path, mode == "eudora")
    for row in sorted(rows):
        print(row)


if __name__ == "__main__":
    main()
