"""Tests of `ktrt check`, the command-line conventions and docs/format.md.

Usage: check_test.py KTRT_EXECUTABLE SOURCE_DIR
"""

import json
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import unittest

KTRT, SOURCE_DIR = sys.argv[1], sys.argv[2]


def run(args, stdin=None):
    return subprocess.run([KTRT] + args, input=stdin, capture_output=True)


def findings_of(report):
    """The findings of one file's report as "LINE:COLUMN severity CODE"."""
    names = ["error", "warning", "note"]
    return [f"{m['line']}:{m['column']} {names[m['severity']]} {m['code']}"
            for m in report["issues"]["messages"]]


def check_json(path, *options):
    """Exit status and the findings of one file (after those of a --world)."""
    result = run(["check", "--json", *options, path])
    reports = json.loads(result.stdout)
    return result.returncode, findings_of(reports[-1] if isinstance(reports, list) else reports)


def write(folder, name, data):
    path = os.path.join(folder, name)
    pathlib.Path(path).write_bytes(data if isinstance(data, bytes) else data.encode())
    return path


def in_source(options):
    """The options with the example paths made absolute."""
    return [os.path.join(SOURCE_DIR, o) if o.startswith("examples/") else o for o in options]


def part(body, name='"P"'):
    return f"KTAnimation {{ Children [\n KTPartTransform {{ Name {name}\n{body}\n}} ] }}\n"


ROT = "OrientationInterpolator { Key [ 0 1 ] KeyValue [ 1 0 0 0, 1 0 0 1 ] }"
POS = part("PositionInterpolator { Key [ 0 ] KeyValue [ 1 2 3 ] }")


def turn(value):
    """A track whose second orientation key is `value` (axis and angle)."""
    return part(ROT.replace("1 0 0 1 ]", value + " ]"))


