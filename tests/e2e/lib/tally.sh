# Sourced by the end-to-end scripts that count their checks: `pass`, and `fail MESSAGE`
# (the message goes to stderr); the script ends with `[ "$FAILED" -eq 0 ]`.
PASSED=0
FAILED=0
pass() { PASSED=$((PASSED + 1)); }
fail() {
    FAILED=$((FAILED + 1))
    echo "FAIL: $*" >&2
}
