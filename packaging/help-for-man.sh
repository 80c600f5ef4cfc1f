#!/bin/sh
# Runs PROGRAM with the given options for help2man. help2man takes a further
# usage line only in the form "   or: PROGRAM ..."; the help aligns it under
# the first one instead, and help2man would leave it in the description.
# Usage: help-for-man.sh PROGRAM OPTION...
program=$1
shift
"$program" "$@" | sed -E '2,/^$/s/^ +(or: +)?(kelvane-convert )/   or: \2/'
