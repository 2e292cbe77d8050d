#!/usr/bin/env bash
# The set-up's choice of architecture, without Wine and without touching the
# machine: tools/arch.sh with both answers of the kernel and of 32-bit Wine
# given, and tools/install-deps.sh driven against stand-in package tools on
# PATH that log every call and keep a pretend package state.
#   install_decision_test.sh SOURCE_DIR
set -uo pipefail

src=$(cd "${1:?source folder}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"; }

# --- the decision itself ----------------------------------------------------

decide() {  # KERNEL WINE32 -> "arch|reason|arch.sh|wineenv.sh arch"
  TAVREL_KERNEL_RUNS_32BIT=$1 TAVREL_WINE32=$2 bash -c '
    . "$0/tools/arch.sh"
    printf "%s|%s|%s|%s" "$(test_arch)" "$(test_arch_reason)" "$(bash "$0/tools/arch.sh")" \
      "$(bash "$0/tools/wineenv.sh" arch)"' "$src"
}

kernel_no="This kernel cannot run 32-bit programs: testing the x86_64 build under 64-bit Wine."
wine_no="The 32-bit Wine runtime is not installed (it could not be had): testing the x86_64 build under 64-bit Wine."
expect_eq "kernel yes, wine32 yes" "i686||i686|i686" "$(decide yes yes)"
expect_eq "kernel yes, wine32 no" "x86_64|$wine_no|x86_64|x86_64" "$(decide yes no)"
expect_eq "kernel no, wine32 yes" "x86_64|$kernel_no|x86_64|x86_64" "$(decide no yes)"
expect_eq "kernel no, wine32 no" "x86_64|$kernel_no|x86_64|x86_64" "$(decide no no)"

# The probe itself, asked of this kernel: whatever it answers, it answers
# the same twice and the answer is one of the two.
probe() { bash -c '. "$0/tools/arch.sh"; if kernel_runs_32bit; then echo yes; else echo no; fi' "$src"; }
first=$(probe)
case "$first" in yes | no) ;; *) fail "kernel probe answered '$first'" ;; esac
expect_eq "kernel probe twice" "$first" "$(probe)"

# --- the install against stand-in package tools --------------------------------

# Stand-ins for apt-get, dpkg, dpkg-query, sudo, locale and locale-gen. Each
# logs its command line to $FAKE/calls. The package state: $FAKE/installed
# (one name a line), $FAKE/foreign (foreign architectures). Failures asked
# for: $FAKE/update_fails (how many `apt-get update` calls still fail),
# $FAKE/i386_fails (an install of any :i386 package fails).
make_fakes() {
  local bin=$1/bin
  mkdir -p "$bin"
  cat >"$bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE/calls"
case " $* " in
  *" update "*)
    n=$(cat "$FAKE/update_fails" 2>/dev/null || echo 0)
    if [ "$n" -gt 0 ]; then echo $((n - 1)) >"$FAKE/update_fails"; exit 100; fi
    exit 0 ;;
  *" install "*)
    for p in "$@"; do
      case "$p" in
        -*|install) ;;
        *:i386)
          grep -qx i386 "$FAKE/foreign" 2>/dev/null || { echo "E: no i386 architecture" >&2; exit 100; }
          [ -e "$FAKE/i386_fails" ] && { echo "E: Unmet dependencies" >&2; exit 100; } ;;
      esac
    done
    for p in "$@"; do case "$p" in -*|install) ;; *) echo "$p" >>"$FAKE/installed" ;; esac; done
    exit 0 ;;
esac
exit 0
EOF
  cat >"$bin/dpkg" <<'EOF'
#!/usr/bin/env bash
echo "dpkg $*" >>"$FAKE/calls"
case "$1" in
  --print-foreign-architectures) cat "$FAKE/foreign" 2>/dev/null ;;
  --add-architecture) echo "$2" >>"$FAKE/foreign" ;;
  --remove-architecture) grep -vx "$2" "$FAKE/foreign" >"$FAKE/foreign.new"; mv "$FAKE/foreign.new" "$FAKE/foreign" ;;
esac
exit 0
EOF
  cat >"$bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
