# Sourced by scripts/test and scripts/fuzz: their logs are written under a temporary name and
# renamed once complete; an interrupted or ended run removes the temporaries. Set `log_owner` (the
# name that starts the script's lines) before sourcing.

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

# Removes the temporaries and ends the script by the signal $1.
on_signal() {
  rm -f "${log_temporaries[@]}"
  trap - "$1"
  kill -s "$1" $$
}
trap 'on_signal INT' INT
trap 'on_signal TERM' TERM
trap 'rm -f "${log_temporaries[@]}"' EXIT
