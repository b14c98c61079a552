#!/usr/bin/env python3
"""Runs the commands that README.md and the man pages show, as a user would type them.

The commands are found when the check runs, so a recipe added to the documents is
checked without a change here:

- README.md: the lines of its code blocks (indented or fenced) and its inline code
  spans that begin with a program: one of ours, a path in the source tree, or a program
  on PATH. A line `$ command` is followed by the output the command must print.
- man/*.1: the lines between .nf and .fi (or .EX and .EE) that begin with a program.

Each command runs under bash (with pipefail) in a fresh temporary copy of examples/,
with stdin empty, no display and a time limit: the README's commands from a folder
holding examples/ and build/bin/ (our programs), the man pages' from inside the copy
of examples/. Our programs are also on PATH. A command must exit with status 0; a
`$` command must print the shown output; a pipeline must print no blank line (its
output is the next program's data, and a blank line means a field was split wrongly);
after a block followed by "gives `FILE`" or "should equal `FILE`", the file that each
command of the block names last must equal FILE; after "The console says `TEXT`",
each command of the block must print TEXT; and after "`OUT` (as `FILE`)", the file OUT
that the block writes must equal FILE.

Usage: doc_commands.py SOURCE_DIR HELMERT2D HELMERT2D_BOUNDARY   (the built programs)
"""
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

PROGRAMS = ("helmert2d", "helmert2d-boundary")

# Shown commands that are not run here, by the start of the command (after any
# VAR=value assignments).
SKIPPED = (
    "sudo",  # changes the system
    "apt-get",  # changes the system
    "cmake",  # configures, builds or installs; the check runs on the build at hand
    "tools/run-example",  # installs packages and builds; tests/cli runs the same job
    "tools/run-tests",  # builds and runs the whole suite, this check among it
    "tools/install-deps",  # installs packages
    "bench/",  # benchmarks run for minutes
    "build/bench/",  # benchmarks are built only on request
)

# Placeholders that recipes use, and the value they get here. A command with another
# placeholder (a word in capitals, or in [brackets]) is a synopsis and is not run.
# Files of the plain format: the recipes' points.txt, the benchmark table's f1 and f2.
PLACEHOLDER_FILES = {
    "points.txt": "examples/local.txt",
    "f1": "examples/local.txt",
    "f2": "examples/national.txt",
}
PLACEHOLDERS = ("PIPELINE",)  # the JSON's `proj` of the example run

TIME_LIMIT = 60  # seconds per command


class Command:
    def __init__(self, doc, line, text, output=None):
        self.doc, self.line, self.text, self.output = doc, line, text, output
        self.outcome = None  # the file the command's last argument must equal
        self.console = None  # a text the command must print
        self.alike = []  # (written file, file it must equal)


def words(text):
    try:
        return shlex.split(text, comments=True)
    except ValueError:
        return text.split()


def program_of(text):
    """The command's program (after VAR=value assignments), or None."""
    for w in words(text):
        if re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*=.*", w):
            continue
        return w
    return None


def is_command(text, source):
    prog = program_of(text)
    if prog is None:
        return False
    if prog in PROGRAMS or prog.startswith("build/"):
        return True
    if "/" in prog:
        return os.path.exists(os.path.join(source, prog))
    return shutil.which(prog) is not None and len(words(text)) > 1


def join_continued(lines):
    """(line number, text) pairs with backslash-continued lines joined."""
    out, pending, start = [], "", None
    for number, text in lines:
        if start is None:
            start = number
        if text.rstrip().endswith("\\"):
            pending += text.rstrip()[:-1] + " "
            continue
        out.append((start, pending + text))
        pending, start = "", None
    if start is not None:
        out.append((start, pending))
    return out


def commands_of_block(doc, lines, source):
    """The commands of a code block's lines ((number, text), dedented)."""
    found = []
    for number, text in join_continued(lines):
        stripped = text.strip()
        if stripped.startswith("$ "):
            found.append(Command(doc, number, stripped[2:], output=[]))
        elif found and found[-1].output is not None and not stripped.startswith("$"):
            found[-1].output.append(text)
        elif is_command(stripped, source):
            found.append(Command(doc, number, stripped))
    return found


