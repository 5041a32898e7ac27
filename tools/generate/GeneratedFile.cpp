#include "GeneratedFile.h"

#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace lmwire_generate {
namespace {

// The first line where `committed` is not `generated`, as a compiler would point at it.
int Check(const std::string& path, const std::string& generated, const char* target) {
    const std::string committed = ReadFile(path);
    if (committed == generated) {
        return 0;
    }
    const std::vector<std::string> have = Lines(committed);
    const std::vector<std::string> want = Lines(generated);
    std::size_t line = 0;
    while (line < have.size() && line < want.size() && have[line] == want[line]) {
        ++line;
    }
    std::cerr << path << ":" << line + 1
              << ": not what the library's tables and the template give\n";
    if (have.size() == want.size() && line == have.size()) {
        std::cerr << "  the last line ends differently (its newline)\n";
    } else {
        std::cerr << "  committed: " << (line < have.size() ? have[line] : "(end of file)") << "\n"
                  << "  generated: " << (line < want.size() ? want[line] : "(end of file)") << "\n";
    }
    std::cerr << "Rewrite it with the build target " << target << ".\n";
    return 1;
}

}  // namespace

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

int Main(int argc, char** argv, const char* program, const char* target,
         const std::function<std::string(const std::string& templatePath)>& generate) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args.size() == 2 || args.size() > 3 ||
        (args.size() == 3 && args[1] != "-o" && args[1] != "--check")) {
        std::cerr << "usage: " << program << " TEMPLATE [-o FILE | --check FILE]\n";
        return 2;
    }
    try {
        const std::string text = generate(args[0]);
        if (args.size() == 1) {
            std::cout << text;
            return std::cout.flush() ? 0 : 1;
        }
        if (args[1] == "--check") {
            return Check(args[2], text, target);
        }
        std::ofstream out(args[2], std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            throw std::runtime_error("cannot write " + args[2]);
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << program << ": " << error.what() << "\n";
        return 1;
    }
}

}  // namespace lmwire_generate
