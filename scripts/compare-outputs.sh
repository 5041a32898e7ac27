#!/usr/bin/env bash
# Runs the same lmwire commands through two builds and reports every command whose standard
# output or exit status differs. Usage: compare-outputs.sh OLD_LMWIRE NEW_LMWIRE
# Each line of COMMANDS below is one shell command, run with $L set to the binary under test, in a
# fresh directory of its own per binary. Exit 0 when every command agrees, 1 otherwise.
set -u
if [ $# -ne 2 ]; then
    echo "usage: $0 OLD_LMWIRE NEW_LMWIRE" >&2
    exit 2
fi
OLD=$(realpath "$1")
NEW=$(realpath "$2")
WORK=$(mktemp -d)
[ -n "${KEEP:-}" ] || trap 'rm -rf "$WORK"' EXIT

COMMANDS=$(cat <<'EOF'
$L decode logon-response <<< "05000000 8d230000"
$L decode logon-response --json <<< "05000000 8d230000"
$L decode logon-response <<< "05000000 8d2300"
$L decode logon-response <<< "05000000 8d230000 00"
$L encode logon-response ErrorCode=5 Port=9101
$L encode logon-response ErrorCode=-2147483648 Port=2147483647
$L encode logon-response ErrorCode=2147483648
$L encode logon-response Port=1.5
$L encode logon-response Port=1e21
$L encode logon-response Nope=1
$L encode logon-response Port=1 Port=2
$L encode logon-response --binary Port=7 | od -An -tx1
for k in logon-response udp-logon tcp-logon-reconnect price-protocol hole-punch-delay start-log-file-send price-subscription account-data account-contract price-record; do $L encode $k | $L decode $k; $L encode $k | $L decode $k --json; done
for k in logon-response udp-logon tcp-logon-reconnect price-protocol hole-punch-delay start-log-file-send price-subscription; do $L encode $k --binary | $L decode $k --binary --json; head -c 1000 /dev/zero | tr '\0' '\377' | $L decode $k --binary --json; done
$L encode udp-logon PacketType=3 GateKeeperSessionID=sessiøn-42 | tee h.txt | $L decode udp-logon --json
$L encode udp-logon GateKeeperSessionID=0123456789012345678901234567890
$L encode udp-logon GateKeeperSessionID=01234567890123456789012345678901
$L encode udp-logon GateKeeperSessionID=€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ | $L decode udp-logon
$L encode udp-logon GateKeeperSessionID=snow☃man
$L encode udp-logon "GateKeeperSessionID=$(printf 'a\x80b')"
$L encode tcp-logon-reconnect ApiName=lmwire ApiVersion=1.2 UserID=jörg GateKeeperSessionID=abc PriceProtocol=2 PriceLevel=1 SessionType=3 AccountNumber=77 | $L decode tcp-logon-reconnect --json
$L encode tcp-logon-reconnect ApiName=lmwire ApiVersion=1.2 UserID=jörg GateKeeperSessionID=abc PriceProtocol=2 PriceLevel=1 SessionType=3 AccountNumber=77 | $L decode tcp-logon-reconnect
$L encode price-protocol PriceProtocol=-1 | $L decode price-protocol --json
$L encode hole-punch-delay Delay=250 | $L decode hole-punch-delay
$L encode start-log-file-send AccountNumber=12 FileSize=4096 UserID=me LogFile=C:\\logs\\a.log | $L decode start-log-file-send --json
$L encode price-subscription First=1 Second=-2 Text=ES.Z25 | $L decode price-subscription --json
$L encode price-subscription Text=$(printf 'x%.0s' $(seq 1 300))
$L synth prices 5 r.bin && for k in logon-response udp-logon tcp-logon-reconnect price-protocol hole-punch-delay start-log-file-send price-subscription; do head -c 424 r.bin | tr '\000' x | $L decode $k --binary; head -c 1000 r.bin | $L decode $k --binary --json; done
printf '\x00\x00\x00\x00\xff\xfe\x80\x81\x8d\x8f\x90\x9d\xe9\x00%.0s' $(seq 1 60) | head -c 36 | $L decode udp-logon --binary --json
printf 'AB%.0s' $(seq 1 300) | head -c 424 | $L decode tcp-logon-reconnect --binary
printf 'AB%.0s' $(seq 1 300) | head -c 424 | $L decode tcp-logon-reconnect --binary --json
$L encode account-data Account=42 AccountInfo=1:2500.5,3:-12,2:0.125 | $L decode account-data
$L encode account-data Account=42 AccountInfo=1:2500.5,3:-12,2:0.125 | $L decode account-data --json
$L encode account-data Account=42 'AccountInfo=[{"Kind":7,"Value":1e300},{"Kind":-3}]' | $L decode account-data --json
$L encode account-data AccountInfo=1:1,1:2
$L encode account-data AccountInfo=1:1,2
$L encode account-data 'AccountInfo=[{"Kind":1,"Other":2}]'
$L encode account-data NumEntries=3
$L decode account-data <<< "2a000000 02000000 01000000 00000000 0000f03f 01000000 00000000 00000040"
$L decode account-data --json <<< "2a000000 02000000 03000000 00000000 0000f03f 01000000 00000000 00000040"
$L decode account-data <<< "2a000000 ffffffff"
$L decode account-data <<< "2a000000 02000000 01000000"
$L decode account-data <<< "2a0000"
$L encode account-contract MaxLotSize=5 PositionLimit=10 Position=-3 Pnl=-1234.5 PnlInTicks=-99 OvernightPosition=2 PreviousClose=4400 PreviousSettle=4401 OpenPrice=4399 Month=12 Year=2025 ExchangeID=-7 contractType=2 priceFormatCode=14 ContractID=123456 TickValue=12.5 Currency=3 Symbol=ESZ5 'Name=Émini S&P' | tee h.txt | $L decode account-contract --json
$L encode account-contract Symbol=ES Name=Émini Month=32767 Year=-32768 | $L decode account-contract
$L encode account-contract Month=32768
$L encode account-contract Symbol=$(printf 'y%.0s' $(seq 1 500)) | $L decode account-contract --json
$L encode account-contract --binary Symbol=A Name=B | $L decode account-contract --binary --json
$L encode account-contract Symbol=A Name=B | sed 's/$/ 00/' | $L decode account-contract
$L decode account-contract <<< "00"
head -c 110 /dev/zero | $L decode account-contract --binary --json
head -c 109 /dev/zero | $L decode account-contract --binary --json
(head -c 108 /dev/zero; printf 'AB') | $L decode account-contract --binary --json
(head -c 108 /dev/zero; printf 'A\0B') | $L decode account-contract --binary --json
($L synth prices 2 - | head -c 108 | tr '\0' 'x'; printf '\x80\x81\x8d\x9f\xff\0\xe9t\xe9\0') | $L decode account-contract --binary --json
($L synth prices 2 - | head -c 108 | tr '\0' 'x'; printf 'S\0N\0') > ac.bin; $L decode account-contract --binary --json ac.bin | $L encode account-contract --from-jsonl - - 2>&1; echo
$L encode price-record PriceType=1 PriceFormatCode=14 LastSize=3 LumeraID=7 LastPrice=1234 TotalVolume=99 TimeStamp=1764000000 High=1240 Low=1200 Bids=1233:10,1232:25 Asks=1235:4 | tee h.txt | $L decode price-record
$L encode price-record PriceFormatCode=14 LastPrice=1234 Bids=1233:10,1232:25 Asks=1235:4 | $L decode price-record --json
$L encode price-record PriceFormatCode=14 LastPrice=1234 Bids=1233:10,1232:25 Asks=1235:4 | $L decode price-record --csv
$L encode price-record PriceFormatCode=14 LastPrice=1234 Bids=1233:10,1232:25 Asks=1235:4 | $L decode price-record --csv --time-unit ms
$L encode price-record LastPrice=1234 'Bids=[{"Price":1200,"Size":1}]'
$L encode price-record LastPrice=1234 Bids=1100:1 Asks=1300:1
$L encode price-record LastPrice=1234 Bids=1233:1,1232:1,1000:1 Asks=1235:1,2000:1
$L encode price-record LastPrice=1234 Asks=1235:1,1236:1,1237:1,1238:1,1239:1,1240:1,1241:1,1242:1,1243:1,1244:1,1245:1
$L encode price-record LastPrice=1234 Bids=1233:65536
$L encode price-record LastPrice=1234 'Bids=[{"Price":1233,"Size":1,"Extra":1}]'
$L encode price-record LastPrice=-2147483648 Bids=2147483647:1 | $L decode price-record --json
$L encode price-record PriceType=256
$L encode price-record LastPriceText=1
$L encode price-record Bids=1:2:3
$L encode price-record Bids=x
$L decode price-record <<< "00"
$L synth prices 300 p.bin && od -An -tx1 p.bin | md5sum
$L synth prices 300 p.bin && $L decode price-record --binary p.bin
$L synth prices 300 p.bin && $L decode price-record --binary --json p.bin
$L synth prices 300 p.bin && $L decode price-record --binary --csv p.bin
$L synth prices 300 p.bin && $L decode price-record --binary --csv --time-unit s p.bin
$L synth prices 300 p.bin && $L decode price-record --binary --json --time-unit us p.bin
$L synth prices 300 p.bin && od -An -tx1 p.bin | $L decode price-record --json
$L synth prices 300 p.bin && $L decode price-record --binary --json p.bin > p.jsonl && $L encode price-record --from-jsonl p.jsonl out.bin && cmp p.bin out.bin && echo same
$L synth prices 300 p.bin && $L decode price-record --binary --csv --time-unit ms p.bin > p.csv && $L encode price-record --from-csv p.csv out.bin && cmp p.bin out.bin && echo same
$L synth prices 300 p.bin && $L decode price-record --binary --csv p.bin | sed '2s/,[0-9]*,/,99999999999,/' | $L encode price-record --from-csv - -
$L synth prices 300 p.bin && $L decode price-record --binary --csv p.bin | sed '1s/bid_size_3/bid_sizes_3/' | $L encode price-record --from-csv - -
$L synth prices 300 p.bin && $L decode price-record --binary --json p.bin | sed '3s/"Size":/"Sise":/' | $L encode price-record --from-jsonl - -
$L synth prices 300 p.bin && $L decode price-record --binary --json p.bin | sed '3s/"LumeraID":[0-9]*,//' | $L encode price-record --from-jsonl - -
$L synth prices 20 p.bin && $L decode price-record --binary --json p.bin | sed '3s/"Asks":\[/"Asks":[{"Price":1,"Size":1},/' | $L encode price-record --from-jsonl - - | od -An -tx1
$L synth prices 20 p.bin && (cat p.bin; head -c 40 /dev/zero) | $L decode price-record --binary --partial
$L synth prices 20 p.bin && (cat p.bin; head -c 40 /dev/zero) | $L decode price-record --binary
$L synth prices 1000 --pcap c.pcap && od -An -tx1 c.pcap | md5sum
$L synth prices 1000 --pcap c.pcap && $L decode price-record --pcap c.pcap
$L synth prices 1000 --pcap c.pcap && $L decode price-record --pcap c.pcap --json --jobs 2
$L synth prices 1000 --pcap c.pcap && $L decode price-record --pcap c.pcap --csv --time-unit s
$L synth prices 1000 --pcap c.pcap && $L decode price-record --pcap c.pcap --csv --port 9 --port 7
$L synth prices 500 --pcap c6.pcap --source [::1]:5000 --destination [::1]:6000 && $L decode price-record --pcap c6.pcap --json
$L synth prices 400 --pcap c.pcap && editcap -F pcapng c.pcap c.pcapng && $L decode price-record --pcap c.pcapng --csv --time-unit ns
$L synth prices 400 --pcap c.pcap && editcap -T rawip c.pcap r.pcap 2>/dev/null; $L decode price-record --pcap r.pcap --json
$L synth prices 400 --pcap c.pcap && head -c 20000 c.pcap > cut.pcap && $L decode price-record --pcap cut.pcap
$L price 14 1234 -1234 0 2147483647 -2147483648
$L price 14 1234 -1234 --original-display
$L price 63 1
$L ticks 9 9.205 9.209
$L ticks 6 --as-decimal 38.18 -- -inf
$L formats
$L formats --original-display
$L demo --today 2025-11-24 | sed -e 's/127\.0\.0\.1:[0-9]*/127.0.0.1:PORT/' -e '/^demo finished in/d'
$L decode nope
$L encode nope
$L encode
EOF
)

differences=0
count=0
while IFS= read -r command; do
    [ -z "$command" ] && continue
    count=$((count + 1))
    for side in old new; do
        dir="$WORK/$side/$count"
        mkdir -p "$dir"
        binary=$OLD
        [ "$side" = new ] && binary=$NEW
        (cd "$dir" && L=$binary bash -c "$command" >"$dir.out" 2>"$dir.err"
         echo "exit $?" >>"$dir.out"
         cat h.txt >>"$dir.out" 2>/dev/null)
    done
    if ! cmp -s "$WORK/old/$count.out" "$WORK/new/$count.out"; then
        differences=$((differences + 1))
        echo "DIFFERS: $command"
        diff "$WORK/old/$count.out" "$WORK/new/$count.out" | head -n 10
    elif ! cmp -s "$WORK/old/$count.err" "$WORK/new/$count.err"; then
        echo "note, only the messages differ: $command"
        diff "$WORK/old/$count.err" "$WORK/new/$count.err" | head -n 6
    fi
done <<<"$COMMANDS"

echo "$count commands, $differences differ${KEEP:+ (kept in $WORK)}"
[ "$differences" -eq 0 ]
