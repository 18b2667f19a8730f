#!/usr/bin/env bash
# Checks that each file the build ships carries an Authenticode signature made with SHA-256 by the
# certificate of the PKCS#12 file the build signed with, and that the same check refuses a copy of
# it without its signature, signed with SHA-1, or signed by another certificate of the same name;
# the programs inside velmora.msi too.
# The PKCS#12 file's certificates are the trusted ones, so a self-signed certificate is checked
# for real. Writes a report of one case a row for the summary.
# The password comes from the file VELMORA_SIGN_PASSWORD_FILE names, else VELMORA_SIGN_PASSWORD.
# Usage: verify-signatures.sh <report.xml> <pkcs12 file> <file>...
set -uo pipefail

report=$1
pfx=$2
password_file=${VELMORA_SIGN_PASSWORD_FILE:-}
shift 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# openssl takes the password from a file or from the environment, never from its command line.
if [ -n "$password_file" ] && [ -s "$password_file" ]; then
  passin=file:$password_file
elif [ -z "$password_file" ] && [ -n "${VELMORA_SIGN_PASSWORD:-}" ]; then
  passin=env:VELMORA_SIGN_PASSWORD
else
  passin=pass:
fi
if ! openssl pkcs12 -in "$pfx" -passin "$passin" -nokeys -clcerts -out "$work/leaf.pem" ||
   ! openssl pkcs12 -in "$pfx" -passin "$passin" -nokeys -out "$work/trusted.pem" ||
   ! openssl pkcs12 -in "$pfx" -passin "$passin" -nocerts -nodes -out "$work/key.pem"; then
  echo "cannot read $pfx: is its password in VELMORA_SIGN_PASSWORD_FILE or VELMORA_SIGN_PASSWORD, as for the build?" >&2
  exit 1
fi
bundle=/etc/ssl/certs/ca-certificates.crt
[ -f "$bundle" ] && cat "$bundle" >>"$work/trusted.pem"
leaf_hash=$(openssl x509 -in "$work/leaf.pem" -outform DER | sha256sum | cut -d' ' -f1)

# verify <file>: 0 when it carries a SHA-256 signature, and SHA-256 digests only, by the leaf.
verify() {
  osslsigncode verify -CAfile "$work/trusted.pem" -require-leaf-hash "sha256:$leaf_hash" -in "$1" \
    >"$work/verified" 2>&1 </dev/null || return 1
  grep -q 'Message digest algorithm' "$work/verified" || return 1
  ! grep 'Message digest algorithm' "$work/verified" | grep -qv SHA256
}

cases=()
failed=0
# check <name> <expected: signed|refused> <file>
check() {
  local outcome=refused
  if [ ! -f "$3" ]; then
    outcome=missing
    : >"$work/verified"
  elif verify "$3"; then
    outcome=signed
  fi
  if [ "$outcome" = "$2" ]; then
    echo "ok: $1 ($outcome)"
    cases+=("<testcase name=\"$1\" classname=\"Signatures\" status=\"run\" result=\"completed\"/>")
  else
    echo "FAILED: $1 is $outcome, expected $2" >&2
    sed 's/^/    /' "$work/verified" >&2
    cases+=("<testcase name=\"$1\" classname=\"Signatures\" status=\"run\" result=\"completed\"><failure message=\"$outcome, expected $2\"/></testcase>")
    failed=$((failed + 1))
  fi
}

for file in "$@"; do
  name=$(basename "$file")
  check "$name" signed "$file"
  # A package's programs are the ones signed before it was made.
  if [[ $name == *.msi ]]; then
    mkdir "$work/files-$name"
    msiextract -C "$work/files-$name" "$file" >/dev/null
    packed_count=0
    while IFS= read -r -d '' packed; do
      check "$name: $(basename "$packed")" signed "$packed"
      packed_count=$((packed_count + 1))
    done < <(find "$work/files-$name" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0 | sort -z)
    [ "$packed_count" -gt 0 ] || check "$name: its programs" signed "$work/files-$name/none"
  fi
  unsigned=$work/unsigned-$name
  osslsigncode remove-signature -in "$file" -out "$unsigned" >/dev/null 2>&1 </dev/null || cp "$file" "$unsigned" 2>/dev/null
  check "$name without its signature" refused "$unsigned"
done

# The digest and the certificate, each on a copy of the first file.
first=$1
name=$(basename "$first")
osslsigncode remove-signature -in "$first" -out "$work/bare-$name" >/dev/null 2>&1 </dev/null
osslsigncode sign -certs "$work/leaf.pem" -key "$work/key.pem" -h sha1 -in "$work/bare-$name" \
  -out "$work/sha1-$name" >/dev/null 2>&1 </dev/null
check "$name signed with SHA-1" refused "$work/sha1-$name"
subject=$(openssl x509 -in "$work/leaf.pem" -noout -subject -nameopt compat | sed 's/^subject=//')
openssl req -x509 -newkey rsa:2048 -sha256 -days 1 -nodes -subj "$subject" -keyout "$work/other-key.pem" \
  -out "$work/other.pem" -addext extendedKeyUsage=codeSigning >/dev/null 2>&1
osslsigncode sign -certs "$work/other.pem" -key "$work/other-key.pem" -h sha256 -in "$work/bare-$name" \
  -out "$work/other-$name" >/dev/null 2>&1 </dev/null
check "$name signed by another certificate" refused "$work/other-$name"

mkdir -p "$(dirname "$report")" && {
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo "<testsuites tests=\"${#cases[@]}\" failures=\"$failed\" disabled=\"0\" errors=\"0\" name=\"AllTests\">"
  echo "<testsuite name=\"Signatures\" tests=\"${#cases[@]}\" failures=\"$failed\" disabled=\"0\" errors=\"0\">"
  printf '%s\n' "${cases[@]}"
  echo '</testsuite>'
  echo '</testsuites>'
} >"$report" || exit 1
[ "$failed" -eq 0 ]
