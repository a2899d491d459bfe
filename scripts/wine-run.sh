#!/usr/bin/env bash
# Runs a Windows test program under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is made on first use; the program's exit status is returned.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
prefix=$1
shift
vrp_prepare_prefix "$prefix"
export WINEPREFIX=$prefix
exec "$VRP_WINE" "$@"