def content_indent(line):
    m = re.match(r"(\s*)(?:[-*+]|\d+\.)\s+", line)
    return len(m.group(0)) if m else len(line) - len(line.lstrip())


def markdown_commands(path, source):
    doc = os.path.relpath(path, source)
    lines = open(path, encoding="utf-8").read().split("\n")
    commands = []
    text_indent, blank, i = 0, True, 0
    while i < len(lines):
        line = lines[i]
        indent = len(line) - len(line.lstrip())
        if line.lstrip().startswith("```"):
            j = i + 1
            while j < len(lines) and not lines[j].lstrip().startswith("```"):
                j += 1
            block = [(k + 1, lines[k][indent:]) for k in range(i + 1, j)]
            i = j + 1
        elif line.strip() and blank and indent >= text_indent + 4:
            j = i
            while j < len(lines) and (
                not lines[j].strip() or len(lines[j]) - len(lines[j].lstrip()) >= indent
            ):
                j += 1
            while j > i and not lines[j - 1].strip():
                j -= 1
            block = [(k + 1, lines[k][indent:]) for k in range(i, j)]
            i = j
        else:
            if line.strip():
                text_indent = content_indent(line)
                for span in re.findall(r"`([^`]+)`", line):
                    if " " in span and is_command(span, source):
                        commands.append(Command(doc, i + 1, span))
            blank = not line.strip()
            i += 1
            continue
        block_commands = commands_of_block(doc, block, source)
        # The paragraph after the block may name the file its commands write.
        after = []
        while i < len(lines) and not lines[i].strip():
            i += 1
        k = i
        while k < len(lines) and lines[k].strip():
            after.append(lines[k])
            k += 1
        m = re.search(r"(?:gives|should equal)\s+`([^`]+)`", " ".join(after))
        said = re.search(r"[Cc]onsole says\s+`([^`]+)`", " ".join(after))
        alike = re.findall(r"`([^`]+)` \(as `([^`]+)`\)", " ".join(after))
        for c in block_commands:
            c.alike = [(out, ref) for out, ref in alike if out in words(c.text)]
            c.outcome = m.group(1) if m else None
            c.console = said.group(1) if said else None
        commands += block_commands
        blank = True
    return commands


def roff_text(line):
    line = line.replace("\\\\", "\x00").replace("\\e", "\x00").replace("\\-", "-")
    line = line.replace("\\(aq", "'").replace("\\(dq", '"')
    line = re.sub(r"\\f[BIRP]", "", line)
    return line.replace("\x00", "\\")


def man_commands(path, source):
    doc = os.path.relpath(path, source)
    commands, block = [], None
    for number, line in enumerate(open(path, encoding="utf-8").read().split("\n"), 1):
        if line.startswith((".nf", ".EX")):
            block = []
        elif line.startswith((".fi", ".EE")) and block is not None:
            commands += commands_of_block(doc, block, source)
            block = None
        elif block is not None and not line.startswith("."):
            block.append((number, roff_text(line)))
    return commands


