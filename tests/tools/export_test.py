"""Bad input to `ktrt export` and `ktrt preview`: one `ktrt` line (or Coin's
FILE:LINE: message for a world it cannot read), exit status 1 and no file
left behind. What the preview page says: its title, its rate, whether a
crossfade loops.

Usage: export_test.py KTRT_EXECUTABLE SOURCE_DIR
"""

import os
import subprocess
import sys
import tempfile
import unittest

KTRT, SOURCE_DIR = sys.argv[1], sys.argv[2]


class BadInputTest(unittest.TestCase):
    def test_each_bad_input_gets_one_line_exit_1_and_no_file(self):
        chest = ["examples/chest.iv", "examples/chest.kta"]
        cases = [
            ("unreadable world", ["examples/none.iv", "examples/chest.kta"], "out.glb"),
            ("world without components", ["examples/chest.kta", "examples/chest.kta"], "out.glb"),
            ("no such component", chest + ["--component", "Nobody"], "out.gltf"),
            ("no track names a part", ["examples/chest.iv", "examples/figure.kta"], "out.glb"),
            ("unknown output type", chest, "out.obj"),
            ("unwritable output", chest, "missing-folder/out.glb"),
        ]
        for command in ("export", "preview"):
            for name, arguments, output in cases:
                if command == "preview" and name == "unknown output type":
                    continue  # a page may have any name
                with self.subTest(command=command, case=name), \
                        tempfile.TemporaryDirectory() as folder:
                    if command == "preview" and output.endswith((".glb", ".gltf")):
                        output = output.rsplit(".", 1)[0] + ".html"
                    result = subprocess.run(
                        [KTRT, command] + arguments + ["-o", os.path.join(folder, output)],
                        cwd=SOURCE_DIR, capture_output=True, text=True)
                    self.assertEqual(result.returncode, 1)
                    # A sanitizer build may append its suppression summary.
                    lines = [line for line in result.stderr.split("\n-----", 1)[0].splitlines()
                             if not line.startswith("    ")]  # but the quoted line
                    self.assertEqual(len(lines), 1, result.stderr)
                    # A world Coin cannot read gets Coin's message at its line.
                    prefix = ("examples/chest.kta:1:1: error: " if name == "world without components"
                              else "ktrt " + command + ": ")
                    self.assertTrue(lines[0].startswith(prefix), lines[0])
                    self.assertEqual(os.listdir(folder), [])


class PreviewPageTest(unittest.TestCase):
    def test_the_page_names_what_it_plays_and_plays_at_the_worlds_rate(self):
        fade = ["--crossfade", "examples/wave.kta", "--at", "1", "--over", "1"]
        # arguments, title, frames a second, whether a crossfade loops
        cases = [
            (["examples/chest.iv", "examples/chest.kta"], "Chest - chest.kta", "30", "false"),
            (["examples/chest-play.iv", "examples/chest.kta"], "Chest - chest.kta", "2", "false"),
            (["examples/figure-layers.iv", *fade], "Figure - figure-layers.iv to wave.kta", "4",
             "false"),
            (["examples/figure-layers.iv", *fade, "--loop"],
             "Figure - figure-layers.iv to wave.kta", "4", "true"),
        ]
        for arguments, title, fps, loop in cases:
            with self.subTest(arguments=arguments), tempfile.TemporaryDirectory() as folder:
                page = os.path.join(folder, "page.html")
                result = subprocess.run([KTRT, "preview", *arguments, "-o", page],
                                        cwd=SOURCE_DIR, capture_output=True, text=True)
                self.assertEqual(result.returncode, 0, result.stderr)
                with open(page, encoding="utf-8") as file:
                    html = file.read()
                self.assertIn(f"<title>{title}</title>", html)
                self.assertIn(f"var KTRT = {{ fps: {fps}, loop: {loop},", html)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
