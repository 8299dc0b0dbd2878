#!/usr/bin/env bash
# Ordinary use where users keep their files. Each row of the table puts the user's files in one
# kind of place and runs there what a user runs: a render twice, the import of a .ovm and of a .povm
# with --save, the bake of the documented example, check-material of both, and the renderer
# stand-in's --unpack. The same commands run first in the user's own folder (in the build folder,
# as a checkout is), and the row expects what they gave there: the same exit statuses, the same
# files made, the inputs as they were, and nothing else left (no temporaries, no stray folders,
# nothing in TMPDIR or HOME). The full-disk row alone expects otherwise, and says so: every command
# that writes fails and says that the disk is full, and no file is made.
#
#   ordinary_use.sh --list        the rows, one a line (CTest registers each as OrdinaryUse.ROW)
#   ordinary_use.sh --host EXE --plugin-dir DIR --renderer-dir DIR --source DIR --scratch-in DIR ROW
#
# Exit status: 0 the row gave what the user's own folder gave, 1 it did not, 2 a usage error,
# 77 the row was skipped: it needs root or FUSE and cannot have it here (the reason is printed).
# Mounts are made in a scratch folder of the row's own, and unmounted and removed on every exit.
set -uo pipefail

# ROW             NEEDS   THE PLACE
table="\
tmpfs             tmpfs   the files on a tmpfs
umask-0022        -       umask 0022
umask-0077        -       umask 0077
umask-0277        root    umask 0277 as root (files made 0400, folders 0500)
fixed-modes       fuse    bindfs -p 0755 --chmod-ignore: every mode shows 0755 and chmod is ignored, as vfat, exFAT, NTFS and CIFS show their files
other-owner       fuse    bindfs -u nobody: every file shows another owner, as NFS with owners squashed
read-only-data    -       the inputs 0444 in 0555 folders, and on a read-only mount as root
colleague         root    the inputs in a colleague's 0755 folder (user nobody) inside a 1777 folder, read
relative          -       relative paths from the working folder, and .. after a link
two-renders       -       two renders at once in one write path: the second waits for the first, saying so
ctrl-c-unread     -       Ctrl-C on a render whose output nobody reads (a pager on its first page)
team-folder       -       a sticky team folder its group may write to (3775), the user's own files in it
full-disk         root    a small tmpfs filled up: every command that writes fails, saying so, and leaves nothing half-written
"

usage() {
  echo "usage: $0 --list | --host EXE --plugin-dir DIR --renderer-dir DIR --source DIR --scratch-in DIR ROW" >&2
  exit 2
}

host="" plugins="" renderer_build="" source="" scratch_in="" row=""
while [ "$#" -gt 0 ]; do
  case "$1" in
    --list) awk 'NF { print $1 }' <<< "$table"; exit 0 ;;
    --host | --plugin-dir | --renderer-dir | --source | --scratch-in)
      [ "$#" -ge 2 ] && [ -n "$2" ] || usage
      case "$1" in
        --host) host="$2" ;;
        --plugin-dir) plugins="$2" ;;
        --renderer-dir) renderer_build="$2" ;;
        --source) source="$2" ;;
        --scratch-in) scratch_in="$2" ;;
      esac
      shift 2 ;;
    -*) usage ;;
    *) [ -z "$row" ] || usage; row="$1"; shift ;;
  esac
done
[ -n "$host" ] && [ -n "$plugins" ] && [ -n "$renderer_build" ] && [ -n "$source" ] && [ -n "$scratch_in" ] &&
  [ -n "$row" ] || usage
line="$(awk -v row="$row" '$1 == row' <<< "$table")"
[ -n "$line" ] || { echo "ordinary_use: no row '$row' (--list lists them)" >&2; exit 2; }
needs="$(awk '{ print $2 }' <<< "$line")"
place_text="$(sed -E 's/^[^ ]+ +[^ ]+ +//' <<< "$line")"

# Ends the row as skipped, saying why.
skip() {
  echo "OrdinaryUse.$row: Skipped"
  echo "$1"
  exit 77
}

