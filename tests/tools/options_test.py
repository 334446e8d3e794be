"""The numeric options of every command refuse absurd values: not finite,
out of their documented range, or giving more frames (rows, samples) than the
limit of 1000000, each with exit status 2 and a short message; a row count
from float times reaches the end; and settings may be spelt as a world file
spells them.

Usage: options_test.py KTRT_EXECUTABLE SOURCE_DIR
"""

import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

KTRT = ""
SOURCE_DIR = ""
BVH = "/usr/share/assimp/models/BVH/01_01.bvh"
CHEST = ["examples/chest.iv", "examples/chest.kta"]

# command line (without -o), the option, its values, the message after
# "ktrt: OPTION: " (None: a limit found while running, named on one line)
FRAMES = "must be a whole number from 0 to 1000000"
SECONDS = "must be a number of seconds from -1000000 to 1000000"
RATE = "must be a rate from 0.001 to 10000"
EXPORT = ["export", *CHEST, "-o", "out.glb"]
PREVIEW = ["preview", *CHEST, "-o", "out.html"]
IMPORT = ["import", BVH, "-o", "out.kta"]
REFUSED = [
    (["play", *CHEST], "--frames", ("1e20", "1000001", "9" * 300), FRAMES),
    (["play", *CHEST], "--time", ("nan", "0,inf", "-1e300"), SECONDS),
    (["play", *CHEST], "--rate", ("0", "1e20", "nan"), RATE),
    (["play", *CHEST], "--duration", ("-1", "1e309"),
     "must be a number of seconds from 0 to 1000000"),
    (["play", *CHEST], "--key-rate", ("1e-40",), RATE),
    (["play", *CHEST], "--speed", ("nan", "0", "-1e9"),
     "must be a speed from 0.001 to 1000 (either sign)"),
    (["play", *CHEST, "--rate", "10000"], "--duration", ("100",), None),
    (EXPORT, "--fps", ("1e20", "1e-40", "-inf"), RATE),
    (EXPORT, "--frames", ("-1",), FRAMES),
    (PREVIEW, "--fps", ("nan",), RATE),
    (PREVIEW, "--frames", ("2e6",), FRAMES),
    (IMPORT, "--fps", ("1e5", "0"), RATE),
    (IMPORT, "--max-memory", ("15",), "must be a whole number of megabytes from 16 to 1048576"),
    # Options that the way of playing would ignore.
    (["play", "examples/chest-play.iv"], "--frames", ("2",), "does not apply when playing by "
     "time (--time, --rate, --crossfade or a world that names its animations)"),
    (["play", *CHEST], "--speed", ("2",),
     "applies only when playing by time: add --rate or --time"),
    (["play", *CHEST, "--time", "1"], "--rate", ("2",),
     "does not apply with --time, which gives the rows"),
]

# Settings as a world file spells them, and what the table's header says.
SPELLINGS = [
    (["--wrap", "PING_PONG", "--interpolation", "STEP"], "step, ping-pong"),
    (["--wrap", "Clamp", "--interpolation", "Hold"], "hold, clamp"),
    (["--wrap", "ping-pong"], "linear, ping-pong"),
]


class OptionsTest(unittest.TestCase):
    def test_absurd_values_get_exit_2_and_a_short_message(self):
        for args, option, value, message in ((a, o, v, m) for a, o, vs, m in REFUSED
                                             for v in vs):
            with self.subTest(command=args[0], option=option, value=value[:20]), \
                    tempfile.TemporaryDirectory() as folder:
                if args[0] == "import" and not os.path.exists(BVH):
                    continue
                args = [os.path.join(folder, a) if a.startswith("out.") else a for a in args]
                result = subprocess.run([KTRT, *args, option, value], cwd=SOURCE_DIR,
                                        capture_output=True, text=True, timeout=120)
                self.assertEqual(result.returncode, 2, result.stderr[:300])
                lines = result.stderr.split("\n-----", 1)[0].splitlines()
                if message is None:
                    self.assertEqual(len(lines), 1, result.stderr)
                    self.assertRegex(lines[0], r"gives \d+ (rows|frames), more than the limit "
                                     r"of 1000000$")
                else:
                    self.assertEqual(lines[0], f"ktrt: {option}: {message}")
                self.assertTrue(all(len(line) < 120 for line in lines), lines)
                self.assertEqual(os.listdir(folder), [])

    def test_settings_read_as_a_world_file_spells_them(self):
        for options, header in SPELLINGS:
            with self.subTest(options=options):
                result = subprocess.run([KTRT, "play", *CHEST, "--rate", "2", *options],
                                        cwd=SOURCE_DIR, capture_output=True, text=True)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn(f"keys/s, {header}, speed 1\n", result.stdout)
        with tempfile.TemporaryDirectory() as folder:
            result = subprocess.run([KTRT, "export", *CHEST, "--interpolation", "LINEAR", "-o",
                                     os.path.join(folder, "out.glb")], cwd=SOURCE_DIR)
            self.assertEqual(result.returncode, 0)

    def test_rows_of_a_cycle_timed_by_the_world(self):
        # A world's keyRate is a float: 2 keys / 12.3f * 12.3 rows a second
        # is a hair short of 2 rows, which still counts as 2.
        world = pathlib.Path(SOURCE_DIR, "examples", "chest-play.iv").read_text()
        world = world.replace("keyRate 2\n", "keyRate 12.3\n")
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "chest-play.iv")
            pathlib.Path(path).write_text(world)
            shutil.copy(os.path.join(SOURCE_DIR, "examples", "chest.kta"), folder)
            for wrap, rows in (("clamp", 3), ("ping-pong", 5)):
                with self.subTest(wrap):
                    result = subprocess.run([KTRT, "play", path, "--rate", "12.3", "--wrap", wrap],
                                            capture_output=True, text=True)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    # The layer, the header, the rows.
                    self.assertEqual(len(result.stdout.splitlines()), 4 + rows, result.stdout)
            # At speed 0 a cycle never ends: no endless or empty table.
            pathlib.Path(path).write_text(world.replace("speed 1\n", "speed 0\n"))
            result = subprocess.run([KTRT, "play", path], capture_output=True, text=True)
            self.assertEqual((result.returncode, result.stdout, result.stderr), (2, "", (
                "ktrt play: at speed 0 a cycle never ends; give --duration or --speed\n")))

    def test_help_names_the_limits(self):
        for command, option, limit in (("play", "--rate", "[0.001..10000]"),
                                       ("play", "--frames", "[0..1000000]"),
                                       ("export", "--fps", "[0.001..10000]"),
                                       ("preview", "--frames", "[0..1000000]"),
                                       ("import", "--fps", "[0.001..10000]"),
                                       ("import", "--max-memory", "[16..1048576]")):
            with self.subTest(command=command, option=option):
                result = subprocess.run([KTRT, command, "--help"], capture_output=True,
                                        text=True)
                self.assertRegex(result.stdout, option + r" [A-Z]+:" + limit.replace(
                    "[", r"\[").replace("]", r"\]").replace(".", r"\."))


if __name__ == "__main__":
    KTRT, SOURCE_DIR = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
