#!/bin/sh
# validate.sh VALIDATOR ARGS...: runs a validator, or says the test was skipped without it.
command -v "$1" >/dev/null || {
    echo "SKIPPED: $1 is not installed (./dev.sh installs it)"
    exit 77
}
exec "$@"
