#!/usr/bin/env bash
# Runs the end-to-end suite in a VM: fetches and unpacks Debian's kernel into
# the build cache (once), builds an initramfs of busybox and the USB gadget,
# 9p and virtio modules, boots qemu with the host's root shared read-only and
# a results folder shared writable, and sums up what the VM reported.
# Usage: tests/usb/run.sh [BUILD_DIR]   (the project must be built)
# USBVM_CLASSES picks the meter's interface classes (default "hid vendor");
# USBVM_TIMEOUT bounds the VM's run in seconds (default 270).
set -euo pipefail
src="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$src/build}" && pwd)"
cache="$build/usbvm"
results="$cache/results"
vm_timeout="${USBVM_TIMEOUT:-270}"
mkdir -p "$cache"

say() { echo "test-usb: $*"; }
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

for p in usb_gadget_meter usb_link_tests usb_link_bench usb_x11_probe; do
  [ -x "$build/tests/usb/$p" ] || { say "missing $build/tests/usb/$p (build first)"; exit 2; }
done

# --- the kernel: the newest 6.1 Debian image, unpacked, never installed ---
kernel_pkg() {
  apt-cache search --names-only '^linux-image-6\.1\.0-[0-9]+-amd64-unsigned$' 2>/dev/null |
    awk '{print $1}' | sort -V | tail -1
}
kdir="$(ls -d "$cache"/kernel-* 2>/dev/null | sort -V | tail -1 || true)"
if [ -z "$kdir" ] || [ ! -f "$kdir/ready" ]; then
  pkg="$(kernel_pkg)"
  if [ -z "$pkg" ]; then
    $SUDO apt-get -o DPkg::Lock::Timeout=900 update -qq
    pkg="$(kernel_pkg)"
  fi
  [ -n "$pkg" ] || { say "no linux-image-6.1.0-*-amd64-unsigned package available"; exit 2; }
  say "fetching $pkg"
  fetch_start=$(date +%s)
  rm -rf "$cache"/kernel-* "$cache"/*.deb
  (cd "$cache" && apt-get download "$pkg" >/dev/null 2>&1) ||
    { $SUDO apt-get -o DPkg::Lock::Timeout=900 update -qq; (cd "$cache" && apt-get download "$pkg" >/dev/null); }
  kdir="$cache/kernel-${pkg#linux-image-}"
  mkdir -p "$kdir"
  # Only the kernel image and the module folders the VM needs.
  dpkg-deb --fsys-tarfile "$cache"/"$pkg"_*.deb |
    tar -x -C "$kdir" --wildcards './boot/vmlinuz-*' \
      './lib/modules/*/kernel/drivers/usb/*' './lib/modules/*/kernel/drivers/hid/*' \
      './lib/modules/*/kernel/drivers/virtio/*' './lib/modules/*/kernel/net/9p/*' \
      './lib/modules/*/kernel/fs/9p/*' './lib/modules/*/kernel/fs/netfs/*' \
      './lib/modules/*/kernel/fs/fscache/*' './lib/modules/*/kernel/fs/configfs/*'
  rm -f "$cache"/"$pkg"_*.deb
  touch "$kdir/ready"
  say "kernel fetched and unpacked in $(($(date +%s) - fetch_start)) s"
fi
vmlinuz="$(ls "$kdir"/boot/vmlinuz-* | head -1)"
moddir="$(ls -d "$kdir"/lib/modules/* | head -1)"

# --- the initramfs: busybox, the modules in load order, /init and its settings ---
modinfo_depends() {  # the depends= field of a module's .modinfo section
  objcopy -O binary --only-section=.modinfo "$1" /dev/stdout 2>/dev/null | tr '\0' '\n' | sed -n 's/^depends=//p'
}
declare -A modpath=() loaded=()
while IFS= read -r f; do
  m="$(basename "$f" .ko)"
  modpath[$m]="$f"
  modpath[${m//-/_}]="$f"
done < <(find "$moddir/kernel" -name '*.ko')
order=()
add_module() {  # depth first: dependencies before the module
  local m="$1" d
  [ -n "${loaded[$m]:-}" ] && return
  [ -n "${modpath[$m]:-}" ] || { say "module $m not in the kernel package"; exit 2; }
  loaded[$m]=1
  for d in $(modinfo_depends "${modpath[$m]}" | tr ',' ' '); do add_module "$d"; done
  order+=("$m")
}
for m in virtio_pci 9pnet_virtio 9p configfs dummy_hcd libcomposite usb_f_fs hid usbhid hid-generic; do
  add_module "$m"
done

ird="$cache/initramfs"
rm -rf "$ird"
mkdir -p "$ird"/{bin,dev,proc,sys,mnt/root,lib/modules}
cp "$(command -v busybox)" "$ird/bin/busybox"
: >"$ird/modules.load"
for m in "${order[@]}"; do
  cp "${modpath[$m]}" "$ird/lib/modules/"
  args=""
  # Two controllers (the meter and one other device), full speed as the meter.
  [ "$m" = dummy_hcd ] && args="is_high_speed=0 num=2"
  echo "$(basename "${modpath[$m]}") $args" >>"$ird/modules.load"
done
cp "$src/tests/usb/vm/init" "$ird/init"
chmod +x "$ird/init"
cat >"$ird/settings" <<EOF
SUITE=$src/tests/usb/vm/suite.sh
BUILD=$build
RESULTS=$results
CLASSES="${USBVM_CLASSES:-hid vendor}"
EOF
(cd "$ird" && find . | busybox cpio -o -H newc 2>/dev/null) >"$cache/initramfs.cpio"

# --- boot ---
rm -rf "$results"
mkdir -p "$results"
say "booting $(basename "$vmlinuz") (${#order[@]} modules), time-out ${vm_timeout}s"
start=$(date +%s.%N)
echo "$start" >"$results/host-start"
set +e
timeout --kill-after=10 "$vm_timeout" qemu-system-x86_64 \
  -accel tcg -cpu max -smp 2 -m 1024 -nographic -no-reboot -nic none \
  -kernel "$vmlinuz" -initrd "$cache/initramfs.cpio" \
  -append "console=ttyS0 quiet loglevel=4 panic=-1 tsc=unstable" \
  -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
  -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
  -fsdev local,id=results,path="$results",security_model=none,multidevs=remap \
  -device virtio-9p-pci,fsdev=results,mount_tag=results \
  </dev/null >"$cache/console.log" 2>&1
qemu_rc=$?
set -e
end=$(date +%s.%N)

# --- summary ---
passed=$(grep -c '^PASS ' "$results/checks.txt" 2>/dev/null || true)
failed=$(grep -c '^FAIL ' "$results/checks.txt" 2>/dev/null || true)
if [ ! -f "$results/finished" ]; then
  failed=$((failed + 1))
  echo "FAIL suite did not finish (qemu exit $qemu_rc)" >>"$results/checks.txt"
fi
grep '^FAIL ' "$results/checks.txt" 2>/dev/null | sed 's/^/  /' || true
# The program's USB device files at the samples that saw more than one open.
for f in "$results"/fds-*.txt; do
  [ -f "$f" ] || continue
  echo "  ${f##*/}, first lines:"
  head -n 8 "$f" | sed 's/^/    /'
done
grep -ao 'usbvm: up after [0-9.]* s' "$cache/console.log" | sed 's/^usbvm: /  boot: init /' || true
[ -f "$results/figures.txt" ] && sed 's/^/  /' "$results/figures.txt"
if [ "$failed" -ne 0 ]; then
  say "console tail ($cache/console.log):"
  tail -n 25 "$cache/console.log" | sed 's/^/  | /'
fi
printf 'test-usb: %s passed, %s failed (VM %.0f s; results in %s)\n' \
  "$passed" "$failed" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "$results"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
