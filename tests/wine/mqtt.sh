#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Windows program's records reaching a real broker (Debian's mosquitto) under Wine: the packed
# vexlor.exe flashes the Linux handset simulator behind a Wine COM port, as in e2e.sh.
# 1. A download with --publish mqtt://: its record arrives once, on factory/<station>/COM23, the
#    record --history shows.
# 2. A record that waits, sent by --publish-pending: a broker that is not there is told with the
#    system's reason; over mqtts:// with --publish-ca, a CA that did not sign the broker's
#    certificate is refused (exit 11, the record still waits), the right one sends it.
# 3. mqtts:// without --publish-ca trusts Windows' ROOT store: refused while the broker's CA is not
#    in it, and for a host its certificate does not name once it is; sent to the host it names.
# Needs build/ (Linux: simulator, packer) and build-win/ (scripts/build-windows.sh).
#   tests/wine/mqtt.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/wine/programs.sh
export WINEPREFIX=$PWD/build-win/wine WINEDEBUG=-all
work=$(mktemp -d)
sim_pid="" broker_pid="" sub_pid="" root_key=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  [ -n "$sub_pid" ] && kill "$sub_pid" 2>/dev/null || true
  [ -n "$broker_pid" ] && kill "$broker_pid" 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/com23"
  # The throw-away CA must not stay trusted in the prefix the other tests use.
  [ -z "$root_key" ] || "$wine" reg delete "$root_key" /f >/dev/null 2>&1 || true
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "wine-mqtt: $*" >&2; exit 1; }
command -v mosquitto_sub >/dev/null && [ -x /usr/sbin/mosquitto ] || fail "needs mosquitto and mosquitto-clients"

"$wineserver" -k >/dev/null 2>&1 && "$wineserver" -w || true
"$wineserver" -p </dev/null >/dev/null 2>&1

# The broker: a plain listener and a TLS one, its certificate for localhost (no IP entry) signed
# by a throw-away CA; a second CA signed nothing here.
cd "$work"
key=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
{
  openssl req -x509 "${key[@]}" -keyout ca.key -out ca.crt -days 2 -subj '/CN=Vexlor test CA'
  openssl req -x509 "${key[@]}" -keyout other-ca.key -out other-ca.crt -days 2 -subj '/CN=Another CA'
  openssl req -new "${key[@]}" -keyout server.key -out server.csr -subj '/CN=localhost'
  printf 'subjectAltName=DNS:localhost\n' > server.ext
  openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -extfile server.ext -out server.crt
} > openssl.log 2>&1 || fail "openssl: $(cat openssl.log)"
cd - >/dev/null
# Three free ports: the broker's two, and one where nothing listens.
free_ports=$(python3 -c 'import socket
held = [socket.socket() for _ in range(3)]
for s in held: s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in held))')
read -r plain tls nobody <<<"$free_ports"
cat > "$work/mosquitto.conf" <<CONF
# As whoever runs the test: the broker would drop root for a user who cannot read these files.
user root
allow_anonymous true
log_dest file $work/broker.log
listener $plain 127.0.0.1
listener $tls 127.0.0.1
cafile $work/ca.crt
certfile $work/server.crt
keyfile $work/server.key
CONF
/usr/sbin/mosquitto -c "$work/mosquitto.conf" > "$work/broker.out" 2>&1 &
broker_pid=$!
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$plain") 2>/dev/null && (exec 3<>"/dev/tcp/127.0.0.1/$tls") 2>/dev/null; }
for _ in $(seq 100); do
  listening && break
  kill -0 "$broker_pid" 2>/dev/null || fail "the broker ended: $(cat "$work/broker.out" "$work/broker.log")"
  sleep 0.05
