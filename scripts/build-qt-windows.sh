#!/usr/bin/env bash
# Builds static Qt (Core, Gui, Widgets, Test) for 64-bit Windows with
# Debian's MinGW-w64 compilers, from Debian's own qtbase source package of the
# same version as this machine's Qt host tools, with only the features the
# program and its tests use. Paid once per machine: the result lives in a
# cache outside the clone, named by a key over everything that shapes the
# build (source version, configure options, the mends applied to the source,
# the toolchain file, compiler and CMake versions), and is reused when its
# stamp is present (written only after a whole, successful install).
#
# Usage: build-qt-windows.sh [JOBS]
# Prints the install prefix on standard output, its progress and the build
# time on standard error.
# Environment: VELKARN_CACHE (default ~/.cache/velkarn3).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
jobs="${1:-$(nproc)}"
cache="${VELKARN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/velkarn3}"

# The host tools (moc, rcc, uic) and their CMake packages come from the
# host Qt; the Windows build must be of exactly the same version.
host_pkg=qt6-base-dev-tools
deb_version="$(dpkg-query -W -f='${Version}' "$host_pkg")"
src_pkg="$(dpkg-query -W -f='${source:Package}' "$host_pkg")"
upstream="${deb_version%%+*}"
upstream="${upstream%%-*}"
host_cmake_dir="$(dirname "$(dirname "$(dpkg-query -L qt6-base-dev | grep -m1 '/cmake/Qt6HostInfo/')")")"
[ -d "$host_cmake_dir/Qt6CoreTools" ] || { echo "build-qt-windows: host Qt CMake packages not found" >&2; exit 1; }

options=(
  -DBUILD_SHARED_LIBS=OFF
  -DCMAKE_BUILD_TYPE=Release
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF
  -DFEATURE_network=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_opengl=OFF
  -DFEATURE_vulkan=OFF
  -DFEATURE_xml=OFF
  # Debian's source leaves out the Wacom header the Windows plugin includes.
  -DFEATURE_tabletevent=OFF
  # The Direct2D platform plugin is not used; the Windows plugin is.
  -DFEATURE_direct2d=OFF
  # Fonts for the offscreen platform (tests run under Wine without a screen).
  -DFEATURE_freetype=ON
  -DFEATURE_system_freetype=OFF
  -DFEATURE_fontconfig=OFF
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF
  -DFEATURE_jpeg=OFF
  -DFEATURE_gif=OFF
  -DFEATURE_sql_sqlite=OFF
  # Widgets, Gui and Test parts that nothing here uses (the window, its
  # dialogs, tables, sliders, tool tips, the PDF writer and the tests need
  # none of them).
  -DFEATURE_graphicsview=OFF
  -DFEATURE_graphicseffect=OFF
  -DFEATURE_mdiarea=OFF
  -DFEATURE_calendarwidget=OFF
  -DFEATURE_datetimeedit=OFF
  -DFEATURE_lcdnumber=OFF
  -DFEATURE_dial=OFF
  -DFEATURE_fontcombobox=OFF
  -DFEATURE_fontdialog=OFF
  -DFEATURE_colordialog=OFF
  -DFEATURE_wizard=OFF
  -DFEATURE_errormessage=OFF
  -DFEATURE_columnview=OFF
  -DFEATURE_datawidgetmapper=OFF
  -DFEATURE_keysequenceedit=OFF
  -DFEATURE_splashscreen=OFF
  -DFEATURE_syntaxhighlighter=OFF
  -DFEATURE_commandlinkbutton=OFF
  -DFEATURE_toolbox=OFF
  -DFEATURE_undoview=OFF
  -DFEATURE_undogroup=OFF
  -DFEATURE_undostack=OFF
  -DFEATURE_undocommand=OFF
  -DFEATURE_textmarkdownreader=OFF
  -DFEATURE_textmarkdownwriter=OFF
  -DFEATURE_textodfwriter=OFF
  -DFEATURE_systemtrayicon=OFF
  -DFEATURE_sessionmanager=OFF
  -DFEATURE_movie=OFF
  -DFEATURE_itemmodeltester=OFF
)
# Mends to Qt's source, applied after unpacking (see the patch's hunks).
mends="$here/windows/qt6-base-mends.patch"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
# The cache key: whatever changes in it builds a new Qt beside the old one.
key() {
  printf '%s\n' "source $src_pkg $deb_version"
  printf '%s\n' "${options[@]}"
  x86_64-w64-mingw32-gcc-posix --version | head -1
  x86_64-w64-mingw32-g++-posix --version | head -1
  cmake --version | head -1
  sha1sum <"$mends"
  sha1sum <"$toolchain"
}
hash="$(key | sha1sum | cut -c1-10)"
prefix="$cache/qt-$upstream-mingw64-static-$hash"
stamp="$prefix/.velkarn-complete"

