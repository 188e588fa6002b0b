#!/usr/bin/env bash
# Installs the build folder ($1) into a temporary DESTDIR under /usr and checks what landed:
# every file present, the desktop entry valid, the user units valid for systemd, the manual
# pages rendering without warnings and naming every option the programs accept.
# A check whose tool is missing says so and is skipped; every other failure fails the test.
set -uo pipefail
build="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "SKIPPED: $*"; }

if ! DESTDIR="$tmp/root" cmake --install "$build" --prefix /usr >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi
root="$tmp/root/usr"

for f in bin/tarnwick bin/tarnwick-vbs \
         share/man/man1/tarnwick.1 share/man/man1/tarnwick-vbs.1 \
         share/applications/tarnwick.desktop share/icons/hicolor/scalable/apps/tarnwick.svg \
         share/doc/tarnwick/README.md \
         lib/systemd/user/tarnwick.service lib/systemd/user/tarnwick@.service \
         lib/systemd/user/tarnwick-once@.service lib/systemd/user/tarnwick-once@.timer; do
  [ -s "$root/$f" ] || fail "missing or empty: /usr/$f"
done
for p in tarnwick tarnwick-vbs; do
  [ -x "$root/bin/$p" ] || fail "/usr/bin/$p is not executable"
  "$root/bin/$p" --version | grep -q "^$p [0-9]" || fail "$p --version"
done

# The units start the installed program, under the prefix installed to.
for u in tarnwick.service tarnwick@.service tarnwick-once@.service; do
  grep -q '^ExecStart=/usr/bin/tarnwick --headless' "$root/lib/systemd/user/$u" || fail "$u: ExecStart"
done
grep -q -- '--home %h/.local/share/Tarnwick-%i' "$root/lib/systemd/user/tarnwick@.service" || fail "tarnwick@: folder"
grep -q -- '--once' "$root/lib/systemd/user/tarnwick-once@.service" || fail "tarnwick-once@: --once"

if command -v desktop-file-validate >/dev/null; then
  out="$(desktop-file-validate "$root/share/applications/tarnwick.desktop" 2>&1)" || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
else
  skip "desktop-file-validate is not installed"
fi

if command -v systemd-analyze >/dev/null; then
  # Verified as instances, with ExecStart pointing into the DESTDIR so that the program the
  # unit names exists; the manual-page check needs an installed page, so it is left out.
  mkdir -p "$tmp/units"
  for u in tarnwick.service tarnwick@.service tarnwick-once@.service tarnwick-once@.timer; do
    name="${u/@./@check.}"
    sed "s#/usr/bin/tarnwick#$root/bin/tarnwick#" "$root/lib/systemd/user/$u" >"$tmp/units/$name"
  done
  out="$(cd "$tmp/units" && systemd-analyze verify --man=no ./*.service ./*.timer 2>&1)" || fail "systemd-analyze verify: $out"
  [ -z "$out" ] || fail "systemd-analyze verify: $out"
else
  skip "systemd-analyze is not installed"
fi

if command -v man >/dev/null && man --version >/dev/null 2>&1; then
  for p in tarnwick tarnwick-vbs; do
    page="$root/share/man/man1/$p.1"
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "man -l $p.1 warns: $warnings"
    text="$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null)"
    for section in NAME SYNOPSIS OPTIONS "EXIT STATUS"; do
      grep -q "^$section" <<<"$text" || fail "$p.1 has no $section section"
    done
    # Every option --help lists, and every exit code, is in the page.
    for opt in $("$root/bin/$p" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
      grep -q -- "$opt" <<<"$text" || fail "$p.1 does not name $opt"
    done
    for code in $("$root/bin/$p" --help | sed -n 's/^  \([0-9]\)  .*/\1/p'); do
      grep -q "^       $code " <<<"$text" || fail "$p.1 does not list exit code $code"
    done
  done
else
  skip "man is not installed"
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "install tree OK"
