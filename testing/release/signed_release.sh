#!/usr/bin/env bash
# Makes a signed release of the installed files and checks it from outside:
#
#   signed_release.sh <source folder> <work folder>
#
# A throwaway self-signed code-signing certificate (openssl), then
# scripts/release --no-build with it into <work>/release. Checks: every
# program and DLL carries a signature that osslsigncode verifies against that
# certificate (and a tampered copy fails); sha256sum -c passes over the
# release; each archive unpacks to exactly the files SHA256SUMS lists; the
# text names the commit and the signing; a second signed release of the
# same files is the same bytes. The release stays for release_tests, which
# runs its programs under Wine beside the unsigned ones.
set -euo pipefail
src=$1
work=$2
fail() { printf 'FAILED: %s\n' "$*"; exit 1; }

rm -rf "$work"
mkdir -p "$work/cert"
cert=$work/cert
printf 'throwaway password\n' >"$cert/password"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=wintools test signing" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$cert/key.pem" -out "$cert/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$cert/key.pem" -in "$cert/cert.pem" -out "$cert/cert.p12" \
  -passout "file:$cert/password"

release() {
  WT_SIGN_PKCS12=$cert/cert.p12 WT_SIGN_PASSWORD_FILE=$cert/password \
    "$src/scripts/release" --no-build --out "$1"
}
release "$work/release"
release "$work/again" 2>/dev/null
cd "$work/release"

pe_files=(*/*.exe */*.dll)
[ ${#pe_files[@]} -ge 10 ] || fail "only ${#pe_files[@]} programs and DLLs in the release"
for file in "${pe_files[@]}"; do
  osslsigncode verify -CAfile "$cert/cert.pem" -in "$file" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; fail "signature of $file"; }
done
echo "signatures verified: ${#pe_files[@]} files"
cp "${pe_files[0]}" "$work/tampered"
printf 'X' | dd of="$work/tampered" bs=1 seek=4096 conv=notrunc 2>/dev/null
! osslsigncode verify -CAfile "$cert/cert.pem" -in "$work/tampered" >/dev/null 2>&1 ||
  fail "a tampered file passed verification"

sha256sum -c --quiet SHA256SUMS || fail "sha256sum -c SHA256SUMS"
mkdir "$work/unpacked"
for zip in *.zip; do (cd "$work/unpacked" && cmake -E tar xf "$work/release/$zip"); done
grep -v '\.zip$' SHA256SUMS >"$work/unpacked/SHA256SUMS"
(cd "$work/unpacked" && sha256sum -c --quiet SHA256SUMS) || fail "the archives' files against SHA256SUMS"
listed=$(wc -l <"$work/unpacked/SHA256SUMS")
unpacked=$(cd "$work/unpacked" && find . -mindepth 2 -type f | wc -l)
[ "$listed" = "$unpacked" ] || fail "the archives hold $unpacked files, SHA256SUMS lists $listed"
echo "archives unpacked: $unpacked files, as SHA256SUMS lists them"

# Sources without git history: the release says "unknown".
commit=$(git -C "$src" rev-parse --verify -q HEAD 2>/dev/null || echo unknown)
for text in */RELEASE.txt; do
  grep -q "^Source commit: $commit" "$text" || fail "$text does not name commit $commit"
  grep -q "^Signed: " "$text" || fail "$text does not say that the files are signed"
done

for file in SHA256SUMS *.zip; do
  cmp -s "$file" "$work/again/$file" || fail "a second signed release differs in $file"
done
echo "a second signed release is the same bytes"