def same_bytes(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def skipped(text):
    prog = program_of(text) or ""
    return any(prog == s or (s.endswith("/") and prog.startswith(s)) for s in SKIPPED)


def synopsis(ws):
    """Whether the words hold a placeholder that has no value here."""
    for w in ws:
        # PROJ's tools take a file's content as @FILE.
        if w.startswith("[") or (re.fullmatch(r"@?[A-Z][A-Z0-9_]*", w) and w not in PLACEHOLDERS):
            return True
    return False


def is_pipeline(text):
    try:
        lexer = shlex.shlex(text, posix=True, punctuation_chars=True)
        return "|" in list(lexer)
    except ValueError:
        return "|" in text


def main():
    source, *built = (os.path.abspath(a) for a in sys.argv[1:4])
    commands = markdown_commands(os.path.join(source, "README.md"), source)
    man_dir = os.path.join(source, "man")
    for name in sorted(os.listdir(man_dir)):
        if name.endswith(".1"):
            commands += man_commands(os.path.join(man_dir, name), source)

    work = tempfile.mkdtemp(prefix="doc_commands.")
    failures, ran = [], 0
    try:
        programs = os.path.join(work, "bin")
        os.makedirs(programs)
        for p, path in zip(PROGRAMS, built):
            os.symlink(path, os.path.join(programs, p))
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env["PATH"] = programs + os.pathsep + env.get("PATH", "")

        # The example run's PROJ pipeline, for the recipes that apply it.
        subprocess.run(
            [built[0], "--no-pause", "--no-window", "--json",
             os.path.join(work, "run.json"), os.path.join(source, "examples", "local.txt"),
             os.path.join(source, "examples", "national.txt"), os.path.join(work, "r.txt")],
            env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True,
            timeout=TIME_LIMIT)
        values = {"PIPELINE": json.load(open(os.path.join(work, "run.json")))["proj"]}

        for n, c in enumerate(commands):
            ws = words(c.text)
            if skipped(c.text) or synopsis(ws):
                continue
            text = c.text
            for name, value in values.items():
                text = re.sub(r"\b%s\b" % name, value, text)
            # A fresh folder: examples/, build/bin/, build/tests/ and the placeholder files.
            root = os.path.join(work, "run%d" % n)
            shutil.copytree(os.path.join(source, "examples"), os.path.join(root, "examples"))
            os.makedirs(os.path.join(root, "build"))
            os.symlink(programs, os.path.join(root, "build", "bin"))
            # Test programs that the README runs to print a table.
            tests_dir = os.path.join(os.path.dirname(os.path.dirname(built[0])), "tests")
            if os.path.isdir(tests_dir):
                os.symlink(tests_dir, os.path.join(root, "build", "tests"))
            for name, src in PLACEHOLDER_FILES.items():
                shutil.copy(os.path.join(source, src), os.path.join(root, name))
            cwd = root if c.doc == "README.md" else os.path.join(root, "examples")
            where = "%s:%d: %s" % (c.doc, c.line, c.text)
            ran += 1
            try:
                r = subprocess.run(["bash", "-c", "set -o pipefail\n" + text], cwd=cwd, env=env,
                                   stdin=subprocess.DEVNULL, capture_output=True,
                                   timeout=TIME_LIMIT)
            except subprocess.TimeoutExpired:
                failures.append("%s\n  did not end within %d s" % (where, TIME_LIMIT))
                continue
            out = r.stdout.decode("utf-8", "replace")
            problems = []
            if r.returncode != 0:
                problems.append("exit status %d" % r.returncode)
            if c.output is not None:
                shown = "\n".join(c.output).strip("\n") + "\n"
                if out != shown:
                    problems.append("prints\n%s  where the document shows\n%s" % (out, shown))
            if is_pipeline(text) and any(not l.strip() for l in out.rstrip("\n").split("\n")):
                problems.append("prints a blank line:\n" + out[:400])
            if c.console is not None and c.console not in out:
                problems.append("does not print '%s'" % c.console)
            for out_name, ref in c.alike:
                written = os.path.join(cwd, out_name)
                if not os.path.isfile(written) or not same_bytes(written, os.path.join(root, ref)):
                    problems.append("%s differs from %s" % (out_name, ref))
            if c.outcome is not None and ws:
                written = os.path.join(cwd, ws[-1])
                expected = os.path.join(root, c.outcome)
                if not os.path.isfile(written):
                    problems.append("writes no %s" % ws[-1])
                elif not same_bytes(written, expected):
                    problems.append("%s differs from %s" % (ws[-1], c.outcome))
            if problems:
                err = r.stderr.decode("utf-8", "replace")[-400:]
                failures.append("%s\n  %s%s" % (where, "\n  ".join(problems),
                                                 ("\n  stderr: " + err) if err else ""))
    finally:
        shutil.rmtree(work, ignore_errors=True)

    for f in failures:
        print("FAIL " + f)
    print("%d commands of the documents run, %d failed" % (ran, len(failures)))
    return 1 if failures or ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