root=$([ "$(id -u)" -eq 0 ] && echo yes || echo no)
case "$needs" in
  root)
    case "$row" in
      umask-0277) why="under umask 0277 any user but root is refused the folders it makes itself" ;;
      colleague) why="only root can make a folder of another user (nobody)" ;;
      full-disk) why="only root can mount a tmpfs small enough to fill" ;;
    esac
    [ "$root" = yes ] || skip "needs root: $why" ;;
  fuse)
    command -v bindfs > /dev/null || skip "needs bindfs, which is not installed (scripts/install-deps installs it)"
    [ -r /dev/fuse ] && [ -w /dev/fuse ] || skip "needs FUSE, and /dev/fuse is missing or not usable here"
    [ "$root" = yes ] || command -v fusermount > /dev/null ||
      skip "needs fusermount to mount FUSE as a user other than root" ;;
esac

# The scratch folder, and what to undo on every exit: the mounts (last made, first undone), then
# the folder itself, never past a mount that would not go.
scratch="$(mktemp -d "$scratch_in/ordinary-use.$row.XXXXXX")" || exit 1
mounts=()
shm_place=""
cleanup() {
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2> /dev/null || fusermount -u "${mounts[i]}" 2> /dev/null ||
      umount -l "${mounts[i]}" 2> /dev/null || fusermount -u -z "${mounts[i]}" 2> /dev/null ||
      echo "ordinary_use: could not unmount ${mounts[i]}" >&2
  done
  mounts=()
  chmod -R u+rwX "$scratch" 2> /dev/null
  rm -rf --one-file-system "$scratch" ${shm_place:+"$shm_place"}
}
trap cleanup EXIT
for signal in INT TERM HUP; do
  trap "cleanup; trap - $signal EXIT; kill -s $signal \$\$" "$signal"
done

# HOME and TMPDIR of every command: both are to stay empty.
export HOME="$scratch/home" TMPDIR="$scratch/tmp"
mkdir "$HOME" "$TMPDIR"
export LC_ALL=C
# A copy of the renderer stand-in of the row's own: it logs each start in its folder.
renderer="$scratch/renderer"
cp -R "$renderer_build" "$renderer"

# The user's files: a document with a texture tag and its image, a material file with its texture
# beside it, and the same packed.
inputs="$scratch/inputs"
mkdir "$inputs"
cp "$source/docs/examples/textured.json" "$source/docs/examples/checker.png" \
  "$source/tests/data/materials/good.ovm" "$source/tests/data/materials/red.png" "$inputs/"
