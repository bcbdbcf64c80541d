#!/usr/bin/env python3
"""Runs the README's commands as a new user types them, from the repository
root, in the order the README gives them, and checks the README's links.

    python3 tests/readme/readme_commands.py [--list] [README]

A fenced block is a command block when its info string is sh, bash, shell or
console, or when every command in it (lines joined at a trailing backslash;
comments and blank lines left out) starts with one of the repository's
programs (scripts/..., build/...). Other blocks (sessions, T&E files, output,
formulas) are text. Each command must exit 0. Commands that would run for long
run in the shorter form the README documents for them:

  scripts/test              not run: it is the command that runs this test
  scripts/coverage          not run: a whole instrumented build and suite of its
                            own (scripts/clang-check keeps its build from rotting);
                            "scripts/coverage report" and "show" run as shown
  scripts/fuzz run N ...    N seconds become ZOT_README_FUZZ_SECONDS (2)
  scripts/bench ...         --benchmark_list_tests=true: builds the benchmarks
                            and lists their measures without timing them
  a server (scripts/serve, zot-host serve)
                            started on a free port (--port 0), run until it
                            prints its address, then stopped with Ctrl+C
                            (SIGINT), which must end it with status 0

Links: every [text](#anchor) names a heading of the README, and every link to
a file of the repository names one that exists."""
import os
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROGRAM = re.compile(r"^(scripts|build)/[\w.-]+")
SHELL_INFO = {"sh", "bash", "shell", "console"}
SERVER = re.compile(r"^(scripts/serve\b|build/zot-host\b.*\bserve\b)")
TIMEOUT = int(os.environ.get("ZOT_README_TIMEOUT", "3600"))


def blocks(text):
    """(heading, info, lines) of every fenced block, in order."""
    heading, found, block = "", [], None
    for line in text.split("\n"):
        fence = line.lstrip().startswith("```")
        if block is None:
            if line.startswith("#"):
                heading = line.lstrip("#").strip()
            elif fence:
                block = (heading, line.lstrip()[3:].strip(), [])
        elif fence:
            found.append(block)
            block = None
        else:
            block[2].append(line)
    return found


def commands(lines):
    """The block's commands: continuation lines joined, comments dropped."""
    joined, pending = [], ""
    for line in lines:
        if line.rstrip().endswith("\\"):
            pending += line.rstrip()[:-1] + " "
            continue
        joined.append(pending + line)
        pending = ""
    out = []
    for line in joined:
        code = re.sub(r"(^|\s)#.*$", "", line).strip()
        if code:
            out.append(code)
    return out


def command_blocks(text):
    for heading, info, lines in blocks(text):
        cmds = commands(lines)
        if cmds and (info in SHELL_INFO or all(PROGRAM.match(c) for c in cmds)):
            yield heading, cmds


def variant(command):
    """The command as this test runs it, or None with why it is not run."""
    if re.match(r"^scripts/test\b", command):
        return None, "the command that runs this test"
    if re.match(r"^scripts/coverage\s*$", command):
        return None, "a whole instrumented build and suite of its own"
    m = re.match(r"^(scripts/fuzz run )(\d+)(.*)$", command)
    if m:
        return m.group(1) + os.environ.get("ZOT_README_FUZZ_SECONDS", "2") + m.group(3), None
    if re.match(r"^scripts/bench\b", command):
        return command + " --benchmark_list_tests=true", None
    if SERVER.match(command):
        if re.search(r"--port\s+\S+", command):
            return re.sub(r"--port\s+\S+", "--port 0", command), None
        return re.sub(r"^(scripts/serve|.*?\bserve)\b", r"\1 --port 0", command, count=1), None
    return command, None


def run_server(command, log):
    """Runs until the address is printed, then stops it as Ctrl+C does."""
    process = subprocess.Popen(["bash", "-c", "exec " + command], cwd=ROOT, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, start_new_session=True)
    started = time.monotonic()
    address = False
    for line in process.stdout:
        log.append(line)
        if "http://" in line:
            address = True
            break
        if time.monotonic() - started > TIMEOUT:
            break
    if not address:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        log.append("(no address printed)\n")
        return False
    os.killpg(process.pid, signal.SIGINT)
    try:
        rest, _ = process.communicate(timeout=60)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        log.append("(did not stop on Ctrl+C)\n")
        return False
    log.append(rest)
    return process.returncode == 0


def run(command):
    log = []
    if SERVER.match(command):
        return run_server(command, log), "".join(log)
    try:
        result = subprocess.run(["bash", "-c", command], cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                text=True, timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        return False, f"(still running after {TIMEOUT} s)"
    return result.returncode == 0, result.stdout


def slug(heading):
    """The anchor a heading gets: lower case, punctuation dropped, blanks as hyphens."""
    text = re.sub(r"[`*]", "", heading.strip().lower())
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def link_problems(text):
    problems = []
    body = re.sub(r"```.*?```", "", text, flags=re.S)
    anchors = {slug(line.lstrip("#")) for line in body.split("\n") if line.startswith("#")}
    for target in re.findall(r"\]\(([^)\s]+)\)", body):
        if target.startswith(("http://", "https://", "mailto:")):
            continue
        path, _, anchor = target.partition("#")
        if not path and anchor not in anchors:
            problems.append(f"the link #{anchor} names no heading")
        elif path and not os.path.exists(os.path.join(ROOT, path)):
            problems.append(f"the link {path} names no file of the repository")
    return problems


def main():
    args = [a for a in sys.argv[1:] if a != "--list"]
    readme = args[0] if args else os.path.join(ROOT, "README.md")
    text = open(readme, encoding="utf-8").read()
    failures = link_problems(text)
    for problem in failures:
        print(f"README: {problem}")
    ran = 0
    for heading, cmds in command_blocks(text):
        for command in cmds:
            shown, why = variant(command)
            if shown is None:
                print(f"-- [{heading}] {command}: not run ({why})")
                continue
            if "--list" in sys.argv:
                print(f"-- [{heading}] {shown}")
                continue
            started = time.monotonic()
            ok, output = run(shown)
            ran += 1
            print(f"{'ok' if ok else 'FAILED'} [{heading}] {shown} ({time.monotonic() - started:.0f} s)")
            if not ok:
                failures.append(shown)
                print("".join("    " + line + "\n" for line in output.splitlines()[-40:]), end="")
    if ran == 0 and "--list" not in sys.argv:
        failures.append("no command block found")
        print("README: no command block found")
    print(f"README commands: {ran} run, {len(failures)} problems")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
