# The progress line of a step of scripts/test or scripts/fuzz, started by scripts/log-files.sh:
#   bash scripts/progress.sh SCRIPT-PID LOG LABEL KIND [EXTRA]
# Watches LOG once a second until told to end (SIGURG: one last look) or until the script is gone,
# and shows "LABEL N/M". KIND says where the count comes from: "ninja", Ninja's last "[N/M]" line
# (while CMake configures, its "-- " lines show as the step EXTRA instead: "configure: 7 s");
# "ctest", CTest's last "N/M Test #..." line; "seconds", the time gone of EXTRA seconds; "none", no
# count. CORVANE_PROGRESS says how: "terminal", one line refreshed in place; "lines", a line each
# time the count reaches a new tenth of its total (and one when CMake is done configuring).
ending=0
trap 'ending=1' URG
script="$1" log="$2" label="$3" kind="$4" extra="${5:-}"
configured=0 tenth=0 total=0 shown=""
while :; do
  last=$ending text="" count=""
  case "$kind" in
    ninja) count="$(tac "$log" 2> /dev/null | grep -m 1 -o -E '^\[[0-9]+/[0-9]+\]' | tr -d '[]')" ;;
    ctest) count="$(tac "$log" 2> /dev/null | grep -m 1 -o -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: ' | grep -o -E '[0-9]+/[0-9]+')" ;;
    seconds) count="$(( SECONDS < extra ? SECONDS : extra ))/$extra" ;;
  esac
  if [ "$kind" = ninja ] && [ -n "$extra" ] && [ "$configured" -eq 0 ] && grep -q '^-- ' "$log" 2> /dev/null; then
    if grep -q '^-- Build files have been written' "$log"; then
      configured=1
      [ "$CORVANE_PROGRESS" = lines ] && echo "$extra done in $SECONDS s"
    else
      text="$extra $SECONDS s"
    fi
  fi
  if [ -z "$text" ] && [ -n "$count" ]; then
    text="$label $count"
    [ "$kind" = seconds ] && text="$text s"
    if [ "$CORVANE_PROGRESS" = lines ] && [ "${count#*/}" -gt 0 ]; then
      [ "${count#*/}" -eq "$total" ] || { total="${count#*/}"; tenth=0; }
      if [ $(( ${count%/*} * 10 / total )) -gt "$tenth" ]; then
        tenth=$(( ${count%/*} * 10 / total ))
        echo "$text"
      fi
    fi
  fi
  [ -z "$text" ] && [ "$kind" = none ] && text="$label"
  if [ "$CORVANE_PROGRESS" = terminal ] && [ -n "$text" ] && [ "$text" != "$shown" ]; then
    printf '\r%s\033[K' "$text"
    shown="$text"
  fi
  # One last look once the step has ended; none once the script is gone.
  [ "$last" -eq 0 ] && kill -0 "$script" 2> /dev/null || break
  [ "$ending" -eq 1 ] && continue
  sleep 1 > /dev/null 2>&1 &
  sleeper=$!
  wait "$sleeper"
  kill "$sleeper" 2> /dev/null
done
exit 0
