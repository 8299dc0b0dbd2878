#!/usr/bin/env python3
"""scripts/run as a user runs it, from a terminal (a pseudo-terminal of its own), sent a signal at a
random moment. Each row runs the script a few times in a scratch folder (HOME and TMPDIR there),
pointed at an up-to-date build (CORVANE_BUILD_DIR: nothing is rebuilt), on a generated mesh
document large enough that the render is still under way when the signal comes. The moments are
"start" (0-400 ms after the start: the install check, the build), "built" (0-120 ms after the
build's last line: the hand-over to the runner) and "opened" (0-150 ms after the runner's "Opened"
line: the render). Ctrl-C is the ^C character typed into the terminal, which signals its
foreground process group as a user's Ctrl-C does; SIGTERM and SIGHUP are sent to the script alone.
An interrupted run is to end within the deadline, by that signal (status 128 plus its number), with
one "interrupted by SIG..." line as its last line (the runner's, once it has printed anything),
no process of its session left (the renderer stand-in among them), TMPDIR empty and no temporary
file anywhere in HOME; the render is never finished. A signal within the exec that hands over to the
runner ends the run right after the build's last line with no line of its own: counted apart.
Rows nohup-hangup, nohup-ctrl-c and nohup-term run `nohup scripts/run` (its lines in nohup.out) pointed at a
build folder of their own whose build waits, under way, until the test lets it go on (a FIFO), with
the runner and the stand-in of the up-to-date build: the terminal is closed during the build (the
run renders on and ends with 0), or Ctrl-C is typed or SIGTERM sent to the script's process group,
as timeout does (the build ends, then the run, by that signal).

  run_signals.py --list     the rows, one a line (CTest registers each as RunScript.ROW)
  run_signals.py --source DIR --build DIR --scratch-in DIR [--document FILE] [--repeat N] ROW

--document renders that file instead of the generated one; --repeat N runs the row's attempts N
times and prints how many were lost, hung, ended otherwise than by the signal or with another last
line. Exit status: 0 every attempt passed, 1 one did not, 2 a usage error.
"""
import os
import random
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

# ROW: (signal, moments, what it checks)
ROWS = {
    "ctrl-c-start": ("INT", ["start"] * 3, "Ctrl-C during the install check and the build"),
    "ctrl-c-built": ("INT", ["built"] * 6, "Ctrl-C 0-120 ms after the build's last line"),
    "ctrl-c-render": ("INT", ["opened"] * 2, "Ctrl-C during the render"),
    "sigterm": ("TERM", ["start", "built", "opened"], "SIGTERM to the script at each moment"),
    "sighup": ("HUP", ["start", "built", "opened"], "SIGHUP to the script at each moment"),
    "nohup": (None, [], "nohup scripts/run renders, SIGHUP after the build and during the render"),
    "nohup-hangup": (None, [], "nohup scripts/run in a terminal closed during the build renders on"),
    "nohup-ctrl-c": ("INT", [], "nohup scripts/run: Ctrl-C during the build ends the build and the run"),
    "nohup-term": ("TERM", [], "nohup scripts/run: SIGTERM to its group during the build ends both"),
    "help": (None, [], "--help prints the script's usage, neither installing nor building"),
}
DEADLINE = 60.0  # seconds for a run to end once signalled (or, unsignalled, to reach a moment)
BUILT = re.compile(r"^(ninja: no work to do\.|\[(\d+)/\2\] .*)$")
OPENED = re.compile(r"^Opened ")
TEMPORARY = re.compile(r"^\..+\.tmp-[0-9a-f]{12}-\d+-[A-Za-z0-9]{10}$")
SIGNALS = {"INT": signal.SIGINT, "TERM": signal.SIGTERM, "HUP": signal.SIGHUP}


def usage():
    print(__doc__.split("\n\n")[1], file=sys.stderr)
    sys.exit(2)


def lines_of(output):
    """The lines of a terminal's output, without the echoed ^C and without empty ones."""
    text = output.decode(errors="replace").replace("^C", "").replace("\r", "")
    return [line for line in text.split("\n") if line.strip()]


def shell_status(status):
    """The status as the shell shows it: 128 plus the signal's number for a run ended by one."""
    return 128 + os.WTERMSIG(status) if os.WIFSIGNALED(status) else os.WEXITSTATUS(status)


