#!/usr/bin/env bash
# Which Windows architecture this machine tests: the one decision that both
# tools/install-deps.sh and `tools/wineenv.sh arch` make. Sourced, it defines
# the functions below; run, it prints the architecture (`arch.sh`) or the
# reason for it (`arch.sh why`).
#
# 32-bit Wine needs the kernel's 32-bit emulation, which some kernels lack or
# switch off. Whether it is there is asked of the kernel itself, before any
# i386 package is installed: a 96-byte 32-bit program that only exits with
# code 42 is written and started. Any other outcome (ENOEXEC, a signal) means
# the kernel cannot run 32-bit programs.

# The program: an ELF32 header, one loadable segment, and
#   mov eax, 1 ; mov ebx, 42 ; int 0x80     (exit(42))
tavrel_elf32_probe() {
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'
  printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000'
  printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000'
  printf '\000\000\000\000'
  printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'
  printf '\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000'
  printf '\270\001\000\000\000\273\052\000\000\000\315\200'
}

# True when the kernel starts 32-bit x86 programs. TAVREL_KERNEL_RUNS_32BIT
# (yes or no) gives the answer instead, for the tests of this decision.
kernel_runs_32bit() {
  case "${TAVREL_KERNEL_RUNS_32BIT:-}" in
    yes) return 0 ;;
    no) return 1 ;;
  esac
  local dir rc=1
  # The temporary folder may be mounted noexec; the probe then runs from the
  # tools folder's parent build area instead.
  for dir in "${TMPDIR:-/tmp}" "$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build"; do
    mkdir -p "$dir" 2>/dev/null || continue
    local probe
    probe=$(mktemp "$dir/elf32probe.XXXXXX" 2>/dev/null) || continue
    tavrel_elf32_probe >"$probe" && chmod +x "$probe"
    ("$probe") >/dev/null 2>&1
    rc=$?
    rm -f "$probe"
    [ "$rc" -eq 126 ] && continue   # not executable here (noexec): next folder
    break
  done
  [ "$rc" -eq 42 ]
}

# True when 32-bit Wine is installed and starts. TAVREL_WINE32 (yes or no)
# gives the answer instead, for the tests.
wine32_runs() {
  case "${TAVREL_WINE32:-}" in
    yes) return 0 ;;
    no) return 1 ;;
  esac
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The architecture whose programs the tests run: i686 where the kernel runs
# 32-bit programs and 32-bit Wine is there, else x86_64 under 64-bit Wine.
test_arch() {
  if kernel_runs_32bit && wine32_runs; then echo i686; else echo x86_64; fi
}

# One line that says why the tests run the x86_64 build (nothing for i686).
test_arch_reason() {
  if ! kernel_runs_32bit; then
    echo "This kernel cannot run 32-bit programs: testing the x86_64 build under 64-bit Wine."
  elif ! wine32_runs; then
    echo "The 32-bit Wine runtime is not installed (it could not be had): testing the x86_64 build under 64-bit Wine."
  fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case "${1:-}" in
    "") test_arch ;;
    why) test_arch_reason ;;
    *) echo "usage: arch.sh [why]" >&2; exit 2 ;;
  esac
fi
