#!/usr/bin/env bash
# Makes a signed release of the installed files and checks it from outside:
#
#   signed_release.sh <source folder> <work folder>
#
# The signing key is generated inside a SoftHSM token and used through
# PKCS#11; the time stamps come from a time-stamping service of the test's own
# on 127.0.0.1 (openssl ts behind testing/release/tsa_front.py); SHA256SUMS
# is signed with a throwaway OpenPGP key. Checks: the checksums' signature;
# the archive unpacked elsewhere against SHA256SUMS, file for file; every
# program and DLL verifies at a time after its certificate expired when time
# stamped, and fails for that expiry alone without a time stamp; a changed
# byte fails as a digest mismatch; the bill of materials is valid CycloneDX
# 1.6 and hashes exactly the archive's files; RELEASE.txt says what was done;
# the detached signatures attached to the unsigned build give the released
# bytes, while a signature attached to another file is refused, as is
# signing without a time-stamping service. The release stays for
# release_tests, which reads it under Wine.
set -euo pipefail
src=$(cd "$1" && pwd)
fail() { printf 'FAILED: %s\n' "$*"; exit 1; }

rm -rf "$2"
mkdir -p "$2/keys" "$2/tokens"
work=$(cd "$2" && pwd)
cd "$work/keys"

# The code-signing key, generated inside the token; only its certificate
# leaves it. The certificate is valid for one day.
module=/usr/lib/softhsm/libsofthsm2.so
export SOFTHSM2_CONF=$work/keys/softhsm2.conf
printf 'directories.tokendir = %s\nobjectstore.backend = file\n' "$work/tokens" >"$SOFTHSM2_CONF"
printf '1234' >pin
softhsm2-util --init-token --free --label wintools-test --so-pin 87654321 --pin 1234 >/dev/null
pkcs11-tool --module "$module" --token-label wintools-test --login --pin 1234 \
  --keypairgen --key-type rsa:2048 --label signing --id 01 >/dev/null 2>&1
key="pkcs11:token=wintools-test;object=signing;type=private"
PKCS11_MODULE_PATH=$module openssl req -engine pkcs11 -keyform engine -key "$key;pin-value=1234" \
  -new -x509 -days 1 -subj "/CN=wintools test signing" -out signing.pem \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" 2>/dev/null

# The time-stamping service: its own certificate, openssl ts behind a
# front that stops by itself.
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=wintools test TSA" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=critical,timeStamping" \
  -keyout tsa.key -out tsa.pem 2>/dev/null
echo 01 >tsa.serial
printf '%s\n' '[tsa]' 'default_tsa = tsa1' '[tsa1]' "serial = $PWD/tsa.serial" \
  "signer_cert = $PWD/tsa.pem" "signer_key = $PWD/tsa.key" 'signer_digest = sha256' \
  'default_policy = 1.2.3.4.1' 'digests = sha256' 'ess_cert_id_alg = sha256' >tsa.cnf
exec 3< <(exec python3 "$src/testing/release/tsa_front.py" tsa.cnf 120 2>/dev/null)
tsa_pid=$!
trap 'kill "$tsa_pid" 2>/dev/null; GNUPGHOME=$work/keys/gnupg gpgconf --kill gpg-agent 2>/dev/null || true' EXIT
read -r -t 10 port <&3 || fail "the time-stamping service did not start"

# The OpenPGP key, in a keyring of the test's own (its agent ends with it).
export GNUPGHOME=$work/keys/gnupg
mkdir -m 700 "$GNUPGHOME"
gpg --batch --quiet --passphrase '' --quick-gen-key "wintools test <test@invalid>" rsa2048 sign 1d 2>/dev/null