def session_left(sid):
    """The processes of the session `sid` still running, as "PID COMMAND"."""
    left = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                command = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
        except OSError:
            continue
        # The fields after the command's name (in parentheses): state, ppid, pgrp, session. A
        # zombie (state Z) has ended; only its reaping is to come.
        fields = stat[stat.rindex(")") + 2:].split()
        if int(fields[3]) == sid and fields[0] != "Z":
            left.append(f"{entry} {command}")
    return left


def session_of(pid):
    """The session of the process `pid`, or 0 once it has ended."""
    try:
        return os.getsid(pid)
    except ProcessLookupError:
        return 0


def temporaries_left(scratch):
    """What the run left that it should not: anything in TMPDIR, a temporary's name in HOME."""
    left = [os.path.join("tmp", name) for name in os.listdir(os.path.join(scratch, "tmp"))]
    for folder, dirs, files in os.walk(os.path.join(scratch, "home")):
        left += [os.path.join(folder, n) for n in dirs + files if TEMPORARY.match(n)]
    return left


class Terminal:
    """scripts/run started on a pseudo-terminal of its own, in a session of its own."""

    def __init__(self, script, env, cwd, args):
        self.pid, self.master = os.forkpty()
        if self.pid == 0:
            try:
                os.chdir(cwd)
                # A user's shell starts a command with the default handling of every signal (this
                # test may be started with some ignored: SIGPIPE by Python, SIGINT as a background job).
                for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGPIPE):
                    signal.signal(sig, signal.SIG_DFL)
                os.execve(script, [script] + args, env)
            finally:
                os._exit(127)
        self.pidfd = os.pidfd_open(self.pid)
        self.output = b""
        self.seen = 0  # the complete lines looked at so far
        self.open = True  # the terminal's other end is held by some process
        self.status = None

    def _step(self, until, also=()):
        """Waits for output, the script's end or a descriptor of `also` to be readable until the
        time `until`; those that came (none: `until` came, or nothing was left to wait for)."""
        watched = ([self.master] if self.open else []) + ([self.pidfd] if self.status is None else [])
        if not watched:
            return []
        ready, _, _ = select.select(watched + list(also), [], [], max(0.0, until - time.monotonic()))
        if self.master in ready:
            try:
                chunk = os.read(self.master, 65536)
            except OSError:  # EIO: no process holds the terminal any more
                chunk = b""
            self.output += chunk
            self.open = bool(chunk)
        if self.pidfd in ready:
            self.status = os.waitpid(self.pid, 0)[1]
        return ready

    def wait_for_line(self, pattern, until):
        """Reads until a line matching `pattern`; False when the run ended or `until` came first."""
        while True:
            complete = lines_of(self.output[: self.output.rfind(b"\n") + 1])
            for line in complete[self.seen:]:
                self.seen += 1
                if pattern.match(line):
                    return True
            if (not self.open and self.status is not None) or time.monotonic() >= until:
                return False
            self._step(until)

    def read_for(self, seconds):
        """Reads what comes for `seconds` (the random delay before a signal)."""
        until = time.monotonic() + seconds
        while time.monotonic() < until and self._step(until):
            pass

    def wait_end(self, until):
        """Reads until the script has ended and no process holds the terminal; False at `until`."""
        while self.open or self.status is None:
            if time.monotonic() >= until:
                return False
            self._step(until)
        return True

    def kill_session(self):
        for line in session_left(self.pid):
            try:
                os.kill(int(line.split()[0]), signal.SIGKILL)
            except ProcessLookupError:
                pass
        if self.status is None:
            self.status = os.waitpid(self.pid, 0)[1]

    def hang_up(self):
        """Closes the terminal as its window closes: the shell passes SIGHUP on to its job (the
        script's process group) and the kernel sends it to the terminal's foreground group."""
        os.killpg(self.pid, signal.SIGHUP)
        os.close(self.master)
        self.master = -1
        self.open = False

    def close(self):
        if self.master >= 0:
            os.close(self.master)
        os.close(self.pidfd)


def scratch_env(scratch, build):
    env = dict(os.environ, HOME=os.path.join(scratch, "home"), TMPDIR=os.path.join(scratch, "tmp"),
               CORVANE_BUILD_DIR=build, LC_ALL="C", TERM="dumb")
    env.pop("CORVANE_JOBS", None)
    os.mkdir(env["HOME"])
    os.mkdir(env["TMPDIR"])
    return env


