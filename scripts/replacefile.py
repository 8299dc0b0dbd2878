"""Writing a file whole or not at all, for the Python scripts beside this one.

A file is written into an exclusive temporary in the target's folder and renamed over the target
once it is complete, so that a failure, Ctrl-C or SIGTERM leaves the target as it was and no
temporary behind. A link is followed to its file; a target that is not a regular file is refused.
A new file gets the mode the umask allows, a replaced file keeps its permission bits.
"""
import contextlib
import os
import signal
import stat
import sys
import tempfile


class Interrupted(BaseException):
    """Raised in place of the default action of SIGINT, SIGTERM and SIGHUP."""

    def __init__(self, signum):
        super().__init__(signum)
        self.signum = signum


class Refused(Exception):
    """A target that cannot be written; the text says why and what to do."""


def _raise_interrupted(signum, _frame):
    raise Interrupted(signum)


def run_main(main, name):
    """Runs `main()` and exits with what it returns. A signal ends the process by that signal
    once the temporaries are gone; a refused target or a failed write is one line on standard
    error, "NAME: ...", and status 1."""
    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, _raise_interrupted)
    try:
        status = main()
    except Interrupted as e:
        signal.signal(e.signum, signal.SIG_DFL)
        os.kill(os.getpid(), e.signum)
        status = 128 + e.signum
    except Refused as e:
        print("%s: %s" % (name, e), file=sys.stderr)
        status = 1
    sys.exit(status)


def run_without_arguments(main, name):
    """`run_main` for a script that takes no arguments: any argument is a usage error (status 2)."""
    if len(sys.argv) > 1:
        print("%s: takes no arguments, not '%s'" % (name, sys.argv[1]), file=sys.stderr)
        sys.exit(2)
    run_main(main, name)


def check_target(path):
    """The file `path` names, links followed, once it is known that it can be written as a whole:
    its folder exists and it is a regular file or nothing yet. Raises Refused otherwise."""
    real = os.path.realpath(path)
    folder = os.path.dirname(real)
    if not os.path.isdir(folder):
        raise Refused("the folder %s does not exist; make it first or name a file elsewhere" % folder)
    if os.path.isdir(real):
        raise Refused("%s is a folder; name a file" % path)
    if os.path.exists(real) and not stat.S_ISREG(os.stat(real).st_mode):
        raise Refused("%s is not a regular file (a pipe or a device); name a file" % path)
    if not os.access(folder, os.W_OK | os.X_OK):
        raise Refused("the folder %s is not writable; name a file elsewhere" % folder)
    return real


def _umask():
    mask = os.umask(0o022)
    os.umask(mask)
    return mask


@contextlib.contextmanager
def replaced(path, mode="w"):
    """A file object open for writing (`mode` "w" or "wb") whose content becomes the file `path`
    when the block ends normally; on an exception, Ctrl-C included, the temporary is removed and
    `path` is left as it was."""
    target = check_target(path)
    folder, base = os.path.split(target)
    # The signals wait while the temporary is made: one taken between its making and the block
    # that removes it would leave it behind. Taken once unblocked, it is raised inside that block.
    interrupting = {signal.SIGINT, signal.SIGTERM, signal.SIGHUP}
    held = signal.pthread_sigmask(signal.SIG_BLOCK, interrupting)
    try:
        fd, temporary = tempfile.mkstemp(prefix=".%s." % base, suffix=".tmp", dir=folder)
    except OSError as e:
        signal.pthread_sigmask(signal.SIG_SETMASK, held)
        raise Refused("could not write %s: %s; it was left as it was" % (path, e.strerror or e))
    try:
        signal.pthread_sigmask(signal.SIG_SETMASK, held)
        try:
            bits = stat.S_IMODE(os.stat(target).st_mode) & 0o777
        except FileNotFoundError:
            bits = 0o666 & ~_umask()
        os.fchmod(fd, bits)
        with os.fdopen(fd, mode) as out:
            fd = -1
            yield out
            out.flush()
            os.fsync(out.fileno())
        os.replace(temporary, target)
    except BaseException as e:
        if fd >= 0:
            os.close(fd)
        with contextlib.suppress(FileNotFoundError):
            os.unlink(temporary)
        if isinstance(e, OSError):
            raise Refused("could not write %s: %s; it was left as it was" % (path, e.strerror or e))
        raise


def write_bytes(path, data):
    """Writes `data` as the whole of the file `path` (see replaced())."""
    with replaced(path, "wb") as out:
        out.write(data)
