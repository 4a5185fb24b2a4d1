#!/usr/bin/env bash
# Signs Windows files (PE programs and DLLs, Windows Installer packages) in
# place with Authenticode, SHA-256, by osslsigncode, from the certificate the
# environment names; with none named it changes nothing and says so.
#
#   scripts/sign.sh FILE...
#
# The certificate, one of:
#   SIGN_PFX=FILE.pfx with SIGN_PASSWORD_FILE=FILE (the password on its first
#       line) or SIGN_PASSWORD_ENV=NAME (the name of a variable holding it)
#   SIGN_PKCS11_MODULE=MODULE.so SIGN_KEY=PKCS11-URI SIGN_CERT=CERT.pem, a key
#       on a token (smart card, HSM) through osslsigncode's PKCS#11 support
#       (SIGN_PKCS11_ENGINE=ENGINE.so where the module needs an engine)
# and optionally SIGN_TIMESTAMP_URL, an RFC 3161 time-stamp server, so that
# signatures outlive the certificate, and SIGN_NAME, the description shown.
#
# The key never leaves where it is kept: nothing is copied into the build.
# A password given by variable is written, for osslsigncode to read, to a
# file only this user can read, removed again when the script ends.
set -euo pipefail
if [ -z "${SIGN_PFX:-}" ] && [ -z "${SIGN_PKCS11_MODULE:-}" ]; then
  echo "sign.sh: no certificate given (SIGN_PFX or SIGN_PKCS11_MODULE): left unsigned" >&2
  exit 0
fi
command -v osslsigncode >/dev/null || {
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends osslsigncode
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 700 "$scratch"
credentials=()
if [ -n "${SIGN_PFX:-}" ]; then
  password_file="${SIGN_PASSWORD_FILE:-}"
  if [ -n "${SIGN_PASSWORD_ENV:-}" ]; then
    password_file="$scratch/password"
    (umask 077 && printf '%s' "${!SIGN_PASSWORD_ENV}" > "$password_file")
  fi
  [ -n "$password_file" ] || { echo "sign.sh: SIGN_PFX needs SIGN_PASSWORD_FILE or SIGN_PASSWORD_ENV" >&2; exit 2; }
  credentials=(-pkcs12 "$SIGN_PFX" -readpass "$password_file")
else
  [ -n "${SIGN_KEY:-}" ] && [ -n "${SIGN_CERT:-}" ] ||
    { echo "sign.sh: SIGN_PKCS11_MODULE needs SIGN_KEY and SIGN_CERT" >&2; exit 2; }
  credentials=(-pkcs11module "$SIGN_PKCS11_MODULE" -key "$SIGN_KEY" -certs "$SIGN_CERT")
  [ -z "${SIGN_PKCS11_ENGINE:-}" ] || credentials+=(-pkcs11engine "$SIGN_PKCS11_ENGINE")
fi
options=(-h sha256 -n "${SIGN_NAME:-Dravenil File Access Plugin}")
[ -z "${SIGN_TIMESTAMP_URL:-}" ] || options+=(-ts "$SIGN_TIMESTAMP_URL")
for file in "$@"; do
  signed="$scratch/$(basename "$file")"
  rm -f "$signed"
  osslsigncode sign "${credentials[@]}" "${options[@]}" -in "$file" -out "$signed" >/dev/null ||
    { echo "sign.sh: $file could not be signed" >&2; exit 1; }
  cat "$signed" > "$file"
done
