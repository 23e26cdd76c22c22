#!/usr/bin/env bash
# Runs the README's two set-up commands, exactly as the README gives them, on a
# freshly bootstrapped minimal Debian root (debootstrap --variant=minbase:
# no make, no compiler, no sudo, no locale), working there as root:
#   1. the test command, which must install everything and pass every test;
#   2. the run command, whose window must come up on an X server of this
#      machine and stay up, until it is closed again.
# The root is a clean clone of the commit checked out here with ../shared
# beside it, bootstrapped from the Debian mirror this machine's apt sources
# name, and is thrown away at the end however the run ends.
# Usage (as root): test-fresh.sh SUITE    e.g. bookworm, trixie
# Environment: FRESH_MIRROR overrides the mirror; FRESH_WORK is the folder the
#   root is made in (default /var/tmp), on a tmpfs of FRESH_TMPFS_SIZE
#   (default 8G) unless FRESH_TMPFS=0; FRESH_RUN_SECONDS is how long the
#   window must stay up (default 5); FRESH_SHOT names a PNG file for a
#   screenshot of the window (needs ImageMagick's import).
set -euo pipefail
suite="${1:?usage: test-fresh.sh SUITE}"
tree="$(cd "$(dirname "$0")/.." && pwd)"
shared="$(cd "$tree/../shared" 2>/dev/null && pwd)" ||
  { echo "test-fresh: no ../shared beside the tree" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "test-fresh: needs root (debootstrap, chroot, mounts)" >&2; exit 2; }
bash "$tree/scripts/setup-deps.sh" fresh

say() { echo "test-fresh[$suite]: $*"; }
# Runs one stage and prints how long it took, also when it fails. Its steps
# run in a subshell with -e in force, so that the first failing step ends
# the stage; a failed stage sets `failed`. It is called only as a plain
# command (never from if, while, !, && or ||): bash ignores -e in everything
# run from those, subshells included, and the stage's last step alone would
# then decide. tests/scripts checks that rule.
failed=0
stage() {
  local name="$1" start=$SECONDS rc=0
  shift
  say "== $name"
  set +e
  (set -e; "$@")
  rc=$?
  set -e
  say "-- $name: $((SECONDS - start)) s$([ $rc -eq 0 ] || echo ", FAILED ($rc)")"
  [ $rc -eq 0 ] || failed=1
}

# The Debian archive this machine installs from: the entry of its apt sources
# for its own release (not -updates or -security), in one-line or deb822 form.
host_mirror() {
  local codename
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
  {
    [ -f /etc/apt/sources.list ] && cat /etc/apt/sources.list
    for f in /etc/apt/sources.list.d/*.list; do [ -f "$f" ] && cat "$f"; done
  } 2>/dev/null | sed -e '/^[[:space:]]*#/d' -e 's/#.*//' | awk -v want="$codename" '
      $1 == "deb" { i = 2; if ($2 ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
                    if ($(i + 1) == want) print $i }'
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed -e '/^[[:space:]]*#/d' -e 's/#.*//' "$f" | awk -v want="$codename" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && enabled !~ /^[[:space:]]*no/ && (" " suites " ") ~ (" " want " "))
          { n = split(uris, u, " "); for (k = 1; k <= n; k++) print u[k] }
        types = uris = suites = enabled = ""
      }
      /^[[:space:]]*$/ { flush(); next }
      { key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^ +/, "") }
      key == "types" { types = $0 } key == "uris" { uris = $0 }
      key == "suites" { suites = $0 } key == "enabled" { enabled = $0 }
      END { flush() }'
  done
}
mirror="${FRESH_MIRROR:-$(host_mirror | head -n 1)}"
[ -n "$mirror" ] || { echo "test-fresh: found no Debian archive in /etc/apt/sources*; set FRESH_MIRROR" >&2; exit 2; }
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
[ -f "$keyring" ] || { echo "test-fresh: $keyring missing" >&2; exit 2; }