# Input, extra options, expected findings in order, exit status, and
# optionally a piece of the text report's first line.
CHECK_TABLE = [
    ("clean", part(ROT), [], [], 0),
    ("empty file", "", [], ["1:1 error NO_ANIMATION"], 1),
    ("prose", "hello world\n", [], ["1:1 warning OUTSIDE_ANIMATION", "1:1 error NO_ANIMATION"], 1),
    ("misspelt keyword", "KTAnimaton { }\n", [],
     ["1:1 error UNKNOWN_WORD", "1:1 error NO_ANIMATION"], 1),
    ("byte-order mark", "\ufeff" + part(ROT), [],
     ["1:1 error BYTE_ORDER_MARK", "1:1 error NO_ANIMATION"], 1),
    ("truncated", "KTAnimation { Children [\n", [], ["1:25 error OPEN_AT_END"], 1),
    ("unknown word", part(ROT + " Colour"), [], ["3:71 error UNKNOWN_WORD"], 1),
    ("library error", part("Key [ 0 ]"), [], ["3:1 error READ_ERROR"], 1),
    ("unquoted name", part(ROT, "Lid"), [],
     ["2:25 error UNQUOTED_NAME", "3:1 error READ_ERROR"], 1),
    ("replaced track", part(ROT) + part(ROT), [], ["6:2 warning TRACK_REPLACED"], 0),
    ("name cut at NUL", part(ROT, '"A\0B"'), [], ["2:25 error NAME_CUT_AT_NUL"], 1),
    ("non-finite number", turn("1 0 0 inf"), [], ["3:65 error NON_FINITE_NUMBER"], 1),
    ("positions", POS, [], ["2:2 note POSITIONS_NOT_PLAYED"], 0),
    ("positions, strict", POS, ["--strict"], ["2:2 note POSITIONS_NOT_PLAYED"], 0),
    ("positions at the origin", part("PositionInterpolator { Key [ 0 ] KeyValue [ 0 0 0 ] }"),
     [], [], 0),
    ("positions played", POS, ["--positions"], [], 0),
    ("glued bracket before a key", part(ROT.replace("[ 0 1 ]", "[0, 1 ]")), [],
     ["3:31 error UNKNOWN_WORD", "3:37 error READ_ERROR"], 1,
     "unknown word '[0' is ignored, and so are the words after it: brackets and braces must "
     "stand apart, with spaces ('[ 0')"),
    ("keys and values differ", part(ROT.replace("0 1 ]", "0 1 2 ]", 1)), [],
     ["3:71 error READ_ERROR"], 1,
     'OrientationInterpolator of track "P" has 3 keys but 2 values: every key needs one value; '
     "the shorter list is at line 3"),
    ("fewer keys", part(ROT.replace("Key [ 0 1 ]", "\nKey [ 0 ]")), [], ["4:41 error READ_ERROR"],
     1, 'has 1 key but 2 values: every key needs one value; the shorter list is at line 4'),
    ("one number left over", part(ROT.replace("0 0 1 ]", "0 0 1, 7 ]")), [],
     ["3:70 warning VALUES_LEFT_OVER"], 0,
     "ends with 1 number of an unfinished value; it carries over into the next KeyValue list"),
    ("a full turn", turn("1 0 0 6.2832"), [],
     ["2:2 warning LONG_TURN"], 0,
     'track "P": keys 0 and 1 are written 360.0 degrees apart, more than half a turn; playback '
     "takes the short way round, 0.0 degrees"),
    ("just over half a turn", turn("1 0 0 3.1417"), [], ["2:2 warning LONG_TURN"], 0),
    ("just under half a turn", turn("1 0 0 3.1415"), [], [], 0),
    ("half a turn the other way", turn("-1 0 0 3.1417"), [], ["2:2 warning LONG_TURN"], 0),
    ("a turn about another axis", turn("0 1 0 6.2832"), [], ["2:2 warning LONG_TURN"], 0),
    ("tracks of different lengths",
     part(ROT) + part("OrientationInterpolator { Key [ 0 ] KeyValue [ 1 0 0 0 ] }", '"Q"'),
     [], ["6:2 warning TRACK_LENGTH"], 0),
    ("carriage return on the last line", part(ROT)[:-1] + "\r", [],
     ["4:5 error UNKNOWN_WORD", "4:6 warning CARRIAGE_RETURN", "4:7 error OPEN_AT_END"], 1),
    ("glued bracket", part("PositionInterpolator { Key [ 0] }"), [],
     ["3:30 error NUMBER_SUFFIX", "3:33 error READ_ERROR"], 1),
    ("keyword out of place", part(ROT + " Children"), [], ["3:71 error ANIMATION_LEFT"], 1),
    ("stray block", "KTAnimation { Other { } KTAnimation { }\n", [],
     ["1:15 error UNKNOWN_WORD", "1:21 error STRAY_BLOCK"], 1),
    ("part the component lacks", part(ROT, '"Lidd"'), ["--world", "examples/chest.iv"],
     ["2:2 error MISSING_PART"], 1),
    ("case of a part name", part(ROT, '"lid"'), ["--world", "examples/chest.iv"],
     ["2:2 error MISSING_PART"], 1, 'component "Chest" has no part "lid" (did you mean "Lid"?)'),
    ("keys that decrease", part(ROT.replace("[ 0 1 ] KeyValue [", "[ 0 0.6 0.4 ] KeyValue [ 1 0 0 "
                                            "2,")), [], ["3:39 error KEY_ORDER"], 1),
    ("keys beyond 1", part(ROT.replace("[ 0 1 ]", "[ 0 2 ]")), [], ["3:35 warning KEY_RANGE"], 0),
    ("keys beyond 1, strict", part(ROT.replace("[ 0 1 ]", "[ 0 2 ]")), ["--strict"],
     ["3:35 error KEY_RANGE"], 1),
    ("position keys other than orientation keys",
     part(ROT + " PositionInterpolator { Key [ 0 0.5 ] KeyValue [ 0 0 0, 0 1 0 ] }"), [],
     ["2:2 note POSITIONS_NOT_PLAYED", "3:102 error KEY_LISTS_DIFFER"], 1),
]


def world(body, header="#Inventor V2.1 ascii"):
    return f"{header}\nSeparator {{\n{body}\n}}\n"


LID = "DEF Lid KTPart { transform Transform { translation 0 0.35 0 } }"


def playing(fields):
    """The chest world with a KTAnimationPlayback node holding `fields`."""
    return world("DEF Chest KTComponent { geometry Separator {\n"
                 "KTAnimationPlayback { fields [ SFString animation, SFFloat weight, SFEnum blend,"
                 f" MFString parts ] {fields} }}\n{LID}\n}} }}")


