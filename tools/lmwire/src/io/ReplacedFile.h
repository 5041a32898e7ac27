#pragma once

// A file named on the command line, replaced whole or not at all. A regular file (or a name that
// does not exist yet) is written as a temporary file beside it and renamed over it only by
// Commit, so a run that fails, or is interrupted, leaves the old file exactly as it was (or no
// file). A symbolic link is followed: its target is replaced and the link stays. Anything else
// that exists under the name (a device such as /dev/null, a FIFO, a terminal) cannot be replaced
// and is written directly.

#include <cstdio>
#include <string>

namespace lmwire {

class ReplacedFile {
  public:
    // BadInput when the file, or its temporary file, cannot be created.
    explicit ReplacedFile(const std::string& path);
    // Without a successful Commit, the temporary file is removed.
    ~ReplacedFile();
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

    // Where the content goes, buffered; valid until Commit.
    std::FILE* Stream() const { return stream_; }
    // The name as messages show it.
    const std::string& Name() const { return name_; }
    // Flushes and closes the stream, then puts the file in place. WriteError naming the file on
    // any failure, and the old file is then untouched.
    void Commit();

  private:
    void Discard() noexcept;

    std::FILE* stream_ = nullptr;
    std::string name_;
    std::string target_;     // the file replaced: the path with its links followed
    std::string temporary_;  // empty when written directly
    int slot_ = -1;          // the temporary's place among those removed on a signal
};

}  // namespace lmwire