# The README's commands, as they stand in its set-up block: the first starts
# the program, the second runs every test.
mapfile -t commands < <(awk '/^## Set-up/ { s = 1 } s && /^```/ { if (b) exit; b = 1; next }
                             b { sub(/[[:space:]]*#.*/, ""); if ($0 != "") print }' "$tree/README.md")
[ ${#commands[@]} -eq 2 ] || { echo "test-fresh: expected two commands in README's set-up block, found: ${commands[*]}" >&2; exit 2; }
run_command="${commands[0]}"
test_command="${commands[1]}"

work="$(mktemp -d "${FRESH_WORK:-/var/tmp}/velkarn3-fresh-$suite.XXXXXX")"
root="$work/root"
# Everything mounted at or below the work folder, deepest first.
mounts_below() { awk -v r="$work" '$5 == r || index($5, r "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r; }
cleanup() {
  set +e
  # Processes still running inside the root keep its mounts busy.
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -9 "${p#/proc/}" 2>/dev/null
  done
  local m
  for m in $(mounts_below); do umount "$m" 2>/dev/null || umount -l "$m"; done
  if [ -n "$(mounts_below)" ]; then
    echo "test-fresh: still mounted below $root, left in place:" >&2; mounts_below >&2
  else
    local t=$SECONDS
    rm -rf --one-file-system "$work"  # an empty mount point when the root was in memory
    say "root removed in $((SECONDS - t)) s"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# The root lives in memory unless FRESH_TMPFS=0: dpkg's many syncs and the
# removal afterwards cost minutes on a busy disk, and unmounting it is
# throwing it away. It needs some 3 GiB.
if [ "${FRESH_TMPFS:-1}" != 0 ]; then
  mount -t tmpfs -o "size=${FRESH_TMPFS_SIZE:-8G},mode=0755" velkarn3-fresh "$work"
fi

say "suite $suite from $mirror, in $work"
say "run command: $run_command"
say "test command: $test_command"

bootstrap() {
  local include=()
  # apt in the root reaches an https mirror only with the CA certificates.
  [[ "$mirror" == https:* ]] && include=(--include=ca-certificates)
  # The Release file's signature is checked against the keyring: no unsigned root.
  debootstrap --variant=minbase --keyring="$keyring" "${include[@]}" "$suite" "$root" "$mirror" \
    >"$work/debootstrap.log" 2>&1 || { tail -n 30 "$work/debootstrap.log"; return 1; }
  grep -q 'Valid Release signature' "$work/debootstrap.log" ||
    { echo "test-fresh: debootstrap did not verify the Release signature" >&2; return 1; }
  cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
}

# A clean clone of the commit under test (what is committed, nothing else),
# and the shared test data beside it, as a user would have them.
copy_tree() {
  local commit
  commit="$(git -C "$tree" rev-parse HEAD)"
  mkdir -p "$root/root"
  git clone -q --no-checkout "$tree" "$root/root/velkarn3"
  git -C "$root/root/velkarn3" fetch -q "$tree" "$commit"
  git -C "$root/root/velkarn3" checkout -q --detach "$commit"
  cp -a "$shared" "$root/root/shared"
  say "commit $commit"
}

mount_root() {
  mount -t proc proc "$root/proc"
  mount -t sysfs sysfs "$root/sys"
  mount --rbind /dev "$root/dev"
  mount --make-rslave "$root/dev"
  # The X server's socket folder, as X servers make it (world-writable, sticky).
  [ -d /tmp/.X11-unix ] || install -d -m 1777 /tmp/.X11-unix
  mkdir -p "$root/tmp/.X11-unix"
  mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
}

# A login's environment: no locale, no display, nothing of this machine's
# (a proxy excepted, without which apt would not reach the mirror).
in_root() {
  local env=(HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb)
  local v
  for v in http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY; do
    [ -n "${!v:-}" ] && env+=("$v=${!v}")
  done
  chroot "$root" /usr/bin/env -i "${env[@]}" "$@"
}

readme_test() { in_root /bin/sh -c "cd /root/velkarn3 && $test_command"; }

# The run command starts the program on this machine's X server; it has come
# up when its window is mapped with its title, and the process is still there
# FRESH_RUN_SECONDS later. Then it is closed.
readme_run() {
  local display_file="$work/display" deadline window pid
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null' EXIT
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  local display=":$(head -n 1 "$display_file")"
  [ "$display" != ":" ] || { cat "$work/xvfb.log"; echo "test-fresh: Xvfb did not start" >&2; return 1; }
  in_root /usr/bin/env DISPLAY="$display" /bin/sh -c "cd /root/velkarn3 && $run_command" \
    >"$work/run.log" 2>&1 &
  local program_job=$!
  deadline=$((SECONDS + 300))
  window=""
  while [ -z "$window" ] && [ $SECONDS -lt $deadline ] && kill -0 "$program_job" 2>/dev/null; do
    sleep 1
    window="$(DISPLAY="$display" xdotool search --onlyvisible --name '^Velkarn3 Pano 01$' 2>/dev/null | head -n 1)" || true
  done
  if [ -z "$window" ]; then
    cat "$work/run.log"; echo "test-fresh: the window did not come up" >&2; return 1
  fi
  pid="$(DISPLAY="$display" xdotool getwindowpid "$window")"
  sleep "${FRESH_RUN_SECONDS:-5}"
  if ! kill -0 "$pid" 2>/dev/null ||
     [ -z "$(DISPLAY="$display" xdotool search --onlyvisible --name '^Velkarn3 Pano 01$' 2>/dev/null)" ]; then
    cat "$work/run.log"; echo "test-fresh: the program did not stay up" >&2; return 1
  fi
  say "the window came up: \"$(DISPLAY="$display" xdotool getwindowname "$window")\"," \
      "$(DISPLAY="$display" xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p'), process $pid"
  if [ -n "${FRESH_SHOT:-}" ] && command -v import >/dev/null; then
    DISPLAY="$display" import -window root "$FRESH_SHOT" && say "screenshot: $FRESH_SHOT"
  fi
  kill "$pid"
  wait "$program_job" || true
  sed 's/^/  run: /' "$work/run.log" | tail -n 15
}

start=$SECONDS
stage "bootstrap $suite (minbase)" bootstrap
[ $failed -eq 0 ] || exit 1
stage "clean clone and ../shared" copy_tree
[ $failed -eq 0 ] || exit 1
mount_root
# The run command is tried even when a test failed: both results are worth having.
stage "README test command: $test_command" readme_test
stage "README run command: $run_command" readme_run
if [ $failed -eq 0 ]; then say "passed in $((SECONDS - start)) s"; else say "FAILED after $((SECONDS - start)) s"; exit 1; fi
