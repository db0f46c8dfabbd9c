#!/usr/bin/env bash
# Signs a Windows executable in place with osslsigncode (Authenticode, SHA-256):
#   sign-exe.sh OSSLSIGNCODE EXE PKCS12 [PASSWORD_FILE] [TIMESTAMP_URL]
# The password of the PKCS#12 file is read at signing time, never from the build's files or a
# command line: from PASSWORD_FILE when one is given, else from the environment variable
# PELKO_SIGN_PASSWORD (handed to osslsigncode through a pipe), else there is none.
set -euo pipefail
osslsigncode=$1 exe=$2 pkcs12=$3 password_file=${4:-} timestamp_url=${5:-}

args=(sign -pkcs12 "$pkcs12" -h sha256 -n "Pelko Setup")
[ -z "$timestamp_url" ] || args+=(-ts "$timestamp_url")
if [ -n "$password_file" ]; then
  args+=(-readpass "$password_file")
elif [ -n "${PELKO_SIGN_PASSWORD+set}" ]; then
  # printf is a builtin: the password is in no process's arguments.
  exec 3< <(printf '%s' "$PELKO_SIGN_PASSWORD")
  args+=(-readpass /dev/fd/3)
fi
"$osslsigncode" "${args[@]}" -in "$exe" -out "$exe.signed" >/dev/null
mv "$exe.signed" "$exe"
