"""Outputs never destroy anything: every command that writes (export,
preview, plot, import) refuses an output that is one of its inputs or another
of its outputs, compared as files however the path is spelt, with exit status
1 and one line; import writes both its outputs or neither; an existing pipe is
written in place, never replaced.

Usage: output_test.py KTRT_EXECUTABLE SOURCE_DIR
"""

import os
import pathlib
import select
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest

KTRT = ""
SOURCE_DIR = ""
BVH = "/usr/share/assimp/models/BVH/01_01.bvh"


def read(path):
    return pathlib.Path(path).read_bytes()


def one_line(stderr):
    # A sanitizer build may append its suppression summary.
    return stderr.split("\n-----", 1)[0].splitlines()


class OutputTest(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.folder = folder.name
        for name in ("chest.iv", "chest.kta"):
            shutil.copy(os.path.join(SOURCE_DIR, "examples", name), self.folder)
        self.iv = self.path("chest.iv")
        self.kta = self.path("chest.kta")
        self.bvh = self.path("walk.bvh")
        if os.path.exists(BVH):
            shutil.copy(BVH, self.bvh)

    def path(self, name):
        return os.path.join(self.folder, name)

    def command(self, name, output):
        inputs = {"export": [self.iv, self.kta], "preview": [self.iv, self.kta],
                  "plot": [self.kta], "import": [self.bvh]}[name]
        return [name, *inputs, "-o", output]

    def run_tool(self, args):
        return subprocess.run([KTRT, *args], capture_output=True, text=True, timeout=120,
                              cwd=self.folder)

    def refused(self, args, line):
        """Runs the tool and expects exit status 1 with `line` alone on standard error."""
        result = self.run_tool(args)
        self.assertEqual((result.returncode, one_line(result.stderr)), (1, [line]), result.stderr)

    def test_an_output_that_is_an_input_is_refused_and_the_input_kept(self):
        # command, the input it names, how the output names that file
        cases = [
            ("export", "chest.iv", "hard link", "same.glb"),
            ("export", "chest.kta", "symbolic link", "same.gltf"),
            ("preview", "chest.iv", "same path", "chest.iv"),
            ("preview", "chest.kta", "dotted path", "./chest.kta"),
            ("preview", "chest.kta", "symbolic link", "page.html"),
            ("plot", "chest.kta", "hard link", "same.svg"),
            ("import", "walk.bvh", "dotted path", "./walk.bvh"),
            ("import", "walk.bvh", "hard link", "walk.kta"),
        ]
        for command, input_name, spelling, output in cases:
            with self.subTest(command=command, spelling=spelling):
                if command == "import" and not os.path.exists(self.bvh):
                    self.skipTest("assimp-testmodels not installed")
                target = self.path(input_name)
                before = read(target)
                if spelling == "hard link":
                    os.link(target, self.path(output))
                elif spelling == "symbolic link":
                    os.symlink(input_name, self.path(output))
                name = "ktrt" if command == "import" else "ktrt " + command
                self.refused(self.command(command, output),
                             f"{name}: the output {output} is the input {target}")
                self.assertEqual(read(target), before)
                if spelling != "same path" and spelling != "dotted path":
                    os.remove(self.path(output))
        # The world of an import is an output too.
        if os.path.exists(self.bvh):
            result = self.run_tool(["import", self.bvh, "-o", "w.kta", "--world", "walk.bvh"])
            self.assertEqual(result.returncode, 1)
            self.assertEqual(read(self.bvh), read(BVH))
            self.assertFalse(os.path.exists(self.path("w.kta")))

    @unittest.skipUnless(os.path.exists(BVH), "assimp-testmodels not installed")
    def test_import_writes_both_outputs_or_neither(self):
        # The same file twice, however spelt, new or existing.
        for output, world in (("w.kta", "./w.kta"), ("old.kta", "old.kta")):
            with self.subTest(output=output, world=world):
                if output == "old.kta":
                    pathlib.Path(self.path(output)).write_text("previous")
                self.refused(["import", self.bvh, "-o", output, "--world", world],
                             f"ktrt: the outputs {output} and {world} are the same file")
        self.assertEqual(read(self.path("old.kta")), b"previous")
        self.assertFalse(os.path.exists(self.path("w.kta")))
        # A world that cannot be written keeps the earlier animation file.
        self.refused(["import", self.bvh, "-o", "old.kta", "--world", "nodir/w.iv"],
                     "ktrt: cannot write nodir/w.iv: No such file or directory")
        self.assertEqual(read(self.path("old.kta")), b"previous")
        # Both outputs in place together when both can be written.
        pathlib.Path(self.path("old.iv")).write_text("previous")
        result = self.run_tool(["import", self.bvh, "-o", "old.kta", "--world", "old.iv"])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(read(self.path("old.kta")).startswith(b"KTAnimation"))
        self.assertTrue(read(self.path("old.iv")).startswith(b"#Inventor V2.1 ascii"))
        self.assertEqual(sorted(os.listdir(self.folder)),
                         ["chest.iv", "chest.kta", "old.iv", "old.kta", "walk.bvh"])

    def run_into_pipe(self, args, pipe):
        """Runs the tool while reading `pipe`; the exit status and what came
        through the pipe."""
        reader = os.open(pipe, os.O_RDONLY | os.O_NONBLOCK)
        process = subprocess.Popen([KTRT, *args], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, cwd=self.folder)
        data = b""
        deadline = time.monotonic() + 120
        try:
            while time.monotonic() < deadline:
                select.select([reader], [], [], 0.05)
                try:
                    chunk = os.read(reader, 1 << 16)
                except BlockingIOError:
                    chunk = None
                if chunk:
                    data += chunk
                    continue
                if process.poll() is not None:
                    break
                time.sleep(0.005)
        finally:
            os.close(reader)
        _, stderr = process.communicate(timeout=10)
        return process.returncode, stderr.decode(), data

    def test_an_existing_pipe_is_written_in_place(self):
        starts = {"export": b"glTF", "preview": b"<!DOCTYPE html>", "plot": b"<?xml",
                  "import": b"KTAnimation"}
        for command, start in starts.items():
            with self.subTest(command):
                if command == "import" and not os.path.exists(self.bvh):
                    continue
                pipe = self.path(command + (".glb" if command == "export" else ".out"))
                os.mkfifo(pipe)
                status, stderr, data = self.run_into_pipe(self.command(command, pipe), pipe)
                self.assertEqual(status, 0, stderr)
                self.assertTrue(data.startswith(start), data[:40])
                self.assertTrue(stat.S_ISFIFO(os.stat(pipe).st_mode))
        if os.path.exists(self.bvh):
            # Beside a pipe, the world of an import is still written whole.
            pipe = self.path("import.out")
            status, stderr, data = self.run_into_pipe(
                ["import", self.bvh, "-o", pipe, "--world", "walk.iv"], pipe)
            self.assertEqual(status, 0, stderr)
            self.assertTrue(data.startswith(b"KTAnimation"))
            self.assertTrue(read(self.path("walk.iv")).startswith(b"#Inventor"))


if __name__ == "__main__":
    KTRT, SOURCE_DIR = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
