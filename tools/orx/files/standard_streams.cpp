#include "standard_streams.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform.h"

namespace orx {

namespace {

std::string Reason(int error) { return std::strerror(error ? error : EIO); }

// All of `from` (a pipe, a terminal, a device) copied into an unnamed
// temporary file, read from its start.
CFile Keep(std::FILE* from, const std::string& name, std::string& error) {
  CFile kept(platform::CreateUnnamedTemporary());
  if (!kept) {
    error = "cannot make a temporary file for " + name + ": " + Reason(errno);
    return kept;
  }
  std::vector<char> buffer(1 << 16);
  size_t got;
  errno = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), from)) > 0) {
    if (std::fwrite(buffer.data(), 1, got, kept.get()) != got) {
      error = "cannot keep " + name + " in a temporary file: " + Reason(errno);
      return CFile();
    }
    errno = 0;
  }
  if (std::ferror(from)) {
    error = "cannot read " + name + ": " + Reason(errno);
    return CFile();
  }
  errno = 0;
  if (std::fflush(kept.get()) != 0 || std::fseek(kept.get(), 0, SEEK_SET) != 0) {
    error = "cannot keep " + name + " in a temporary file: " + Reason(errno);
    return CFile();
  }
  return kept;
}

}  // namespace

std::string InputName(const std::filesystem::path& path) {
  return IsStandardStream(path) ? "standard input" : path.u8string();
}

std::string OutputName(const std::filesystem::path& path) {
  return IsStandardStream(path) ? "standard output" : path.u8string();
}

CFile OpenInput(const std::filesystem::path& path, std::string& error) {
  const std::string name = InputName(path);
  if (IsStandardStream(path) && platform::IsTerminal(stdin)) {
    error = "standard input is a terminal: pipe the file in, or name it";
    return CFile();
  }
  CFile file(IsStandardStream(path) ? platform::ReopenStandardInput()
                                    : platform::OpenFile(path, "rb"));
  if (!file) {
    error = "cannot open " + name + ": " + Reason(errno);
    return file;
  }
  platform::FileFacts facts;
  if (!platform::FactsOfFile(file.get(), facts)) {
    error = "cannot examine " + name + ": " + Reason(errno);
    return CFile();
  }
  return facts.regular ? std::move(file) : Keep(file.get(), name, error);
}

}  // namespace orx
