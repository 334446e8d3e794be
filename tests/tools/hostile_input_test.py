"""Tests of the ktrt command against input and output that must not crash,
hang, lose data or pass silently.

Usage: hostile_input_test.py KTRT_EXECUTABLE SOURCE_DIR
"""

import os
import pathlib
import resource
import signal
import stat
import subprocess
import sys
import tempfile
import unittest

KTRT = ""
SOURCE_DIR = ""
HEADER = "#Inventor V2.1 ascii\n"


def run(*args, stdout=subprocess.PIPE, **options):
    return subprocess.run([KTRT, *args], stdout=stdout, stderr=subprocess.PIPE, text=True,
                          timeout=60, **options)


def read(path):
    return pathlib.Path(path).read_text()


def example(name):
    return os.path.join(SOURCE_DIR, "examples", name)


class HostileInputTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def write(self, name, text):
        path = os.path.join(self.folder.name, name)
        pathlib.Path(path).write_text(text)
        return path

    def test_hostile_worlds_are_refused_with_the_readers_message_and_line(self):
        depth = 200000
        cases = [
            ("deep.iv", HEADER + "Separator {\n" * depth + "}\n" * depth,
             "deep.iv:\\d+:1: error: Nodes nested too deeply to read\n"),
            ("self.iv", HEADER + 'Separator {\n  File { name "self.iv" }\n}\n',
             'self.iv:3:16: error: File node "self.iv" includes a file already being read\n'),
            ("zero.iv", HEADER + 'Separator { File { name "/dev/zero" } }\n',
             'zero.iv:2:26: error: File node names "/dev/zero", which is not a readable regular '
             'file\n'),
        ]
        for name, text, message in cases:
            with self.subTest(name):
                result = run("play", self.write(name, text), example("chest.kta"))
                self.assertEqual(result.returncode, 1)
                self.assertRegex(result.stderr, "^" + os.path.join(self.folder.name, message))
        # An included file that exists is read.
        included = self.write("inner.iv", read(example("chest.iv")))
        outer = self.write("outer.iv", HEADER + 'Separator { File { name "inner.iv" } }\n')
        self.assertEqual(run("play", outer, example("chest.kta")).returncode, 0)
        self.assertTrue(os.path.exists(included))

    def test_devices_and_overlong_lines_are_refused(self):
        result = run("check", "/dev/zero")
        self.assertEqual((result.returncode, result.stderr),
                         (1, "ktrt check: cannot read /dev/zero: is not a regular file or a pipe\n"))
        long_line = self.write("long.kta", "KTAnimation {\n" + "#" * (17 << 20) + "\n}\n")
        self.assertEqual(run("check", long_line).stderr, long_line + ":2: line longer than 16 MiB\n")
        # A pipe is read once, through a copy.
        piped = run("check", "/dev/stdin", input=read(example("chest.kta")))
        self.assertEqual(piped.returncode, 0, piped.stderr)
        # A world's animation is a regular file: a pipe beside it is not waited for.
        os.mkfifo(os.path.join(self.folder.name, "pipe.kta"))
        world = self.write("w.iv", read(example("chest-play.iv")).replace('"chest"', '"pipe"'))
        self.assertEqual(run("play", world).returncode, 1)

    def test_failed_writes_to_standard_output_exit_1(self):
        # A "full" device node of our own in the test's folder, never the
        # machine's /dev/full: every write to it fails with ENOSPC.
        full_device = os.path.join(self.folder.name, "full")
        try:
            os.mknod(full_device, stat.S_IFCHR | 0o600, os.makedev(1, 7))
        except PermissionError:
            self.skipTest("making a device node needs root")
        for args in (["check", example("chest.kta")],
                     ["play", example("chest.iv"), example("chest.kta"), "--frames", "1000000"]):
            with self.subTest(args[0]), open(full_device, "w") as full:
                result = run(*args, stdout=full)
                self.assertEqual(result.returncode, 1)
                self.assertIn("ktrt %s: cannot write standard output" % args[0], result.stderr)

    def test_plot_keeps_the_previous_output(self):
        # A write that fails part way (here the file size limit) leaves the
        # earlier output whole and no temporary file behind.
        output = self.write("x.svg", "previous")

        def small_files():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (1000, 1000))

        result = run("plot", example("figure.kta"), "-o", output, preexec_fn=small_files)
        self.assertEqual(result.returncode, 1)
        self.assertIn("ktrt plot: cannot write " + output, result.stderr)
        self.assertEqual(read(output), "previous")
        self.assertEqual(os.listdir(self.folder.name), ["x.svg"])

    def test_plot_draws_finite_points_and_names_the_other_keys(self):
        animation = self.write("huge.kta", 'KTAnimation { Children [ KTPartTransform {\n'
                               'Name "Lid" PositionInterpolator { Key [ 0 1 2 ]\n'
                               'KeyValue [ 0 0 0 , 1e39 0 0 , 0 1 0 ] } } ] }\n')
        output = os.path.join(self.folder.name, "huge.svg")
        result = run("plot", animation, "-o", output)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn('track "Lid": keys not finite, not drawn: 1\n', result.stderr)
        svg = read(output)
        self.assertNotIn("nan", svg)
        self.assertIn('data-curve="position-x" data-values="0 inf 0" points="600.00,', svg)


if __name__ == "__main__":
    KTRT, SOURCE_DIR = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