# World, the world's findings in order (none: the world is clean), and for a
# world that names its animation the first line of `ktrt play` on standard
# error ("": it plays).
WORLD_TABLE = [
    ("clean", world(f"DEF Chest KTComponent {{ geometry Separator {{\n{LID}\n}} }}"), [], None),
    ("misspelt part field", world(
        "DEF Chest KTComponent { geometry Separator {\n"
        "DEF Lid KTPart { transfrom Transform { translation 0 0.35 0 } }\n} }"),
     ["4:18 error UNKNOWN_FIELD"],
     "w.iv:4:18: error: KTPart \"Lid\" has no field 'transfrom' (did you mean 'transform'?)"),
    ("misspelt component field", world(f"DEF Chest KTComponent {{ geomtry Separator {{\n{LID}\n}} }}"),
     ["3:25 error UNKNOWN_FIELD"], None),
    ("wrong node type", world(
        "DEF Chest KTComponent { geometry Separator {\nDEF Lid KTPart { transform Group { } }\n} }"),
     ["4:28 error WRONG_NODE_TYPE"],
     "w.iv:4:28: error: field 'transform' of KTPart \"Lid\" takes a Transform, not a Group"),
    ("component without a name", world(f"KTComponent {{ geometry Separator {{\n{LID}\n}} }}"),
     ["3:1 error UNNAMED_COMPONENT"], None),
    ("two parts of one name", world(
        f"DEF Chest KTComponent {{ geometry Separator {{\n{LID}\nDEF Lid KTPart {{ }}\n}} }}"),
     ["5:5 error DUPLICATE_PART"],
     'w.iv:5:5: error: component "Chest" has two parts named "Lid"; animations find only the '
     "first (line 4)"),
    ("equal names in two components", world(
        f"DEF A KTComponent {{ geometry Separator {{\n{LID}\n}} }}\n"
        f"DEF Chest KTComponent {{ geometry Separator {{\n{LID}\n}} }}"), [], None),
    ("VRML header", world(f"DEF Chest KTComponent {{ geometry Separator {{\n{LID}\n}} }}",
                          "#VRML V2.0 utf8"), ["1:1 error VRML_HEADER"], None),
    ("Coin's error", world("DEF Chest KTComponent { geometry Separator {\n  Cub { } } }"),
     ["4:3 error WORLD_ERROR"], None),
    ("a weight above 1", playing('animation "chest" weight 2.5'), [], ""),
    ("a negative weight", playing('animation "chest" weight -0.5'), ["4:124 error BAD_WEIGHT"],
     "w.iv:4:124: error: weight '-0.5' is not a finite number of at least 0"),
    ("a weight of nan", playing('animation "chest" weight nan'), ["4:124 error BAD_WEIGHT"],
     "w.iv:4:124: error: weight 'nan' is not"),
    ("a misspelt blend mode", playing('animation "chest" blend ADITIVE'),
     ["4:123 error UNKNOWN_VALUE"],
     "w.iv:4:123: error: blend 'ADITIVE' is none of REPLACE, ADDITIVE (did you mean 'ADDITIVE'?)"),
    ("parts the component has", playing('animation "chest" parts [ "Lid" ]'), [], ""),
    ("a part the component lacks", playing('animation "chest" parts "lid"'),
     ["4:123 error MISSING_PART"],
     'w.iv:4:123: error: component "Chest" has no part "lid" (did you mean "Lid"?)'),
    ("a missing animation", playing('animation "chst"'), ["4:1 error MISSING_ANIMATION"],
     'w.iv:4:1: error: component "Chest": animation "chst" is not beside the world: neither'),
    ("a broken animation", playing('animation "broken"'), [],
     'w.iv:4:1: error: component "Chest": animation "broken" ('),
]