echo "dpkg-query $*" >>"$FAKE/calls"
p=${!#}
if grep -qx "$p" "$FAKE/installed" 2>/dev/null; then printf 'install ok installed'; exit 0; fi
echo "dpkg-query: no packages found matching $p" >&2
exit 1
EOF
  cat >"$bin/sudo" <<'EOF'
#!/usr/bin/env bash
echo "sudo $*" >>"$FAKE/calls"
exec "$@"
EOF
  cat >"$bin/locale" <<'EOF'
#!/usr/bin/env bash
echo "locale $*" >>"$FAKE/calls"
[ -e "$FAKE/ja_locale" ] && echo ja_JP.utf8
echo C.utf8
EOF
  cat >"$bin/locale-gen" <<'EOF'
#!/usr/bin/env bash
echo "locale-gen $*" >>"$FAKE/calls"
touch "$FAKE/ja_locale"
EOF
  chmod +x "$bin"/*
}

# Runs the install in a fresh pretend machine. KERNEL: yes or no. Further
# arguments name the state to start from: base (every package but the 32-bit
# runtime installed), update_fails=N, i386_fails, i386_foreign. Leaves
# $FAKE/calls, $FAKE/out (standard output) and $rc.
run_install() {
  local kernel=$1; shift
  FAKE=$(mktemp -d "$work/machine.XXXXXX")
  export FAKE
  make_fakes "$FAKE"
  : >"$FAKE/calls"; : >"$FAKE/installed"; : >"$FAKE/foreign"
  local s
  for s in "$@"; do
    case "$s" in
      base)
        # Every package of the first step (npm too, should the machine lack it).
        sed -n '/^base_packages=(/,/^)/p' "$src/tools/install-deps.sh" | sed '1d;$d' | tr ' ' '\n' |
          grep -v '^$' >>"$FAKE/installed"
        echo npm >>"$FAKE/installed" ;;
      update_fails=*) echo "${s#update_fails=}" >"$FAKE/update_fails" ;;
      i386_fails) touch "$FAKE/i386_fails" ;;
      i386_foreign) echo i386 >"$FAKE/foreign" ;;
    esac
  done
  PATH="$FAKE/bin:$PATH" TAVREL_KERNEL_RUNS_32BIT=$kernel TAVREL_APT_RETRY_PAUSE=0 \
    TAVREL_LOCALE_GEN="$FAKE/locale.gen" bash "$src/tools/install-deps.sh" >"$FAKE/out" 2>"$FAKE/err" </dev/null
  rc=$?
}

calls_of() { grep -c -- "$1" "$FAKE/calls"; }
no_call() { if grep -q -- "$2" "$FAKE/calls"; then fail "$1: called $(grep -- "$2" "$FAKE/calls" | head -1)"; fi; }
has_call() { grep -q -- "$2" "$FAKE/calls" || fail "$1: no call matching '$2'"; }

# A fresh machine whose kernel cannot run 32-bit programs: the first step
# only, nothing of i386.
run_install no
expect_eq "kernel no: exit code" 0 "$rc"
has_call "kernel no" "apt-get install -y -q --no-install-recommends .*wine64"
no_call "kernel no" "--add-architecture"
no_call "kernel no" ":i386"
no_call "kernel no" "--print-foreign-architectures"
# The Japanese locale is generated into the locale.gen given.
has_call "kernel no" "^locale-gen"
grep -qx 'ja_JP.UTF-8 UTF-8' "$FAKE/locale.gen" 2>/dev/null || fail "kernel no: ja_JP.UTF-8 not added to locale.gen"
[ -s "$FAKE/out" ] && fail "kernel no: printed '$(cat "$FAKE/out")'"

# The kernel runs 32-bit programs and the i386 lists are out of step: the
# architecture is taken back out, one clear line, the set-up goes on.
run_install yes base i386_fails
expect_eq "i386 fails: exit code" 0 "$rc"
has_call "i386 fails" "dpkg --add-architecture i386"
has_call "i386 fails" "apt-get install -y -q --no-install-recommends wine32:i386"
has_call "i386 fails" "dpkg --remove-architecture i386"
expect_eq "i386 fails: foreign architectures left" "" "$(cat "$FAKE/foreign")"
expect_eq "i386 fails: printed" \
  "The 32-bit Wine runtime could not be installed: the tests will run the x86_64 build under 64-bit Wine." \
  "$(cat "$FAKE/out")"
# The base packages, installed already, are not asked for again.
no_call "i386 fails" "install .*wine64"

# The same where the machine had i386 already: its architecture stays.
run_install yes base i386_fails i386_foreign
expect_eq "i386 fails, i386 the user's: exit code" 0 "$rc"
no_call "i386 fails, i386 the user's" "--add-architecture"
no_call "i386 fails, i386 the user's" "--remove-architecture"
expect_eq "i386 fails, i386 the user's: foreign architectures" "i386" "$(cat "$FAKE/foreign")"

# The kernel runs 32-bit programs and the runtime can be had: installed in a
# step of its own after the lists were updated for the new architecture.
run_install yes
expect_eq "i386 installs: exit code" 0 "$rc"
has_call "i386 installs" "dpkg --add-architecture i386"
no_call "i386 installs" "--remove-architecture"
expect_eq "i386 installs: updates" 2 "$(calls_of '^apt-get update')"
expect_eq "i386 installs: the 32-bit install a step of its own" 1 "$(calls_of 'install .*wine32:i386')"
no_call "i386 installs" "install .*wine64.*:i386"
grep -qx 'wine32:i386' "$FAKE/installed" || fail "i386 installs: wine32:i386 not installed"
[ -s "$FAKE/out" ] && fail "i386 installs: printed '$(cat "$FAKE/out")'"

# Everything there already: nothing updated, nothing installed.
run_install yes base
echo 'wine32:i386' >>"$FAKE/installed"
echo 'gstreamer1.0-plugins-base:i386' >>"$FAKE/installed"
echo 'gstreamer1.0-plugins-good:i386' >>"$FAKE/installed"
: >"$FAKE/calls"
PATH="$FAKE/bin:$PATH" TAVREL_KERNEL_RUNS_32BIT=yes TAVREL_APT_RETRY_PAUSE=0 \
  TAVREL_LOCALE_GEN="$FAKE/locale.gen" bash "$src/tools/install-deps.sh" >/dev/null 2>&1 </dev/null
expect_eq "again: exit code" 0 "$?"
no_call "again" "^apt-get"
no_call "again" "^dpkg --add"

# `apt-get update` failing: tried three times, then the install goes on.
run_install no update_fails=5
expect_eq "update fails: exit code" 0 "$rc"
expect_eq "update fails: tries" 3 "$(calls_of '^apt-get update')"
has_call "update fails" "apt-get install .*wine64"
grep -q "try 3 of 3" "$FAKE/err" || fail "update fails: no warning of the third try"

# Failing once: tried twice.
run_install no update_fails=1
expect_eq "update fails once: tries" 2 "$(calls_of '^apt-get update')"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
