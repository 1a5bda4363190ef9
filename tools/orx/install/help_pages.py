#!/usr/bin/env python3
"""Writes orx's manual page and bash completion from orx's own help.

Run at build time on the orx just built, so that the manual page, the
completion and `orx --help` cannot disagree: the help texts in orx
(tools/orx/commands/help_text.cpp) are the one source. The page is made
of `orx --help` (synopsis, description, and the sections every command
shares), each `orx COMMAND --help` (its usage, description, options with
their defaults, example) and `orx --version`. The help is read as orx
prints it:

    usage: orx ...                   (then "  orx ..." synopsis lines)
    a paragraph at column 0, continued at column 0
    label:                           a section (after a blank line); its lines
                                     indented by two
      term    text                   in the list sections (commands,
              continued              options, exit codes, json keys)
      text                           in the others; example: one command a line

Blank lines separate paragraphs. The manual page is gzipped without a name
or time stamp, so that it is the same bytes in every build.
"""
import argparse
import gzip
import re
import subprocess

LISTS = {"commands", "options", "exit codes", "json keys"}
LABEL = re.compile(r"^([a-z][a-z ]*):$")
TERM = re.compile(r"^  (\S(?:.*?\S)?)(?: {2,}(\S.*))?$")
OPTION = re.compile(r"^(--?[A-Za-z][\w-]*)(?: (\S+))?$")
FILE_ARGUMENTS = {"FILE", "OUT", "F", "P"}  # the help's names for a file


def run(orx, *args):
    return subprocess.run([orx, *args], check=True, capture_output=True, text=True).stdout


def paragraphs(lines):
    """Lines (indentation stripped) joined into paragraphs at blank lines."""
    out, current = [], []
    for line in lines + [""]:
        if line.strip():
            current.append(line.strip())
        elif current:
            out.append(" ".join(current))
            current = []
    return out


def entries(lines):
    """A list section as (term, text) pairs."""
    out = []
    for line in lines:
        if not line.strip():
            continue
        m = TERM.match(line)
        if m:
            out.append([m.group(1), m.group(2) or ""])
        elif out and line.startswith("   "):
            out[-1][1] = (out[-1][1] + " " + line.strip()).strip()
        else:
            raise SystemExit("orx --help: cannot place the line %r" % line)
    return [tuple(e) for e in out]


def parse(text):
    """{"usage": [...], "text": [paragraphs], "sections": [(label, body)]}:
    a list section's body is (term, text) pairs, "example" its commands,
    any other its paragraphs."""
    lines = text.splitlines()
    if not lines or not lines[0].startswith("usage: orx "):
        raise SystemExit("orx help does not start with 'usage: orx '")
    usage = [lines[0][len("usage: "):]]
    i = 1
    while i < len(lines) and lines[i].startswith("  orx "):
        usage.append(lines[i].strip())
        i += 1
    top, sections = [], []
    previous = ""
    for line in lines[i:]:
        # A label follows a blank line: a paragraph's line may end in ":" too.
        m = LABEL.match(line) if not previous.strip() else None
        previous = line
        if m:
            sections.append((m.group(1), []))
        elif sections and (line.startswith("  ") or not line.strip()):
            sections[-1][1].append(line)
        elif not sections:
            top.append(line)
        else:
            raise SystemExit("orx help: cannot place the line %r" % line)
    parsed = []
    for label, body in sections:
        if label in LISTS:
            parsed.append((label, entries(body)))
        elif label == "example":
            parsed.append((label, [b.strip() for b in body if b.strip()]))
        else:
            parsed.append((label, paragraphs(body)))
    return {"usage": usage, "text": paragraphs(top), "sections": parsed}


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


def tagged(pairs):
    out = []
    for term, text in pairs:
        out += [".TP", ".B " + roff(term), roff(text)]
    return out


def command_part(name, summary, help_):
    out = [".SS " + roff(name), roff(summary), ".PP", ".nf", ".B " + roff("orx " + name
           + help_["usage"][0][len("orx " + name):]), ".fi"]
    for text in help_["text"]:
        out += [".PP", roff(text)]
    for label, body in help_["sections"]:
        if label in ("options", "json keys"):
            out += [".PP", ".I " + roff(label.capitalize()), ".RS 4"] + tagged(body) + [".RE"]
        elif label == "example":
            out += [".PP", ".I Example", ".RS 4", ".nf"] + [roff(b) for b in body] + [".fi", ".RE"]
    return out


