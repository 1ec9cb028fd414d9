#!/usr/bin/env bash
# /metrics behind TLS and a password from a web configuration file: a throwaway CA made
# here with openssl, then curl against 127.0.0.1: 401 without or with wrong credentials, 200
# with right ones, an old TLS version and a missing client certificate refused, a rotated
# certificate served on the next connection, a broken re-read that keeps the previous
# configuration, a silent TLS peer closed by the head time-out, a wrong-password flood
# answered with 429, and bad files refused at start with exit 2. Usage: $0 BUILD_DIR
set -u

build=${1:?usage: $0 BUILD_DIR}
cli=$(cd "$build" 2>/dev/null && pwd)/src/cli/statlume-cli
for tool in openssl curl htpasswd python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed: test skipped"
        echo "0 passed, 0 failed, 1 skipped"
        exit 0
    fi
done
if [[ ! -x $cli ]]; then
    echo "missing $cli"
    echo "0 passed, 1 failed"
    exit 1
fi

work=$(mktemp -d /tmp/statlume-metrics-tls.XXXXXX)
pid=
cleanup() {
    [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
cd "$work" || exit 1
mkdir -p config runtime && chmod 700 runtime
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime

passed=0 failed=0
check() { # NAME COMMAND...: passes when the command succeeds
    local name=$1
    shift
    if "$@"; then
        echo "ok   $name"
        passed=$((passed + 1))
    else
        echo "FAIL $name"
        failed=$((failed + 1))
    fi
}

# The CA, a server certificate for 127.0.0.1, a second one to rotate to, a client one.
quiet() { "$@" >/dev/null 2>&1; }
quiet openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
    -subj /CN=statlume-test-ca -keyout ca.key -out ca.crt
issue() { # NAME CN SAN [EXT]
    quiet openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj "/CN=$2" \
        -keyout "$1.key" -out "$1.csr"
    printf 'subjectAltName=%s\n%s\n' "$3" "${4:-}" > "$1.ext"
    quiet openssl x509 -req -in "$1.csr" -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 \
        -extfile "$1.ext" -out "$1.crt"
}
issue server first-server IP:127.0.0.1
issue rotated rotated-server IP:127.0.0.1
issue client scraper DNS:scraper.example extendedKeyUsage=clientAuth
issue stranger stranger DNS:stranger.example extendedKeyUsage=clientAuth
cp server.crt live.crt && cp server.key live.key
# The lowest cost, so the flood below outruns 4 checks a second however busy the machine.
hash=$(htpasswd -nbBC 4 "" 'right horse' | tr -d ':\n')

web() { # EXTRA-TLS-LINES [USER]: writes web.yml
    cat > web.yml.new <<YML
tls_server_config:
  cert_file: live.crt
  key_file: live.key
$1
basic_auth_users:
  ${2:-prometheus}: $hash
http_server_config:
  headers:
    X-Content-Type-Options: nosniff
YML
    mv web.yml.new web.yml
}
web "  min_version: TLS12"

port=$(python3 "$(dirname "$0")/free_port.py")
url=https://127.0.0.1:$port/metrics
"$cli" --metrics=127.0.0.1:$port --metrics-web-config=web.yml --interval 1000 2> cli.err &
pid=$!
# Listening comes first; the figures follow once the rates have their second sample.
for _ in $(seq 50); do
    curl -s --cacert ca.crt -u 'prometheus:right horse' "$url" | grep -q '^statlume_up 1' && break
    sleep 0.1
done

status() { # CURL-ARGS...: prints the HTTP status, 000 when no reply came
    curl -s -o /dev/null -w '%{http_code}' --max-time 5 --cacert ca.crt "$@" "$url"
}
is() { [[ $1 == "$2" ]]; }
good=(-u 'prometheus:right horse')

check "no credentials: 401" is "$(status)" 401
check "401 asks for Basic" bash -c "curl -s -D - -o /dev/null --cacert ca.crt '$url' | grep -qi '^WWW-Authenticate: Basic'"
check "right credentials: 200" is "$(status "${good[@]}")" 200
check "the figures come over TLS" bash -c "curl -s --cacert ca.crt -u 'prometheus:right horse' '$url' | grep -q '^statlume_up 1'"
check "extra header served" bash -c "curl -s -D - -o /dev/null --cacert ca.crt -u 'prometheus:right horse' '$url' | grep -qi '^X-Content-Type-Options: nosniff'"
check "wrong password: 401" is "$(status -u 'prometheus:wrong horse')" 401
check "unknown user: 401" is "$(status -u 'nobody:right horse')" 401
check "plain HTTP gets no figures" bash -c "! curl -s --max-time 3 'http://127.0.0.1:$port/metrics' | grep -q statlume_up"
check "TLS 1.1 refused under min_version TLS12" is "$(status "${good[@]}" --tlsv1.1 --tls-max 1.1)" 000

# A wrong-password flood from one address: past 4 checks a second, 429.
urls=()
for _ in $(seq 20); do urls+=("$url"); done
flood=$(curl -s -o /dev/null -w '%{http_code}\n' --max-time 10 --cacert ca.crt \
    -u "prometheus:guess$RANDOM" "${urls[@]}" | sort | uniq -c | tr '\n' ' ')
check "a wrong-password flood gets 429 ($flood)" bash -c "[[ '$flood' == *429* ]]"
check "the right password still passes after a flood" is "$(status "${good[@]}")" 200

# One kept-alive TLS connection across re-reads: a removed user is refused on it at once, a
# changed TLS setting closes it, and HTTP/1.0 keep-alive is answered as such.
export -f web
export hash
check "a kept connection follows re-reads of the configuration" python3 - "$port" <<'PY'
import base64, socket, ssl, subprocess, sys, time
port = int(sys.argv[1])
context = ssl.create_default_context(cafile="ca.crt")
tls = context.wrap_socket(socket.create_connection(("127.0.0.1", port), timeout=5),
                          server_hostname="127.0.0.1")
token = base64.b64encode(b"prometheus:right horse").decode()
def ask(version="1.1", extra=""):
    """Status and head of one reply on the kept connection; "closed" when it was closed."""
    try:
        tls.sendall(f"GET /metrics HTTP/{version}\r\nAuthorization: Basic {token}\r\n{extra}\r\n".encode())
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = tls.recv(65536)
            if not chunk:
                return "closed", ""
            data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        length = int(next(l.split(b":")[1] for l in head.split(b"\r\n") if l.lower().startswith(b"content-length")))
        while len(body) < length:
            body += tls.recv(65536)
        return head[9:12].decode(), head.decode()
    except OSError:
        return "closed", ""
def reread(*web_args):
    subprocess.run(["bash", "-c", 'web "$@"', "web", *web_args], check=True)
    time.sleep(1.3)
status, head = ask("1.0", "Connection: keep-alive\r\n")
seen = [status + (" keep-alive" if "Connection: keep-alive" in head else ""), ask()[0]]
reread("  min_version: TLS12", "someone")
seen.append(ask()[0])
reread("  min_version: TLS12")
seen.append(ask()[0])
reread("  min_version: TLS13")
seen.append(ask()[0])
expected = ["200 keep-alive", "200", "401", "200", "closed"]
if seen != expected:
    print("seen:", seen, "expected:", expected)
sys.exit(0 if seen == expected else 1)
PY
web "  min_version: TLS12"

# A TLS peer that connects and never finishes the handshake is closed by the head time-out.
check "an unfinished handshake is closed within 3 s" python3 - "$port" <<'PY'
import socket, sys, time
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
s.sendall(b"\x16\x03\x01\x00\x80")  # the start of a ClientHello, never finished
s.settimeout(5)
start = time.monotonic()
try:
    closed = s.recv(1) == b""
except OSError:
    closed = True
sys.exit(0 if closed and time.monotonic() - start < 3 else 1)
PY

# Certificates rotate without a restart: the next connection after the check gets the new one.
cp rotated.crt live.crt && cp rotated.key live.key
sleep 1.3
check "a rotated certificate is served on the next connection" bash -c \
    "curl -sv --cacert ca.crt -u 'prometheus:right horse' -o /dev/null '$url' 2>&1 | grep -q 'CN=rotated-server'"

# A broken re-read keeps the previous configuration and says so once.
echo "tls_server_config: [broken" > web.yml
sleep 1.3
check "a broken re-read keeps serving" is "$(status "${good[@]}")" 200
check "a broken re-read is reported in one line" is "$(grep -c 'previous web configuration stays' cli.err)" 1

# Client certificates: required and verified, with allowed names.
web "  min_version: TLS13
  client_auth_type: RequireAndVerifyClientCert
  client_ca_file: ca.crt
  client_allowed_sans: [scraper.example]"
sleep 1.3
check "TLS 1.2 refused under min_version TLS13" is "$(status "${good[@]}" --cert client.crt --key client.key --tls-max 1.2)" 000
check "a missing client certificate is refused" is "$(status "${good[@]}")" 000
check "an allowed client certificate is served" is "$(status "${good[@]}" --cert client.crt --key client.key)" 200
check "a client certificate with another name is refused" is "$(status "${good[@]}" --cert stranger.crt --key stranger.key)" 000

kill "$pid"
wait "$pid" 2>/dev/null
pid=

# Bad files at start: one line and exit 2.
refused() { # NAME YAML: the file must be refused at start
    printf '%s\n' "$2" > bad.yml
    "$cli" --metrics=127.0.0.1:$port --metrics-web-config=bad.yml > /dev/null 2> bad.err
    local code=$?
    check "refused at start with exit 2: $1" bash -c "[[ $code == 2 && \$(wc -l < bad.err) == 1 ]]"
}
refused "an unknown key" "tls_server_config:
  cert_file: live.crt
  key_file: live.key
  cert_flie: typo.crt"
refused "a missing file" "tls_server_config:
  cert_file: nowhere.crt
  key_file: live.key"
refused "a key that is not the certificate's" "tls_server_config:
  cert_file: server.crt
  key_file: rotated.key"
refused "a hash that is not bcrypt" "basic_auth_users:
  prometheus: \$1\$abcdefgh\$0123456789012345678901"
refused "a header the exporter sets" "http_server_config:
  headers:
    Content-Type: text/html"
check "a missing configuration file is refused with exit 2" bash -c \
    "'$cli' --metrics=127.0.0.1:$port --metrics-web-config=none.yml >/dev/null 2>&1; [[ \$? == 2 ]]"

echo "$passed passed, $failed failed"
[[ $failed == 0 ]] || { cat cli.err; exit 1; }
