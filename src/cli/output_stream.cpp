#include "cli/output_stream.h"

#include "cli/commands.h"
#include "platform/file_io.h"

#include <cerrno>
#include <cstring>

namespace norvane::cli {

DescriptorOutput::DescriptorOutput(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }

DescriptorOutput::~DescriptorOutput() { drain(); }

bool DescriptorOutput::flushAll() { return drain(); }

bool DescriptorOutput::drain() {
  if (error_ != 0) return false;
  std::size_t pending = static_cast<std::size_t>(pptr() - pbase());
  errno = 0;
  if (pending > 0 && !writeFully(fd_, pbase(), pending)) {
    // write(2) returning 0 sets no errno; report it as an I/O error.
    error_ = errno != 0 ? errno : EIO;
    return false;
  }
  setp(buffer_, buffer_ + sizeof buffer_);
  return true;
}

DescriptorOutput::int_type DescriptorOutput::overflow(int_type c) {
  if (!drain()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize DescriptorOutput::xsputn(const char* data, std::streamsize count) {
  std::streamsize written = 0;
  while (written < count) {
    if (pptr() == epptr() && !drain()) break;
    std::streamsize room = epptr() - pptr();
    std::streamsize chunk = count - written < room ? count - written : room;
    std::memcpy(pptr(), data + written, static_cast<std::size_t>(chunk));
    pbump(static_cast<int>(chunk));
    written += chunk;
  }
  return written;
}

int DescriptorOutput::sync() { return drain() ? 0 : -1; }

int finishOutput(DescriptorOutput& output, int status, std::ostream& err) {
  if (output.flushAll()) return status;
  err << "norvane-cli: the result could not be written to standard output: "
      << std::strerror(output.error()) << "\n";
  return status == kExitOk ? kExitFailure : status;
}

}  // namespace norvane::cli
