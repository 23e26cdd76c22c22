#!/usr/bin/env bash
# The stages of test-fresh.sh end at their first failing step and count as
# failed, and the script calls them only where bash keeps -e in force: never
# from if, while, !, && or ||, where a failing step would go unnoticed.
# Usage: stage_rule.sh scripts/test-fresh.sh
set -euo pipefail
script="${1:?usage: stage_rule.sh test-fresh.sh}"
fail() { echo "stage rule: $*" >&2; exit 1; }

eval "$(sed -n '/^stage() {$/,/^}$/p' "$script")"
declare -F stage >/dev/null || fail "no stage function in $script"
say() { :; }
mark="$(mktemp)"
trap 'rm -f "$mark"' EXIT

# A failing first step ends the stage, though the last one would pass.
rm -f "$mark"
first_fails() { false; touch "$mark"; }
failed=0
set +e
stage "first step fails" first_fails
set -e
[ "$failed" = 1 ] || fail "a stage whose first step failed passed"
[ ! -e "$mark" ] || fail "the step after a failing one ran"
# A passing stage leaves the count alone, and -e is in force again after it.
all_pass() { true; touch "$mark"; }
failed=0
stage "all pass" all_pass
[ "$failed" = 0 ] && [ -e "$mark" ] || fail "a passing stage failed"
[[ $- == *e* ]] || fail "-e is off after a stage"

# Every call of a stage is a plain command.
calls="$(grep -nE '(^|[;&|!({]|\bif|\bwhile|\buntil|\bthen|\bdo)[[:space:]]*stage[[:space:]]' "$script" | grep -v '^[0-9]*:[[:space:]]*#' || true)"
bad="$(printf '%s\n' "$calls" | grep -E '(\|\||&&|\bif\b|\bwhile\b|\buntil\b|!)' || true)"
[ -z "$bad" ] || fail "a stage called where bash ignores -e: $bad"
[ "$(grep -cE '^[[:space:]]*stage "' "$script")" -ge 4 ] || fail "fewer stage calls than expected"
echo "stage rule: holds"