if [ -f "$stamp" ]; then
  secs="$(cat "$stamp")"
  echo "Qt for Windows: reusing $prefix (built once in $((secs / 60)) min $((secs % 60)) s)" >&2
  echo "$prefix"
  exit 0
fi

start=$(date +%s)
work="$cache/work-qt-$upstream-$hash"
mkdir -p "$work"

# --- Fetch the source with a private apt state: deb-src entries for the same
# mirrors and suites this machine's apt sources name, read at run time.
apt_dir="$work/apt"
rm -rf "$apt_dir"
mkdir -p "$apt_dir/parts" "$apt_dir/state/lists/partial" "$apt_dir/cache/archives/partial"
: >"$apt_dir/sources.list"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  sed -E 's/^Types:.*/Types: deb-src/' "$f" >"$apt_dir/parts/$(basename "$f")"
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  sed -nE 's/^[[:space:]]*deb[[:space:]]+/deb-src /p' "$f" >>"$apt_dir/sources.list"
done
apt_opts=(
  -o "Dir::Etc::SourceList=$apt_dir/sources.list"
  -o "Dir::Etc::SourceParts=$apt_dir/parts"
  -o "Dir::State=$apt_dir/state"
  -o "Dir::Cache=$apt_dir/cache"
  -o "APT::Sandbox::User=$(id -un)"
)
echo "Qt for Windows: fetching $src_pkg $deb_version source" >&2
apt-get "${apt_opts[@]}" -qq update >&2
src_dir="$work/src"
rm -rf "$src_dir" "$work/dl"
mkdir -p "$work/dl"
(cd "$work/dl" && apt-get "${apt_opts[@]}" -qq source --download-only "$src_pkg=$deb_version" >&2)
dsc="$(ls "$work"/dl/*.dsc)"
# dpkg-source checks every file against the checksums of the .dsc (which apt
# checked against the signed index) before it unpacks.
dpkg-source --require-strong-checksums -x "$dsc" "$src_dir" >/dev/null 2>"$work/dpkg-source.log" \
  || { cat "$work/dpkg-source.log" >&2; exit 1; }

# Switching OpenGL off through its feature leaves "dynamic OpenGL" on, and the
# Windows platform plugin then reaches for the OpenGL context in one place
# that only that feature guards; and Qt Gui builds its DirectWrite font
# database only together with Direct2D, which is off, while the Windows
# platform plugin offers it whenever DirectWrite 3 is there. The patch guards
# both; it must apply whole.
patch -d "$src_dir" -p1 --forward --batch --quiet <"$mends" >"$work/patch.log" 2>&1 \
  || { cat "$work/patch.log" >&2; echo "build-qt-windows: $mends does not apply" >&2; exit 1; }

# --- Configure and build.
bld="$work/build"
rm -rf "$bld" "$prefix"
echo "Qt for Windows: configuring into $prefix" >&2
cmake -S "$src_dir" -B "$bld" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir" \
  "${options[@]}" >"$work/configure.log" 2>&1 \
  || { tail -40 "$work/configure.log" >&2; exit 1; }
echo "Qt for Windows: building (log: $work/build.log)" >&2
cmake --build "$bld" --parallel "$jobs" >"$work/build.log" 2>&1 \
  || { tail -40 "$work/build.log" >&2; exit 1; }
cmake --install "$bld" >"$work/install.log" 2>&1 \
  || { tail -40 "$work/install.log" >&2; exit 1; }
key >"$prefix/.velkarn-options"
secs=$(( $(date +%s) - start ))
echo "$secs" >"$stamp"
rm -rf "$bld" "$src_dir" "$apt_dir" "$work/dl"
echo "Qt for Windows: built in $((secs / 60)) min $((secs % 60)) s" >&2
echo "$prefix"
