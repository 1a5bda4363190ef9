#include "password_source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "exit_codes.h"
#include "interrupt.h"
#include "output_guard.h"
#include "orx/secure_wipe.h"
#include "ostrel.h"
#include "core/password_rules.h"
#include "utf.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace orx {

void Wipe(void* data, size_t size) {
  if (data && size) SecureWipe(data, size);
}
void Wipe(std::u16string& text) { Wipe(&text[0], text.capacity() * sizeof(char16_t)); }
void Wipe(std::string& text) { Wipe(&text[0], text.capacity()); }

namespace {

// Room for the longest password a decryptor takes (254 units, 3 bytes of
// UTF-8 each at most) and a line ending, reserved up front so that the line
// is never reallocated, which would leave an unwiped copy behind.
constexpr size_t kLineCapacity = 1024;

// A line that wipes itself.
struct SecretLine {
  SecretLine() { text.reserve(kLineCapacity); }
  ~SecretLine() { Wipe(text); }
  std::string text;
  bool tooLong = false;
};

// One line without its line ending; false only when nothing could be read.
bool ReadLine(std::FILE* f, SecretLine& line) {
  line.text.clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.text.size() + 1 < kLineCapacity) {
      line.text.push_back(static_cast<char>(c));
    } else {
      line.tooLong = true;
    }
  }
  if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
  return any;
}

int DecodeLine(SecretLine& line, std::u16string& text, std::string& error) {
  if (line.tooLong) {
    error = "the password is longer than " + std::to_string(payload::kPasswordMaxUnits) +
            " characters";
    return kExitPassword;
  }
  if (line.text.rfind("\xEF\xBB\xBF", 0) == 0) line.text.erase(0, 3);  // a byte order mark
  text.reserve(kLineCapacity);
  if (!Utf8ToUtf16(line.text, text)) {
    error = "the password is not valid UTF-8 text";
    return kExitPassword;
  }
  return kExitOk;
}

#if defined(_WIN32)
int PromptTerminal(const char* prompt, std::u16string& text, std::string& error) {
  HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  if (in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &mode)) {
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    error = "no console to ask for the password; use --password-file or --password-stdin";
    return kExitPassword;
  }
  std::fputs(prompt, stderr);
  std::fflush(stderr);
  SetConsoleMode(in, (mode & ~ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT);
  text.clear();
  text.reserve(kLineCapacity);
  wchar_t buffer[256];
  DWORD got = 0;
  bool ok = true;
  for (;;) {
    // Ctrl-C ends the read (the control handler records it) and falls
    // through to the restore below like any other failure.
    if (interrupt::Requested() || !ReadConsoleW(in, buffer, 256, &got, nullptr) || got == 0 ||
        interrupt::Requested()) {
      ok = false;
      break;
    }
    if (text.size() + got >= kLineCapacity) {
      ok = false;
      break;
    }
    text.append(reinterpret_cast<const char16_t*>(buffer), got);
    if (!text.empty() && text.back() == u'\n') break;
  }
  Wipe(buffer, sizeof buffer);
  SetConsoleMode(in, mode);
  CloseHandle(in);
  std::fputs("\n", stderr);
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
  if (!ok) {
    error = interrupt::Requested() ? "interrupted" : "could not read the password from the console";
    return kExitPassword;
  }
  return kExitOk;
}
#else
int PromptTerminal(const char* prompt, std::u16string& text, std::string& error) {
  int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    error = "no terminal to ask for the password; use --password-file or --password-stdin";
    return kExitPassword;
  }
  std::FILE* tty = fdopen(fd, "r+");
  if (!tty) {
    error = std::string("cannot use the terminal: ") + std::strerror(errno);
    ::close(fd);
    return kExitFailure;
  }
  termios saved{};
  bool echoOff = tcgetattr(fd, &saved) == 0;
  if (echoOff) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    // Armed before echo goes off: a signal from here on puts it back.
    interrupt::ArmTerminal(fd, &saved);
    tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  // The stream reads into a buffer of ours, wiped below, not one of its own.
  char buffer[BUFSIZ];
  std::setvbuf(tty, buffer, _IOFBF, sizeof buffer);
  std::fputs(prompt, tty);
  std::fflush(tty);
  SecretLine line;
  bool got = ReadLine(tty, line);
  if (echoOff) {
    tcsetattr(fd, TCSAFLUSH, &saved);
    interrupt::DisarmTerminal();
  }
  std::fclose(tty);
  Wipe(buffer, sizeof buffer);
  if (!got) {
    error = "no password was entered";
    return kExitPassword;
  }
  return DecodeLine(line, text, error);
}
#endif

