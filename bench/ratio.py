#!/usr/bin/env python3
"""Reads mojiro_bench's JSON output (--benchmark_out_format=json or
--benchmark_format=json) and prints a markdown table of input throughput
per cell, corpus and line-ending code, beside glibc iconv(3) on the same bytes.

MB/s are 10^6 input bytes per second of CPU time. iconv does no line-ending
pass, so the NL0 rows (CRLF kept) are the closer comparison.

usage: ratio.py RESULTS.json [--slowest N]
"""
import argparse
import json
import math
import sys

CHARSETS = ["sjis", "euc", "jis", "uni", "utf8"]
CORPORA = ["prose", "ascii", "kana"]


def parse(path):
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    mojiro, iconv, copy, stream, threads = {}, {}, {}, {}, {}
    for b in data.get("benchmarks", []):
        if b.get("run_type", "iteration") != "iteration":
            continue
        parts = b["name"].split("/")
        rate = None if b.get("error_occurred") else b.get("bytes_per_second")
        if parts[0] == "mojiro" and len(parts) == 4:
            mojiro[(parts[1], parts[2], int(parts[3][2:]))] = rate
        elif parts[0] == "copy" and len(parts) == 2:
            copy[parts[1]] = rate
        elif parts[0] == "iconv" and len(parts) == 3:
            iconv[(parts[1], parts[2])] = (rate, b.get("error_message", ""))
        elif parts[0] == "stream" and len(parts) == 4:
            stream[parts[1]] = rate
        elif parts[0] == "threads" and len(parts) == 4:
            threads.setdefault(parts[1], {})[int(parts[3][1:])] = rate
    return data.get("context", {}), mojiro, iconv, copy, stream, threads


def cell_order(cell):
    source, target = cell.split(">")
    return CHARSETS.index(source) * 5 + CHARSETS.index(target)


def mb(rate):
    return f"{rate / 1e6:,.0f}" if rate else "—"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("results")
    parser.add_argument("--slowest", type=int, default=10)
    args = parser.parse_args()
    context, mojiro, iconv, copy, stream, threads = parse(args.results)
    if not mojiro:
        sys.exit(f"{args.results}: no mojiro rows")

    rows = []
    for (cell, corpus, nl), rate in mojiro.items():
        other, why = iconv.get((cell, corpus), (None, ""))
        ratio = rate / other if rate and other else None
        rows.append((cell_order(cell), CORPORA.index(corpus) if corpus in CORPORA else 9,
                     nl, cell, corpus, rate, other, why, ratio))
    rows.sort()

    print(f"Machine: {context.get('num_cpus', '?')} CPUs at {context.get('mhz_per_cpu', '?')} MHz; "
          f"benchmark library built as {context.get('library_build_type', '?')}")
    print(f"Buffers: {context.get('buffer_allocator', '?')} allocator. MB/s = 10^6 input bytes per CPU second; "
          "ratio = mojiro / iconv; iconv does no line-ending pass.")
    if copy:
        print("Memory alone (a fresh buffer and memcpy of the Shift_JIS text): " +
              ", ".join(f"{k} {mb(copy[k])} MB/s" for k in CORPORA if k in copy))
    print()
    print("| cell | corpus | NL | mojiro MB/s | iconv MB/s | ratio |")
    print("|---|---|---|---:|---:|---:|")
    for index, _, nl, cell, corpus, rate, other, why, ratio in rows:
        if other:
            iconv_text = mb(other)
        elif why:
            iconv_text = "cannot"  # iconv stopped on this text (see the bench output)
        else:
            iconv_text = "—"  # same charset: not measured
        ratio_text = f"{ratio:.2f}×" if ratio else "—"
        print(f"| {index:2d} {cell} | {corpus} | {nl} | {mb(rate)} | {iconv_text} | {ratio_text} |")

    print()
    print(f"Slowest {args.slowest} mojiro rows:")
    print()
    print("| cell | corpus | NL | mojiro MB/s | iconv MB/s | ratio |")
    print("|---|---|---|---:|---:|---:|")
    timed = [r for r in rows if r[5]]
    for index, _, nl, cell, corpus, rate, other, _, ratio in sorted(timed, key=lambda r: r[5])[: args.slowest]:
        ratio_text = f"{ratio:.2f}×" if ratio else "—"
        print(f"| {index:2d} {cell} | {corpus} | {nl} | {mb(rate)} | {mb(other)} | {ratio_text} |")

    print()
    for corpus in CORPORA:
        ratios = [r[8] for r in rows if r[4] == corpus and r[2] == 0 and r[8]]
        if ratios:
            geo = math.exp(sum(math.log(x) for x in ratios) / len(ratios))
            print(f"{corpus}: geometric mean mojiro/iconv over {len(ratios)} NL0 cells = {geo:.2f}×")
    if stream or threads:
        counts = sorted({t for rates in threads.values() for t in rates})
        print()
        print("Prose corpus, NL1, in 1 MiB pieces: whole-text Convert, CTextStream, and "
              "CParallelTextStream at each thread count (MB/s of wall time for the threads columns)")
        print()
        print("| cell | Convert | stream | " + " | ".join(f"{t} thr" for t in counts) + " |")
        print("|---|---:|---:|" + "---:|" * len(counts))
        for cell in sorted(set(stream) | set(threads), key=cell_order):
            whole = mojiro.get((cell, "prose", 1))
            cols = " | ".join(mb(threads.get(cell, {}).get(t)) for t in counts)
            print(f"| {cell} | {mb(whole)} | {mb(stream.get(cell))} | {cols} |")
    failed = sorted({(c, k) for (c, k), (rate, why) in iconv.items() if why})
    if failed:
        print("iconv could not convert: " + ", ".join(f"{c}/{k}" for c, k in failed))


if __name__ == "__main__":
    main()
