// lmwire: decode and encode wire records, convert prices, and run a demo of the object model.

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include "cli/Exit.h"
#include "commands/Commands.h"
#include "common/Errors.h"
#include "demo/Demo.h"
#include "live/Live.h"
#include "records/Kinds.h"

using namespace lmwire;

int main(int argc, char** argv) {
    CLI::App app{"lmwire: decode and encode LMWireTypes wire records, convert prices, run a demo"};
    app.set_version_flag("--version", fmt::format("lmwire {}", LMWIRE_VERSION));
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 success, 2 bad input or usage, 1 a failure that is not the "
        "input's (the output could not be written, an internal fault).");

    std::string code;
    std::vector<std::string> values;
    bool originalDisplay = false;
    auto* price = app.add_subcommand("price", "display text, decimal value and read-back of ticks");
    price->add_option("CODE", code, "price format code (1 to 62)")->required();
    price->add_option("TICKS", values, "tick prices")->required();
    price->add_flag("--original-display", originalDisplay,
                    "add a column of the original members' text, which writes a sign before "
                    "each part of a negative price (-1234 in code 14: \"-12.-34\")");
    price->footer(
        "display is the one-sign text that every lmwire output shows (-1234 in code 14:\n"
        "\"-12.34\"), which ticks reads back exactly. ticks from display is the original members'\n"
        "reading of it: the text read as a decimal number and truncated, so fractional formats do\n"
        "not read back.");
    price->callback([&] { RunPrice(code, values, originalDisplay); });

    bool asDecimal = false;
    auto* ticks = app.add_subcommand("ticks", "tick price of display texts (or decimal values)");
    ticks->add_option("CODE", code, "price format code (1 to 62)")->required();
    ticks->add_option("TEXT", values, "display texts (decimal values with --as-decimal)")
        ->required();
    ticks->add_flag("--as-decimal", asDecimal,
                    "read each text as a decimal number and truncate it to ticks");
    ticks->footer(
        "A text is read exactly: it must be a display text of the code, with one sign when\n"
        "negative, as price shows it (9.205 in code 9 is 1234 ticks; 9.209 is no price and is\n"
        "refused). Where prices share a text (codes 40, 41, 58) the one nearest zero is given.\n"
        "display of ticks is the one-sign text of the ticks found.\n"
        "--as-decimal reads the original way: the text as a decimal number times the ticks per\n"
        "unit, truncated toward zero (38.18 in code 6 is 1221 ticks); a value outside the ticks\n"
        "a record can carry (-2147483648 to 2147483647) is refused. Put -- before texts that\n"
        "could be taken for options (-inf).");
    ticks->callback([&] { RunTicks(code, values, asDecimal); });

    auto* formats = app.add_subcommand("formats", "the 62 price formats with sample displays");
    formats->add_flag("--original-display", originalDisplay,
                      "add a column of the original members' text of -1234 ticks, a sign before "
                      "each part (\"-12.-34\" in code 14)");
    formats->callback([&] { RunFormats(originalDisplay); });

    DecodeOptions decode;
    auto* decodeCommand =
        app.add_subcommand("decode", "print every field of a record given as hex or raw bytes");
    decodeCommand->add_option("KIND", decode.kind, "record kind (see below)")->required();
    decodeCommand->add_option("FILE", decode.file, "input file (default: standard input)");
    decodeCommand->add_flag("--binary", decode.binary, "input is raw bytes, not hex text");
    decodeCommand->add_flag("--json", decode.json, "one JSON object per record");
    decodeCommand->add_flag(
        "--csv", decode.csv,
        "price-record: CSV with a header line, depth as bid_price_0 ... "
        "ask_size_9, and the display texts of the last price, best bid and ask");
    decodeCommand->add_option("--time-unit", decode.timeUnit,
                              "price-record: add TimeStamp as ISO 8601 UTC, reading it as "
                              "seconds, milliseconds or microseconds since 1970 (s, ms, us)");
    if (CaptureAvailable()) {
        decodeCommand->add_option("--pcap", decode.pcap,
                                  "price-record: read FILE as a pcap or pcapng capture of UDP "
                                  "datagrams, whatever its first bytes say (- for standard input)");
        decodeCommand->add_option("--port", decode.ports,
                                  "price-record of a packet capture: take every datagram to this "
                                  "destination port (repeatable); without it, those whose length "
                                  "is a multiple of 86 and whose records have known format codes");
    }
    decodeCommand
        ->add_option("--jobs", decode.jobs,
                     "price-record: threads that format a capture file, in the file's "
                     "order (default: one per core)")
        ->check(CLI::Range(1u, 64u));
    if (CaptureAvailable()) {
        decodeCommand->add_option("--date-from", decode.dateFrom,
                                  "price-record of a dataset directory: its partitions from this "
                                  "date on, YYYY-MM-DD");
        decodeCommand->add_option("--date-to", decode.dateTo,
                                  "price-record of a dataset directory: its partitions up to this "
                                  "date, inclusive");
        decodeCommand->add_option("--lumera-id", decode.lumeraIds,
                                  "price-record of a dataset directory: its partitions of this "
                                  "LumeraID (repeatable)");
    }
    decodeCommand->add_flag("--partial", decode.partial,
                            "price-record: decode the whole records of a capture cut short and "
                            "report the bytes left over (exit 0)");
    decodeCommand->footer(fmt::format(
        "{}{}\nprice-record also takes a capture: many records back to back, one output line "
        "each,\ndecoded as they are read (any length, from a file or a pipe).{}\nA fixed-size "
        "kind reads at most one byte more than its size; account-data and\naccount-contract take "
        "at most {} bytes (1 MiB).",
        KindsHelp(false),
        CaptureAvailable() ? ""
                           : "\nThis lmwire was built without the capture component: pcap, "
                             "pcapng and compressed\ninput are not read.\n",
        CaptureAvailable()
            ? "\nWithout --binary or --pcap, the first bytes say what it is: zstd or gzip are\n"
              "decompressed; a pcap or pcapng is read as a packet capture; hex digits and white\n"
              "space as hex; anything else (and anything decompressed) as raw records. A dataset\n"
              "directory (written by split) is read as one capture, in date, LumeraID and part\n"
              "order; --date-from, --date-to and --lumera-id leave out whole partitions."
            : "",
        kMaxVariableSize));
    decodeCommand->callback([&] { RunDecode(decode); });

    std::string kind;
    bool binary = false;
    auto* encode =
        app.add_subcommand("encode", "print the hex bytes of a record built from fields");
    encode->add_option("KIND", kind, "record kind (see below)")->required();
    encode->add_option("FIELDS", values, "NAME=VALUE, names as decode --json prints them");
    encode->add_flag("--binary", binary, "write raw bytes instead of hex text");
    Compress compress;
    if (CaptureAvailable()) {
        encode
            ->add_option("--compress", compress.zstdLevel,
                         "price-record with --binary, --from-jsonl or --from-csv: write zstd "
                         "at this level (1 to 19)")
            ->check(CLI::Range(1, 19));
    }
    std::string fromJsonl;
    std::string fromCsv;
    auto* jsonlOption = encode->add_option(
        "--from-jsonl", fromJsonl,
        "price-record: a capture from decode --json lines (FILE, - for standard input), written "
        "raw to the one FIELDS argument, OUT (- for standard output)");
    encode->add_option("--from-csv", fromCsv, "price-record: the same from decode --csv lines")
        ->excludes(jsonlOption);
    encode->footer(KindsHelp(true) +
                   "\nFields not given are 0 or empty. Lists take JSON or the short form "
                   "Bids=1233:10,1232:25\n(AccountInfo=1:2500.5,3:-12). A file OUT is replaced "
                   "only once every line is encoded.");
    encode->callback([&] {
        if (fromJsonl.empty() && fromCsv.empty()) {
            RunEncode(kind, values, binary, compress);
            return;
        }
        if (values.size() != 1) {
            throw BadInput("--from-jsonl and --from-csv take one argument after the kind: OUT");
        }
        RunEncodeLines(kind, !fromCsv.empty(), fromCsv.empty() ? fromJsonl : fromCsv, values[0],
                       compress);
    });

    auto* synth = app.add_subcommand("synth", "write synthetic data");
    synth->require_subcommand(1);
    std::string count;
    std::string file;
    std::uint64_t seed = 1;
    auto* prices = synth->add_subcommand(
        "prices", "N price records of a seeded random-walk market (a few contracts, ten levels)");
    prices->add_option("N", count, "number of records")->required();
    SynthPcapOptions synthPcap;
    prices->add_option("FILE", file,
                       "output file of raw records (replaced once complete), - for standard "
                       "output");
    if (CaptureAvailable()) {
        prices->add_option("--pcap", synthPcap.file,
                           "write a pcap of UDP datagrams of one to five records instead");
        prices->add_option("--source", synthPcap.source, "with --pcap: ADDRESS:PORT of the sender")
            ->capture_default_str();
        prices
            ->add_option("--destination", synthPcap.destination,
                         "with --pcap: ADDRESS:PORT the datagrams go to")
            ->capture_default_str();
        prices
            ->add_option("--compress", synthPcap.compress.zstdLevel,
                         "write zstd at this level (1 to 19)")
            ->check(CLI::Range(1, 19));
    } else {
        prices->footer(
            "This lmwire was built without the capture component: --pcap is not available.");
    }
    prices->add_option("--seed", seed, "random seed (same seed, same records)")
        ->capture_default_str();
    prices
        ->add_option("--contracts", synthPcap.contracts,
                     "contracts, LumeraID 1 to N (1 to 65535); the first four are always the "
                     "same, each further one trades like one of them")
        ->capture_default_str();
    prices
        ->add_option("--days", synthPcap.days,
                     "spread the records' time stamps evenly over this many days from "
                     "2025-11-24T00:00Z (0: one record a few tenths of a second after another "
                     "from 2025-11-24T16:00Z)")
        ->capture_default_str();
    prices->callback([&] { RunSynthPrices(count, file, seed, synthPcap); });

    SplitOptions split;
    auto* splitCommand = app.add_subcommand(
        "split", "write captures into a dataset partitioned by date and LumeraID");
    splitCommand
        ->add_option("INPUT", split.inputs,
                     "raw, pcap or pcapng captures (plain, zstd "
                     "or gzip), or datasets; - for standard input")
        ->required();
    splitCommand->add_option("--to", split.directory, "the dataset directory (made if missing)")
        ->required();
    splitCommand->add_option("--port", split.ports,
                             "take every datagram of a packet capture to this destination port "
                             "(repeatable), as decode --port does");
    auto* noCompress = splitCommand->add_flag("--no-compress", split.noCompress,
                                              "write parts uncompressed (.bin)");
    splitCommand->add_option("--level", split.level, "zstd level of the parts (1 to 19)")
        ->check(CLI::Range(1, 19))
        ->capture_default_str()
        ->excludes(noCompress);
    splitCommand
        ->add_option("--time-unit", split.timeUnit,
                     "read TimeStamp as seconds, milliseconds, microseconds or "
                     "nanoseconds since 1970 (s, ms, us, ns)")
        ->capture_default_str();
    splitCommand
        ->add_option("--tz", split.zone,
                     "the time zone of the partitions' dates: UTC or a name of the "
                     "system's zoneinfo (America/Chicago)")
        ->capture_default_str();
    splitCommand
        ->add_option("--part-size", split.partBytes,
                     "records' bytes per part, at most (whole records)")
        ->capture_default_str();
    splitCommand->footer(
        "Each record goes to DIR/date=YYYY-MM-DD/lumera_id=N/part-NNNNN.bin.zst by the local date\n"
        "of its TimeStamp, in arrival order. DIR/manifest.json, written last, lists every part\n"
        "with its records, bytes and first and last time: until it is written readers see the\n"
        "dataset as it was. Over an existing dataset (of the same unit and zone) split appends\n"
        "new parts. Standard output shows the records, the parts and bytes written.");
    splitCommand->callback([&] { RunSplit(split); });

    ListenOptions listen;
    auto* listenCommand = app.add_subcommand(
        "listen", "print or record the price records of a live UDP feed as they arrive");
    listenCommand
        ->add_option("ADDRESS:PORT", listen.address,
                     "a unicast address to bind (0.0.0.0 or [::] for any) or a multicast group "
                     "to join; IPv6 as [::1]:9300")
        ->required();
    listenCommand->add_option("--interface", listen.interface,
                              "the interface to join the group on, or to receive on");
    listenCommand->add_option("--source", listen.source,
                              "join the group for this one sender only (source-specific)");
    listenCommand->add_option("--count", listen.count,
                              "stop after the datagram that brings this many records (and print "
                              "only up to it)");
    listenCommand->add_option("--for", listen.seconds, "stop after this many seconds")
        ->check(CLI::PositiveNumber);
    listenCommand->add_option("--record", listen.record,
                              "write what arrives to FILE, a pcapng with nanosecond receive "
                              "times (replaced once complete), instead of printing it");
    listenCommand->add_flag("--print", listen.print, "with --record: print the records too");
    listenCommand
        ->add_option("--compress", listen.compress.zstdLevel,
                     "with --record: write zstd at this level (1 to 19)")
        ->check(CLI::Range(1, 19));
    auto* listenJson = listenCommand->add_flag("--json", listen.json, "one JSON object per record");
    listenCommand->add_flag("--csv", listen.csv, "CSV with a header line, as decode --csv")
        ->excludes(listenJson);
    listenCommand->add_option("--time-unit", listen.timeUnit,
                              "add TimeStamp as ISO 8601 UTC, as decode --time-unit");
    listenCommand->add_flag("--with-source", listen.withSource,
                            "start each record with its receive time, sender and destination, "
                            "as decode --pcap prints them");
    listenCommand->add_flag("--any-datagram", listen.anyDatagram,
                            "take every datagram, whatever its length and format codes, as "
                            "decode --port does");
    listenCommand
        ->add_option("--stats", listen.statsSeconds,
                     "also print the statistics to standard error every this many seconds")
        ->check(CLI::PositiveNumber);
    listenCommand
        ->add_option("--receive-buffer", listen.receiveBuffer,
                     "bytes the kernel may hold for the socket (default: the system's)")
        ->check(CLI::Range(1, 1 << 30));
    listenCommand->footer(
        "Lines are exactly those of decode price-record --binary for the same records (text,\n"
        "--json, --csv), written as each datagram arrives. A datagram is taken as decode takes\n"
        "those of a capture: a positive multiple of 86 bytes whose records have known format\n"
        "codes, or any with --any-datagram. SIGINT, SIGTERM, --count and --for stop it cleanly:\n"
        "the output is flushed and a recording is a complete pcapng. At the end, and with\n"
        "--stats while it runs, standard error shows datagrams, records, bytes, those skipped\n"
        "by reason and the datagrams the kernel dropped because the receive buffer was full.");
    listenCommand->callback([&] { RunListen(listen); });

    ReplayOptions replay;
    auto* replayCommand = app.add_subcommand(
        "replay", "send a capture's price datagrams to an address, paced as recorded");
    replayCommand
        ->add_option("FILE", replay.file,
                     "a pcap, pcapng or raw capture (- for "
                     "standard input), plain, zstd or gzip")
        ->required();
    replayCommand
        ->add_option("ADDRESS:PORT", replay.address,
                     "a unicast address or multicast group; IPv6 as [::1]:9300")
        ->required();
    replayCommand->add_option("--interface", replay.interface, "the interface to send on");
    auto* speedOption = replayCommand
                            ->add_option("--speed", replay.speed,
                                         "a multiple of the recorded pace (default 1: as recorded)")
                            ->check(CLI::PositiveNumber);
    auto* rateOption =
        replayCommand->add_option("--rate", replay.rate, "this many datagrams a second")
            ->check(CLI::PositiveNumber);
    auto* maxOption = replayCommand->add_flag("--max", replay.max, "as fast as possible");
    speedOption->excludes(rateOption)->excludes(maxOption);
    rateOption->excludes(maxOption);
    replayCommand->add_option("--records", replay.records,
                              "records per datagram of a raw capture (default 1)");
    replayCommand->add_option("--loop", replay.loop, "send the capture this many times")
        ->check(CLI::Range(1, 1 << 30));
    replayCommand
        ->add_option("--ttl", replay.ttl, "hops a datagram may take (default 1: this link)")
        ->check(CLI::Range(0, 255));
    replayCommand->add_flag("--no-loopback", replay.noLoopback,
                            "a group's datagrams do not reach listeners on this machine");
    replayCommand->add_option("--port", replay.ports,
                              "send every datagram to this destination port of the capture "
                              "(repeatable), as decode --port takes them");
    replayCommand->footer(
        "The datagrams sent are those decode would take, payloads unchanged. Each leaves at\n"
        "its time on an absolute monotonic schedule, so that errors do not add up. A raw\n"
        "capture has no times: it needs --rate or --max. Standard output then shows datagrams\n"
        "and records sent, the time and rate, and the pacing error (the time just after each\n"
        "send, minus its scheduled time) as median, 99th percentile and maximum.");
    replayCommand->callback([&] { RunReplay(replay); });
    if (!CaptureAvailable()) {
        const char* unavailable =
            "This lmwire was built without the capture component: listen and replay are not "
            "available.";
        listenCommand->footer(unavailable);
        replayCommand->footer(unavailable);
    }

    std::string today;
    auto* demo = app.add_subcommand(
        "demo", "a logon over loopback TCP, a price ladder, an account, an order book");
    auto* todayOption = demo->add_option(
        "--today", today,
        "the date of the account's roll-over look-ups, YYYY-MM-DD (default: the local date)");
    demo->callback([&] { todayOption->count() == 0 ? RunDemo() : RunDemo(ParseDemoDate(today)); });

    try {
        RefuseUnknownCommand(app, argc, argv);
        app.parse(argc, argv);
    } catch (...) {
        return FailureStatus(app);
    }
    return FinishStatus();
}
