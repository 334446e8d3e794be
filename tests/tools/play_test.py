"""Tests of how `ktrt play`, `plot`, `export` and `preview` take their
animation file: what they refuse and what they name on standard error.

Usage: play_test.py KTRT_EXECUTABLE SOURCE_DIR
"""

import os
import pathlib
import subprocess
import sys
import tempfile
import unittest

KTRT, SOURCE_DIR = sys.argv[1], sys.argv[2]


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


CHEST = pathlib.Path(example("chest.kta")).read_bytes()

# Animation file, exit status, the first line every command writes on standard
# error (status 1: the file holds no tracks, the command writes nothing), or
# what every command names on standard error while it plays what was read
# (status 0: Key lists as the reader took them).
INPUT_TABLE = [
    ("empty", b"", 1, "in.kta:1:1: error: no animation found"),
    ("binary junk", bytes(range(256)), 1, "in.kta:1:1: error: no animation found"),
    ("misspelt top keyword", CHEST.replace(b"KTAnimation", b"KTAnimaton"), 1,
     "in.kta:1:1: error: unknown word 'KTAnimaton' is ignored (did you mean 'KTAnimation'?)"),
    ("byte-order mark", b"\xef\xbb\xbf" + CHEST, 1,
     "in.kta:1:1: error: the file starts with a UTF-8 byte-order mark"),
    ("an animation without tracks", b"KTAnimation { }\n", 1, "in.kta holds no tracks"),
    ("cut short", CHEST.rstrip()[:-1], 0,
     "error: the file ends inside KTAnimation: it is cut short"),
    ("not finite", CHEST.replace(b"0 0.1 0", b"0 inf 0"), 0,
     "in.kta:11:29: error: 'inf' is not a finite number"),
    ("keys that decrease", CHEST.replace(b"0, 0.5, 1 ]", b"0, 0.6, 0.4 ]"), 0,
     "in.kta:6:23: error: key 0.4 of the OrientationInterpolator of track \"Lid\" is not "
     "after the key before it (0.6)"),
    ("position keys other than orientation keys", CHEST[::-1].replace(
        b"1 ,5.0 ,0", b"1 ,2.0 ,0", 1)[::-1], 0,
     "in.kta:10:18: error: track \"Lid\": key 1 of the PositionInterpolator is 0.2,"),
    ("keys beyond 1", CHEST.replace(b"0.5, 1 ]", b"0.5, 2 ]"), 0,
     "in.kta:6:23: warning: key 2 of the OrientationInterpolator of track \"Lid\" is "
     "outside 0 to 1"),
]


class AnimationInput(unittest.TestCase):
    def test_files_without_tracks_are_refused_and_faults_in_the_rest_are_named(self):
        with tempfile.TemporaryDirectory() as folder:
            animation = os.path.join(folder, "in.kta")
            for name, data, status, message in INPUT_TABLE:
                pathlib.Path(animation).write_bytes(data)
                for command, args in commands(example("chest.iv"), animation, folder).items():
                    with self.subTest(name, command=command):
                        result = run(args)
                        self.assertEqual(result.returncode, status, result.stderr)
                        if status == 0:
                            self.assertIn(message, result.stderr.decode())
                            continue
                        self.assertIn(message, result.stderr.decode().splitlines()[0])
                        self.assertEqual(result.stdout, b"")
                        self.assertEqual(os.listdir(folder), ["in.kta"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
