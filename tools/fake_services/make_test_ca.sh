#!/usr/bin/env bash
# The loopback services' test CA and "localhost" certificate in DIR (see
# test/support/signing/make_test_pki.sh, which makes every test PKI).
exec bash "$(dirname "$0")/../../test/support/signing/make_test_pki.sh" server "$@"
