#pragma once
// Standard output of norvane-cli as a stream that remembers whether every
// byte reached its file: a full disk, a closed pipe or a closed descriptor
// must end the command with a message, never with half a document and
// exit status 0.
#include <cstddef>
#include <ostream>
#include <streambuf>

namespace norvane::cli {

// A buffered stream buffer over a file descriptor. After the first failed
// write it takes nothing more and keeps the reason (an errno value).
class DescriptorOutput : public std::streambuf {
 public:
  explicit DescriptorOutput(int fd);
  ~DescriptorOutput() override;
  DescriptorOutput(const DescriptorOutput&) = delete;
  DescriptorOutput& operator=(const DescriptorOutput&) = delete;

  // Writes out what is buffered; true when every byte handed over so far
  // has been written.
  bool flushAll();

  // The errno of the failed write; 0 while none failed.
  int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* data, std::streamsize count) override;
  int sync() override;

 private:
  bool drain();

  int fd_;
  int error_ = 0;
  char buffer_[64 * 1024];
};

// The exit status of a command whose result went to `output`: `status` when
// every byte was written; otherwise a message on `err` and kExitFailure (a
// command that had already failed keeps its own status).
int finishOutput(DescriptorOutput& output, int status, std::ostream& err);

}  // namespace norvane::cli