done
listening || fail "the broker does not listen: $(cat "$work/broker.log")"
# The factory's receiver, from before the first record on. A marker published after each step
# closes what the step sent: a record that came twice would stand before it.
mosquitto_sub -h 127.0.0.1 -p "$plain" -q 1 -t 'factory/#' -v > "$work/messages" 2>"$work/sub.err" &
sub_pid=$!
marks=0
mark() {  # publishes the next marker and waits until the receiver has it (the first, until it listens)
  marks=$((marks + 1))
  local try
  for try in $(seq 400); do
    if [ "$try" -eq 1 ] || { [ $marks -eq 1 ] && [ $((try % 10)) -eq 0 ]; }; then
      mosquitto_pub -h 127.0.0.1 -p "$plain" -q 1 -t factory/marker -m "$marks" || fail "cannot publish to the broker"
    fi
    grep -qx "factory/marker $marks" "$work/messages" && return 0
    kill -0 "$sub_pid" 2>/dev/null || fail "the receiver ended: $(cat "$work/sub.err")"
    sleep 0.05
  done
  fail "the receiver never got marker $marks"
}
received() {  # the messages since the last marker, as "topic payload" lines, into $work/got
  mark
  awk -v from="factory/marker $((marks - 1))" -v to="factory/marker $marks" \
    '$0 == to { exit } on && $0 !~ /^factory\/marker / { print } $0 == from { on = 1 }' "$work/messages" > "$work/got"
}
mark

# The tool, packed with a small load, and the handset behind COM23 in the port map.
head -c 40000 /dev/urandom > "$work/load.bin"
"$linux/vexlor-pack" --program "$windows/vexlor.exe" --load "$work/load.bin" --version VX12.01 \
  --out "$work/vexlor.exe" >/dev/null
cp "$windows"/Vexlor*.dll "$work/"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"\\\\Device\\\\VexlorSim"="COM23"\n' \
  > "$work/settings.reg"