def interrupted_run(options, sig_name, moment, tally):
    """One run sent `sig_name` at `moment`; the faults found, in words (none: it passed)."""
    scratch = tempfile.mkdtemp(prefix="run-signals.", dir=options["scratch-in"])
    try:
        env = scratch_env(scratch, options["build"])
        run = Terminal(os.path.join(options["source"], "scripts/run"), env, scratch, [options["document"]])
        try:
            return check_interrupted(run, scratch, sig_name, moment, tally)
        finally:
            run.kill_session()
            run.close()
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def check_interrupted(run, scratch, sig_name, moment, tally):
    sig = SIGNALS[sig_name]
    until = time.monotonic() + DEADLINE
    if moment == "start":
        delay = random.uniform(0, 0.4)
    else:
        pattern = BUILT if moment == "built" else OPENED
        if not run.wait_for_line(pattern, until):
            tally["never reached"] += 1
            return [f"the run never reached its {moment} line: {lines_of(run.output)[-5:]}"]
        delay = random.uniform(0, 0.12 if moment == "built" else 0.06)
    run.read_for(delay)
    # A render quicker than the delay has ended before the signal: nothing was there to interrupt.
    if any(line.startswith("The scene was written to ") for line in lines_of(run.output)):
        tally["ended before the signal"] += 1
        return []
    if sig_name == "INT":
        os.write(run.master, b"\x03")  # the terminal signals its foreground process group
    elif run.status is None:
        os.kill(run.pid, sig)
    at = f"{moment} +{delay * 1000:.0f} ms"
    if not run.wait_end(time.monotonic() + DEADLINE):
        left = session_left(run.pid)
        tally["hung"] += 1
        return [f"{at}: still running {DEADLINE:.0f} s after SIG{sig_name}: {left}; output {lines_of(run.output)[-5:]}"]
    faults = []
    lines = lines_of(run.output)
    status = shell_status(run.status)
    if status == 0 or any(line.startswith("The scene was written to ") for line in lines):
        tally["lost"] += 1
        faults.append(f"{at}: SIG{sig_name} was lost: the render went on (status {status})")
    elif status != 128 + sig:
        tally["other status"] += 1
        faults.append(f"{at}: status {status}, not {128 + sig}")
    said = [line for line in lines if re.match(r"^(run|corvane-host): interrupted by SIG", line)]
    runner_line = f"corvane-host: interrupted by SIG{sig_name}; the run's temporary files were removed"
    last_ok = bool(lines) and lines[-1] in (f"run: interrupted by SIG{sig_name}", runner_line)
    # Once the runner has printed, the line is its own.
    if any(OPENED.match(line) for line in lines):
        last_ok = last_ok and lines[-1] == runner_line
    # The one moment where no line can be: the exec that hands over to the runner, once the
    # script's traps are gone and before the signals are blocked for the runner. The run then ends
    # by the signal right after the build's last line, having started nothing.
    if not last_ok and not said and status == 128 + sig and lines and BUILT.match(lines[-1]):
        tally["ended at the hand-over"] += 1
    # Nor before the shell has run the script's first line, where its traps are set.
    elif not lines and not said and status == 128 + sig and moment == "start":
        tally["ended before the first line"] += 1
    elif not last_ok or len(said) != 1:
        tally["line not last"] += 1
        faults.append(f"{at}: the interrupted line is not the one last line: {lines[-6:]}")
    left = session_left(run.pid)
    if left:
        tally["left running"] += 1
        faults.append(f"{at}: left running: {left}")
    temporaries = temporaries_left(scratch)
    if temporaries:
        tally["temporaries left"] += 1
        faults.append(f"{at}: left behind: {temporaries}")
    return faults


def resource_times(build):
    """The modification times of the files the build copies beside the plug-in, by path."""
    times = {}
    for folder in ("res", "preview", "presets", "demo"):
        for root, _, names in os.walk(os.path.join(build, "plugin", folder)):
            for name in names:
                path = os.path.join(root, name)
                times[path] = os.stat(path).st_mtime_ns
    return times


