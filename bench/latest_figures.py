#!/usr/bin/env python3
"""Writes the developer's guide's "Latest figures" from the benchmark's output.

usage: bench/latest_figures.py [--benchmark PROGRAM] [--save FILE] [--from FILE] GUIDE

Runs the benchmark (build/bench/trim_benchmark unless --benchmark names
another; its arguments after "--"), saves its output with the date, the
machine and the load before and after (--save, build/bench/latest-figures.txt
by default), and replaces what stands between the guide's marks

    <!-- latest figures: begin -->  ...  <!-- latest figures: end -->

with tables made from it. --from takes an output saved so instead of running
the benchmark. A table the output lacks, or a line of it that does not read,
fails the script: the guide is written only whole.
"""

import argparse
import datetime
import os
import platform
import re
import subprocess
import sys

BEGIN = "<!-- latest figures: begin -->"
END = "<!-- latest figures: end -->"
SECONDS = r"([\d.]+) s"
SIZE = r"([\d.]+ MiB)"
NUMBER = r"([\d.]+)"
SECTIONS = {
    "hot": re.compile(rf"^(.+?) +{SIZE} +\d+ +{SIZE} +{SECONDS} +{SECONDS} +{NUMBER} +{NUMBER} +{SIZE}$"),
    "copied lines": re.compile(rf"^(.+?) +{SIZE} +\d+ +{SECONDS} +{SECONDS} +{NUMBER} +{SIZE}$"),
    "verify": re.compile(rf"^(.+?) +{SECONDS} +{SECONDS} +{NUMBER} +{SECONDS} +{SECONDS} +{SECONDS} +{NUMBER} +{SIZE}$"),
    "cold": re.compile(rf"^(.+?) +{SIZE} +{SECONDS} +{SECONDS} +{NUMBER} +{SIZE} +[\d.]+%$"),
    "hostile shapes": re.compile(rf"^(.+?) +{SIZE} +{SIZE} +{SECONDS} +{SIZE} +{SECONDS} +{SIZE}$"),
    # The plain log's row has no yardstick, ratio or target.
    "compressed": re.compile(rf"^(.+?) +{SIZE} +{SECONDS}(?: +{SECONDS} +{NUMBER} +{NUMBER})? +{SIZE}$"),
}
PAIR = re.compile(rf"^ +{SECONDS} +{SECONDS} +{NUMBER}$")


class Unreadable(Exception):
    pass


def machine():
    model = platform.machine()
    try:
        with open("/proc/cpuinfo") as f:
            names = [line.split(":", 1)[1].strip() for line in f if line.startswith("model name")]
        if names:
            model = f"{names[0]} ({platform.machine()})"
    except OSError:
        pass
    return f"{model}, {os.cpu_count()} processors"


def load():
    return "{:.1f}".format(os.getloadavg()[0])


