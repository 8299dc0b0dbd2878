# Sourced by scripts/test and scripts/fuzz: their logs are written under a temporary name and
# renamed once complete; an interrupted or ended run removes the temporaries. While a step writes
# its log, a line on the screen shows how far it got. Set `log_owner` (the name that starts the
# script's lines) before sourcing.

log_temporaries=()
temporary=""

# Sets `temporary` to an exclusive new file in folder $1 (mode as the umask allows) for the log $2.
new_temporary() {
  local t tries
  for tries in 1 2 3 4 5 6 7 8 9 10; do
    t="$(mktemp -u "$1/.$2.XXXXXX")"
    if (set -C; : > "$t") 2> /dev/null; then break; fi
    [ "$tries" -lt 10 ] || { echo "$log_owner: cannot write in $1; make it writable" >&2; exit 1; }
  done
  log_temporaries+=("$t")
  temporary="$t"
}

# Renames the temporary over the log $1.
keep_log() {
  mv -f "$temporary" "$1"
  temporary=""
}

# The progress line of a step, shown by scripts/progress.sh while the step writes its log: on a
# terminal one line refreshed in place ("build: 412/1030") and cleared when the step ends, otherwise
# (a pipe, CI) a line each time the count reaches a new tenth of its total. scripts/test reads the
# lines of scripts/fuzz through a pipe, so it hands its own kind of screen on in CORVANE_PROGRESS.
if [ -z "${CORVANE_PROGRESS:-}" ]; then
  if [ -t 1 ] && [ "${TERM:-dumb}" != dumb ]; then CORVANE_PROGRESS=terminal; else CORVANE_PROGRESS=lines; fi
fi
progress_script="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/progress.sh"
progress_pid=""

# Starts the progress line "$1 N/M" of a step that writes the log $temporary; $2 and $3 say where
# its count comes from (see scripts/progress.sh).
progress_start() {
  progress_end
  CORVANE_PROGRESS="$CORVANE_PROGRESS" bash "$progress_script" $$ "$temporary" "$1" "$2" "${3:-}" < /dev/null &
  progress_pid=$!
}

# Ends the progress line: the watcher looks a last time (in a pipe, the count it reached) and, on a
# terminal, the line is cleared for what comes next. The watcher is told by SIGURG, which a process
# that does not listen for it ignores, so one only just started is told again until it has ended.
progress_end() {
  [ -n "$progress_pid" ] || return 0
  while kill -s URG "$progress_pid" 2> /dev/null; do
    sleep 0.02
  done
  wait "$progress_pid" 2> /dev/null || true
  progress_pid=""
  if [ "$CORVANE_PROGRESS" = terminal ]; then printf '\r\033[K'; fi
}

# Removes the temporaries and ends the script by the signal $1.
on_signal() {
  [ -z "$progress_pid" ] || kill -s KILL "$progress_pid" 2> /dev/null || true
  progress_pid=""
  if [ "$CORVANE_PROGRESS" = terminal ]; then printf '\r\033[K'; fi
  rm -f "${log_temporaries[@]}"
  trap - "$1"
  kill -s "$1" $$
}
trap 'on_signal INT' INT
trap 'on_signal TERM' TERM
trap 'on_signal HUP' HUP
trap '[ -z "$progress_pid" ] || kill -s KILL "$progress_pid" 2> /dev/null; rm -f "${log_temporaries[@]}"' EXIT

# Shows the warnings and errors of the build log $1 (the first 40 of their lines), then how many of
# each there were: "build: 1 warning and 2 errors (log: $1)". A line is an error when "error: "
# comes in it before any "warning: " (GCC's "fatal error: ", a warning made an error). Nothing
# when there were none.
show_build_problems() {
  awk -v file="$1" '
    function counted(n, word) { return n " " word (n == 1 ? "" : "s") }
    match($0, /(warning|error): /) {
      if (substr($0, RSTART, 1) == "w") warnings++; else errors++
      if (++shown <= 40) print
    }
    END {
      if (!shown) exit
      said = warnings ? counted(warnings, "warning") : ""
      if (errors) said = said (said == "" ? "" : " and ") counted(errors, "error")
      print "build: " said " (log: " file ")"
    }' "$1"
}
