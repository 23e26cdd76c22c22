#!/bin/bash
# Runs inside the VM, chrooted into the host's root: sets up the meter gadget
# (and one other device) on the dummy controllers, then for each interface
# class runs the link tests with the real libusb-0.1, the request timings, and
# the shipped program under an X server. Writes PASS/FAIL lines to checks.txt
# and figures to figures.txt in the results folder.
# Usage: suite.sh BUILD_DIR RESULTS_DIR [CLASSES]   (default: "hid vendor")
set -u
build=$1
results=$2
classes=${3:-}
bin=$build/tests/usb
work=/tmp/usb
mkdir -p "$work"
checks=$results/checks.txt
figures=$results/figures.txt
G=/sys/kernel/config/usb_gadget
: >"$checks"
: >"$figures"

pass() { echo "PASS $*" >>"$checks"; echo "PASS $*"; }
fail() { echo "FAIL $*" >>"$checks"; echo "FAIL $*"; }
check() {
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
# both NAME COMMAND1... -- COMMAND2...: passes when both commands succeed.
both() {
  local name=$1 first=()
  shift
  while [ "$#" -gt 0 ] && [ "$1" != -- ]; do first+=("$1"); shift; done
  shift
  if "${first[@]}" && "$@"; then pass "$name"; else fail "$name"; fi
}
figure() { echo "$*" >>"$figures"; }
stage() { figure "stage: $* at VM uptime $(cut -d' ' -f1 /proc/uptime) s"; }
now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }
# wait_for SECONDS COMMAND...: true as soon as the command is, false at the end.
wait_for() {
  local end=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -ge "$end" ] && return 1
    sleep 0.1
  done
}

figure "boot: suite started at VM uptime $(cut -d' ' -f1 /proc/uptime) s"

# The program's libraries come over 9p: read them into the page cache while
# the link tests run, so that the program later starts in seconds.
(ldd "$build/app/velkarn3" "$(command -v Xvfb)" | awk '/=> \// { print $3 }' | sort -u |
  xargs cat "$build/app/velkarn3" >/dev/null 2>&1) &

# --- gadgets ---
mapfile -t udcs < <(ls /sys/class/udc)
if [ "${#udcs[@]}" -lt 2 ]; then
  fail "two dummy USB controllers (found: ${udcs[*]:-none})"
  touch "$results/finished"
  exit 1
fi

make_gadget() {  # NAME PRODUCT_ID PRODUCT_STRING
  local g=$G/$1
  mkdir -p "$g"
  echo 0x16c0 >"$g/idVendor"
  echo "$2" >"$g/idProduct"
  echo 0x0100 >"$g/bcdDevice"
  echo 0x0110 >"$g/bcdUSB"
  mkdir -p "$g/strings/0x409" "$g/configs/c.1/strings/0x409" "$g/functions/ffs.$1"
  echo "velkarn test" >"$g/strings/0x409/manufacturer"
  echo "$3" >"$g/strings/0x409/product"
  echo 100 >"$g/configs/c.1/MaxPower"
  ln -s "$g/functions/ffs.$1" "$g/configs/c.1/"
  mkdir -p "/dev/ffs-$1"
  mount -t functionfs "$1" "/dev/ffs-$1"
}

start_meter() {  # NAME CLASS LOG; sets meter_pid
  rm -f "$work/ready-$1"
  "$bin/usb_gadget_meter" --ffs "/dev/ffs-$1" --class "$2" --log "$3" --control "$work/control-$1" \
    --flash "$work/flash-$1.bin" --ready "$work/ready-$1" 2>>"$results/meter-stderr.txt" &
  meter_pid=$!
  wait_for 10 test -f "$work/ready-$1"
}