(cd "$inputs" && python3 -c 'import sys, zipfile
with zipfile.ZipFile("good.povm", "w", zipfile.ZIP_DEFLATED) as z:
    for name in sys.argv[1:]: z.write(name)' good.ovm red.png) || exit 1

# Copies the inputs into the folder $1 (made), as the user would keep them.
put_inputs() {
  mkdir -p "$1" && cp "$inputs"/* "$1/"
}

# The commands, run from the folder $cwd with the inputs at $in and the outputs at $out (paths as
# given on the command line: absolute, or relative to $cwd). Each one's exit status and output go
# to $results/NAME.status and .out; after each, TMPDIR and HOME must be empty.
failures=()
run() {
  local name="$1" status
  shift
  (cd "$cwd" && umask "$mask" && "$@") > "$results/$name.out" 2>&1
  status=$?
  echo "$status" > "$results/$name.status"
  local left
  left="$(cd "$scratch" && find home tmp -mindepth 1 -printf '%p\n' | sort)"
  if [ -n "$left" ]; then
    failures+=("$label $name left in HOME or TMPDIR: $(tr '\n' ' ' <<< "$left")")
    rm -rf "${HOME:?}"/* "${HOME:?}"/.[!.]* "${TMPDIR:?}"/* "${TMPDIR:?}"/.[!.]* 2> /dev/null
  fi
}
commands() {
  local console="$renderer/Orvane.app/Contents/MacOS/OrvaneConsole"
  local with=(--plugin-dir "$plugins" --write-path "$out/w")
  run render-1 "$host" render "${with[@]}" --renderer-dir "$renderer" "$in/textured.json"
  run render-2 "$host" render "${with[@]}" --renderer-dir "$renderer" "$in/textured.json"
  run import-ovm "$host" import "$in/good.ovm" "$in/textured.json" "${with[@]}" --save "$out/out/ovm.json"
  run import-povm "$host" import "$in/good.povm" "$in/textured.json" "${with[@]}" --save "$out/out/povm.json"
  run bake "$host" run 1024338 "$in/textured.json" "${with[@]}" --select CheckerTag \
    --answer gadget:10011=64 --answer gadget:10012=64 --answer "gadget:10017=$out/out/checker.jpg" \
    --answer button:10001
  run check-ovm "$host" check-material --plugin-dir "$plugins" "$in/good.ovm"
  run check-povm "$host" check-material --plugin-dir "$plugins" "$in/good.povm"
  run unpack "$console" --unpack "$in/good.povm" "$out/out/unpacked"
}

# What is in the folders $@, each entry as "FOLDER-NUMBER/PATH TYPE CHECKSUM", sorted: the
# checksum of a file's bytes, but for the files that name the folder they were made in (a scene,
# a saved document). The folder an import unpacks into is named by the time of day (NAME.povmN).
listing() {
  local i=0 dir
  for dir in "$@"; do
    i=$((i + 1))
    (cd "$dir" && find . -mindepth 1 -printf '%P %y\n' | while read -r path type; do
      sum=-
      case "$type:$path" in
        f:*.ovs | f:*.json) ;;
        f:*) sum="$(cksum < "$path" | cut -d' ' -f1)" ;;
      esac
      echo "$i/$path $type $sum"
    done)
  done | sed -E 's#\.povm[0-9]+(/| )#.povmN\1#' | sort
}

# Runs the commands as "$label" in the folders $top (where the outputs go: $out names it) and
# $data (where the inputs are: $in names it; may be $top), and keeps in $results/made what they
# made and in $results/gone what went.
run_all() {
  results="$scratch/results.$label"
  mkdir "$results"
  local before
  before="$(listing "$top" "$data")"
  commands
  comm -13 <(echo "$before") <(listing "$top" "$data") > "$results/made"
  comm -23 <(echo "$before") <(listing "$top" "$data") > "$results/gone"
}

# The user's own folder: the reference. What it gives is checked for what a user expects too.
label=own mask="$(umask)"
top="$scratch/own" data="$top/data" cwd="$scratch" in="$data" out="$top"
put_inputs "$data" && mkdir "$top/out"
run_all
own="$results"

# The row's place.
label="$row" mask="$(umask)"
top="$scratch/place"
mkdir "$top"
in="$top/data" out="$top" cwd="$scratch"
case "$row" in
  tmpfs)
    if [ "$root" = yes ]; then
      mount -t tmpfs -o size=64m,mode=0755 tmpfs "$top" || skip "mounting a tmpfs failed here (see above)"
      mounts+=("$top")
    elif [ "$(stat -f -c %T /dev/shm 2> /dev/null)" = tmpfs ] && [ -w /dev/shm ]; then
      shm_place="$(mktemp -d /dev/shm/ordinary-use.XXXXXX)" || exit 1
      top="$shm_place" in="$shm_place/data" out="$shm_place"
    else
      skip "needs root to mount a tmpfs, and /dev/shm is no tmpfs this user may write to"
    fi ;;
  umask-*) mask="${row#umask-}" ;;
  fixed-modes | other-owner)
    mkdir "$scratch/backing"
    if [ "$row" = fixed-modes ]; then how=(-p 0755 --chmod-ignore); else how=(-u nobody); fi
    bindfs "${how[@]}" "$scratch/backing" "$top" || skip "bindfs ${how[*]} could not mount here (see above)"
    mounts+=("$top") ;;
  read-only-data)
    in="$scratch/read-only/data" ;;
  colleague)
    id nobody > /dev/null 2>&1 || skip "needs the user nobody, to keep the colleague's folder"
    mkdir -m 1777 "$scratch/shared"
    chmod 1777 "$scratch/shared"
    in="$scratch/shared/x" ;;
  team-folder)
    chmod 3775 "$top" ;;
  full-disk)
    mount -t tmpfs -o size=1m,mode=0755 tmpfs "$top" || skip "mounting a tmpfs failed here (see above)"
    mounts+=("$top") ;;
  relative)
    # From $top: the inputs named through a link and ".." (l/../../data is data, as the kernel
    # resolves it: l is sub/inner), the outputs relative.
    mkdir -p "$top/sub/inner"
    ln -s sub/inner "$top/l"
    cwd="$top" in="l/../../data" out="." ;;
  two-renders | ctrl-c-unread) ;;  # the user's own kind of folder; what the row adds comes below
esac
data="${in#l/../../}"
[ "$row" = relative ] && data="$top/data"
(umask "$mask" && put_inputs "$data" && mkdir -p "$top/out") || exit 1
case "$row" in
  read-only-data)
    chmod 0444 "$data"/* && chmod 0555 "$data" "$scratch/read-only"
    if [ "$root" = yes ]; then
      if mount --bind "$data" "$data"; then
        mounts+=("$data")
        mount -o remount,bind,ro "$data" || exit 1
      else
        echo "ordinary_use: no read-only mount here; the inputs are read-only by their modes alone" >&2
      fi
    fi ;;
  colleague)
    chown -R nobody: "$data" && chmod 0755 "$data" && chmod 0644 "$data"/* || exit 1 ;;
  full-disk)
    # Filled to the last block, the inputs already in place.
    dd if=/dev/zero of="$top/filler" bs=4k > /dev/null 2>&1
    [ "$(stat -f -c %a "$top")" = 0 ] || exit 1 ;;
esac
run_all

case "$row" in
  two-renders)
    # The first render holds the write path (its lock, taken as a render takes it, 0600) while the
    # second starts; the second says that it waits, and both end well once the first is done.
    w2="$top/two"
    mkdir "$w2"
    (umask 077 && : > "$w2/.quickrender.lock")
    mkfifo "$scratch/second.out"
    exec {first}< "$w2/.quickrender.lock"
    flock "$first"
    "$host" render --plugin-dir "$plugins" --write-path "$w2" --renderer-dir "$renderer" "$data/textured.json" \
      > "$scratch/second.out" 2>&1 &
    second=$!
    said=no
    exec {reader}< "$scratch/second.out"
    # Said before it waits, so at once: a line that never comes fails the row in seconds.
    waiting="waiting for the lock $w2/.quickrender.lock, which another render or program holds"
    while read -r -t 20 line <&"$reader"; do
      [ "$line" = "$waiting" ] && said=yes && break
    done
    "$host" render --plugin-dir "$plugins" --write-path "$w2" --renderer-dir "$renderer" "$data/textured.json" \
      > "$scratch/third.out" 2>&1 &
    third=$!
    flock -u "$first"
    exec {first}<&-
    cat <&"$reader" > /dev/null
    exec {reader}<&-
    wait "$second" || failures+=("two-renders: the render that waited failed (status $?)")
    wait "$third" || failures+=("two-renders: the render after it failed: $(tail -n 2 "$scratch/third.out")")
    [ "$said" = yes ] || failures+=("two-renders: the waiting render never said so")
    [ -f "$w2/quickrender/quickrender.ovs" ] || failures+=("two-renders: no scene in $w2/quickrender") ;;
  ctrl-c-unread)
    # A render whose standard output nobody reads (as less does on its first page) is sent SIGINT
    # once it waits in a write there: it ends by it within a second, its last line on standard error.
    python3 "$source/scripts/gen-document" quads 5000 "$scratch/big.json" > /dev/null || exit 1
    python3 - "$host" "$plugins" "$top/unread" "$renderer" "$scratch/big.json" "$scratch/unread.err" << 'PY' ||
import os, select, signal, subprocess, sys
host, plugins, write, renderer, document, err = sys.argv[1:]
with open(err, "wb") as errors:
    # Ctrl-C reaches the render as it reaches a command typed at a prompt: with the default handling
    # of SIGINT, also when this test was started with SIGINT ignored (a background job of a shell).
    runner = subprocess.Popen([host, "render", "--plugin-dir", plugins, "--write-path", write,
                               "--renderer-dir", renderer, document], stdout=subprocess.PIPE, stderr=errors,
                              preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
    tasks = "/proc/%d/task" % runner.pid
    def waits_in_a_write():  # as the kernel shows where each thread waits
        try:
            return any("pipe_write" in open("%s/%s/wchan" % (tasks, t)).read() for t in os.listdir(tasks))
        except OSError:
            return False
    pidfd = os.pidfd_open(runner.pid)
    blocked = False
    while not blocked and not select.select([pidfd], [], [], 0.01)[0]:
        blocked = waits_in_a_write()
    runner.send_signal(signal.SIGINT)
    ended = select.select([pidfd], [], [], 1.0)[0]
    if not ended:
        runner.kill()
    status = runner.wait()
print("ended within a second" if ended else "still running a second after SIGINT", status, blocked)
sys.exit(0 if ended and status == -signal.SIGINT and blocked else 1)
PY
      failures+=("ctrl-c-unread: the render did not end by SIGINT within a second with its output unread")
    last="corvane-host: interrupted by SIGINT; the run's temporary files were removed"
    [ "$(cat "$scratch/unread.err")" = "$last" ] ||
      failures+=("ctrl-c-unread: standard error is not the last line alone: $(tail -c 300 "$scratch/unread.err")") ;;
esac

# What the command whose status is in $1 said, without what names the place: every word with a
# slash in it is a path, every number may be a time. Sorted, since the renderer stand-in's lines
# may come among the runner's.
said() {
  sed -E 's#[^ ]*/[^ ]*#PATH#g; s#[0-9]+#N#g' "${1%.status}.out" | sort
}

# What the row expects of the command $1 where the user's own folder gave $2: the same, but on a
# full disk, where every command that writes fails (exit 1) and says that the disk is full.
expected() {
  if [ "$row" = full-disk ] && [ "${1#check-}" = "$1" ]; then echo 1; else echo "$2"; fi
}

# The verdict: each command as in the user's own folder, or as the row expects.
echo "OrdinaryUse.$row: $place_text"
printf '%-12s %-6s %s\n' command own "$row"
for f in "$own"/*.status; do
  name="$(basename "$f" .status)"
  mine="$(cat "$results/$name.status")" theirs="$(cat "$f")"
  printf '%-12s %-6s %s\n' "$name" "$theirs" "$mine"
  [ "$theirs" = 0 ] || failures+=("own $name: exit $theirs in the user's own folder: $(tail -n 3 "$f" | tr '\n' ' ')")
  want="$(expected "$name" "$theirs")"
  if [ "$mine" != "$want" ]; then
    failures+=("$row $name: exit $mine where $want is expected (the user's own folder gives $theirs); its last lines:
$(grep -v '^\.' "$results/$name.out" | tail -n 4 | sed 's/^/    /')")
  elif [ "$want" != "$theirs" ]; then
    grep -qE ': (No space left on device|disk full)' "$results/$name.out" ||
      failures+=("$row $name: does not say that the disk is full: $(tail -n 2 "$results/$name.out" | tr '\n' ' ')")
  elif ! diff <(said "$f") <(said "$results/$name.status") > "$scratch/said.diff"; then
    failures+=("$row $name: says other things than in the user's own folder (< own, > $row):
$(sed -n 's/^\([<>]\)/    \1/p' "$scratch/said.diff")")
  fi
done
for file in w/quickrender/quickrender.ovs out/ovm.json out/povm.json out/checker_albedo.jpg out/unpacked/good.ovm; do
  grep -q "^1/$file f " "$own/made" || failures+=("own: the user's own folder has no $file after the commands")
done
if [ "$row" = full-disk ]; then
  # Nothing half-written: at most the folders a command makes before it writes.
  files="$(grep -v ' d -$' "$results/made")"
  [ -z "$files" ] || failures+=("$row: files were made on the full disk: $(tr '\n' ' ' <<< "$files")")
elif ! diff <(cat "$own/made") <(cat "$results/made") > "$scratch/made.diff"; then
  failures+=("$row: the files made differ from those made in the user's own folder (< own, > $row):
$(sed -n 's/^\([<>]\)/    \1/p' "$scratch/made.diff")")
fi
for label in own "$row"; do
  [ "$label" = own ] && gone="$own/gone" || gone="$results/gone"
  [ ! -s "$gone" ] || failures+=("$label: gone or changed by the commands: $(tr '\n' ' ' < "$gone")")
done
temporaries="$(find "$scratch" ${shm_place:+"$shm_place"} -name '.*.tmp-*' 2> /dev/null)"
[ -z "$temporaries" ] || failures+=("temporaries left: $temporaries")

if [ "${#failures[@]}" -ne 0 ]; then
  printf 'FAILED: %s\n' "${failures[@]}"
  exit 1
fi
if [ "$row" = full-disk ]; then
  echo "passed: every command that writes failed and said so, and nothing was half-written"
else
  echo "passed: every command as in the user's own folder"
fi
