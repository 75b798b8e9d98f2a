#!/usr/bin/python3
"""Runs oxdbf's read commands over damaged copies of real tables.

Each copy is a table of the test data (with its memo file and production
index) with one kind of damage: bit flips in the header, the records, the
memo file or the index; the table or the memo file cut short; a huge record
count; a huge memo length; a memo reference beyond 32 bits, of letters or
beyond the file. Every read command (dump in its formats and in a tag's
order, tags, check, find, locate, eval) runs on the copy and is judged:

  crash      a signal, or a sanitizer's report
  slow       more than 10 seconds
  large      more than 1 GB of memory
  wrong      status 0 while the output differs from what the undamaged
             parts of the files hold: for damage inside records, memos or
             the record count, the rows that the damage does not touch must
             come out as from the undamaged copy, and a damaged row may
             differ only with a warning (status 1) or an error

Usage: damage_sweep.py OXDBF TESTDATA [--copies N] [--seed S] [--keep DIR]
Prints one line per finding and a summary; exit status 1 when any finding.
"""

import argparse
import json
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time

TIME_LIMIT = 10.0
MEMORY_LIMIT_KB = 1024 * 1024
SANITIZER_STATUS = 86


def tables(testdata):
    """Tables of the test data: (dbf, memo or None, mdx or None)."""
    found = []
    for folder, _, names in os.walk(testdata):
        lower = {n.lower(): n for n in names}
        for name in sorted(names):
            base, ext = os.path.splitext(name)
            if ext.lower() != ".dbf":
                continue
            memo = lower.get(base.lower() + ".dbt") or lower.get(base.lower() + ".fpt")
            mdx = lower.get(base.lower() + ".mdx")
            found.append((os.path.join(folder, name), memo and os.path.join(folder, memo),
                          mdx and os.path.join(folder, mdx)))
    return found


def header_facts(data):
    """Header length, record length, record count, memo fields (offset, length)."""
    if len(data) < 32 or data[0] == 0x02:
        return None
    count, header, length = struct.unpack_from("<IHH", data, 4)
    level7 = (data[0] & 0x07) == 0x04
    slot, start = (48, 68) if level7 else (32, 32)
    fields, offset, at = [], 1, start
    while at + slot <= min(header, len(data)) and data[at] != 0x0D:
        ftype = chr(data[at + (32 if level7 else 11)])
        flen = data[at + (33 if level7 else 16)]
        if ftype in "MBGP":
            fields.append((offset, flen))
        offset += flen
        at += slot
    return header, length, count, fields


def memo_block_size(memo, data):
    if memo.lower().endswith(".fpt"):
        size = struct.unpack_from(">H", data, 6)[0] if len(data) >= 8 else 0
        return size or 512
    if len(data) >= 22 and struct.unpack_from("<H", data, 18)[0] == 0x0102:
        return struct.unpack_from("<H", data, 20)[0] or 512
    return 512


def flip(data, lo, hi, rng, count=1):
    data = bytearray(data)
    spots = []
    for _ in range(count):
        if hi <= lo:
            break
        at = rng.randrange(lo, hi)
        data[at] ^= 1 << rng.randrange(8)
        spots.append(at)
    return bytes(data), spots


