#!/usr/bin/env python3
"""Dumps a DBF table as python3-dbfread reads it, for comparison with the
DBF driver's own reading.

Usage: dbf_dump.py TABLE

Output (bytes kept as they are, escaped):
  FIELD <name> <type> <length> <decimals>    one line per field
  LIVE <values separated by tabs>           live records in file order
  DELETED <values separated by tabs>        deleted records in file order
Values: "" for none; T/F for logicals; numbers as integers when whole, else
with 15 significant digits; dates YYYYMMDD; text escaped; "-" for field
types not compared (binary memos, binary and dBASE 7 types); text memos
without their trailing blanks.
Prints "SKIP <reason>" for tables the reader does not take.
"""
import datetime
import sys

try:
    from dbfread import DBF, FieldParser
except ImportError:
    print("SKIP python3-dbfread is absent")
    sys.exit(0)

COMPARED = set("CNFDL")
VISUAL_FOXPRO = (0x30, 0x31, 0x32)
DBASE4_MEMO = (0x8B, 0x8C, 0xCB)


class LenientParser(FieldParser):
    """Keeps an unreadable date or logical as its raw text / none."""

    def parseD(self, field, data):
        try:
            return super().parseD(field, data)
        except ValueError:
            return data.decode("latin-1")

    def parseL(self, field, data):
        try:
            return super().parseL(field, data)
        except ValueError:
            return None


def escape(text):
    out = []
    for ch in text:
        o = ord(ch)
        if ch == "\\":
            out.append("\\\\")
        elif o < 0x20 or o >= 0x7F:
            out.append("\\x%02X" % o)
        else:
            out.append(ch)
    return "".join(out)


def number(v):
    if isinstance(v, int):
        return str(v)
    if abs(v) < 1e15 and v == int(v):
        return "%.0f" % v
    return "%.15g" % v


def value(field, v, version):
    t = field.type
    if t == "M":
        # text memos without their trailing blanks; binary ones are not
        # compared, nor those of dBASE IV memo files, whose block length
        # dbfread takes for the text's alone (it counts the block header too)
        if version in DBASE4_MEMO:
            return "-"
        if v is None:
            return ""
        if not isinstance(v, str):
            return "-"
        return escape(v.rstrip(" \0"))
    compared = t in COMPARED or (t == "I" and version in VISUAL_FOXPRO)
    if not compared:
        return "-"
    if v is None:
        return ""
    if isinstance(v, bool):
        return "T" if v else "F"
    if isinstance(v, (int, float)):
        return number(v)
    if isinstance(v, datetime.date):
        return "%04d%02d%02d" % (v.year, v.month, v.day)
    if field.type == "C":
        # the text before a NUL: writers that pad with NULs mean no more
        v = v.split("\0")[0].rstrip(" ")
    return escape(str(v))


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        version = f.read(1)[0]
    if version in (0x02, 0x04, 0x8C):
        print("SKIP header layout not read by dbfread")
        return
    lines = []
    try:
        # records as lists of (name, value): a name may occur twice
        table = DBF(path, encoding="latin-1", ignore_missing_memofile=True,
                    parserclass=LenientParser, char_decode_errors="strict",
                    recfactory=list)
        fields = table.fields
        for fd in fields:
            name = fd.name.encode("latin-1").upper().decode("latin-1")
            lines.append("FIELD %s %s %d %d" % (escape(name), fd.type, fd.length, fd.decimal_count))
        for kind, records in (("LIVE", table), ("DELETED", table.deleted)):
            for rec in records:
                values = [value(fd, v, version) for fd, (_, v) in zip(fields, rec)]
                lines.append(kind + " " + "\t".join(values))
    except Exception as e:  # a table dbfread cannot read
        print("SKIP dbfread: %s" % type(e).__name__)
        return
    for line in lines:
        print(line)

if __name__ == "__main__":
    main()
