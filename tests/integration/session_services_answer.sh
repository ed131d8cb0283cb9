#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The private desktop answers: X server, PulseAudio with the virtual microphone as default input, and
# the accessibility bus on the session bus.
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }

[ -n "${DISPLAY:-}" ] || fail "DISPLAY is not set: run inside scripts/session"
xdpyinfo >/dev/null || fail "the X server $DISPLAY does not answer"
[ "$(pactl get-default-source)" = parlune_mic ] || fail "the default source is not the virtual microphone"
[ "$(pactl get-default-sink)" = parlune_speakers ] || fail "the default sink is not the private one"
address=$(dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus org.a11y.Bus.GetAddress) \
    || fail "the accessibility bus does not answer"
grep -q 'unix:' <<<"$address" || fail "the accessibility bus gave no address"
[ "$HOME" != "$(getent passwd "$(id -un)" | cut -d: -f6)" ] || fail "HOME is the real home"
echo "session: X $DISPLAY, PulseAudio, D-Bus and AT-SPI answer"