class WorldTable(unittest.TestCase):
    def test_each_world_gives_its_findings_to_check_and_play(self):
        animation = os.path.join(SOURCE_DIR, "examples", "chest.kta")
        with tempfile.TemporaryDirectory() as folder:
            write(folder, "chest.kta", open(animation).read())
            write(folder, "broken.kta", "KTAnimation {\n ]\n")
            for name, text, findings, played in WORLD_TABLE:
                with self.subTest(name):
                    path = write(folder, "w.iv", text)
                    # A world that names its animations needs no animation file.
                    named = "Playback" in text
                    result = run(["check", "--json", "--positions", "--world", path,
                                  "--component", "Chest"] + ([] if named else [animation]))
                    reports = json.loads(result.stdout)
                    reports = reports if isinstance(reports, list) else [reports]
                    self.assertEqual(reports[0]["uri"], path)
                    self.assertEqual(findings_of(reports[0]), findings)
                    broken = any(findings_of(r) for r in reports)
                    self.assertEqual(result.returncode, 1 if broken else 0)
                    if played is None:
                        continue
                    # Played by time from the node, else with the example file.
                    result = run(["play", path] + ([] if named else [animation]))
                    self.assertEqual(result.returncode, 1 if played else 0, result.stderr)
                    if played:
                        self.assertIn(played, result.stderr.decode().splitlines()[0])
                    if "broken" in text:
                        self.assertIn("broken.kta:2:2: error: Illegal right brace.\n",
                                      result.stderr.decode())


class CheckTable(unittest.TestCase):
    def test_each_input_gives_its_findings_exit_status_and_message(self):
        with tempfile.TemporaryDirectory() as folder:
            for name, text, options, findings, status, *message in CHECK_TABLE:
                with self.subTest(name):
                    path = write(folder, "in.kta", text)
                    options = in_source(options)
                    self.assertEqual(check_json(path, *options), (status, findings))
                    for piece in message:
                        result = run(["check", *options, path])
                        self.assertIn(piece, result.stderr.decode().splitlines()[0])

    def test_tracks_are_listed_and_played_in_file_order_as_the_host_plays_them(self):
        names = ["Zeta", "Alpha", "Mu", "Beta", "Omega", "Gamma"]
        text = "".join(part(ROT + " PositionInterpolator { Key [ 0 1 ] KeyValue [ 0 0 0, 0 "
                            f"{i} 0 ] }}", f'"{n}"') for i, n in enumerate(names))
        with tempfile.TemporaryDirectory() as folder:
            path = write(folder, "in.kta", text)
            for options, played in [([], "0"), (["--positions"], "1")]:
                result = run(["check", *options, path])
                self.assertEqual(result.stdout.decode().splitlines()[0], path + ": valid, 6 tracks")
                listed = result.stdout.decode().splitlines()[1:]
                self.assertEqual([line.split('"')[1] for line in listed], names)
                # The first track's positions stay at the origin: they play in no case.
                self.assertTrue(listed[0].endswith("usePositions 0"), listed[0])
                for line in listed[1:]:
                    self.assertTrue(line.endswith("usePositions " + played), line)
            report = json.loads(run(["check", "--json", path]).stdout)
            self.assertEqual([t["name"] for t in report["info"]["tracks"]], names)
            body = "".join(f"DEF {n} KTPart {{}}\n" for n in names)
            iv = write(folder, "w.iv", world(f"DEF C KTComponent {{ geometry Separator {{\n{body}}} }}"))
            result = run(["play", iv, path, "--frames", "1"])
            rows = result.stdout.decode().splitlines()[3:]
            self.assertEqual([row.split()[1] for row in rows], names, result.stderr)

    def test_files_that_hold_no_working_animation_get_an_error(self):
        chest = pathlib.Path(SOURCE_DIR, "examples", "chest.kta").read_bytes()
        bad = {"empty": b"", "garbage": bytes(range(256)) * 3, "hello": b"hello world\n",
               "misspelt": chest.replace(b"KTAnimation", b"KTAnimaton")}
        # Every truncation that loses more than the final white space.
        for length in range(len(chest.rstrip())):
            bad[f"cut at {length}"] = chest[:length]
        with tempfile.TemporaryDirectory() as folder:
            paths = [write(folder, f"{i}.kta", data) for i, data in enumerate(bad.values())]
            paths.append(os.path.join(SOURCE_DIR, "examples", "chest.iv"))
            # One run for all: the report of several files is an array.
            result = run(["check", "--json", *paths])
            self.assertEqual(result.returncode, 1)
            for name, report in zip(list(bad) + ["world file"], json.loads(result.stdout)):
                with self.subTest(name):
                    self.assertIn(" error ", " ".join(findings_of(report)))

    def test_text_output_quotes_the_line_escaped_with_a_marker(self):
        result = run(["check", "-"], stdin=b"KTAnimation { \x1b[31m" + b"x" * 300 + b"\n")
        self.assertEqual(result.returncode, 1)
        lines = result.stderr.decode().splitlines()
        self.assertRegex(lines[0], r"^<stdin>:1:15: error: unknown word '\\x1B\[31mxxx")
        self.assertRegex(lines[1], r"^    KTAnimation \{ \\x1B\[31mx+\.\.\.$")
        self.assertEqual(lines[2], "    " + " " * 14 + "^")
        self.assertLess(len(lines[1]), 120)


