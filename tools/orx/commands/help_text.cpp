#include "help_text.h"

#include "orx_version.h"
#include "platform.h"

namespace orx {

namespace {

constexpr size_t kWidth = 78;  // the longest line printed
constexpr size_t kTermWidth = 24;  // where a list's texts start

struct Entry {
  const char* term;
  const char* text;
};

// The sections several commands share, each printed by the commands it
// concerns and once in the overview.
enum Topic { kStreams, kPasswords, kFormats, kFiles, kExitCodes, kTopicCount };

struct CommandHelp {
  const char* name;
  const char* summary;   // one line in the overview's list
  const char* synopsis;  // after "usage: orx "
  const char* description;
  std::vector<Entry> options;
  const char* example;
  std::vector<Topic> topics;
  std::vector<Entry> jsonKeys;  // inspect only
};

const Entry kPasswordOptions[] = {
    {"--password-file F", "the password is the first line of the file F (- as --password-stdin)"},
    {"--password-stdin",
     "the password is the first line of standard input; at a terminal it is asked there "
     "without echo, as without either option"},
};

std::vector<Entry> WithPasswordOptions(std::vector<Entry> options) {
  options.insert(options.end(), std::begin(kPasswordOptions), std::end(kPasswordOptions));
  return options;
}

const std::vector<CommandHelp> kCommands = {
    {"pack", "encrypt a file into a payload, or into a self-decrypting archive",
     "pack FILE -o OUT [options]",
     "Encrypts FILE into a payload, or with --archive into a self-decrypting archive: a "
     "Windows program that asks its recipient for the password and writes the file back, "
     "verified. The password is asked twice on the terminal, unless a password option "
     "names another source; it is checked against the format's rule after the first entry.",
     WithPasswordOptions({
         {"-o OUT", "the payload or archive to write; - writes standard output (not to a "
                    "terminal). A name ending in .exe needs --archive, or --force to write a "
                    "payload under it"},
         {"--archive", "write a self-decrypting archive: the three programs for archives, "
                       "then the payload (default: a payload alone)"},
         {"--parts DIR", "the folder holding Tarrow.exe, Orx_DelTool.exe and "
                         "Orx_DecryptFile.exe (default: DEFAULT_PARTS)"},
         {"--stub FILE", "the stub to use instead of the folder's Tarrow.exe"},
         {"--cleanup FILE", "the cleanup tool instead of the folder's Orx_DelTool.exe"},
         {"--decryptor FILE", "the decryptor instead of the folder's Orx_DecryptFile.exe"},
         {"--name NAME", "the name stored in the payload, which unpack and the decryptor "
                         "give the file (default: FILE's own name; for standard input, "
                         "OUT's name without its last extension)"},
         {"--format 1|2", "the payload format (default: 2); see payload formats"},
         {"--cost N", "format 2's cost: PBKDF2 iterations from 100000 to 10000000 "
                      "(default: 600000)"},
         {"--key-bits 128|192|256", "format 1's AES key (default: 256; format 2 is always "
                                    "256)"},
         {"--no-password-rules", "let format 1 take any password its decryptor can use "
                                 "(default: the product's rules; see passwords)"},
         {"--generate-password",
          "make a random passphrase of 100 bits (five groups of four lowercase letters and "
          "digits, without l, o, 0 and 1), use it and print it on standard error as the line "
          "\"password: ...\" once the output is written; with --format 1 it needs "
          "--no-password-rules"},
         {"--force", "replace an existing OUT (default: refuse it, exit 6)"},
     }),
     "orx pack report.pdf -o report.exe --archive\n"
     "tar c photos | orx pack - -o photos.tar.orx --password-file pw.txt",
     {kStreams, kPasswords, kFormats, kFiles, kExitCodes},
     {}},
    {"unpack", "decrypt an archive or payload, verified before it is written",
     "unpack ARCHIVE-OR-PAYLOAD [-C DIR | -o FILE] [options]",
     "Decrypts an archive or payload of either format into DIR under the name it stores, "
     "or into FILE. The file takes its name only once it is verified against the stored "
     "digest or tag and flushed to disk; the stored name, the folder and the output are "
     "checked before the password is asked.",
     WithPasswordOptions({
         {"-C DIR", "the folder to write the stored name in (default: the current folder)"},
         {"-o FILE", "write FILE instead, whatever name is stored; - writes standard output, "
                     "only once the whole payload is verified"},
         {"--allow-dot-name", "write a stored name that starts with a dot, or outside Windows "
                              "with a dash (default: refuse it: a hidden file, perhaps read "
                              "by programs as their settings; an option to a command given "
                              "the folder's files)"},
         {"--force", "replace an existing file (default: refuse it, exit 6)"},
     }),
     "orx unpack report.exe -C ~/Downloads\n"
     "orx unpack photos.tar.orx -o - --password-file pw.txt | tar t",
     {kStreams, kPasswords, kFiles, kExitCodes},
     {}},
    {"test", "check the password and verify the whole file, writing nothing",
     "test ARCHIVE-OR-PAYLOAD [options]",
     "Reads an archive or payload, checks the password and decrypts and verifies all of it "
     "against its stored digest or tag, without writing anything. Prints \"verified\" and "
     "the stored name on standard output when it passed.",
     WithPasswordOptions({}),
     "orx test report.exe",
     {kStreams, kPasswords, kExitCodes},
     {}},
    {"inspect", "show the fields of an archive or payload, without the password",
     "inspect ARCHIVE-OR-PAYLOAD [--json]",
     "Prints the header fields, the cipher and the lengths of an archive or payload, and "
     "for an archive the programs it carries, each with its size, machine and SHA-256 (to "
     "compare with a release's SHA256SUMS). Nothing is printed on standard output for a "
     "file it cannot read whole: the reason goes to standard error. Neither format records "
     "its length, so a file cut short inside its cipher text or its check cannot be told "
     "from a whole one without the password: test tells it fails. A cut inside the header "
     "or the archive's programs, or one that leaves less than a header and a check, is "
     "shown as truncated (exit 5).",
     {{"--json", "print one JSON object instead, with the keys below, which stay as they "
                 "are; a field the file does not have is null"}},
     "orx inspect report.exe\n"
     "orx inspect --json report.exe",
     {kStreams, kExitCodes},
     {{"container", "\"archive\" or \"payload\""},
      {"fileBytes", "the length of the file"},
      {"payloadOffset", "where the payload starts (78336 in an archive, 0 alone)"},
      {"format", "1 or 2"},
      {"signature", "the first four bytes as a little-endian number, in hex"},
      {"cipher", "\"aes-256-cfb\", \"aes-192-cfb\" or \"aes-128-cfb\""},
      {"kdf", "format 2's key derivation, \"PBKDF2-HMAC-SHA256\"; null in format 1"},
      {"cost", "format 2's iterations; null in format 1"},
      {"name", "the stored name (UTF-8)"},
      {"headerBytes", "the length of the header"},
      {"contentBytes", "the length of the cipher text, which is the file's"},
      {"checkBytes", "what follows: 24 (digest and tail, format 1) or 32 (tag, format 2)"},
      {"check", "that stored digest or tag, in hex"},
      {"programs", "in an archive, one object per slot (stub, cleanup, decryptor): file "
                   "(its usual name), offset, bytes (the program's own length, without its "
                   "padding), machine (\"x86\", \"x86-64\" or null when not a program) and "
                   "sha256; an empty list for a payload"}}},
    {"archive", "put an existing payload into a self-decrypting archive",
     "archive --payload P -o OUT [options]",
     "Builds an archive from the three programs and an existing payload, which must be one "
     "the decryptor can open. Each program must fit its slot: the stub and the decryptor "
     "GUI programs, the cleanup tool a console program.",
     {
         {"--payload P", "the payload; - reads standard input"},
         {"-o OUT", "the archive to write; - writes standard output (not to a terminal)"},
         {"--parts DIR", "the folder holding Tarrow.exe, Orx_DelTool.exe and "
                         "Orx_DecryptFile.exe (default: DEFAULT_PARTS)"},
         {"--stub FILE", "the stub to use instead of the folder's Tarrow.exe"},
         {"--cleanup FILE", "the cleanup tool instead of the folder's Orx_DelTool.exe"},
         {"--decryptor FILE", "the decryptor instead of the folder's Orx_DecryptFile.exe"},
         {"--force", "replace an existing OUT (default: refuse it, exit 6)"},
     },
     "orx archive --payload report.pdf.orx -o report.exe",
     {kStreams, kFiles, kExitCodes},
     {}},
};

struct TopicHelp {
  const char* label;
  const char* text;  // paragraphs separated by "\n"
};

const TopicHelp kTopics[kTopicCount] = {
    {"standard input and output",
     "A file named - is standard input where orx reads a file, and standard output where it "
     "writes one. Standard input serves one file, or the password, not both.\n"
     "unpack, test and inspect read a payload given as - into an unnamed temporary file in "
     "$TMPDIR (or /tmp) first: its length and its check are at its end. That file holds "
     "cipher text only, is the user's alone, and has no name on disk, so that it goes with "
     "orx however orx ends.\n"
     "unpack -o - writes no byte that is not verified: it reads the payload twice, first to "
     "verify it, then to decrypt it to standard output, and gives out each megabyte of the "
     "second reading only when it is the one verified (a keyed fingerprint of each is kept "
     "from the first). A payload that changes in between ends the run with exit 4, after a "
     "verified beginning at most. It costs a second decryption, and a pipe's payload space "
     "in $TMPDIR."},
    {"passwords",
     "The password is asked on the terminal without echo, or read from --password-file F or "
     "--password-stdin, never from the command line. Format 2 takes any passphrase of 1 to "
     "254 characters (UTF-16 units) in any script, taken as typed, without normalisation. "
     "Format 1 keeps the product's rules for a new payload: 4 to 12 characters, the letters "
     "A-Z and a-z, the digits and , - . / ; = [ \\ ]; with --no-password-rules any password "
     "its decryptor can use: 1 to 254 characters, none whose low byte is zero (it keeps only "
     "that byte). A password works in orx and in the decryptor's dialog alike."},
    {"payload formats",
     "2, the default, derives its key from the password's UTF-8 with PBKDF2-HMAC-SHA256, a "
     "random salt and a stored cost, wraps a random file key under it and authenticates "
     "header and content with HMAC-SHA256. 1 derives its key from one unsalted MD5 of the "
     "password and stores the content's SHA-1 in the clear: far cheaper to guess; pack says "
     "so when it writes it. unpack, test, inspect and archive read both. Neither records its "
     "length: the content is what lies between the header and the check at the end."},
    {"files",
     "The programs of an archive, Tarrow.exe (the stub), Orx_DelTool.exe (the cleanup tool) "
     "and Orx_DecryptFile.exe (the decryptor), are taken from DEFAULT_PARTS unless --parts "
     "or the options of each name others: the package puts there the 32-bit Windows programs "
     "of the release it was made with, whose SHA-256 are in that release's SHA256SUMS "
     "(installed as /usr/share/doc/orx/SHA256SUMS).\n"
     "NAME.orx-NNNN.part: an output being written, beside it; it takes its name only once "
     "complete (for unpack: verified) and is removed on every other ending, signals "
     "included. Only SIGKILL or a power cut can leave one; it can be deleted.\n"
     "An archive or payload is created readable by others as the umask allows: it is meant "
     "to be sent. A decrypted file is the user's alone (mode 0600). An existing output is "
     "replaced only with --force, and never by a failed run."},
    {"exit codes", nullptr},  // a list: kExitCodeList
};

const Entry kExitCodeList[] = {
    {"0", "done"},
    {"1", "a file could not be read or written (the reason is printed), or an input or "
          "output was refused: a program unfit for its slot, a name that cannot be stored or "
          "written, an output that is an input, a write to standard output that failed"},
    {"2", "bad command line, or no terminal to ask the password on"},
    {"3", "wrong password, or a password refused: empty, against the format's rules, the "
          "two entries differ"},
    {"4", "the content fails its stored digest (format 1) or the payload its tag (format "
          "2): damaged, altered, or cut short inside its content or check, which neither "
          "format can tell apart"},
    {"5", "malformed payload or archive, or one cut short where it shows: inside its header "
          "or the archive's programs, or shorter than a header and a check"},
    {"6", "the output exists and --force was not given"},
    {"7", "not an archive or payload of this kind: another Windows program, or a file "
          "without a payload's signature"},
    {"128+N", "ended by signal N (130 Ctrl-C, 131 Ctrl-\\, 141 a closed pipe, 143 SIGTERM, "
              "129 SIGHUP), the partial output removed"},
};

// ---- Printing --------------------------------------------------------------

std::string WithDefaults(std::string text) {
  const std::string mark = "DEFAULT_PARTS";
  for (size_t at; (at = text.find(mark)) != std::string::npos;) {
    text.replace(at, mark.size(), platform::kDefaultPartsWhere);
  }
  return text;
}

// `text` in lines of at most kWidth, the first after `first`, the rest
// indented by `indent` blanks.
void PrintWrapped(std::FILE* to, const std::string& first, size_t indent,
                  const std::string& text) {
  std::string line = first;
  size_t at = 0;
  bool empty = true;  // nothing of the text on this line yet
  while (at < text.size()) {
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    if (!empty && line.size() + 1 + word.size() > kWidth) {
      std::fprintf(to, "%s\n", line.c_str());
      line.assign(indent, ' ');
      empty = true;
    }
    line += (empty ? "" : " ") + word;
    empty = false;
    at = end + 1;
  }
  std::fprintf(to, "%s\n", line.c_str());
}

void PrintParagraphs(std::FILE* to, size_t indent, const std::string& text) {
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (at > 0) std::fputs("\n", to);
    PrintWrapped(to, std::string(indent, ' '), indent, WithDefaults(text.substr(at, end - at)));
    at = end + 1;
  }
}

template <typename Entries>
void PrintList(std::FILE* to, const char* label, const Entries& entries) {
  std::fprintf(to, "\n%s:\n", label);
  for (const Entry& e : entries) {
    std::string term = std::string("  ") + e.term;
    if (term.size() + 2 > kTermWidth) {
      std::fprintf(to, "%s\n", term.c_str());
      term.clear();
    }
    term.resize(kTermWidth, ' ');
    PrintWrapped(to, term, kTermWidth, WithDefaults(e.text));
  }
}

void PrintTopic(std::FILE* to, Topic topic) {
  if (topic == kExitCodes) {
    PrintList(to, kTopics[topic].label, kExitCodeList);
    return;
  }
  std::fprintf(to, "\n%s:\n", kTopics[topic].label);
  PrintParagraphs(to, 2, kTopics[topic].text);
}

// One command a line, as typed.
void PrintExample(std::FILE* to, const std::string& example) {
  std::fprintf(to, "\nexample:\n");
  for (size_t at = 0; at < example.size();) {
    size_t end = example.find('\n', at);
    if (end == std::string::npos) end = example.size();
    std::fprintf(to, "  %s\n", example.substr(at, end - at).c_str());
    at = end + 1;
  }
}

}  // namespace