export VEXLOR_TIME_SCALE=0.2
records="Z:$work/records.db"
run_tool() {  # exit status of vexlor.exe --cli --records STORE ARGS; its output in $work/out, errors in $work/err
  local status=0
  VEXLOR_REGISTRY=$work/settings.reg "$wine" "$work/vexlor.exe" --cli --records "$records" "$@" \
    > "$work/out.raw" 2>"$work/err.raw" || status=$?
  tr -d '\r' < "$work/out.raw" > "$work/out"
  tr -d '\r' < "$work/err.raw" > "$work/err"
  return $status
}
flash() {  # ESN [ARGS]: one download to a handset with that ESN
  local esn=$1 status=0
  shift
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
  rm -f "$work/sim.out"
  "$linux/vexlor-handset-sim" --mode diag --esn "$esn" > "$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
  ln -sfn "$(head -n 1 "$work/sim.out")" "$WINEPREFIX/dosdevices/com23"
  run_tool --port COM23 "$@" || status=$?
  [ $status -eq 0 ] || fail "download of $esn: exit $status: $(cat "$work/out" "$work/err")"
}
arrived_once() {  # WHAT: the one message since the last marker is the newest record, on its topic
  local got id station
  received
  got=$(cat "$work/got")
  run_tool --history --json || fail "--history: exit $?: $(cat "$work/err")"
  read -r id station < <(python3 -c 'import json, sys
record = json.loads(sys.stdin.readline())
print(record["record_id"], record["station"])' < "$work/out")
  [ -n "$got" ] && [ "$(wc -l <<<"$got")" -eq 1 ] || fail "$1: not one message: $got"
  [ "${got%% *}" = "factory/$station/COM23" ] || fail "$1: the topic: ${got%% *} (station $station)"
  [ "$(python3 -c 'import json, sys; print(json.loads(sys.argv[1])["record_id"])' "${got#* }")" = "$id" ] ||
    fail "$1: the message is not record $id: $got"
}
waiting_kept() {  # WHAT: the secure connection's failure told, one record still waiting, nothing sent
  grep -q 'The secure connection to .* failed' "$work/err" || fail "$1: the failure is not told: $(cat "$work/err")"
  grep -q '1 records wait in the store' "$work/err" || fail "$1: the record is not kept: $(cat "$work/err")"
  received
  [ ! -s "$work/got" ] || fail "$1: a message reached the broker: $(cat "$work/got")"
}

# 1. Published as the run ends.
flash 8F2A10C1 --publish "mqtt://127.0.0.1:$plain/factory"
arrived_once "--publish mqtt://"
echo "wine-mqtt: a download's record reached the broker once, on its station's and port's topic"

# 2. --publish-pending: a broker that is not there is told in the system's words; then over TLS
# with --publish-ca.
tls_url=mqtts://localhost:$tls/factory
flash 8F2A10C2
status=0; run_tool --publish-pending --publish "mqtt://127.0.0.1:$nobody/factory" || status=$?
[ $status -eq 11 ] || fail "no broker: exit $status: $(cat "$work/out" "$work/err")"
grep -q "The broker mqtt://127.0.0.1:$nobody/factory cannot be reached: [A-Z]" "$work/err" &&
  ! grep -q 'Unknown error\|: error [0-9]' "$work/err" || fail "no broker: the reason is not told: $(cat "$work/err")"
grep -q '1 records wait in the store' "$work/err" || fail "no broker: the record is not kept: $(cat "$work/err")"
status=0; run_tool --publish-pending --publish "$tls_url" --publish-ca "Z:$work/other-ca.crt" || status=$?
[ $status -eq 11 ] || fail "a wrong CA: exit $status: $(cat "$work/out" "$work/err")"
waiting_kept "a wrong CA"
run_tool --publish-pending --publish "$tls_url" --publish-ca "Z:$work/ca.crt" ||
  fail "the right CA: exit $?: $(cat "$work/out" "$work/err")"
grep -qxF "1 records sent to $tls_url." "$work/out" || fail "the right CA: $(cat "$work/out")"
arrived_once "--publish-pending over mqtts:// with --publish-ca"
echo "wine-mqtt: over TLS a wrong CA keeps the record waiting (exit 11); the right one sends it once"

# 3. Windows' ROOT store: the broker's CA is not in it yet.
flash 8F2A10C3
status=0; run_tool --publish-pending --publish "$tls_url" || status=$?
[ $status -eq 11 ] || fail "a CA the system does not trust: exit $status: $(cat "$work/out" "$work/err")"
waiting_kept "a CA the system does not trust"
# The CA put into the machine's ROOT store as Windows keeps it: under its SHA-1 thumbprint, the
# certificate (property 32) in the store's serialized form.
thumbprint=$(openssl x509 -in "$work/ca.crt" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
root_key="HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$thumbprint"
openssl x509 -in "$work/ca.crt" -outform DER -out "$work/ca.der"
python3 - "$work/ca.der" "$root_key" > "$work/root.reg" <<'REG'
import struct, sys
der = open(sys.argv[1], "rb").read()
blob = struct.pack("<III", 32, 1, len(der)) + der
print("Windows Registry Editor Version 5.00\n")
print(f"[{sys.argv[2].replace('HKLM', 'HKEY_LOCAL_MACHINE', 1)}]")
print('"Blob"=hex:' + ",".join(f"{b:02x}" for b in blob))
REG
"$wine" reg import "$work/root.reg" >/dev/null 2>&1 || fail "cannot put the CA into the ROOT store"
status=0; run_tool --publish-pending --publish "mqtts://127.0.0.1:$tls/factory" || status=$?
[ $status -eq 11 ] || fail "a host the certificate does not name: exit $status: $(cat "$work/out" "$work/err")"
waiting_kept "a host the certificate does not name"
run_tool --publish-pending --publish "$tls_url" || fail "the system's CAs: exit $?: $(cat "$work/out" "$work/err")"
grep -qxF "1 records sent to $tls_url." "$work/out" || fail "the system's CAs: $(cat "$work/out")"
arrived_once "--publish-pending over mqtts:// with Windows' ROOT store"
echo "wine-mqtt: without --publish-ca Windows' ROOT store is trusted, and the host must be the certificate's"
