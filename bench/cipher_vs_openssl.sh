#!/usr/bin/env bash
# Compares our Blowfish chaining with OpenSSL's bf-cbc on the same machine in one run.
# Usage: bench/cipher_vs_openssl.sh [build-folder]   (default: build/bench)
# Figures are CPU-time based on both sides; MB/s means 10^6 bytes per second.
set -euo pipefail

build=${1:-build/bench}
bench="$build/bench/cipher_bench"
if [[ ! -x "$bench" ]]; then
    echo "no benchmark at $bench; build the cipher_bench target first" >&2
    exit 1
fi
if ! command -v openssl >/dev/null; then
    apt-get install -y openssl >/dev/null
fi

echo "Running OpenSSL (about 20 s)..."
# Last line: "bf-cbc  <16 B> <64 B> <256 B> <1024 B> <8192 B> <16384 B>", in 1000s of bytes/s.
openssl_line=$(openssl speed -provider legacy -provider default -evp bf-cbc 2>/dev/null |
    grep -i '^bf-cbc' | tail -n 1)
if [[ -z "$openssl_line" ]]; then
    echo "openssl speed gave no bf-cbc figures" >&2
    exit 1
fi
read -r _ _ _ ossl256 _ _ ossl16k <<<"$openssl_line"

echo "Running cipher_bench..."
csv=$("$bench" --benchmark_filter='BM_EncryptRecord|BM_EncryptBuffer' \
    --benchmark_format=csv --benchmark_min_time=1 2>/dev/null)
ours_record=$(awk -F, '/^"?BM_EncryptRecord/ {print $6}' <<<"$csv")
ours_buffer=$(awk -F, '/^"?BM_EncryptBuffer/ {print $6}' <<<"$csv")

awk -v o256="${ossl256%k}" -v o16k="${ossl16k%k}" -v r="$ours_record" -v b="$ours_buffer" 'BEGIN {
    oRec = o256 / 1000; oBuf = o16k / 1000; sRec = r / 1e6; sBuf = b / 1e6
    printf "\n%-34s %12s %12s %8s\n", "", "OpenSSL", "Statlume", "ratio"
    printf "%-34s %9.1f MB/s %7.1f MB/s %8.2f\n", "record (OpenSSL 256 B, ours 272 B)", oRec, sRec, sRec / oRec
    printf "%-34s %9.2f us %10.2f us\n", "  per 272-byte record", 272 / oRec, 272 / sRec
    printf "%-34s %9.1f MB/s %7.1f MB/s %8.2f\n", "bulk (OpenSSL 16 KiB, ours 1 MiB)", oBuf, sBuf, sBuf / oBuf
}'