def nohup_run(options):
    """nohup scripts/run: SIGHUP as the build ends and during the render changes nothing. Its
    build, with nothing to do, rewrites none of the plug-in's files, which other runs may be
    reading."""
    scratch = tempfile.mkdtemp(prefix="run-signals.", dir=options["scratch-in"])
    try:
        copied = resource_times(options["build"])
        env = scratch_env(scratch, options["build"])
        # Its output to a pipe, so that nohup keeps it there rather than in nohup.out.
        run = subprocess.Popen(["nohup", os.path.join(options["source"], "scripts/run"), options["document"]],
                               cwd=scratch, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, start_new_session=True,
                               preexec_fn=lambda: signal.signal(signal.SIGPIPE, signal.SIG_DFL))
        output, faults = b"", []
        for pattern in (BUILT, OPENED):
            while not any(pattern.match(line) for line in lines_of(output)):
                chunk = run.stdout.readline()  # a line at a time: the run's lines are the events
                if not chunk:
                    break
                output += chunk
            if run.poll() is None:
                run.send_signal(signal.SIGHUP)
        output += run.stdout.read()  # to its end: every process that held the pipe has ended
        status = run.wait()
        lines = lines_of(output)
        if status != 0 or not any(line.startswith("The scene was written to ") for line in lines):
            faults.append(f"nohup: status {status}, not a render: {lines[-6:]}")
        left = temporaries_left(scratch)
        if left:
            faults.append(f"nohup: left behind: {left}")
        now = resource_times(options["build"])
        rewritten = sorted(path for path, time in copied.items() if now.get(path, time) != time)
        if rewritten:
            faults.append(f"nohup: a build with nothing to do rewrote {rewritten[:3]}")
        return faults
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def held_build(folder, build):
    """A build folder whose build, once under way, writes the ID of its process to the FIFO
    `building` and waits for a byte on the FIFO `gate`; the runner and the renderer stand-in are
    those of `build`."""
    os.mkdir(folder)
    for name in ("corvane-host", "renderer"):
        os.symlink(os.path.join(build, name), os.path.join(folder, name))
    for name in ("building", "gate"):
        os.mkfifo(os.path.join(folder, name))
    with open(os.path.join(folder, "build.ninja"), "w") as f:
        f.write("rule hold\n  command = echo $$$$ > building && exec head -c 1 gate > /dev/null\n"
                "build held: hold\nbuild corvane-host: phony held\nbuild orvane-standin: phony held\n")
    with open(os.path.join(folder, "CMakeCache.txt"), "w") as f:
        f.write(f"CMAKE_PROJECT_NAME:STATIC=held\nCMAKE_GENERATOR:INTERNAL=Ninja\n"
                f"CMAKE_MAKE_PROGRAM:FILEPATH={shutil.which('ninja')}\n")


