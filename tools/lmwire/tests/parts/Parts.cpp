#include "Parts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "commands/Commands.h"
#include "common/Errors.h"

namespace lmwire_test {

Outcome Call(const std::function<void()>& command) {
    const std::string out = TempFile("stdout");
    const std::string err = TempFile("stderr");
    std::fflush(stdout);
    std::fflush(stderr);
    const int saved[2] = {dup(1), dup(2)};
    for (const int fd : {1, 2}) {
        std::FILE* file = std::fopen((fd == 1 ? out : err).c_str(), "wb");
        dup2(fileno(file), fd);
        std::fclose(file);
    }
    Outcome outcome;
    std::string refusal;
    try {
        command();
    } catch (const lmwire::BadInput& error) {
        outcome.status = 2;
        refusal = error.what();
    }
    std::fflush(stdout);
    std::fflush(stderr);
    for (const int fd : {1, 2}) {
        dup2(saved[fd - 1], fd);
        close(saved[fd - 1]);
    }
    outcome.out = ReadText(out);
    outcome.err = ReadText(err) + refusal;
    return outcome;
}

Outcome Tool(const std::vector<std::string>& args, const std::string& input) {
    std::vector<std::string> words;
    lmwire::DecodeOptions decode;
    bool asDecimal = false;
    bool original = false;
    std::string jobs = "0", seed = "1", jsonl, csv;
    const std::map<std::string, bool*> flags = {
        {"--binary", &decode.binary}, {"--json", &decode.json},
        {"--csv", &decode.csv},       {"--partial", &decode.partial},
        {"--as-decimal", &asDecimal}, {"--original-display", &original}};
    const std::map<std::string, std::string*> options = {
        {"--time-unit", &decode.timeUnit}, {"--jobs", &jobs},
        {"--pcap", &decode.pcap},          {"--seed", &seed},
        {"--from-jsonl", &jsonl},          {"--from-csv", &csv}};
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--") {
            words.insert(words.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        if (flags.count(args[i]) != 0) {
            *flags.at(args[i]) = true;
        } else if (options.count(args[i]) != 0) {
            *options.at(args[i]) = args.at(i + 1);
            ++i;
        } else if (args[i] == "--port") {
            decode.ports.push_back(std::stoi(args.at(++i)));
        } else {
            words.push_back(args[i]);
        }
    }
    decode.jobs = static_cast<unsigned>(std::stoi(jobs));
    const std::string file = TempFile("input", input);
    const std::string from = jsonl.empty() ? csv : jsonl;
    if (decode.pcap == "-") {
        decode.pcap = file;
    }
    return Call([&] {
        const std::string& command = args.at(0);
        if (command == "decode") {
            decode.kind = words.at(0);
            decode.file = words.size() > 1 ? words[1] : decode.pcap.empty() ? file : "";
            lmwire::RunDecode(decode);
        } else if (command == "encode" && !from.empty()) {
            lmwire::RunEncodeLines(words.at(0), !csv.empty(), from == "-" ? file : from,
                                   words.at(1));
        } else if (command == "encode") {
            lmwire::RunEncode(words.at(0), {words.begin() + 1, words.end()}, decode.binary);
        } else if (command == "price") {
            lmwire::RunPrice(words.at(0), {words.begin() + 1, words.end()}, original);
        } else if (command == "ticks") {
            lmwire::RunTicks(words.at(0), {words.begin() + 1, words.end()}, asDecimal);
        } else if (command == "formats") {
            lmwire::RunFormats(original);
        } else {  // synth prices N [FILE]
            lmwire::SynthPcapOptions pcap;
            pcap.file = decode.pcap;
            lmwire::RunSynthPrices(words.at(1), words.size() > 2 ? words[2] : "", std::stoull(seed),
                                   pcap);
        }
    });
}

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; std::getline(in, word, ' ');) {
        words.push_back(word);
    }
    return words;
}

std::string Encode(const std::string& kind, const Json& decoded, bool binary) {
    std::vector<std::string> args = {"encode", kind};
    for (const auto& item : decoded.items()) {
        if (item.key() != "NumEntries" && item.key() != "LastPriceText") {
            const Json& value = item.value();
            args.push_back(item.key() + "=" +
                           (value.is_string() ? value.get<std::string>() : value.dump()));
        }
    }
    if (binary) {
        args.push_back("--binary");
    }
    const Outcome encoded = Tool(args);
    EXPECT_EQ(encoded.status, 0) << encoded.err;
    return encoded.out;
}

std::string TempFile(const std::string& name, const std::string& content) {
    // Test programs run side by side: each has files of its own.
    const std::string path =
        ::testing::TempDir() + "lmwire_" + std::to_string(getpid()) + "_" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

}  // namespace lmwire_test