// The product's rules judge the password through the system's ANSI code
// page. orx stands for no particular system: every character outside ASCII
// becomes a byte of 0x80, so that it is reported as not ASCII, which is
// what any code page makes of the accented letters and what the rules mean.
class AsciiOnly : public ostrel::AnsiCodePage {
 public:
  int ToAnsi(const char16_t* text, int chars, char* out, int outBytes, uint32_t*) override {
    int n = 0;
    for (; n < chars && n < outBytes; ++n) {
      out[n] = text[n] < 0x80 ? static_cast<char>(text[n]) : static_cast<char>(0x80);
    }
    return n;
  }
  int FromAnsi(const char*, int, char16_t*, int, uint32_t* error) override {
    if (error) *error = 1;
    return 0;
  }
};

std::string RuleMessage(int status) {
  switch (status) {
    case ZT_ERR_PASSWORD_TOO_SHORT: return "the password is shorter than 4 characters";
    case ZT_ERR_PASSWORD_TOO_LONG: return "the password is longer than 12 characters";
    case ZT_ERR_PASSWORD_NOT_ASCII: return "the password holds a character outside ASCII";
    case ZT_ERR_PASSWORD_BAD_CHAR:
      return "the password holds a character other than the letters A-Z and a-z, the digits "
             "and , - . / ; = [ \\ ]";
    default: return "the password breaks the password rules (status " + std::to_string(status) + ")";
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

int ReadPassword(const PasswordSource& source, bool confirm, std::u16string& text,
                 std::string& error) {
  SecretLine line;
  if (source.hasFile) {
    std::FILE* f = OpenFile(std::filesystem::u8path(source.file), "rb");
    if (!f) {
      error = "cannot open the password file " + source.file + ": " + std::strerror(errno);
      return kExitFailure;
    }
    char buffer[BUFSIZ];  // wiped below, like the line
    std::setvbuf(f, buffer, _IOFBF, sizeof buffer);
    errno = 0;
    bool got = ReadLine(f, line);
    int saved = errno;
    bool failed = std::ferror(f);
    std::fclose(f);
    Wipe(buffer, sizeof buffer);
    if (failed) {
      error = "cannot read the password file " + source.file + ": " +
              std::strerror(saved ? saved : EIO);
      return kExitFailure;
    }
    if (!got) {
      error = "the password file " + source.file + " is empty";
      return kExitPassword;
    }
    return DecodeLine(line, text, error);
  }
  if (source.fromStdin) {
    if (!ReadLine(stdin, line)) {
      error = "no password on standard input";
      return kExitPassword;
    }
    return DecodeLine(line, text, error);
  }
  int rc = PromptTerminal("Password: ", text, error);
  if (rc != kExitOk || !confirm) return rc;
  std::u16string again;
  rc = PromptTerminal("Password again: ", again, error);
  bool differ = rc == kExitOk && again != text;
  Wipe(again);
  if (differ) {
    error = "the two passwords differ";
    return kExitPassword;
  }
  return rc;
}

bool AcceptNewPassword(const std::u16string& text, bool rules, std::string& error) {
  if (text.empty()) {
    error = "the password is empty";
    return false;
  }
  if (!rules) return true;
  AsciiOnly codePage;
  int status = ostrel::ValidatePasswordWide(text.c_str(), codePage);
  if (status != ZT_OK) {
    error = RuleMessage(status) + " (--no-password-rules lets pack use it anyway)";
    return false;
  }
  return true;
}

bool PasswordBytesFor(const std::u16string& text,
                      unsigned char (&bytes)[payload::kPasswordBytesCapacity], size_t& length,
                      std::string& error) {
  if (text.size() > payload::kPasswordMaxUnits) {
    error = "the password is longer than " + std::to_string(payload::kPasswordMaxUnits) +
            " characters";
    return false;
  }
  for (char16_t unit : text) {
    if ((unit & 0xFF) == 0) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(unit));
      error = std::string("the password holds U+") + hex +
              ", a character the decryptor cannot use";
      return false;
    }
  }
  length = payload::PasswordBytesFromText(reinterpret_cast<const uint16_t*>(text.data()),
                                          text.size(), bytes);
  return true;
}

}  // namespace orx