def run_benchmark(program, arguments, save):
    started = datetime.datetime.now(datetime.timezone.utc)
    header = [f"# date: {started:%Y-%m-%d}", f"# machine: {machine()}", f"# load before: {load()}"]
    run = subprocess.run([program] + arguments, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    header.append(f"# load after: {load()}")
    text = "\n".join(header) + "\n" + run.stdout
    os.makedirs(os.path.dirname(os.path.abspath(save)), exist_ok=True)
    with open(save, "w") as f:
        f.write(text)
    if run.returncode != 0:
        sys.stderr.write(run.stdout)
        raise Unreadable(f"{program} ended with status {run.returncode}; its output is in {save}")
    return text


def parse(text):
    """The header's fields, the runs, and the rows of each section, by label."""
    fields = dict(re.findall(r"^# ([a-z ]+): (.*)$", text, re.M))
    for field in ("date", "machine", "load before", "load after"):
        if field not in fields:
            raise Unreadable(f"no '# {field}:' line: not an output this script saved")
    tables, section, runs = {}, None, None
    for line in text.split("\n"):
        heading = re.match(r"^(hot|copied lines|verify|cold|hostile shapes|compressed): (?:median of (\d+) runs)?", line)
        if heading:
            section = heading.group(1)
            runs = heading.group(2) or runs
            tables[section] = {"rows": {}, "pairs": []}
            continue
        if section is None or not line.strip() or line.startswith("log "):
            continue
        row = SECTIONS[section].match(line)
        pair = PAIR.match(line)
        if row:
            tables[section]["rows"][row.group(1)] = row.groups()[1:]
        elif pair and section == "copied lines":
            tables[section]["pairs"].append(pair.groups())
        elif line.startswith(" ") and re.search(r"[a-z]", line) or line.startswith("in place: not measured"):
            continue  # the column heads of a pair, or a pair not measured
        else:
            raise Unreadable(f"a line of '{section}' that does not read: {line}")
    for section in SECTIONS:
        if not tables.get(section, {}).get("rows"):
            raise Unreadable(f"no table '{section}' in the benchmark's output")
    return fields, runs, tables


def markdown(fields, runs, tables):
    hot, copied = tables["hot"]["rows"], tables["copied lines"]
    verify, cold, shapes = tables["verify"]["rows"], tables["cold"]["rows"], tables["hostile shapes"]["rows"]
    lines = [
        f"Measured {fields['date']} on {fields['machine']}, the load {fields['load before']} when the"
        f" benchmark started and {fields['load after']} when it ended; medians of {runs} alternating"
        " runs, one run for the hostile logs:",
        "",
        "| log | size | streamtrim | reference | ratio | peak RSS |",
        "|---|---|---|---|---|---|",
    ]
    for label, (size, _, seconds, wc, ratio, _, rss) in hot.items():
        lines.append(f"| {label}, hot | {size} | {seconds} s | `wc -l` {wc} s | {ratio} | {rss} |")
    for label, (size, seconds, cp, ratio, rss) in copied["rows"].items():
        lines.append(f"| {label}, hot | {size} | {seconds} s | `cp` {cp} s | {ratio} | {rss} |")
    names = ["`streamtrim LOG > FILE`", "`streamtrim LOG /dev/null`", "written in place"]
    references = ["`cat LOG > FILE`", "`cat LOG > /dev/null`", "streamtrim replacing a file"]
    for name, reference, (seconds, other, ratio) in zip(names, references, copied["pairs"]):
        lines.append(f"| copied lines, {name} | | {seconds} s | {reference} {other} s | {ratio} | |")
    for label, (size, seconds, cat, ratio, rss) in cold.items():
        lines.append(f"| {label}, cold | {size} | {seconds} s | `cat` {cat} s | {ratio} | {rss} |")
    for label, (size, _, seconds, rss, _, _) in shapes.items():
        lines.append(f"| {label} | {size} | {seconds} s | | | {rss} |")
    lines += [
        "",
        "The checker, in the same run:",
        "",
        "| cut log of | against the original | `wc -l` | ratio | alone | the original piped"
        " | `cat LOG \\| wc -l` | ratio | peak RSS |",
        "|---|---|---|---|---|---|---|---|---|",
    ]
    for label, (against, wc, ratio, alone, piped, piped_wc, piped_ratio, rss) in verify.items():
        lines.append(f"| {label} | {against} s | {wc} s | {ratio} | {alone} s | {piped} s | {piped_wc} s"
                     f" | {piped_ratio} | {rss} |")
    for label, (_, _, _, _, seconds, rss) in shapes.items():
        lines.append(f"| {label} | {seconds} s | | | | | | | {rss} |")
    lines += [
        "",
        f"The first log above ({next(iter(hot))}) compressed, in the same run: streamtrim against"
        " the format's own tool decoding it twice to `/dev/null`, as streamtrim's two passes"
        " must; the first row is the log uncompressed:",
        "",
        "| log | size | streamtrim | decoded twice | ratio | target | peak RSS |",
        "|---|---|---|---|---|---|---|",
    ]
    for label, (size, seconds, twice, ratio, target, rss) in tables["compressed"]["rows"].items():
        if twice is None:
            lines.append(f"| {label} | {size} | {seconds} s | | | | {rss} |")
        else:
            tool = label.split()[0]
            lines.append(f"| `{label}` | {size} | {seconds} s | `{tool} -dc` {twice} s | {ratio}"
                         f" | at most {target} | {rss} |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--benchmark", default="build/bench/trim_benchmark")
    parser.add_argument("--save", default="build/bench/latest-figures.txt")
    parser.add_argument("--from", dest="saved")
    parser.add_argument("guide")
    parser.add_argument("arguments", nargs="*", help="the benchmark's, after --")
    options = parser.parse_args()
    try:
        if options.saved:
            with open(options.saved) as f:
                text = f.read()
        else:
            text = run_benchmark(options.benchmark, options.arguments, options.save)
        table = markdown(*parse(text))
        with open(options.guide) as f:
            guide = f.read()
        if guide.count(BEGIN) != 1 or guide.count(END) != 1 or guide.index(BEGIN) > guide.index(END):
            raise Unreadable(f"{options.guide}: not one pair of marks {BEGIN} ... {END}")
        start, end = guide.index(BEGIN) + len(BEGIN), guide.index(END)
        with open(options.guide, "w") as f:
            f.write(guide[:start] + "\n" + table + "\n" + guide[end:])
    except (Unreadable, OSError) as problem:
        print(f"latest_figures: {problem}", file=sys.stderr)
        return 1
    print(f"latest_figures: {options.guide}: the latest figures written")
    return 0


if __name__ == "__main__":
    sys.exit(main())