class CommandLine(unittest.TestCase):
    def test_conventions(self):
        version = run(["--version"])
        self.assertEqual((version.returncode, version.stdout.decode()), (0, "ktrt 0.1.0\n"))
        for args, message in [(["chekc", "x.kta"], "unknown command 'chekc'"),
                              (["check"], "files is required"),
                              (["play", "a.iv", "b.kta", "--frames", "-1"], "whole number")]:
            with self.subTest(args):
                result = run(args)
                self.assertEqual(result.returncode, 2)
                self.assertRegex(result.stderr.decode(), "^ktrt: .*" + re.escape(message))
                self.assertLess(len(result.stderr), 200)
        # --help names every command, and nothing else, each on a line that fits.
        lines = run(["--help"]).stdout.decode().split("\n")
        listed = [line.split()[0] for line in lines[lines.index("Subcommands:") + 1:] if line]
        self.assertEqual(listed, ["check", "play", "plot", "export", "preview", "import"])
        self.assertIn("check, play, plot, export, preview and import", lines[0])
        self.assertEqual([line for line in lines if len(line) > 80], [])
        chest = os.path.join(SOURCE_DIR, "examples", "chest.kta")
        self.assertTrue(run(["plot", chest, "-o", "-"]).stdout.startswith(b"<?xml"))


class FormatDocument(unittest.TestCase):
    def test_the_table_of_findings_lists_every_code_the_checker_emits(self):
        findings = pathlib.Path(SOURCE_DIR, "tools", "common", "Findings.cpp").read_text()
        emitted = set(re.findall(r'\{Finding::\w+, "([A-Z_]+)"', findings))
        table = pathlib.Path(SOURCE_DIR, "docs", "format.md").read_text()
        table = table.split("## Checking files", 1)[1]
        documented = set(re.findall(r"^\|[^|\n]*\|", table, re.M))
        documented = {code for row in documented for code in re.findall(r"`([A-Z_]+)`", row)}
        self.assertGreater(len(emitted), 20)
        self.assertEqual(emitted - documented, set())
        self.assertEqual(documented - emitted, set())


class FormatDocumentExamples(unittest.TestCase):
    """Each kta block of docs/format.md gives the findings its info line names;
    each iv block is a world that checks clean under --strict with the first
    kta block (saved as chest.kta beside it), and plays."""

    def test_examples(self):
        blocks = re.findall(r"^```(kta|iv)([^\n]*)\n(.*?)^```$",
                            pathlib.Path(SOURCE_DIR, "docs", "format.md").read_text(), re.S | re.M)
        self.assertGreaterEqual(len(blocks), 5)
        first = None
        with tempfile.TemporaryDirectory() as folder:
            for i, (kind, info, text) in enumerate(blocks):
                with self.subTest(block=i, info=info):
                    path = write(folder, f"{i}.{kind}", text)
                    if kind == "kta":
                        first = first or write(folder, "chest.kta", text)
                        _, findings = check_json(path, "--strict")
                        self.assertEqual(sorted(f.split()[-1] for f in findings),
                                         sorted(info.split()))
                        continue
                    result = run(["check", "--json", "--strict", "--positions", "--world", path,
                                  "--component", info.strip(), first])
                    self.assertEqual(result.returncode, 0, result.stdout)
                    self.assertEqual([findings_of(r) for r in json.loads(result.stdout)],
                                     [[]] * len(json.loads(result.stdout)))
                    named = "KTAnimationPlayback" in text
                    play = run(["play", path] + ([] if named else [first]))
                    self.assertEqual(play.returncode, 0, play.stderr)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
