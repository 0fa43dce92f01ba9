#!/usr/bin/env python3
"""Times `mojiro /AUTO` against the converters a user would reach for instead.

Each tool runs as a whole process on the same input, several rounds
interleaved so that no tool gets a warmer cache than another; the table shows
the median wall time, throughput, peak resident memory, and whether the output
is byte-identical to mojiro's. Nothing is written into the repository.

    tools/bench_peers.py --mojiro build/app/mojiro [--size-mib 128] [--rounds 5]
                         [--small-files 2000] [--huge-gib 3] [--startup-runs 300]

"mojiro" runs on every core the process may use; "mojiro 1 thread" with
MOJIRO_THREADS=1. A scaling table follows for one cell at 1, 2, ... threads
up to the cores there are.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

KANJI_ROWS = range(0x89, 0x98)  # JIS level 1 kanji leads whose rows are full
HIRAGANA = [(0x82, t) for t in range(0x9F, 0xF2)]
KATAKANA = [(0x83, t) for t in range(0x40, 0x97) if t != 0x7F]
PUNCT = [(0x81, 0x41), (0x81, 0x42), (0x81, 0x75), (0x81, 0x76)]
ASCII_WORDS = [b"Mojiro", b"2026", b"OK", b"test", b"UTF-8", b"file", b"data", b"(1)"]


def japanese_sjis(size, seed=7):
    """Shift_JIS prose made of JIS X 0208 characters every converter maps alike."""
    rng = random.Random(seed)
    lead_trails = [(l, t) for l in KANJI_ROWS for t in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD))]
    out = bytearray()
    line = bytearray()
    while len(out) < size:
        r = rng.random()
        if r < 0.45:
            pair = rng.choice(HIRAGANA)
        elif r < 0.80:
            pair = rng.choice(lead_trails)
        elif r < 0.88:
            pair = rng.choice(KATAKANA)
        elif r < 0.94:
            pair = rng.choice(PUNCT)
        else:
            line += b" " + rng.choice(ASCII_WORDS) + b" "
            continue
        line += bytes(pair)
        if len(line) > rng.randint(60, 120):
            out += line + b"\r\n"
            line = bytearray()
    # Cut after a line end: a cut through a pair would leave a lone lead
    # byte, which strict decoders refuse.
    return bytes(out[:out.rindex(b"\r\n", 0, size) + 2])


def peak_run(argv, stdin_path=None, stdout_path=None, fresh=None, extra_env=None):
    """Runs argv; returns (seconds, peak RSS in KiB, exit status).

    The peak comes from /usr/bin/time, whose child starts small: a child
    forked from this interpreter would count the interpreter's own memory.
    `fresh` names an output to delete first, so that every tool writes a new
    file (replacing one costs mojiro a sync, which other tools skip)."""
    if fresh and os.path.exists(fresh):
        os.remove(fresh)
    fin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
    fout = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env.update(extra_env or {})
    rss_file = tempfile.NamedTemporaryFile(delete=False)
    rss_file.close()
    timer = ["/usr/bin/time", "-f", "%M", "-o", rss_file.name] if os.path.exists("/usr/bin/time") else []
    t0 = time.perf_counter()
    status = subprocess.call(timer + argv, stdin=fin, stdout=fout, stderr=subprocess.DEVNULL, env=env)
    elapsed = time.perf_counter() - t0
    for f in (fin, fout):
        if hasattr(f, "close"):
            f.close()
    try:
        peak = int(open(rss_file.name).read().split()[-1])
    except (ValueError, IndexError):
        peak = 0
    os.remove(rss_file.name)
    return elapsed, peak, status


def spawn_wall(argv, env, runs, fresh=None):
    """Median wall time in ms of argv run `runs` times, spawned directly so
    that neither a shell nor /usr/bin/time adds to a millisecond-long run.
    `fresh` is deleted before each run, untimed, as in peak_run."""
    devnull = os.open(os.devnull, os.O_RDWR)
    times = []
    try:
        for _ in range(runs):
            if fresh and os.path.exists(fresh):
                os.remove(fresh)
            t0 = time.perf_counter()
            pid = os.posix_spawn(argv[0], argv, env,
                                 file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1), (os.POSIX_SPAWN_DUP2, devnull, 2)])
            _, status, _ = os.wait4(pid, 0)
            times.append(time.perf_counter() - t0)
            if status != 0:
                return float("nan")
    finally:
        os.close(devnull)
    if fresh and not os.path.exists(fresh):
        return float("nan")  # ran, but wrote nothing: not the work being timed
    return statistics.median(times) * 1e3


MOJIRO_NAMES = {"sjis": "Shift_JIS", "euc": "EUC-JP", "jis": "ISO-2022-JP", "uni": "Unicode", "utf8": "UTF-8"}
ICONV_NAMES = {"sjis": "CP932", "euc": "EUC-JP", "jis": "ISO-2022-JP", "uni": "UTF-16LE", "utf8": "UTF-8"}
UCONV_NAMES = {"sjis": "windows-31j", "euc": "EUC-JP", "jis": "ISO-2022-JP", "uni": "UTF-16LE", "utf8": "UTF-8"}
NKF_OUT = {"sjis": "-s", "euc": "-e", "jis": "-j", "uni": "-w16L0", "utf8": "-w"}
NKF_IN = {"sjis": "-S", "euc": "-E", "jis": "-J", "uni": "-W16L", "utf8": "-W"}
PY_NAMES = {"sjis": "cp932", "euc": "euc_jp", "jis": "iso2022_jp", "uni": "utf-16-le", "utf8": "utf-8"}


def peers_for(src, dst, nl, infile, outfile):
    """Commands for each peer: (name, argv, stdin, stdout) or None."""
    peers = []
    if nl is None:
        if shutil.which("iconv"):
            peers.append(("iconv", ["iconv", "-f", ICONV_NAMES[src], "-t", ICONV_NAMES[dst], infile], None, outfile))
        if shutil.which("uconv"):
            peers.append(("uconv", ["uconv", "-f", UCONV_NAMES[src], "-t", UCONV_NAMES[dst], infile], None, outfile))
        if shutil.which("nkf"):
            peers.append(("nkf", ["nkf", NKF_IN[src], NKF_OUT[dst], "--cp932", infile], None, outfile))
        code = (f"import sys;d=open(sys.argv[1],'rb').read();"
                f"sys.stdout.buffer.write(d.decode('{PY_NAMES[src]}').encode('{PY_NAMES[dst]}'))")
        peers.append(("python3", [sys.executable, "-c", code, infile], None, outfile))
    else:
        if shutil.which("nkf"):
            peers.append(("nkf -Lu", ["nkf", "-Lu", "--cp932", "-S", "-s", infile], None, outfile))
        peers.append(("tr -d '\\r'", ["tr", "-d", "\\r"], infile, outfile))
    peers.append(("cp", ["cp", infile, outfile], None, None))
    return peers


def convert_with_mojiro(mojiro, src, dst, infile, outfile, nl="CRLF"):
    argv = [mojiro, "/AUTO", "/Roff", f"/S{MOJIRO_NAMES[src]}", f"/O{MOJIRO_NAMES[dst]}", f"/N{nl}", f"/F{outfile}",
            "--", infile]
    return argv


def strip_bom(path, target):
    if target != "uni":
        return open(path, "rb").read()
    data = open(path, "rb").read()
    return data[2:] if data.startswith(b"\xff\xfe") else data


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--mojiro", default="build/app/mojiro")
    ap.add_argument("--size-mib", type=int, default=128)
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--small-files", type=int, default=2000)
    ap.add_argument("--startup-runs", type=int, default=300)
    ap.add_argument("--huge-gib", type=float, default=0, help="also convert a file this large (e.g. 3)")
    args = ap.parse_args()
    mojiro = os.path.abspath(args.mojiro)

    work = tempfile.mkdtemp(prefix="mojiro-peers-")
    try:
        size = args.size_mib << 20
        sjis = japanese_sjis(size)
        inputs = {"sjis": os.path.join(work, "in.sjis")}
        open(inputs["sjis"], "wb").write(sjis)
        # Derive the other encodings with mojiro itself (checked against peers below).
        for enc in ("euc", "jis", "uni", "utf8"):
            path = os.path.join(work, "in." + enc)
            subprocess.run(convert_with_mojiro(mojiro, "sjis", enc, inputs["sjis"], path), check=True)
            if enc == "uni":  # the benchmark input carries no mark
                data = open(path, "rb").read()
                open(path, "wb").write(data[2:])
            inputs[enc] = path

        cells = [("sjis", "utf8", None), ("utf8", "sjis", None), ("sjis", "euc", None), ("euc", "sjis", None),
                 ("sjis", "jis", None), ("jis", "sjis", None), ("uni", "utf8", None), ("utf8", "uni", None),
                 ("sjis", "sjis", "LF")]
        print(f"Input: {args.size_mib} MiB of Japanese text per cell, {args.rounds} rounds, median wall time.\n")
        print("| cell | tool | median s | MB/s | peak RSS MiB | output | vs mojiro |")
        print("|---|---|---:|---:|---:|---|---:|")
        mine_bytes = {}
        summary = []
        for src, dst, nl in cells:
            infile = inputs[src]
            nbytes = os.path.getsize(infile)
            mout = os.path.join(work, "out.mojiro")
            tools = [("mojiro", convert_with_mojiro(mojiro, src, dst, infile, mout, nl or "CRLF"), None, None),
                     ("mojiro 1 thread", convert_with_mojiro(mojiro, src, dst, infile, mout, nl or "CRLF"), None, None)]
            tools += peers_for(src, dst, nl, infile, os.path.join(work, "out.peer"))
            times = {name: [] for name, *_ in tools}
            rss = {}
            same = {}
            for _ in range(args.rounds):
                for name, argv, stdin, stdout in tools:
                    mine_run = name.startswith("mojiro")
                    target = mout if mine_run else os.path.join(work, "out.peer")
                    one = {"MOJIRO_THREADS": "1"} if name == "mojiro 1 thread" else None
                    t, peak, status = peak_run(argv, stdin, stdout, fresh=target, extra_env=one)
                    if status != 0:
                        times[name].append(float("nan"))
                        continue
                    times[name].append(t)
                    rss[name] = max(rss.get(name, 0), peak)
                    if name == "mojiro 1 thread" and name not in same:
                        first = open(mout, "rb").read()
                        same[name] = "same" if first == mine_bytes.get((src, dst, nl)) else "differs"
                    if name == "mojiro":
                        mine_bytes[(src, dst, nl)] = open(mout, "rb").read()
                    if not mine_run and name not in same:
                        mine = strip_bom(mout, dst if nl is None else src)
                        theirs_path = os.path.join(work, "out.peer")
                        theirs = open(theirs_path, "rb").read() if os.path.exists(theirs_path) else b""
                        same[name] = "same" if mine == theirs else "differs"
                        if name == "cp":
                            same[name] = "(copy)"
                    if os.path.exists(os.path.join(work, "out.peer")):
                        os.remove(os.path.join(work, "out.peer"))
            base = statistics.median(times["mojiro"])
            label = f"{src}→{dst}" if nl is None else f"CRLF→LF ({src})"
            for name, *_ in tools:
                med = statistics.median(times[name])
                print(f"| {label} | {name} | {med:.3f} | {nbytes / med / 1e6:.0f} | {rss.get(name, 0) / 1024:.0f} | "
                      f"{same.get(name, '') if name != 'mojiro' else ''} | {med / base:.1f}× |")
            peers = [statistics.median(times[name]) for name, *_ in tools if not name.startswith("mojiro")
                     and name != "cp"]
            summary.append((label, base, statistics.median(times["mojiro 1 thread"]),
                            min(peers) if peers else float("nan"), statistics.median(times["cp"])))

        print("\nPer cell: the fastest peer's time over mojiro's, mojiro's over cp's, and the default "
              "threads' over one thread's:\n")
        print("| cell | × fastest peer | × cp | threads / one |")
        print("|---|---:|---:|---:|")
        for label, mine, one, peer, cp in summary:
            print(f"| {label} | {peer / mine:.1f} | {mine / cp:.1f} | {mine / one:.2f} |")

        cores = len(os.sched_getaffinity(0))
        print(f"\nScaling, sjis→utf8, {args.size_mib} MiB, median of {args.rounds}:\n")
        print("| threads | median s | MB/s |")
        print("|---:|---:|---:|")
        mout = os.path.join(work, "out.mojiro")
        for threads in range(1, cores + 1):
            ts = []
            for _ in range(args.rounds):
                t, _, status = peak_run(convert_with_mojiro(mojiro, "sjis", "utf8", inputs["sjis"], mout), fresh=mout,
                                        extra_env={"MOJIRO_THREADS": str(threads)})
                ts.append(t if status == 0 else float("nan"))
            med = statistics.median(ts)
            print(f"| {threads} | {med:.3f} | {os.path.getsize(inputs['sjis']) / med / 1e6:.0f} |")

        if args.small_files:
            # Every run gets a directory of its own with inputs just written:
            # a file system slows down making files where many were just
            # deleted, and that would fall on whichever tool ran next.
            chunk = japanese_sjis(4096, seed=11)
            runs = [0]

            def fresh_inputs():
                runs[0] += 1
                d = os.path.join(work, f"small{runs[0]}")
                os.mkdir(d)
                names = [os.path.join(d, f"f{k:05d}.txt") for k in range(args.small_files)]
                for p in names:
                    open(p, "wb").write(chunk)
                return d, names

            def outputs_present(d):
                return sum(1 for f in os.listdir(d) if f.endswith(".utf8"))

            print(f"\n{args.small_files} files of 4 KiB, Shift_JIS → UTF-8, one call "
                  f"(a fresh directory for every run):\n")
            print("| tool | median s | files/s |")
            print("|---|---:|---:|")
            shell_loop = 'for f; do iconv -f CP932 -t UTF-8 -o "$f.utf8" "$f" || exit 1; done'
            rows = {"mojiro (new files)": [], "mojiro (replace)": [], "nkf --overwrite": [],
                    "iconv -o, one per file (new files)": []}
            for _ in range(args.rounds):
                d, names = fresh_inputs()
                t, _, _ = peak_run([mojiro, "/AUTO", "/Roff", "/SShift_JIS", "/OUTF-8", "--"] + names)
                rows["mojiro (new files)"].append(t if outputs_present(d) == len(names) else float("nan"))
                d, names = fresh_inputs()
                t, _, _ = peak_run([mojiro, "/AUTO", "/Roff", "/SShift_JIS", "/OUTF-8", "/F%SOURCE%", "--"] + names)
                rows["mojiro (replace)"].append(t)
                if shutil.which("nkf"):
                    d, names = fresh_inputs()
                    t, _, _ = peak_run(["nkf", "--overwrite", "-S", "-w", "--cp932"] + names)
                    rows["nkf --overwrite"].append(t)
                if shutil.which("iconv"):
                    d, names = fresh_inputs()
                    t, _, _ = peak_run(["sh", "-c", shell_loop, "sh"] + names)
                    rows["iconv -o, one per file (new files)"].append(t)
            for name, ts in rows.items():
                if ts:
                    med = statistics.median(ts)
                    print(f"| {name} | {med:.3f} | {args.small_files / med:.0f} |")

        if args.startup_runs:
            # One small file, each tool a whole process, rounds interleaved.
            small = os.path.join(work, "startup.sjis")
            open(small, "wb").write(japanese_sjis(4096, seed=5))
            small_utf8 = os.path.join(work, "startup.utf8")
            subprocess.run(convert_with_mojiro(mojiro, "sjis", "utf8", small, small_utf8), check=True)
            env = dict(os.environ)
            env.pop("DISPLAY", None)
            env.pop("WAYLAND_DISPLAY", None)
            iconv = shutil.which("iconv")
            rows = [
                ("mojiro /AUTO /Roff (detected, → Shift_JIS)", [mojiro, "/AUTO", "/Roff", "--", small], small + ".sjis"),
                ("mojiro /AUTO /SShift_JIS /OUTF-8 /Roff", [mojiro, "/AUTO", "/SShift_JIS", "/OUTF-8", "/Roff", "--", small],
                 small + ".utf8"),
                ("mojiro /AUTO /SUTF-8 /OShift_JIS /Roff (reads the settings)",
                 [mojiro, "/AUTO", "/SUTF-8", "/OShift_JIS", "/Roff", "--", small_utf8], small_utf8 + ".sjis"),
            ]
            if iconv:
                out = os.path.join(work, "startup.iconv")
                rows.insert(0, ("iconv -f CP932 -t UTF-8 -o", [iconv, "-f", "CP932", "-t", "UTF-8", "-o", out, small],
                                out))
            rounds = 5
            per_round = max(1, args.startup_runs // rounds)
            medians = {name: [] for name, *_ in rows}
            for _ in range(rounds):
                for name, argv, out in rows:
                    medians[name].append(spawn_wall(argv, env, per_round, fresh=out))
            print(f"\nStart-up: one 4 KiB file, {per_round * rounds} runs each, interleaved, median wall time:\n")
            print("| command | median ms | vs iconv |")
            print("|---|---:|---:|")
            base = statistics.median(medians[rows[0][0]]) if iconv else float("nan")
            for name, *_ in rows:
                med = statistics.median(medians[name])
                print(f"| {name} | {med:.2f} | {med / base:.1f}× |")

        if args.huge_gib:
            huge = os.path.join(work, "huge.sjis")
            block = japanese_sjis(64 << 20, seed=3)
            with open(huge, "wb") as f:
                for _ in range(int(args.huge_gib * 16)):
                    f.write(block)
            out = os.path.join(work, "huge.utf8")
            empty = os.path.join(work, "empty.sjis")
            open(empty, "wb").close()
            _, idle, _ = peak_run(convert_with_mojiro(mojiro, "sjis", "utf8", empty, empty + ".utf8"))
            cores = len(os.sched_getaffinity(0))
            print(f"\n{args.huge_gib} GiB Shift_JIS → UTF-8 (idle program: {idle / 1024:.0f} MiB peak RSS):\n")
            print("| run | s | peak RSS MiB | bound MiB | vs cp |")
            print("|---|---:|---:|---:|---:|")
            t_cp, _, _ = peak_run(["cp", huge, out])
            os.remove(out)
            for threads in sorted({1, cores}):
                t, peak, status = peak_run(convert_with_mojiro(mojiro, "sjis", "utf8", huge, out),
                                           extra_env={"MOJIRO_THREADS": str(threads)})
                bound = idle / 1024 + 32
                print(f"| mojiro, {threads} thread{'s' if threads > 1 else ''} (exit {status}) | {t:.1f} | "
                      f"{peak / 1024:.0f} | {bound:.0f} | {t / t_cp:.1f}× |")
                if os.path.exists(out):
                    os.remove(out)
            t_cp_after, _, _ = peak_run(["cp", huge, out])
            os.remove(out)
            print(f"| cp, before | {t_cp:.1f} | | | 1.0× |")
            print(f"| cp, after | {t_cp_after:.1f} | | | {t_cp_after / t_cp:.1f}× |")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