flags=(--no-build)
[ "$("$src/scripts/snapshot-number")" = 0 ] || flags+=(--snapshot)
release() {
  WT_SIGN_PKCS11_KEY=$key WT_SIGN_PKCS11_MODULE=$module WT_SIGN_CERTS=signing.pem \
    WT_SIGN_PIN_FILE=pin WT_TIMESTAMP_URL=http://127.0.0.1:$port WT_GPG_KEY=test@invalid \
    "$src/scripts/release" "${flags[@]}" "$@" 2>"$work/release.log" ||
    { cat "$work/release.log"; fail "scripts/release $*"; }
}
release --out "$work/release"
release --out "$work/untimed" --no-timestamp
"$src/scripts/release" "${flags[@]}" --signatures "$work"/release/*-signatures.zip \
  --out "$work/rebuilt" 2>"$work/release.log" || { cat "$work/release.log"; fail "attaching"; }
cd "$work/release"
stem=$(basename *-signatures.zip -signatures.zip)

gpg --batch --verify SHA256SUMS.asc SHA256SUMS 2>/dev/null || fail "SHA256SUMS.asc does not verify"
echo "SHA256SUMS: OpenPGP signature verified"

# The archive unpacked elsewhere: exactly the files SHA256SUMS lists under it.
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$work/release/$stem.zip")
grep "  $stem/" SHA256SUMS >"$work/unpacked/SHA256SUMS"
(cd "$work/unpacked" && sha256sum -c --quiet SHA256SUMS) || fail "the archive against SHA256SUMS"
listed=$(wc -l <"$work/unpacked/SHA256SUMS")
unpacked=$(cd "$work/unpacked" && find "$stem" -type f | wc -l)
[ "$listed" = "$unpacked" ] || fail "the archive holds $unpacked files, SHA256SUMS lists $listed"
for arch in x86 x64; do
  [ "$(ls "$src/dist/$arch")" = "$(ls "$work/unpacked/$stem/$arch")" ] ||
    fail "$arch/ in the archive is not what dist/$arch holds"
done
echo "archive unpacked: $unpacked files, as SHA256SUMS lists them"

# Three days on, the certificate has expired: a time-stamped signature still
# holds, one without a time stamp fails for that reason (and holds today).
later=$(($(date +%s) + 3 * 86400))
verify() { osslsigncode verify -CAfile "$work/keys/signing.pem" -TSA-CAfile "$work/keys/tsa.pem" "$@"; }
cd "$work/unpacked/$stem"
pe_files=(x86/*.exe x86/*.dll x64/*.exe x64/*.dll)
for file in "${pe_files[@]}"; do
  verify -time "$later" -in "$file" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; fail "time-stamped signature of $file"; }
  (cd "$work/untimed/$stem" && verify -in "$file" >/dev/null 2>&1) || fail "untimed $file today"
  ! (cd "$work/untimed/$stem" && verify -time "$later" -in "$file" >"$work/verify.log" 2>&1) &&
    grep -q 'certificate has expired' "$work/verify.log" || fail "untimed $file after expiry"
done
echo "signatures verified after expiry: ${#pe_files[@]} time-stamped; untimed ones fail"
cp "${pe_files[0]}" "$work/tampered"
printf 'X' | dd of="$work/tampered" bs=1 seek=1024 conv=notrunc 2>/dev/null
! verify -in "$work/tampered" >"$work/verify.log" 2>&1 && grep -q 'MISMATCH' "$work/verify.log" ||
  fail "a changed byte did not fail as a digest mismatch"

# The bill of materials: valid CycloneDX 1.6, every file of the archive but
# itself with its hash.
[ -d "$src/testing/release/sbom/node_modules/@cyclonedx" ] ||
  fail "the CycloneDX validator is not installed: run scripts/bootstrap"
node "$src/testing/release/sbom/validate.js" "$stem.cdx.json" ||
  fail "$stem.cdx.json is not valid CycloneDX 1.6"
python3 - "$stem.cdx.json" <<'EOF' || fail "the bill of materials does not hash the archive's files"
import hashlib, json, os, sys
bom = json.load(open(sys.argv[1]))
files = {c["name"]: c["hashes"][0]["content"] for c in bom["components"] if c["type"] == "file"}
here = {os.path.relpath(os.path.join(d, f)) for d, _, names in os.walk(".") for f in names}
assert set(files) == here - {sys.argv[1]}, set(files) ^ (here - {sys.argv[1]})
for name, digest in files.items():
    assert hashlib.sha256(open(name, "rb").read()).hexdigest() == digest, name
EOF
echo "bill of materials: valid, every hash matches"

commit=$(git -C "$src" rev-parse --verify -q HEAD 2>/dev/null || echo unknown)
grep -q "^Source commit: $commit" RELEASE.txt || fail "RELEASE.txt does not name commit $commit"
grep -q "^Signed: .*, time-stamped" RELEASE.txt || fail "RELEASE.txt does not say time-stamped"
grep -q "^Signed: .*, without a time stamp" "$work/untimed/$stem/RELEASE.txt" ||
  fail "the untimed RELEASE.txt does not say so"

for file in SHA256SUMS "$stem.zip" "$stem-signatures.zip"; do
  cmp -s "$work/release/$file" "$work/rebuilt/$file" ||
    fail "the unsigned build with the detached signatures differs in $file"
done
echo "the unsigned build with the detached signatures attached: the released bytes"

# Refused: a signature attached to another file than its own, and signing
# without a time-stamping service unless asked for.
mkdir "$work/swapped" && cd "$work/swapped" && cmake -E tar xf "$work/release/$stem-signatures.zip"
cp "$stem-signatures/x64/svchalt.exe.sig" "$stem-signatures/x64/svcredesc.exe.sig"
find "$stem-signatures" -type f | LC_ALL=C sort | zip -q -X -D -@ swapped.zip
! "$src/scripts/release" "${flags[@]}" --signatures swapped.zip --out "$work/refused" 2>"$work/release.log" &&
  grep -q 'is not of this build' "$work/release.log" || fail "a signature of another file was attached"
cd "$work/keys"
! WT_SIGN_PKCS11_KEY=$key WT_SIGN_PKCS11_MODULE=$module WT_SIGN_CERTS=signing.pem \
  "$src/scripts/release" "${flags[@]}" --out "$work/refused2" 2>"$work/release.log" &&
  grep -q 'needs a time-stamping service' "$work/release.log" || fail "signed without a time stamp"
echo "refused: a signature of another file, signing without a time-stamping service"
