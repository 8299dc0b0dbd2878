"""Timing peers side by side, for scripts/bench and scripts/bench-documents.

Two measurements compared with each other run interleaved, A, B, A, B, ..., each in a fresh
process, so that whatever the machine does meanwhile falls on both alike; the figure is the median
and the range of the per-round ratios A / B. One unmeasured round goes first (page cache, lazy
binding).

Also a command line for Google Benchmark pairs:

  pairs.py gbench ROUNDS BINARY NAME_A NAME_B [NOTE]

runs the benchmarks NAME_A and NAME_B of BINARY in turn, each in a fresh process, and prints the
ratio of their real times per iteration.
"""
import json
import os
import statistics
import subprocess
import sys


def rounds_from_env(default=7):
    """Rounds per pair: CORVANE_BENCH_ROUNDS, or `default`."""
    try:
        return max(1, int(os.environ.get("CORVANE_BENCH_ROUNDS", default)))
    except ValueError:
        return default


def run(cmd, env=None, prepare=None):
    """Runs `cmd` in a fresh process after `prepare()` (not timed): (seconds, peak MB, output).

    The peak is the child's own: a small wrapper process starts it and reads its usage."""
    if prepare:
        prepare()
    wrapper = [sys.executable, "-c",
               "import resource,subprocess,sys,time;"
               "t=time.monotonic();"
               "p=subprocess.run(sys.argv[1:],capture_output=True,text=True);"
               "t=time.monotonic()-t;"
               "sys.stdout.write(p.stdout+p.stderr);"
               "print('@rc', p.returncode);"
               "print('@seconds', t);"
               "print('@peak', resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)"] + list(cmd)
    out = subprocess.run(wrapper, capture_output=True, text=True, env=env).stdout
    seconds, peak, rc, lines = 0.0, 0.0, 0, []
    for line in out.splitlines():
        if line.startswith("@seconds "):
            seconds = float(line.split()[1])
        elif line.startswith("@peak "):
            peak = int(line.split()[1]) / 1024.0
        elif line.startswith("@rc "):
            rc = int(line.split()[1])
        else:
            lines.append(line)
    if rc != 0:
        raise RuntimeError("%s exited with %d:\n%s" % (" ".join(cmd), rc, "\n".join(lines[-5:])))
    return seconds, peak, "\n".join(lines)


def summary(values):
    """'median (min..max)' of `values`."""
    return "%.3g (%.3g..%.3g)" % (statistics.median(values), min(values), max(values))


def interleave(measures, rounds, warmup=True):
    """Runs every measure of `measures` (callables returning a number) once per round, in turn.

    Returns one list of values per measure, in the order given."""
    if warmup:
        for m in measures:
            m()
    values = [[] for _ in measures]
    for _ in range(rounds):
        for i, m in enumerate(measures):
            values[i].append(m())
    return values


def ratios(a, b):
    return [x / y for x, y in zip(a, b)]


def print_pair(name_a, a, name_b, b, unit="s", note=None):
    """Prints both series and the per-round ratios a / b."""
    print("  %-40s %s %s" % (name_a, summary(a), unit))
    print("  %-40s %s %s" % (name_b, summary(b), unit))
    print("  %-40s %s over %d rounds%s" % (name_a + " / " + name_b, summary(ratios(a, b)), len(a),
                                          "" if not note else "  [" + note + "]"))


def gbench_time(binary, name):
    """Real time per iteration (in ms) of benchmark `name` of `binary`, in a fresh process."""
    out = subprocess.run([binary, "--benchmark_filter=^%s$" % name, "--benchmark_format=json"],
                         capture_output=True, text=True, check=True).stdout
    data = json.loads(out)
    for b in data["benchmarks"]:
        if b.get("run_type", "iteration") == "iteration" and b["name"] == name:
            scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
            return b["real_time"] * scale
    raise RuntimeError("%s has no benchmark %s" % (binary, name))


def gbench_pair(rounds, binary, name_a, name_b, note=None):
    a, b = interleave([lambda: gbench_time(binary, name_a), lambda: gbench_time(binary, name_b)], rounds)
    print("== %s: %s against %s, interleaved, each in a fresh process (ms per iteration)"
          % (os.path.basename(binary), name_a, name_b))
    print_pair(name_a, a, name_b, b, "ms", note)


def main(argv):
    if len(argv) >= 6 and argv[1] == "gbench":
        gbench_pair(int(argv[2]), argv[3], argv[4], argv[5], argv[6] if len(argv) > 6 else None)
        return 0
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
