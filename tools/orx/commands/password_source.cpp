#include "password_source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "exit_codes.h"
#include "orx/unique_handle.h"
#include "platform.h"
#include "utf.h"

namespace orx {

namespace {

// The line as text. A file, standard input and a terminal give UTF-8 (a
// byte order mark is dropped), the Windows console UTF-16.
int DecodeLine(const platform::TypedLine& line, PasswordText& text, std::string& error) {
  text.size = 0;
  text.units[0] = 0;
  if (line.wide) {
    for (size_t i = 0; i < line.size; ++i) text.units[text.size++] = line.units[i];
    text.units[text.size] = 0;
    return kExitOk;
  }
  if (line.tooLong) {
    error = "the password is longer than " + std::to_string(payload::kPasswordMaxUnits) +
            " characters";
    return kExitPassword;
  }
  size_t at = line.size >= 3 && std::memcmp(line.bytes, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  // Every sequence of one to four bytes gives one or two units, so the
  // units never outgrow the line.
  while (at < line.size) {
    char32_t cp = 0;
    size_t n = DecodeUtf8(line.bytes, line.size, at, cp);
    if (n == 0) {
      text.size = 0;
      error = "the password is not valid UTF-8 text";
      return kExitPassword;
    }
    text.size += AppendUtf16(text.units + text.size, cp);
    at += n;
  }
  text.units[text.size] = 0;
  return kExitOk;
}

int ReadPasswordFile(const std::string& name, PasswordText& text, std::string& error) {
  // The stream reads into this buffer, not one of its own, so that it can be
  // wiped; declared first, it outlives the stream.
  Secret<char[BUFSIZ]> buffer;
  CFile f(platform::OpenFile(std::filesystem::u8path(name), "rb"));
  if (!f) {
    error = "cannot open the password file " + name + ": " + std::strerror(errno);
    return kExitFailure;
  }
  std::setvbuf(f.get(), buffer.value, _IOFBF, sizeof buffer.value);
  Secret<platform::TypedLine> line;
  errno = 0;
  bool got = platform::ReadLine(f.get(), line.value);
  int saved = errno;
  bool failed = std::ferror(f.get());
  f.reset();
  if (failed) {
    error = "cannot read the password file " + name + ": " + std::strerror(saved ? saved : EIO);
    return kExitFailure;
  }
  if (!got) {
    error = "the password file " + name + " is empty";
    return kExitPassword;
  }
  return DecodeLine(line.value, text, error);
}

int Prompt(const char* prompt, PasswordText& text, std::string& error) {
  Secret<platform::TypedLine> line;
  switch (platform::PromptHidden(prompt, line.value, error)) {
    case platform::PromptResult::kTyped: return DecodeLine(line.value, text, error);
    case platform::PromptResult::kRefused: return kExitPassword;
    default: return kExitFailure;
  }
}

}  // namespace

bool ChoosePasswordSource(bool hasFile, const std::string& file, bool fromStdin,
                          PasswordSource& source, std::string& error) {
  if (hasFile && fromStdin) {
    error = "give one of --password-file and --password-stdin";
    return false;
  }
  if (hasFile && file.empty()) {
    error = "--password-file needs the name of a file";
    return false;
  }
  source.hasFile = hasFile;
  source.file = file;
  source.fromStdin = fromStdin;
  return true;
}

int ReadPassword(const PasswordSource& source, bool confirm, PasswordText& text,
                 std::string& error) {
  if (source.hasFile) return ReadPasswordFile(source.file, text, error);
  if (source.fromStdin) {
    Secret<platform::TypedLine> line;
    if (!platform::ReadLine(stdin, line.value)) {
      error = "no password on standard input";
      return kExitPassword;
    }
    return DecodeLine(line.value, text, error);
  }
  int rc = Prompt("Password: ", text, error);
  if (rc != kExitOk || !confirm) return rc;
  Secret<PasswordText> again;
  rc = Prompt("Password again: ", again.value, error);
  if (rc == kExitOk &&
      (again.value.size != text.size ||
       std::memcmp(again.value.units, text.units, text.size * sizeof(char16_t)) != 0)) {
    error = "the two passwords differ";
    return kExitPassword;
  }
  return rc;
}

}  // namespace orx
