"""`ktrt play`, `export` and `preview` by time, through the library's mixer:
an export holds, at every row `play` prints with the same arguments, the pose
`play` prints there (a world's layers, crossfades from an animation file and
from a world's layers, an animation file on a world that sets the key rate),
the export names the crossfade's end, and options that do not fit a crossfade
or a forward playback exit with status 2.

Usage: timed_playback_test.py KTRT_EXECUTABLE SOURCE_DIR
"""

import base64
import json
import math
import os
import struct
import subprocess
import sys
import tempfile
import unittest

KTRT, SOURCE_DIR = sys.argv[1], sys.argv[2]


def run(args):
    return subprocess.run([KTRT, *args], cwd=SOURCE_DIR, capture_output=True, text=True)


def quaternion(degrees):
    """The x, y, z, w of Euler angles about X, then fixed Y, then fixed Z."""
    result = [0.0, 0.0, 0.0, 1.0]
    for axis, angle in enumerate(degrees):
        about = [0.0, 0.0, 0.0, math.cos(math.radians(angle) / 2)]
        about[axis] = math.sin(math.radians(angle) / 2)
        (ax, ay, az, aw), (bx, by, bz, bw) = about, result
        result = [aw * bx + ax * bw + ay * bz - az * by, aw * by - ax * bz + ay * bw + az * bx,
                  aw * bz + ax * by - ay * bx + az * bw, aw * bw - ax * bx - ay * by - az * bz]
    return result


def table(stdout):
    """[(time, {part: (x, y, z, rx, ry, rz)}, fade or None)] of a play table."""
    rows = {}
    fades = {}
    lines = stdout.splitlines()
    for line in lines[[line.startswith("time (s)") for line in lines].index(True) + 1:]:
        fields = line.split()
        time = float(fields[0])
        rows.setdefault(time, {})[fields[1]] = tuple(float(v) for v in fields[2:8])
        fades[time] = float(fields[8]) if len(fields) > 8 else None
    return [(time, rows[time], fades[time]) for time in rows]


def gltf(path):
    """The sample times, {node name: {path: values}} and the extras of the animation."""
    with open(path) as file:
        model = json.load(file)
    data = base64.b64decode(model["buffers"][0]["uri"].split(",", 1)[1])

    def accessor(index):
        entry = model["accessors"][index]
        view = model["bufferViews"][entry["bufferView"]]
        size = {"SCALAR": 1, "VEC3": 3, "VEC4": 4}[entry["type"]]
        values = struct.unpack_from(f"<{size * entry['count']}f", data,
                                    view.get("byteOffset", 0) + entry.get("byteOffset", 0))
        return [values[k * size:(k + 1) * size] for k in range(entry["count"])]

    animation = model["animations"][0]
    channels = {}
    for channel in animation["channels"]:
        sampler = animation["samplers"][channel["sampler"]]
        name = model["nodes"][channel["target"]["node"]]["name"]
        channels.setdefault(name, {})[channel["target"]["path"]] = accessor(sampler["output"])
        times = [t for (t,) in accessor(sampler["input"])]
    return times, channels, animation.get("extras", {})


class TimedPlaybackTest(unittest.TestCase):
    def test_the_export_holds_what_play_prints_at_every_row(self):
        fade = ["--crossfade", "examples/wave.kta"]
        # arguments of both commands, play's own, export's own
        cases = [
            (["examples/figure-layers.iv"], [], []),
            (["examples/figure-layers.iv", *fade, "--at", "0.3", "--over", "2"], [], []),
            (["examples/figure.iv", "examples/figure.kta", "--positions", *fade, "--at", "1",
              "--over", "0.5"], ["--rate", "30"], ["--fps", "30"]),
            # the world's key rate of 4 in both
            (["examples/figure-layers.iv", "examples/figure.kta"], ["--rate", "4", "--duration", "1"], []),
        ]
        for arguments, play_only, export_only in cases:
            with self.subTest(arguments=arguments), tempfile.TemporaryDirectory() as folder:
                played = run(["play", *arguments, *play_only])
                self.assertEqual(played.returncode, 0, played.stderr)
                rows = table(played.stdout)
                output = os.path.join(folder, "out.gltf")
                exported = run(["export", *arguments, *export_only, "-o", output])
                self.assertEqual(exported.returncode, 0, exported.stderr)
                times, channels, extras = gltf(output)
                # A STEP clip closes with a sample that holds the last row.
                self.assertEqual(len(times), len(rows) + 1)
                for k, (time, parts, weight) in enumerate(rows):
                    self.assertAlmostEqual(times[k], time, delta=0.0005)
                    if weight is not None:
                        self.assertAlmostEqual(extras["ktrtFade"][k], weight, delta=0.0005)
                    for part, pose in parts.items():
                        at = channels[part]
                        if "translation" in at:
                            for got, want in zip(at["translation"][k], pose[:3]):
                                self.assertAlmostEqual(got, want, delta=0.0005, msg=(time, part))
                        dot = sum(a * b for a, b in zip(at["rotation"][k], quaternion(pose[3:])))
                        self.assertGreater(abs(dot), 1 - 1e-6, (time, part, pose))
                if "--over" in arguments:
                    # The weights of the rows at the fade's end are the gltf_export_test's.
                    self.assertEqual(extras["ktrtFadeEnd"], float(arguments[arguments.index(
                        "--at") + 1]) + float(arguments[arguments.index("--over") + 1]))

    def test_options_that_do_not_fit_exit_2_and_b_without_parts_exits_1(self):
        fade = ["examples/figure.kta", "--crossfade", "examples/wave.kta", "--at", "1", "--over",
                "1"]
        # command, arguments, exit status, first line of standard error
        cases = [
            ("play", fade + ["--frames", "3"], 2, "ktrt: --frames excludes --crossfade"),
            ("export", fade + ["--frames", "3"], 2, "ktrt: --frames excludes --crossfade"),
            ("play", ["examples/figure.kta", "--at", "1"], 2, "ktrt: --at requires --crossfade"),
            ("export", ["--frames", "2"], 2, "ktrt export: --frames counts the update() calls "
             "of ANIMATION; the animations a world names play by time"),
            ("play", ["--time", "1,0.5"], 2, "ktrt play: --time 0.5 comes before 1: playback "
             "runs forward from 0; give times in order"),
            ("play", ["examples/figure.kta", "--crossfade", "examples/chest.kta", "--at", "1",
                      "--over", "1"], 1,
             'ktrt play: no track of examples/chest.kta names a part of component "Figure"'),
        ]
        for command, arguments, status, message in cases:
            with self.subTest(command=command, arguments=arguments), \
                    tempfile.TemporaryDirectory() as folder:
                out = {"play": [], "export": ["-o", f"{folder}/out.glb"],
                       "preview": ["-o", f"{folder}/out.html"]}
                result = run([command, "examples/figure-layers.iv", *arguments, *out[command]])
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertEqual(result.stderr.splitlines()[0], message)
                self.assertEqual(result.stdout, "")
                self.assertEqual(os.listdir(folder), [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
