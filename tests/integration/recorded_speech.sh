#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Stands in for the speech synthesiser in the English self-check: called as the synthesiser is
# (-v VOICE -w FILE SENTENCE), it writes real recorded English speech ("go forward ten meters") to
# FILE as WAV, which the recogniser reads reliably, unlike synthesised English.
set -euo pipefail
[ "$1" = -v ] && [ "$3" = -w ] || { echo "usage: $0 -v VOICE -w FILE SENTENCE" >&2; exit 2; }
exec sox -t raw -r 16000 -e signed-integer -b 16 -c 1 /usr/share/pocketsphinx/test/data/goforward.raw -t wav "$4"
