#include "password_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "open_file.h"
#include "utf.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace orx {

namespace {

// One line without its line ending; false only when nothing could be read.
bool ReadLine(std::FILE* f, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

bool DecodeLine(const std::string& line, std::u16string& text, std::string& error) {
  std::string utf8 = line;
  if (utf8.rfind("\xEF\xBB\xBF", 0) == 0) utf8.erase(0, 3);  // a byte order mark
  if (!Utf8ToUtf16(utf8, text)) {
    error = "the password is not valid UTF-8 text";
    return false;
  }
  return true;
}

#if defined(_WIN32)
bool PromptTerminal(const char* prompt, std::u16string& text, std::string& error) {
  HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  if (in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &mode)) {
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    error = "no console to ask for the password; use --password-file or --password-stdin";
    return false;
  }
  std::fputs(prompt, stderr);
  std::fflush(stderr);
  SetConsoleMode(in, (mode & ~ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT);
  text.clear();
  wchar_t buffer[256];
  DWORD got = 0;
  bool ok = true;
  for (;;) {
    if (!ReadConsoleW(in, buffer, 256, &got, nullptr) || got == 0) {
      ok = false;
      break;
    }
    text.append(reinterpret_cast<const char16_t*>(buffer), got);
    if (!text.empty() && text.back() == u'\n') break;
  }
  SetConsoleMode(in, mode);
  CloseHandle(in);
  std::fputs("\n", stderr);
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
  if (!ok) error = "could not read the password from the console";
  return ok;
}
#else
bool PromptTerminal(const char* prompt, std::u16string& text, std::string& error) {
  int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    error = "no terminal to ask for the password; use --password-file or --password-stdin";
    return false;
  }
  std::FILE* tty = fdopen(fd, "r+");
  if (!tty) {
    ::close(fd);
    error = "cannot use the terminal";
    return false;
  }
  termios saved{};
  bool echoOff = tcgetattr(fd, &saved) == 0;
  if (echoOff) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  std::fputs(prompt, tty);
  std::fflush(tty);
  std::string line;
  bool got = ReadLine(tty, line);
  if (echoOff) tcsetattr(fd, TCSAFLUSH, &saved);
  std::fclose(tty);
  if (!got) {
    error = "no password was entered";
    return false;
  }
  bool ok = DecodeLine(line, text, error);
  std::fill(line.begin(), line.end(), '\0');
  return ok;
}
#endif

}  // namespace

bool ReadPassword(const PasswordSource& source, bool confirm, std::u16string& text,
                  std::string& error) {
  std::string line;
  if (!source.file.empty()) {
    std::FILE* f = OpenFile(std::filesystem::u8path(source.file), "rb");
    if (!f) {
      error = "cannot open the password file " + source.file + ": " + std::strerror(errno);
      return false;
    }
    bool got = ReadLine(f, line);
    std::fclose(f);
    if (!got) line.clear();  // an empty file holds the empty password
    bool ok = DecodeLine(line, text, error);
    std::fill(line.begin(), line.end(), '\0');
    return ok;
  }
  if (source.fromStdin) {
    if (!ReadLine(stdin, line)) {
      error = "no password on standard input";
      return false;
    }
    bool ok = DecodeLine(line, text, error);
    std::fill(line.begin(), line.end(), '\0');
    return ok;
  }
  if (!PromptTerminal("Password: ", text, error)) return false;
  if (confirm) {
    std::u16string again;
    if (!PromptTerminal("Password again: ", again, error)) return false;
    if (again != text) {
      error = "the two passwords differ";
      return false;
    }
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
