"""Tests of how `ktrt play`, `plot`, `export` and `preview` take their
animation file: what they refuse and what they name on standard error.

Usage: play_test.py KTRT_EXECUTABLE SOURCE_DIR
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

KTRT = ""
SOURCE_DIR = ""


def run(args):
    return subprocess.run([KTRT] + args, capture_output=True)


def example(name):
    return os.path.join(SOURCE_DIR, "examples", name)


def commands(world, animation, folder):
    """Each command that plays an animation file, writing into `folder`."""
    return {
        "play": ["play", world, animation],
        "plot": ["plot", animation, "-o", os.path.join(folder, "out.svg")],
        "export": ["export", world, animation, "-o", os.path.join(folder, "out.glb")],
        "preview": ["preview", world, animation, "-o", os.path.join(folder, "out.html")],
    }


def tables():
    """The refused and the named inputs, built on the chest example."""
    with open(example("chest.kta"), "rb") as f:
        chest = f.read()

    # Animation file, the first line every command writes on standard error.
    REFUSED_TABLE = [
        ("empty", b"", "in.kta:1:1: error: no animation found"),
        ("binary junk", bytes(range(256)), "in.kta:1:1: error: no animation found"),
        ("misspelt top keyword", chest.replace(b"KTAnimation", b"KTAnimaton"),
         "in.kta:1:1: error: unknown word 'KTAnimaton' is ignored (did you mean 'KTAnimation'?)"),
        ("byte-order mark", b"\xef\xbb\xbf" + chest,
         "in.kta:1:1: error: the file starts with a UTF-8 byte-order mark"),
        ("an animation without tracks", b"KTAnimation { }\n", "in.kta holds no tracks"),
    ]

    # Animation file, what every command names on standard error while it plays
    # what was read (Key lists as the reader took them).
    NAMED_TABLE = [
        ("cut short", chest.rstrip()[:-1],
         "error: the file ends inside KTAnimation: it is cut short"),
        ("not finite", chest.replace(b"0 0.1 0", b"0 inf 0"),
         "in.kta:11:29: error: 'inf' is not a finite number"),
        ("keys that decrease", chest.replace(b"0, 0.5, 1 ]", b"0, 0.6, 0.4 ]"),
         "in.kta:6:23: error: key 0.4 of the OrientationInterpolator of track \"Lid\" is not "
         "after the key before it (0.6)"),
        ("position keys other than orientation keys", chest[::-1].replace(
            b"1 ,5.0 ,0", b"1 ,2.0 ,0", 1)[::-1],
         "in.kta:10:18: error: track \"Lid\": key 1 of the PositionInterpolator is 0.2,"),
        ("keys beyond 1", chest.replace(b"0.5, 1 ]", b"0.5, 2 ]"),
         "in.kta:6:23: warning: key 2 of the OrientationInterpolator of track \"Lid\" is "
         "outside 0 to 1"),
    ]
    return REFUSED_TABLE, NAMED_TABLE


class AnimationInput(unittest.TestCase):
    def test_a_file_without_tracks_is_refused_with_the_first_error(self):
        with tempfile.TemporaryDirectory() as folder:
            animation = os.path.join(folder, "in.kta")
            for name, data, message in tables()[0]:
                with open(animation, "wb") as f:
                    f.write(data)
                for command, args in commands(example("chest.iv"), animation, folder).items():
                    with self.subTest(name, command=command):
                        result = run(args)
                        self.assertEqual(result.returncode, 1)
                        self.assertIn(message, result.stderr.decode().splitlines()[0])
                        self.assertEqual(result.stdout, b"")
                        self.assertEqual(os.listdir(folder), ["in.kta"])

    def test_a_cut_off_end_and_numbers_not_finite_are_named(self):
        with tempfile.TemporaryDirectory() as folder:
            animation = os.path.join(folder, "in.kta")
            for name, data, message in tables()[1]:
                with open(animation, "wb") as f:
                    f.write(data)
                for command, args in commands(example("chest.iv"), animation, folder).items():
                    with self.subTest(name, command=command):
                        result = run(args)
                        self.assertEqual(result.returncode, 0, result.stderr)
                        self.assertIn(message, result.stderr.decode())


if __name__ == "__main__":
    KTRT, SOURCE_DIR = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