std::vector<std::string> CommandNames() {
  std::vector<std::string> names;
  for (const CommandHelp& c : kCommands) names.push_back(c.name);
  return names;
}

void PrintOverview(std::FILE* to) {
  std::fputs("usage: orx COMMAND [options]\n", to);
  for (const CommandHelp& c : kCommands) std::fprintf(to, "  orx %s\n", c.synopsis);
  std::fputs("  orx --version\n\n", to);
  PrintParagraphs(to, 0,
                  "orx makes Orvanta's self-decrypting archives, Windows programs that give "
                  "their recipient one file back once the right password is typed, and their "
                  "encrypted payloads, and opens both on any system, without Windows. "
                  "\"orx COMMAND --help\" shows a command's options, their defaults and an "
                  "example; \"orx --version\" the version.");
  std::vector<Entry> summaries;
  for (const CommandHelp& c : kCommands) summaries.push_back({c.name, c.summary});
  PrintList(to, "commands", summaries);
  for (int topic = 0; topic < kTopicCount; ++topic) PrintTopic(to, static_cast<Topic>(topic));
}

void PrintCommandHelp(std::FILE* to, const std::string& command) {
  for (const CommandHelp& c : kCommands) {
    if (command != c.name) continue;
    std::fprintf(to, "usage: orx %s\n\n", c.synopsis);
    PrintParagraphs(to, 0, c.description);
    if (!c.options.empty()) PrintList(to, "options", c.options);
    if (!c.jsonKeys.empty()) PrintList(to, "json keys", c.jsonKeys);
    PrintExample(to, c.example);
    for (Topic topic : c.topics) PrintTopic(to, topic);
  }
}

void PrintVersion(std::FILE* to) {
  std::fprintf(to, "orx %s (commit %s)\n", kOrxVersion, kOrxCommit);
}

}  // namespace orx
