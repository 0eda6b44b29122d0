# The sound benchmarks' shared start, sourced by bench/sound-gaps.sh and bench/av-offset.sh
# with their own arguments (the server first). For PipeWire the benchmark runs again
# inside a session bus of its own; then the test helpers are loaded.
source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export LARKSPUR_BUILD_DIR="${LARKSPUR_BUILD_DIR:-$source_dir/build}"
if [ "${1:-}" = pipewire ] && [ "${LARKSPUR_SESSION_BUS:-}" != 1 ]; then
    LARKSPUR_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
source "$source_dir/tests/e2e/common.sh"
source "$source_dir/tests/servers/servers.sh"

# bench_programs DEFAULT [PROGRAM...]: sets `programs` to the programs to compare, or to
# DEFAULT when none is given; each must be a program (after any variables before it).
bench_programs() {
    local default=$1 program
    shift
    programs=("$@")
    [ "${#programs[@]}" -gt 0 ] || programs=("$default")
    for program in "${programs[@]}"; do
        [ -x "${program##* }" ] || fail "not a program: $program"
    done
}