def manual_page(overview, commands, version):
    out = ['.TH ORX 1 "" "orx %s" "User Commands"' % version.split()[1], ".nh", ".ad l",
           ".SH NAME", "orx \\- build and open self\\-decrypting archives and encrypted payloads",
           ".SH SYNOPSIS", ".nf"] + [roff(u) for u in overview["usage"][1:]] + [".fi",
           ".SH DESCRIPTION"]
    for text in overview["text"]:
        out += [".PP", roff(text)]
    out.append(".SH COMMANDS")
    summaries = dict(next(body for label, body in overview["sections"] if label == "commands"))
    for name, help_ in commands:
        out += command_part(name, summaries[name], help_)
    for label, body in overview["sections"]:
        if label == "commands":
            continue
        out.append(".SH " + roff(label.upper()))
        if label in LISTS:
            out += tagged(body)
        else:
            for text in body:
                out += [".PP", roff(text)]
    out += [".SH VERSION", roff("This page describes orx %s." % version.split()[1])]
    return "\n".join(out) + "\n"


def completion(commands):
    """A bash completion function: commands first, then each command's options,
    folders after a DIR option, the listed values after a|b|c, nothing after
    a number or a name, files (names with blanks kept whole) otherwise."""
    cases, takes_dir, takes_file, takes_word, values = [], set(), set(), set(), {}
    for name, help_ in commands:
        options = [OPTION.match(term).groups() for label, body in help_["sections"]
                   if label == "options" for term, _ in body]
        for option, arg in options:
            if arg == "DIR":
                takes_dir.add(option)
            elif arg and "|" in arg:
                values[option] = arg.replace("|", " ")
            elif arg in FILE_ARGUMENTS:
                takes_file.add(option)
            elif arg:
                takes_word.add(option)
        names = sorted({o for o, _ in options} | {"--help"})
        cases.append('    %s) options="%s" ;;' % (name, " ".join(names)))
    value_cases = ['    %s) COMPREPLY=($(compgen -W "%s" -- "$cur")); return ;;' % (o, v)
                   for o, v in sorted(values.items())]
    return "\n".join([
        "# bash completion for orx; written from orx's own --help by help_pages.py.",
        "# File names come from bash-completion's _filedir where it is loaded, else",
        "# from compgen a line each, so that a name with blanks stays one word.",
        "_orx_files() {",
        "  if declare -F _filedir >/dev/null; then _filedir \"$@\"; return; fi",
        "  local IFS=$'\\n'",
        '  COMPREPLY=($(compgen "${1:--f}" -- "$cur"))',
        "}",
        "_orx() {",
        '  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} options=""',
        "  if [ \"$COMP_CWORD\" -eq 1 ]; then",
        '    COMPREPLY=($(compgen -W "%s --help --version" -- "$cur"))'
        % " ".join(name for name, _ in commands),
        "    return",
        "  fi",
        '  case $prev in',
        *value_cases,
        *(['    %s) _orx_files -d; return ;;' % "|".join(sorted(takes_dir))]
          if takes_dir else []),
        *(['    %s) _orx_files; return ;;' % "|".join(sorted(takes_file))]
          if takes_file else []),
        *(['    %s) return ;;' % "|".join(sorted(takes_word))] if takes_word else []),
        "  esac",
        "  case ${COMP_WORDS[1]} in",
        *cases,
        "  esac",
        '  if [[ $cur == -* ]]; then',
        '    COMPREPLY=($(compgen -W "$options" -- "$cur"))',
        "  else",
        "    _orx_files",
        "  fi",
        "}",
        "complete -o filenames -F _orx orx",
        ""])


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--orx", required=True)
    ap.add_argument("--man", required=True, help="the gzipped manual page to write")
    ap.add_argument("--completion", required=True, help="the bash completion file to write")
    args = ap.parse_args()

    overview = parse(run(args.orx, "--help"))
    names = [u.split()[1] for u in overview["usage"][1:] if not u.split()[1].startswith("-")]
    commands = [(name, parse(run(args.orx, name, "--help"))) for name in names]
    # Each command's own help shares the overview's sections word for word,
    # so that the page can show them once.
    shared = dict(overview["sections"])
    for name, help_ in commands:
        for label, body in help_["sections"]:
            if label in shared and shared[label] != body:
                raise SystemExit("orx %s --help: its section %r is not the overview's"
                                 % (name, label))
    with open(args.man, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=0) as z:
            z.write(manual_page(overview, commands, run(args.orx, "--version")).encode("utf-8"))
    with open(args.completion, "w", encoding="utf-8", newline="\n") as f:
        f.write(completion(commands))


if __name__ == "__main__":
    main()
