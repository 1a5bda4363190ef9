#include "password_source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "exit_codes.h"
#include "orx/secret.h"
#include "orx/unique_handle.h"
#include "platform.h"
#include "utf.h"

namespace orx {

namespace {

// The line as text. A file, standard input and a terminal give UTF-8 (a
// byte order mark is dropped), the Windows console UTF-16.
int DecodeLine(const platform::TypedLine& line, PasswordText& text, std::string& error) {
  text.Clear();
  if (line.wide) {
    text.Append(line.units.data(), line.units.size());
    return kExitOk;
  }
  if (line.tooLong) {
    error = "the password is longer than " + std::to_string(payload::kPasswordMaxUnits) +
            " characters";
    return kExitPassword;
  }
  const char* bytes = line.bytes.data();
  const size_t size = line.bytes.size();
  size_t at = size >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  // Every sequence of one to four bytes gives one or two units, so the
  // units never outgrow the line.
  Secret<char16_t[2]> units;
  while (at < size) {
    char32_t cp = 0;
    size_t n = DecodeUtf8(bytes, size, at, cp);
    if (n == 0) {
      text.Clear();
      error = "the password is not valid UTF-8 text";
      return kExitPassword;
    }
    text.Append(units.value, AppendUtf16(units.value, cp));
    at += n;
  }
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
  platform::TypedLine line;
  errno = 0;
  bool got = platform::ReadLine(f.get(), line);
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
  return DecodeLine(line, text, error);
}

int Prompt(const char* prompt, PasswordText& text, std::string& error) {
  platform::TypedLine line;
  switch (platform::PromptHidden(prompt, line, error)) {
    case platform::PromptResult::kTyped: return DecodeLine(line, text, error);
    case platform::PromptResult::kNoTerminal: return kExitUsage;
    case platform::PromptResult::kRefused: return kExitPassword;
    default: return kExitFailure;
  }
}

int ReadStandardInput(PasswordText& text, std::string& error) {
  platform::TypedLine line;
  if (!platform::ReadLine(stdin, line)) {
    error = "no password on standard input";
    return kExitPassword;
  }
  return DecodeLine(line, text, error);
}

// The terminal, asked once or, to `confirm`, twice; `check` judges the
// first entry before the second is asked for.
int PromptTwice(bool confirm, const PasswordCheck& check, PasswordText& text,
                std::string& error) {
  int rc = Prompt("Password: ", text, error);
  if (rc == kExitOk) rc = check(text, error);
  if (rc != kExitOk || !confirm) return rc;
  PasswordText again;
  rc = Prompt("Password again: ", again, error);
  if (rc == kExitOk && !again.Equals(text)) {
    error = "the two passwords differ";
    return kExitPassword;
  }
  return rc;
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
  const bool dash = hasFile && file == "-";
  source.hasFile = hasFile && !dash;
  source.file = dash ? std::string() : file;
  source.fromStdin = fromStdin || dash;
  return true;
}

bool PasswordSourceFrom(const ParsedArgs& args, PasswordSource& source, std::string& error) {
  return ChoosePasswordSource(args.Has("--password-file"), args.Value("--password-file"),
                              args.Flag("--password-stdin"), source, error);
}

bool StandardInputOnce(const PasswordSource& source, const std::filesystem::path& input,
                       const char* what, std::string& error) {
  if (!source.fromStdin || input != "-") return true;
  error = std::string("standard input cannot carry both ") + what +
          " and the password; use --password-file";
  return false;
}

int ReadPassword(const PasswordSource& source, bool confirm, const PasswordCheck& check,
                 PasswordText& text, std::string& error) {
  if (!source.hasFile && (!source.fromStdin || platform::IsTerminal(stdin))) {
    return PromptTwice(confirm, check, text, error);
  }
  int rc = source.hasFile ? ReadPasswordFile(source.file, text, error)
                          : ReadStandardInput(text, error);
  return rc == kExitOk ? check(text, error) : rc;
}

}  // namespace orx
