#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# `cmake --install` of the build BUILD stays inside where it is sent: every
# file it writes (its install manifest) is below the prefix given with
# --prefix, or below DESTDIR; the folders where an install outside its prefix
# would land are untouched; and what the build compiled in or wrote (the
# configuration path of rdrun, quarry.ini's home directory, the units' home)
# names the folders the install puts those files in.
#   install_test.sh BUILD
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "install_test: $*" >&2
  exit 1
}
cache() { awk -F= -v key="$1" 'index($1, key ":") == 1 { print $2 }' "$build/CMakeCache.txt"; }
prefix=$(cache CMAKE_INSTALL_PREFIX)
sysconf=$(cache CMAKE_INSTALL_SYSCONFDIR)
state=$(cache CMAKE_INSTALL_LOCALSTATEDIR)
libdir=$(cache CMAKE_INSTALL_LIBDIR)
abs() { case $1 in /*) echo "$1" ;; *) echo "$prefix/$1" ;; esac; }

# Where installs outside their prefix landed before, and this build's own prefix.
watched=(/usr/local/etc/rdx /usr/local/var/lib/rdx /usr/local/lib/systemd "$(abs "$sysconf")/rdx"
  "$(abs "$state")/lib/rdx" "$prefix/lib/systemd")
snapshot() {
  local dir
  for dir in "${watched[@]}"; do
    [ -e "$dir" ] && find "$dir" -printf '%p %y %s %T@\n' 2>/dev/null
    echo "-- $dir"
  done
}
snapshot >"$work/before"

# Every file the manifest of the last install names is there below DESTDIR
# $1 (empty for none: the manifest leaves DESTDIR out) and lies below one of
# the folders $2...
manifest_below() {
  local destdir=$1 path root count=0
  shift
  while IFS= read -r path; do
    for root in "$@" ''; do
      [ -n "$root" ] || fail "installed outside $*: $path"
      case $path in "$root"/*) break ;; esac
    done
    [ -e "$destdir$path" ] || [ -L "$destdir$path" ] || fail "not installed: $destdir$path"
    count=$((count + 1))
  done <"$build/install_manifest.txt"
  [ "$count" -gt 20 ] || fail "only $count files installed"
}

# An install into a prefix of its own: the configuration, home and units are
# below it (when the build names them relative to the prefix, as it does
# unless made for a package).
to=$work/prefix
case $sysconf$state in
  /*) echo "install_test: absolute configuration folders: --prefix not checked" ;;
  *)
    cmake --install "$build" --prefix "$to" >/dev/null
    manifest_below "" "$to"
    for path in "$sysconf/rdx/quarry.ini" lib/systemd/user/rdcsm.service \
      lib/systemd/system/rdcsm.service bin/rdcsm "$libdir/rdx/rdcsv.rdx"; do
      [ -f "$to/$path" ] || fail "--prefix: $path not installed"
    done
    for link in quarry.ini rdcsm rdcsv.rdx; do
      [ -L "$to/$state/lib/rdx/$link" ] || fail "--prefix: no link $state/lib/rdx/$link"
    done
    ;;
esac

# Staged with DESTDIR: everything below the staging folder, the configuration
# and home below the prefix or where the build names them.
stage=$work/stage
DESTDIR=$stage cmake --install "$build" >/dev/null
manifest_below "$stage" "$prefix" "$(abs "$sysconf")" "$(abs "$state")"
etc=$(abs "$sysconf")/rdx
home=$(abs "$state")/lib/rdx
[ -f "$stage$etc/quarry.ini" ] || fail "no $etc/quarry.ini in the staged install"

# What is compiled in and written agrees with where the files went.
grep -qx "Directory=$home/" "$stage$etc/quarry.ini" ||
  fail "quarry.ini names $(grep Directory= "$stage$etc/quarry.ini"), not $home/"
[ "$(readlink "$stage$home/quarry.ini")" = "$etc/quarry.ini" ] ||
  fail "$home/quarry.ini links to $(readlink "$stage$home/quarry.ini")"
[ "$(readlink "$stage$home/rdcsm")" = "$(abs "$(cache CMAKE_INSTALL_BINDIR)")/rdcsm" ] ||
  fail "$home/rdcsm links to $(readlink "$stage$home/rdcsm")"
[ -e "$stage$(readlink "$stage$home/rdcsv.rdx")" ] || fail "$home/rdcsv.rdx links to nothing installed"
grep -aq "$etc" "$build/rdrun/rdrun" || fail "rdrun does not name $etc"
for kind in user system; do
  grep -q "^ExecStart=$home/rdcsm " "$stage$prefix/lib/systemd/$kind/rdcsm.service" ||
    fail "the $kind unit does not start $home/rdcsm"
done

snapshot >"$work/after"
diff "$work/before" "$work/after" >&2 || fail "the install changed files outside its prefix"
echo "install_test: ok"
