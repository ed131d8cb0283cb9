#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The commands a desktop's own shortcut runs, with the real program in the private desktop. With no
# Parlune running, `parlune --press` starts it and returns once it records; recorded English speech
# plays into the microphone; `parlune --release` ends the dictation and its words reach another
# program's text field. Then a hold the way GNOME reports it, `parlune --shortcut` at the press and
# every 30 ms from 0.5 s on while the speech plays: one dictation, ended once the runs stop.
#
#   command_dictation.sh PARLUNE TEST_FIELD     (inside scripts/session)
set -euo pipefail
parlune=$1 field=$2
speech=/usr/share/pocketsphinx/test/data/goforward.raw
work=$(mktemp -d)
pids=()
stop_started() {
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
    done
    rm -rf "$work"
}
trap stop_started EXIT

fail() {
    echo "FAIL: $*" >&2
    echo "--- Parlune's log:" >&2
    cat "$work/parlune.log" >&2 || true
    exit 1
}

wait_for_line() { # seconds file pattern
    for _ in $(seq $(($1 * 10))); do
        grep -q -- "$3" "$2" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "nothing matching \"$3\" in $2 after $1 s"
}

speak() {
    paplay --raw --format=s16le --rate=16000 --channels=1 -d "$PARLUNE_VOICE_SINK" "$speech"
    # The end of the sound is still on its way through the sound server.
    sleep 0.3
}

# How many times the words arrived in the field so far.
dictations() {
    local last
    last=$(grep '^text ' "$work/field.log" | tail -1 | cut -d' ' -f2 | base64 -d)
    grep -oi 'forward' <<<"$last" | wc -l
}

support="${XDG_DATA_HOME:-$HOME/.local/share}/Parlune"
mkdir -p "$support"
printf '%s' '{"language":"en","onboardingDone":true}' >"$support/settings.json"
socket="${XDG_RUNTIME_DIR:?}/org.parlune.Parlune.socket"

"$field" line >"$work/field.log" 2>&1 &
pids+=($!)
wait_for_line 10 "$work/field.log" '^ready'
sleep 0.5

# Nobody runs Parlune: the press starts it (its log goes where the command's does) and records.
"$parlune" --press 2>>"$work/parlune.log" || fail "parlune --press: status $?"
instance=$(ss -Hxlp src "$socket" | grep -o 'pid=[0-9]*' | head -1 | cut -d= -f2)
[ -n "$instance" ] || fail "no Parlune listens on $socket"
pids+=("$instance")
grep -q 'Parlune: recording (en)' "$work/parlune.log" || fail "--press returned before the recording started"
speak
"$parlune" --release || fail "parlune --release: status $?"
wait_for_line 30 "$work/field.log" '^text .'
[ "$(dictations)" -eq 1 ] || fail "after --press/--release the field holds: $(grep '^text ' "$work/field.log" | tail -1)"

# GNOME's way: a run at the press, then one every 30 ms from 0.5 s on while the speech plays (and 0.3 s
# more: the end of the sound is still on its way through the sound server), each a new process started
# on the keyboard's schedule, whether the one before has ended or not.
python3 - "$parlune" "$speech" <<'GNOME' || fail "a run of parlune --shortcut failed"
import os, subprocess, sys, time
parlune, speech = sys.argv[1:]
runs = [subprocess.Popen([parlune, "--shortcut"])]
start = time.monotonic()
time.sleep(0.5)
player = subprocess.Popen(["paplay", "--raw", "--format=s16le", "--rate=16000", "--channels=1",
                           "-d", os.environ["PARLUNE_VOICE_SINK"], speech])
tick, until = 0, None
while until is None or time.monotonic() < until:
    runs.append(subprocess.Popen([parlune, "--shortcut"]))
    tick += 1
    time.sleep(max(0, start + 0.5 + 0.03 * tick - time.monotonic()))
    if until is None and player.poll() is not None:
        until = time.monotonic() + 0.3
sys.exit(max(run.wait() for run in runs))
GNOME
for _ in $(seq 300); do
    [ "$(dictations)" -ge 2 ] && break
    sleep 0.1
done
[ "$(dictations)" -eq 2 ] || fail "after a GNOME hold the field holds: $(grep '^text ' "$work/field.log" | tail -1)"
grep -q 'Parlune: shortcut released' "$work/parlune.log" || fail "no release seen from the end of the runs"
[ "$(grep -c 'Parlune: recording (en)' "$work/parlune.log")" -eq 2 ] || fail "the runs of one hold started more than one dictation"

# Two commands at once are refused.
if "$parlune" --press --release 2>"$work/refused"; then
    fail "two commands at once were accepted"
fi
grep -q 'une seule commande' "$work/refused" || fail "no French reason for two commands: $(cat "$work/refused")"
echo "PASS: --press/--release and a GNOME-style --shortcut hold each gave one dictation in the field"
