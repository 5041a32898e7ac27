#pragma once

// What the programs that write committed files from the library's tables (the wire-format
// document, the Wireshark dissector) share: one command line, byte-exact reading and writing, and
// a check that names the first line where the committed file went stale.
//
//   PROGRAM TEMPLATE                 the file on standard output
//   PROGRAM TEMPLATE -o FILE         the file into FILE
//   PROGRAM TEMPLATE --check FILE    exit status 1, naming the first different line, unless FILE
//                                    is what would be written

#include <functional>
#include <string>
#include <vector>

namespace lmwire_generate {

// The whole file as bytes, so that a Windows build reads and writes what a Linux build does.
std::string ReadFile(const std::string& path);
// Its lines without their newlines.
std::vector<std::string> Lines(const std::string& text);

// Runs `generate` on the template's path and does what the command line asks; `target` is the
// build target that rewrites the committed file, named when the check fails. Errors, thrown as
// std::exception by `generate` or met here, are printed and give exit status 1; usage errors 2.
int Main(int argc, char** argv, const char* program, const char* target,
         const std::function<std::string(const std::string& templatePath)>& generate);

}  // namespace lmwire_generate