find_dev() {  # VID:PID -> its sysfs folder
  local d
  for d in /sys/bus/usb/devices/*; do
    [ -f "$d/idVendor" ] || continue
    [ "$(cat "$d/idVendor"):$(cat "$d/idProduct")" = "$1" ] && { echo "$d"; return 0; }
  done
  return 1
}

# Another device on the second controller: same vendor, another product. It
# runs the meter program too, so any request sent to it would show in its log.
make_gadget decoy 0x05de "not the meter"
make_gadget meter 0x05df "Velkarn3 emulated"
start_meter decoy vendor "$results/decoy.log"
decoy_pid=$meter_pid
meter_pid=
echo "${udcs[1]}" >"$G/decoy/UDC"
check "other device enumerated (16c0:05de)" wait_for 20 find_dev 16c0:05de

log_since() { tail -n +$(($2 + 1)) "$1"; }
log_lines() { wc -l <"$1"; }
new_in_log() { log_since "$1" "$2" | grep -q -- "$3"; }  # LOG MARK PATTERN

fd_sampler() {  # PID CLASS: counts samples with 0, 1, more USB device files open
  local pid=$1 cls=$2 zero=0 one=0 more=0 n files line
  while kill -0 "$pid" 2>/dev/null; do
    n=0 files=
    while read -r line; do
      case $line in *' -> /dev/bus/usb/'*) n=$((n + 1)) files+="$line"$'\n' ;; esac
    done < <(ls -l "/proc/$pid/fd" 2>/dev/null)
    case $n in
      0) zero=$((zero + 1)) ;;
      1) one=$((one + 1)) ;;
      *) more=$((more + 1))
         # Which files, and when: a failure says what was held.
         printf 'at VM uptime %s s:\n%s' "$(cut -d' ' -f1 /proc/uptime)" "$files" >>"$results/fds-$cls.txt" ;;
    esac
    echo "$zero $one $more" >"$work/fds"
    sleep 0.05
  done
}

visible_windows() { xdotool search --onlyvisible --pid "$1" 2>/dev/null | wc -l; }

gui_stage() {  # CLASS LOG
  local cls=$1 log=$2 xpid apid w mark t before after n words rc windows sampler zero one more
  Xvfb :5 -screen 0 1024x768x24 -nolisten tcp >"$results/xvfb-$cls.log" 2>&1 &
  xpid=$!
  export DISPLAY=:5
  if ! wait_for 30 xdotool getdisplaygeometry >/dev/null 2>&1; then
    fail "$cls: X server starts"
    kill "$xpid"
    return
  fi
  mark=$(log_lines "$log")
  t=$(now)
  mkdir -p "$work/xdg" && chmod 700 "$work/xdg"
  QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work/xdg "$build/app/velkarn3" >"$results/velkarn3-$cls.log" 2>&1 &
  apid=$!
  w=$(timeout 120 xdotool search --sync --onlyvisible --name '^Velkarn3 Pano 01$' 2>/dev/null | head -1)
  figure "$cls: program window shown after $(seconds_since "$t") s"
  check "$cls: program shows its window" [ -n "$w" ]
  if [ -z "$w" ]; then
    kill "$apid" "$xpid"
    return
  fi
  rm -f "$work/fds"
  fd_sampler "$apid" "$cls" &
  sampler=$!
  windows=$(visible_windows "$apid")
  check "$cls: program finds the meter (idle requests answered)" \
    wait_for 30 new_in_log "$log" "$mark" 'kind=Idle .*sent=248'

  stage "$cls: PANO"
  before=$("$bin/usb_x11_probe" count "$w" 56 0 673 425 ffff80)
  mark=$(log_lines "$log")
  xdotool mousemove --window "$w" 32 408 click 1
  check "$cls: PANO pressed: sweep requests" wait_for 15 new_in_log "$log" "$mark" 'kind=Sweep'
  sleep 1
  log_since "$log" "$mark" >"$work/sweeps"
  n=$(grep -c 'kind=Sweep' "$work/sweeps")
  words=$(grep -c 'value=0xe002 index=0xa3b6 len=128 kind=Sweep sent=128' "$work/sweeps")
  figure "$cls: $n sweeps within about 1 s after PANO"
  both "$cls: every sweep carries the window's words (0xE002, 0xA3B6) and gets 128 bytes" \
    [ "$n" -gt 0 ] -- [ "$n" = "$words" ]
  after=$("$bin/usb_x11_probe" count "$w" 56 0 673 425 ffff80)
  figure "$cls: trace-coloured pixels in the chart: $before before PANO, $after after"
  both "$cls: PANO draws a trace" [ "${before:-x}" = 0 ] -- [ "${after:-0}" -gt 200 ]

  # A stalled sweep is not reported: no box, the ticks go on.
  stage "$cls: stalled sweeps"
  mark=$(log_lines "$log")
  echo "Sweep stall" >"$work/control-meter"
  wait_for 10 new_in_log "$log" "$mark" 'kind=Sweep .*stalled'
  sleep 1
  both "$cls: stalled sweeps: no box and the program goes on" \
    kill -0 "$apid" -- [ "$(visible_windows "$apid")" = "$windows" ]
  mark=$(log_lines "$log")
  rm -f "$work/control-meter"
  check "$cls: sweeps answered again after the stall" wait_for 10 new_in_log "$log" "$mark" 'kind=Sweep .*sent=128'

  # Unplugged: the ticks find no meter and say nothing; plugged again, they go on.
  stage "$cls: unplugged"
  echo >"$G/meter/UDC"
  sleep 2
  both "$cls: unplugged: no box and the program goes on" \
    kill -0 "$apid" -- [ "$(visible_windows "$apid")" = "$windows" ]
  mark=$(log_lines "$log")
  t=$(now)
  echo "${udcs[0]}" >"$G/meter/UDC"
  check "$cls: plugged again: the sweeps resume" wait_for 20 new_in_log "$log" "$mark" 'kind=Sweep .*sent=128'
  figure "$cls: sweeps resumed $(seconds_since "$t") s after plugging in again"

  # Closing the window ends the program.
  stage "$cls: closing"
  "$bin/usb_x11_probe" close "$w"
  rc=timeout
  if wait_for 20 sh -c "! kill -0 $apid 2>/dev/null"; then wait "$apid"; rc=$?; fi
  check "$cls: the window closes and the program exits with 0 (got $rc)" [ "$rc" = 0 ]
  kill "$apid" 2>/dev/null
  # The sampler's last count, once it has seen the program gone.
  wait_for 10 sh -c "! kill -0 $sampler 2>/dev/null"
  read -r zero one more <"$work/fds" || true
  figure "$cls: samples of the program's open USB device files: $zero with none, $one with one, $more with more"
  both "$cls: never more than one USB device file open (no handle kept; ${zero:-no} samples with none, ${more:-no} with more)" [ "${more:-1}" = 0 ] -- [ "${zero:-0}" -gt 0 ]
  kill "$xpid"
  wait "$xpid" 2>/dev/null
  stage "$cls: X server ended"
}

run_class() {  # CLASS
  local cls=$1 log=$results/meter-$1.log dev intf driver rc
  if [ -n "${meter_pid:-}" ]; then
    echo >"$G/meter/UDC" 2>/dev/null
    kill "$meter_pid"
    wait "$meter_pid" 2>/dev/null
  fi
  rm -f "$work/control-meter"
  check "$cls: meter program ready" start_meter meter "$cls" "$log"
  echo "${udcs[0]}" >"$G/meter/UDC"
  if ! wait_for 20 find_dev 16c0:05df >/dev/null; then
    fail "$cls: meter enumerated"
    return
  fi
  dev=$(find_dev 16c0:05df)
  intf=$dev/$(basename "$dev"):1.0
  wait_for 5 test -e "$intf/driver" >/dev/null
  driver=none
  [ -e "$intf/driver" ] && driver=$(basename "$(readlink -f "$intf/driver")")
  figure "$cls: meter at $(basename "$dev"), $(cat "$dev/speed") Mb/s, interface class $(cat "$intf/bInterfaceClass"), driver $driver"
  check "$cls: meter enumerated at full speed" [ "$(cat "$dev/speed")" = 12 ]
  if [ "$cls" = hid ]; then
    check "$cls: the HID driver is bound to the interface" [ "$driver" = usbhid ]
  else
    check "$cls: no driver is bound to the interface" [ "$driver" = none ]
  fi

  export USB_METER_LOG="$log" USB_METER_CONTROL="$work/control-meter" USB_METER_FLASH="$work/flash-meter.bin" \
    USB_GADGET_UDC="$G/meter/UDC" USB_UDC_NAME="${udcs[0]}" USB_DECOY_LOG="$results/decoy.log"
  ls -l /dev/bus/usb/*/ >"$results/devices-$cls.txt" 2>&1
  grep -H . /sys/bus/usb/devices/*/idVendor /sys/bus/usb/devices/*/idProduct /sys/bus/usb/devices/*/devnum >>"$results/devices-$cls.txt" 2>&1
  stage "$cls: link tests"
  timeout 180 "$bin/usb_link_tests" >"$results/usb_link_tests-$cls.txt" 2>&1
  rc=$?
  grep '^\[       OK \]' "$results/usb_link_tests-$cls.txt" | awk '{print $4}' | while read -r t; do pass "$cls: $t"; done
  grep '^\[  FAILED  \] .*(' "$results/usb_link_tests-$cls.txt" | awk '{print $4}' | while read -r t; do fail "$cls: $t"; done
  grep '^\[  SKIPPED \] .*(' "$results/usb_link_tests-$cls.txt" | awk '{print $4}' | while read -r t; do fail "$cls: $t skipped"; done
  [ "$rc" = 0 ] || grep -q '^\[  FAILED  \] .*(' "$results/usb_link_tests-$cls.txt" || fail "$cls: usb_link_tests ended with $rc"
  grep '^FIGURE' "$results/usb_link_tests-$cls.txt" | sed "s/^FIGURE /$cls: /" >>"$figures"
  # The device came back from the unplug tests; make sure before going on.
  wait_for 20 find_dev 16c0:05df >/dev/null || echo "${udcs[0]}" >"$G/meter/UDC"

  stage "$cls: timings"
  timeout 120 "$bin/usb_link_bench" >"$results/bench-$cls.txt" 2>&1
  grep '^FIGURE' "$results/bench-$cls.txt" | sed "s/^FIGURE /$cls: /" >>"$figures"

  stage "$cls: program under X"
  gui_stage "$cls" "$log"
}

for cls in ${classes:-hid vendor}; do
  run_class "$cls"
done

check "other device never received a request" [ "$(grep -c 'kind=' "$results/decoy.log")" = 0 ]
dmesg >"$results/dmesg.txt" 2>&1
figure "suite: ended at VM uptime $(cut -d' ' -f1 /proc/uptime) s"
check "other device still present at the end" find_dev 16c0:05de >/dev/null
echo >"$G/meter/UDC" 2>/dev/null
echo >"$G/decoy/UDC" 2>/dev/null
kill "$meter_pid" "$decoy_pid" 2>/dev/null
sync
touch "$results/finished"