def held_nohup_run(options, row):
    """nohup scripts/run in a terminal, its build held under way. nohup-hangup: the terminal is
    closed, and the build ends as if nothing happened, the runner renders (the built-in demo
    document) and the run ends with 0. nohup-ctrl-c, nohup-term: Ctrl-C, or SIGTERM to the script's
    process group, ends the build and then the run, by that signal, its last line saying so."""
    scratch = tempfile.mkdtemp(prefix="run-signals.", dir=options["scratch-in"])
    try:
        build = os.path.join(scratch, "build")
        held_build(build, options["build"])
        building = os.open(os.path.join(build, "building"), os.O_RDONLY | os.O_NONBLOCK)
        gate = os.open(os.path.join(build, "gate"), os.O_RDWR)  # a byte lets the build go on
        run = Terminal(shutil.which("nohup"), scratch_env(scratch, build), scratch,
                       [os.path.join(options["source"], "scripts/run")])
        try:
            until = time.monotonic() + DEADLINE
            ready = [run.master]
            while ready and building not in ready:
                ready = run._step(until, [building])
            if building not in ready:
                return [f"{row}: the build never got under way: {lines_of(run.output)[-5:]}"]
            held = int(os.read(building, 100))
            if row == "nohup-hangup":
                run.hang_up()
                os.write(gate, b"x")
            elif row == "nohup-term":
                os.killpg(run.pid, signal.SIGTERM)
            else:
                os.write(run.master, b"\x03")
            if not run.wait_end(time.monotonic() + DEADLINE):
                return [f"{row}: still running {DEADLINE:.0f} s after the signal"]
            with open(os.path.join(scratch, "nohup.out"), "rb") as f:
                lines = lines_of(f.read())
            status = shell_status(run.status)
            rendered = any(line.startswith("The scene was written to ") for line in lines)
            faults = []
            if row == "nohup-hangup" and (status != 0 or not rendered):
                faults.append(f"{row}: status {status}, not a render: {lines[-6:]}")
            if row != "nohup-hangup":
                sig = ROWS[row][0]
                expected = 128 + SIGNALS[sig]
                if status != expected or rendered or lines[-1:] != [f"run: interrupted by SIG{sig}"]:
                    faults.append(f"{row}: status {status}, not {expected} with its line last: {lines[-6:]}")
                # The build, in a session of its own, has ended before the run.
                sid = session_of(held)
                if sid and any(int(line.split()[0]) == held for line in session_left(sid)):
                    faults.append(f"{row}: the build runs on after the run")
            left = temporaries_left(scratch)
            return faults + ([f"{row}: left behind: {left}"] if left else [])
        finally:
            os.close(gate)  # a build still held ends
            os.close(building)
            run.kill_session()
            run.close()
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def help_run(options):
    """--help: the script's own usage at once, with nothing installed or built."""
    scratch = tempfile.mkdtemp(prefix="run-signals.", dir=options["scratch-in"])
    try:
        env = scratch_env(scratch, os.path.join(scratch, "build"))
        faults = []
        for flag in ("--help", "-h"):
            done = subprocess.run([os.path.join(options["source"], "scripts/run"), "my.json", flag], cwd=scratch,
                                  env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=DEADLINE)
            out = done.stdout.decode()
            if done.returncode != 0 or not out.startswith("usage: scripts/run ") or done.stderr:
                faults.append(f"{flag}: status {done.returncode}, out {out[:200]!r}, err {done.stderr[:200]!r}")
            if os.path.exists(env["CORVANE_BUILD_DIR"]):
                faults.append(f"{flag}: the build folder was made")
        return faults
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def main(argv):
    options = {"document": None, "repeat": "1"}
    row = None
    i = 0
    while i < len(argv):
        arg = argv[i]
        if arg == "--list":
            print("\n".join(ROWS))
            return 0
        if arg in ("--source", "--build", "--scratch-in", "--document", "--repeat"):
            if i + 1 >= len(argv) or not argv[i + 1]:
                usage()
            options[arg[2:]] = argv[i + 1]
            i += 2
        elif arg.startswith("-") or row is not None:
            usage()
        else:
            row = arg
            i += 1
    if row is None or not all(options.get(k) for k in ("source", "build", "scratch-in")):
        usage()
    if row not in ROWS:
        print(f"run_signals: no row '{row}' (--list lists them)", file=sys.stderr)
        return 2
    if not options["repeat"].isdigit() or int(options["repeat"]) < 1:
        usage()
    sig_name, moments, what = ROWS[row]
    print(f"RunScript.{row}: {what}")

    if row == "help":
        faults = help_run(options)
    elif row in ("nohup-hangup", "nohup-ctrl-c", "nohup-term"):
        faults = held_nohup_run(options, row)
    else:
        if options["document"] is None:
            # A render that lasts well past the latest signal: a mesh of 600,000 quads.
            options["document"] = os.path.join(options["scratch-in"], "run-signals-mesh.json")
            if not os.path.exists(options["document"]):
                subprocess.run([os.path.join(options["source"], "scripts/gen-document"), "mesh", "600000",
                                options["document"]], check=True)
        options["document"] = os.path.abspath(options["document"])
        faults = []
        tally = {k: 0 for k in ("lost", "hung", "other status", "line not last", "ended at the hand-over",
                                "ended before the first line", "ended before the signal", "left running",
                                "temporaries left", "never reached")}
        runs = 0
        for _ in range(int(options["repeat"])):
            if row == "nohup":
                faults += nohup_run(options)
                runs += 1
                continue
            for moment in moments:
                faults += interrupted_run(options, sig_name, moment, tally)
                runs += 1
        if row != "nohup":
            print(f"{runs} runs: " + ", ".join(f"{n} {k}" for k, n in tally.items()))
    for fault in faults:
        print(f"  {fault}")
    print(f"RunScript.{row}: {'FAILED' if faults else 'passed'}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
