#!/usr/bin/env python3
"""Writes orx's manual page and bash completion from orx's own --help.

Run at build time on the orx just built, so that the manual page, the
completion and `orx --help` cannot disagree: the help texts in orx are the
one source. The help is read as orx prints it:

    usage:
      orx COMMAND SYNOPSIS...        (continued on lines indented further)
        description...               (indented four spaces)
    a paragraph starting in column 0, continued on indented lines
    label: a paragraph under a label, such as "exit codes: ..."

A placeholder "[password option]" in a synopsis stands for the options of
the "password options:" paragraph. The manual page is gzipped without a
name or time stamp, so that it is the same bytes in every build.
"""
import argparse
import gzip
import re
import subprocess

OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][\w-]*)(?: ([A-Z][A-Z-]*|\w+(?:\|\w+)+))?")
LABEL = re.compile(r"^([a-z][a-z ]*): (.*)$")


def help_text(orx, *args):
    return subprocess.run([orx, *args, "--help"], check=True, capture_output=True,
                          text=True).stdout


def parse(text):
    """(commands, paragraphs): commands as (name, synopsis lines, description
    lines); paragraphs as (label or None, text lines)."""
    lines = text.splitlines()
    if not lines or lines[0] != "usage:":
        raise SystemExit("orx --help does not start with 'usage:'")
    commands, paragraphs = [], []
    for line in lines[1:]:
        if line.startswith("  orx "):
            commands.append((line.split()[1], [line[2:].rstrip()], []))
        elif line.startswith("     ") and commands and not commands[-1][2]:
            commands[-1][1].append(line[2:].rstrip())
        elif line.startswith("    ") and commands and not paragraphs:
            commands[-1][2].append(line.strip())
        elif not line.startswith(" "):
            m = LABEL.match(line)
            paragraphs.append((m.group(1), [m.group(2)]) if m else (None, [line]))
        elif paragraphs:
            paragraphs[-1][1].append(line.strip())
        else:
            raise SystemExit("orx --help: cannot place the line %r" % line)
    return commands, paragraphs


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


def manual_page(commands, paragraphs):
    out = ['.TH ORX 1 "" "Orvanta" "User Commands"', ".nh", ".ad l",
           ".SH NAME", "orx \\- build and open self\\-decrypting archives and encrypted payloads",
           ".SH SYNOPSIS", ".nf"]
    for _, synopsis, _ in commands:
        out += [roff(s) for s in synopsis]
    out += [".fi", ".SH DESCRIPTION"]
    for label, text in paragraphs:
        if label is None:
            out += [".PP"] + [roff(t) for t in text]
    out.append(".SH COMMANDS")
    for name, _, description in commands:
        out += [".TP", ".B " + roff(name)] + [roff(d) for d in description]
    for label, text in paragraphs:
        if label is not None:
            out += [".SH " + roff(label.upper())] + [roff(t) for t in text]
    return "\n".join(out) + "\n"


def completion(commands, paragraphs):
    """A bash completion function: commands first, then each command's options,
    directories after a DIR option, the listed values after a|b|c, files
    otherwise."""
    password = [o for label, text in paragraphs if label == "password options"
                for o in OPTION.findall(" ".join(text))]
    cases, takes_dir, takes_value, values = [], set(), set(), {}
    for name, synopsis, _ in commands:
        joined = " ".join(synopsis)
        options = OPTION.findall(joined) + (password if "password option" in joined else [])
        for option, arg in options:
            if arg == "DIR":
                takes_dir.add(option)
            elif "|" in arg:
                values[option] = arg.replace("|", " ")
            elif arg:
                takes_value.add(option)
        names = sorted({o for o, _ in options} | {"--help"})
        cases.append('    %s) options="%s" ;;' % (name, " ".join(names)))
    value_cases = ['    %s) COMPREPLY=($(compgen -W "%s" -- "$cur")); return ;;' % (o, v)
                   for o, v in sorted(values.items())]
    return "\n".join([
        "# bash completion for orx; written from orx's own --help by help_pages.py.",
        "_orx() {",
        '  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} options=""',
        "  if [ \"$COMP_CWORD\" -eq 1 ]; then",
        '    COMPREPLY=($(compgen -W "%s --help" -- "$cur"))' % " ".join(c[0] for c in commands),
        "    return",
        "  fi",
        '  case $prev in',
        *value_cases,
        *(['    %s) COMPREPLY=($(compgen -d -- "$cur")); return ;;' % "|".join(sorted(takes_dir))]
          if takes_dir else []),
        *(['    %s) COMPREPLY=($(compgen -f -- "$cur")); return ;;' % "|".join(sorted(takes_value))]
          if takes_value else []),
        "  esac",
        "  case ${COMP_WORDS[1]} in",
        *cases,
        "  esac",
        '  if [[ $cur == -* ]]; then',
        '    COMPREPLY=($(compgen -W "$options" -- "$cur"))',
        "  else",
        '    COMPREPLY=($(compgen -f -- "$cur"))',
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

    commands, paragraphs = parse(help_text(args.orx))
    # Each command's own help must be its part of the whole, so that the
    # page shows what `orx COMMAND --help` shows.
    for name, synopsis, description in commands:
        own = parse(help_text(args.orx, name))
        if own != ([(name, synopsis, description)], paragraphs):
            raise SystemExit("orx %s --help is not its part of orx --help" % name)
    with open(args.man, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=0) as z:
            z.write(manual_page(commands, paragraphs).encode("utf-8"))
    with open(args.completion, "w", encoding="utf-8", newline="\n") as f:
        f.write(completion(commands, paragraphs))


if __name__ == "__main__":
    main()
