#!/usr/bin/env bash
# The program signed as a vendor signs it (cmake/sign-program), with a throwaway certificate made
# here: the signature verifies against that certificate and not against another, the headers
# keep their mitigations and a valid checksum, and the signed program still runs (the signature
# is appended to the file).
#   signed_program.sh WORK SETUP.EXE [DRIVER.EXE]
# With DRIVER (tests/app/planted_driver), in the prefix WINEPREFIX: through the first page, which
# only a program that read its own package shows, and its close question. Without it: no start.
set -eu
work=$1 setup=$2 driver=${3:-}
here=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work" && mkdir -p "$work"
for who in signer stranger; do
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Layout setup test $who" \
    -addext extendedKeyUsage=codeSigning -keyout "$work/$who.key" -out "$work/$who.pem" 2>/dev/null
done
signed=$work/setup.exe
cp "$setup" "$signed"
"$here/cmake/sign-program" "$signed" --cert "$work/signer.pem" --key "$work/signer.key" --name "Layout setup test"
osslsigncode verify -CAfile "$work/signer.pem" -in "$signed" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log" >&2; echo "signed_program: the signature does not verify" >&2; exit 1; }
if osslsigncode verify -CAfile "$work/stranger.pem" -in "$signed" >/dev/null 2>&1; then
  echo "signed_program: the signature verifies against a certificate that did not make it" >&2
  exit 1
fi
"$here/cmake/check-pe" "$signed"
winpath() { echo "Z:${1//\//\\}"; }
if [ -n "$driver" ]; then
  "$here/cmake/wine-run" --fresh win7
  status=0
  xvfb-run -a -s "-screen 0 1024x768x24" "$here/cmake/wine-run" "$driver" "$(winpath "$signed")" \
    "$(cat "$here"/demo/texts/*.txt | awk '/^== 94([^0-9]|$)/ { getline; print; exit }')" || status=$?
  "$here/cmake/wine-run" --stop
  [ $status = 0 ] || { echo "signed_program: the signed program did not show its first page and end" >&2; exit 1; }
  echo "signed_program: the signed program showed its first page and ended"
fi
echo "signed_program: signed and verified"
