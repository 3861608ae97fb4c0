#!/usr/bin/env bash
# Installs tessaly into a scratch folder (DESTDIR: never onto this machine)
# and checks the installed files against the exact list, the desktop entry
# with desktop-file-validate and the manual pages with man --warnings; then
# builds the Debian package with scripts/package and checks its files, the
# libraries it depends on, and that its programs start from it.
#   tests/install_check.sh [BUILD_DIR]     (default build/)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "install check: $*" >&2
  exit 1
}

expected='bin/tessaly
bin/tessaly-snake'
# The Python module and its stub, where the build has the module.
python_built=
if grep -q '^TESSALY_PYTHON_BUILT:INTERNAL=ON' "$build/CMakeCache.txt"; then
  python_built=1
  py_dir=lib/python3/dist-packages
  suffix=$(/usr/bin/python3 -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')
  expected+="
$py_dir/tessaly$suffix
$py_dir/tessaly.pyi"
fi
expected+='
share/applications/tessaly.desktop
share/icons/hicolor/48x48/apps/tessaly.png
share/icons/hicolor/scalable/apps/tessaly.svg
share/man/man1/tessaly-snake.1
share/man/man1/tessaly.1'

same_files() {  # folder: every file and link below it, relative, against the list
  local got
  got=$(cd "$1" && find . -mindepth 1 ! -type d | sed 's|^\./||' | LC_ALL=C sort)
  [ "$got" = "$expected" ] || {
    diff <(echo "$expected") <(echo "$got") >&2 || true
    fail "$2: not exactly the listed files (< listed, > found)"
  }
}

root=$scratch/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
[ "$(ls -A "$root" 2>/dev/null)" = usr ] || fail "cmake --install did not write exactly /usr: $(ls -A "$root" 2>/dev/null)"
same_files "$root/usr" "cmake --install"

said=$(desktop-file-validate "$root/usr/share/applications/tessaly.desktop" 2>&1) ||
  fail "desktop-file-validate: $said"
[ -z "$said" ] || fail "desktop-file-validate: $said"
for page in tessaly tessaly-snake; do
  said=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1" 2>&1 >/dev/null) ||
    fail "man $page.1 failed: $said"
  [ -z "$said" ] || fail "man --warnings $page.1: $said"
done
# The command-line page describes every option the program takes.
page=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$root/usr/share/man/man1/tessaly-snake.1" 2>/dev/null | col -b)
for opt in $("$root/usr/bin/tessaly-snake" --help | grep -o -- '--[a-z-]*' | sort -u); do
  grep -q -- "$opt" <<<"$page" || fail "tessaly-snake.1 does not describe $opt"
done

scripts/package "$scratch/deb" >/dev/null
debs=("$scratch"/deb/tessaly_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "scripts/package made no single .deb"
deb=${debs[0]}
depends=$(dpkg-deb -f "$deb" Depends)
libs=(libqt6widgets6 libpng16 libjpeg libtiff libopenjp2)
# Highway, once the image kernels use it.
if grep -Eq '^hwy_DIR:PATH=.*[^D]$' build-package/CMakeCache.txt; then libs+=(libhwy); fi
[ -z "$python_built" ] || libs+=(python3 python3-numpy)
for lib in "${libs[@]}"; do
  grep -Eq "(^|, )$lib[^,]*" <<<"$depends" || fail "the package does not depend on $lib: $depends"
done
mkdir "$scratch/x"
dpkg-deb -x "$deb" "$scratch/x"
same_files "$scratch/x/usr" "the package"

# Its programs start from where the package puts them: tessaly from the
# menu entry's Exec line (still running when stopped), tessaly-snake with
# the package's version.
version=$(PATH=$scratch/x/usr/bin:$PATH tessaly-snake --version)
[ "$version" = "tessaly-snake $(dpkg-deb -f "$deb" Version)" ] || fail "tessaly-snake --version says \"$version\""
# Started from the menu with no file, the launcher drops the %f.
exec_line=$(sed -n 's/^Exec=//p' "$scratch/x/usr/share/applications/tessaly.desktop" | sed 's/ %[fFuU]//g')
rc=0
PATH=$scratch/x/usr/bin:$PATH QT_QPA_PLATFORM=offscreen timeout 5 $exec_line >/dev/null 2>&1 || rc=$?
[ "$rc" -eq 124 ] || fail "\"$exec_line\" from the menu entry ended with $rc instead of running"
# Debian's Python imports the module from where the package puts it.
if [ -n "$python_built" ]; then
  said=$(cd "$scratch" && PYTHONPATH=$scratch/x/usr/$py_dir /usr/bin/python3 -c \
    'import tessaly, numpy; print(tessaly.cost_image(numpy.zeros((3, 3), numpy.uint8)).shape)' 2>&1) ||
    fail "python3 cannot import tessaly from the package: $said"
  [ "$said" = "(3, 3)" ] || fail "tessaly from the package says \"$said\""
fi
echo "install check: $(basename "$deb"): exactly the listed files, clean desktop entry and manual pages, depends on ${libs[*]}"