def damage(files, rng):
    """One damaged copy: (kind, {role: bytes}, rows the damage may touch or
    None when no row oracle applies)."""
    dbf, memo, mdx = files
    data = {role: open(path, "rb").read() for role, path in (("dbf", dbf), ("memo", memo), ("mdx", mdx)) if path}
    facts = header_facts(data["dbf"])
    kinds = ["header flip", "dbf cut"]
    if facts and facts[1] > 0:
        kinds += ["record flip", "huge count"]
    if memo and facts and facts[3]:
        kinds += ["memo flip", "memo cut", "huge memo length", "memo reference"]
    if mdx:
        kinds += ["index flip"]
    kind = rng.choice(kinds)
    out = dict(data)
    touched = None
    if kind == "header flip":
        limit = facts[0] if facts else 32
        out["dbf"], _ = flip(data["dbf"], 0, min(limit, len(data["dbf"])), rng, rng.randint(1, 3))
    elif kind == "dbf cut":
        out["dbf"] = data["dbf"][:rng.randrange(len(data["dbf"]) + 1)]
        if facts:
            header, length, _, _ = facts
            kept = max(0, (len(out["dbf"]) - header) // length) if length else 0
            touched = ("prefix", kept)
    elif kind == "record flip":
        header, length, _, _ = facts
        end = len(data["dbf"])
        out["dbf"], spots = flip(data["dbf"], header, end, rng)
        touched = ("rows", {(s - header) // length + 1 for s in spots})
    elif kind == "huge count":
        raw = bytearray(data["dbf"])
        struct.pack_into("<I", raw, 4, rng.choice([0x7FFFFFFF, 0x7FFFFFFE, 0xFFFFFFFF, 0x80000000, 10 ** 9]))
        out["dbf"] = bytes(raw)
        touched = ("rows", set())
    elif kind in ("memo flip", "memo cut", "huge memo length", "memo reference"):
        header, length, count, fields = facts
        block = memo_block_size(memo, data["memo"])
        refs = []  # (row, field offset, field length, block)
        # Rows as the file holds them: shared opens count by the file size.
        for row in range(max(count, (len(data["dbf"]) - header) // length)):
            at = header + row * length
            for offset, flen in fields:
                text = data["dbf"][at + offset:at + offset + flen].strip(b" \x00")
                if text.isdigit() and int(text) > 0:
                    refs.append((row + 1, at + offset, flen, int(text)))
        if kind == "memo reference" or not refs:
            if not refs:
                return damage(files, rng) if len(kinds) > 1 else ("none", data, None)
            row, at, flen, _ = rng.choice(refs)
            raw = bytearray(data["dbf"])
            text = rng.choice([b"4294967297", b"99999999999", b"12x", b"-", b"#" * flen, b"1234567890123456789"])
            raw[at:at + flen] = text[:flen].rjust(flen)
            out["dbf"] = bytes(raw)
            touched = ("rows", {row})
        else:
            starts = sorted({b for _, _, _, b in refs})

            def rows_from(byte):
                # Memos that begin at or after the block of `byte`'s memo
                # start stay untouched: the rows of the memo holding it.
                hit = max((b for b in starts if b * block <= byte), default=None)
                return {r for r, _, _, b in refs if b == hit}

            if kind == "memo flip":
                lo = block  # block 0 is the file's header
                out["memo"], spots = flip(data["memo"], lo, len(data["memo"]), rng)
                touched = ("rows", set().union(*[rows_from(s) for s in spots]) if spots else set())
            elif kind == "memo cut":
                cut = rng.randrange(block, len(data["memo"]) + 1) if len(data["memo"]) > block else 0
                out["memo"] = data["memo"][:cut]
                touched = ("rows", {r for r, _, _, b in refs if (b + 1) * block > cut} | rows_from(cut))
            else:
                row, _, _, b = rng.choice(refs)
                raw = bytearray(data["memo"])
                at = b * block
                if at + 8 <= len(raw):
                    if memo.lower().endswith(".fpt"):
                        struct.pack_into(">I", raw, at + 4, rng.choice([0xFFFFFFFF, 0x7FFFFFFF, len(raw)]))
                    else:
                        raw[at:at + 4] = b"\xFF\xFF\x08\x00"
                        struct.pack_into("<I", raw, at + 4, rng.choice([0xFFFFFFFF, 0x7FFFFFFF, len(raw)]))
                out["memo"] = bytes(raw)
                touched = ("rows", {r for r, _, _, bb in refs if bb == b})
    elif kind == "index flip":
        out["mdx"], _ = flip(data["mdx"], 0, len(data["mdx"]), rng, rng.randint(1, 4))
    return kind, out, touched


def run(argv, cwd):
    """(status, stdout, stderr, seconds, max rss kB); status -N for signal N."""
    start = time.monotonic()
    env = dict(os.environ, LANG="C",
               ASAN_OPTIONS="exitcode=%d:detect_leaks=0" % SANITIZER_STATUS,
               UBSAN_OPTIONS="halt_on_error=1:exitcode=%d" % SANITIZER_STATUS)
    proc = subprocess.Popen(argv, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            stdin=subprocess.DEVNULL, env=env, start_new_session=True)
    streams = {}
    readers = [threading.Thread(target=lambda n, f: streams.__setitem__(n, f.read()), args=(n, f))
               for n, f in (("out", proc.stdout), ("err", proc.stderr))]
    for r in readers:
        r.start()
    killed = False
    while True:
        pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
        if pid != 0:
            break
        if not killed and time.monotonic() - start > TIME_LIMIT * 3:
            os.killpg(proc.pid, signal.SIGKILL)
            killed = True
        time.sleep(0.005)
    seconds = time.monotonic() - start
    for r in readers:
        r.join()
    proc.returncode = os.waitstatus_to_exitcode(status)
    return proc.returncode, streams["out"], streams["err"], seconds, usage.ru_maxrss


def commands(oxdbf, table, tag):
    yield "dump", [oxdbf, "dump", table]
    yield "csv", [oxdbf, "dump", table, "--csv"]
    yield "json", [oxdbf, "dump", table, "--json", "--with-deleted"]
    yield "exclusive json", [oxdbf, "--exclusive", "dump", table, "--json", "--with-deleted"]
    yield "tags", [oxdbf, "tags", table]
    yield "check", [oxdbf, "check", table]
    yield "locate", [oxdbf, "locate", table, "1", "A"]
    yield "eval", [oxdbf, "eval", "--table", table, "--recno", "1", "RECNO()"]
    if tag:
        yield "order", [oxdbf, "dump", table, "--order", tag]
        yield "find", [oxdbf, "find", table, tag, "A"]


def first_tag(oxdbf, table, cwd):
    status, out, _, _, _ = run([oxdbf, "tags", table], cwd)
    lines = out.decode("utf-8", "replace").splitlines()
    return lines[1].split()[0] if status == 0 and len(lines) > 1 else None


def rows_of(json_out):
    return json_out.decode("utf-8", "replace").splitlines()


def judge(kind, touched, name, status, out, original):
    """'' when the run is sound, else why not."""
    if status != 0 or touched is None or name not in ("json", "exclusive json") or original is None:
        return ""
    rows, expected = rows_of(out), rows_of(original)
    how, which = touched
    if how == "prefix":
        if rows != expected[:which]:
            return "status 0, rows differ from the %d complete records" % which
        return ""
    if len(rows) != len(expected):
        return "status 0, %d rows instead of %d" % (len(rows), len(expected))
    for number, (got, want) in enumerate(zip(rows, expected), 1):
        # Damage inside a record's or a memo's bytes changes what the file
        # holds there; anything else must leave every row as it was.
        if got != want and (number not in which or kind not in ("record flip", "memo flip")):
            return "status 0, row %d differs" % number
    return ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("oxdbf")
    parser.add_argument("testdata")
    parser.add_argument("--copies", type=int, default=3000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--keep", help="folder that keeps each copy with a finding")
    args = parser.parse_args()
    args.oxdbf = os.path.abspath(args.oxdbf)
    args.testdata = os.path.abspath(args.testdata)
    rng = random.Random(args.seed)
    files = tables(args.testdata)
    if not files:
        print("damage_sweep: no tables in %s" % args.testdata)
        return 1
    counts = {"runs": 0, "crash": 0, "slow": 0, "large": 0, "wrong": 0}
    longest, largest = 0.0, 0
    findings = 0
    work = tempfile.mkdtemp(prefix="damage_sweep.")
    try:
        for copy in range(args.copies):
            source = rng.choice(files)
            kind, data, touched = damage(source, rng)
            folder = os.path.join(work, str(copy))
            os.mkdir(folder)
            names = {"dbf": os.path.basename(source[0])}
            if source[1]:
                names["memo"] = os.path.basename(source[1])
            if source[2]:
                names["mdx"] = os.path.basename(source[2])
            original_folder = os.path.join(folder, "original")
            os.mkdir(original_folder)
            for role, name in names.items():
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(data[role])
                shutil.copyfile(source[{"dbf": 0, "memo": 1, "mdx": 2}[role]], os.path.join(original_folder, name))
            table = os.path.join(folder, names["dbf"])
            tag = first_tag(args.oxdbf, os.path.join(original_folder, names["dbf"]), folder) if source[2] else None
            for name, argv in commands(args.oxdbf, table, tag):
                original = None
                if name in ("json", "exclusive json") and touched is not None:
                    o_argv = [a.replace(table, os.path.join(original_folder, names["dbf"])) for a in argv]
                    # A count beyond the file leaves the records the file
                    # holds, which the original shows when read shared (a
                    # file may hold more records than its header counts).
                    if kind == "huge count":
                        o_argv = [a for a in o_argv if a != "--exclusive"]
                    o_status, original, _, _, _ = run(o_argv, original_folder)
                    if o_status != 0:
                        original = None
                status, out, err, seconds, rss = run(argv, folder)
                counts["runs"] += 1
                longest = max(longest, seconds)
                largest = max(largest, rss)
                problems = []
                if status < 0 or status == SANITIZER_STATUS or b"runtime error" in err or b"Sanitizer" in err:
                    problems.append(("crash", "status %d %s" % (status, err.decode("utf-8", "replace")[-300:])))
                if seconds > TIME_LIMIT:
                    problems.append(("slow", "%.1f s" % seconds))
                if rss > MEMORY_LIMIT_KB:
                    problems.append(("large", "%d MB" % (rss // 1024)))
                why = judge(kind, touched, name, status, out, original)
                if why:
                    problems.append(("wrong", why))
                for what, detail in problems:
                    counts[what] += 1
                    findings += 1
                    print("%s: copy %d (%s of %s), %s: %s" % (what, copy, kind, source[0], " ".join(argv[1:]), detail),
                          flush=True)
                if problems and args.keep:
                    shutil.copytree(folder, os.path.join(args.keep, str(copy)), dirs_exist_ok=True)
            shutil.rmtree(folder)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("damage_sweep: %d copies, %d runs: %d crashes, %d over 10 s, %d over 1 GB, %d wrong status 0; "
          "longest run %.1f s, largest %d MB" % (args.copies, counts["runs"], counts["crash"], counts["slow"],
                                                  counts["large"], counts["wrong"], longest, largest // 1024))
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
