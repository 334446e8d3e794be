"""`ktrt play`, `export` and `preview` with --crossfade B --at T --over S on
the figure example: A alone before T, B (from its own time 0 at T) alone from
T + S on, and in between the blend with B's weight rising linearly; a part
only one of the two moves blends with its pose in the world file. Bad options
exit with status 2.

Usage: crossfade_test.py KTRT_EXECUTABLE SOURCE_DIR
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

KTRT = ""
SOURCE_DIR = ""

# Both turn about X only, so blended angles are linear in the weight. A moves
# LeftArm and Head, B moves Head and RightLeg; Head has position keys too.
A = """KTAnimation { Children [
  KTPartTransform { Name "LeftArm"
    OrientationInterpolator { Key [ 0 0.5 1 ] KeyValue [ 1 0 0 0, 1 0 0 0.5, 1 0 0 1 ] } }
  KTPartTransform { Name "Head"
    OrientationInterpolator { Key [ 0 1 ] KeyValue [ 1 0 0 0, 1 0 0 0.2 ] }
    PositionInterpolator { Key [ 0 1 ] KeyValue [ 0 1.7 0, 0 1.8 0 ] } }
] }
"""
B = """KTAnimation { Children [
  KTPartTransform { Name "Head"
    OrientationInterpolator { Key [ 0 1 ] KeyValue [ 1 0 0 -0.4, 1 0 0 -0.2 ] }
    PositionInterpolator { Key [ 0 1 ] KeyValue [ 0 2 0, 0 2.2 0 ] } }
  KTPartTransform { Name "RightLeg"
    OrientationInterpolator { Key [ 0 0.5 1 ] KeyValue [ 1 0 0 0.6, 1 0 0 0, 1 0 0 -0.6 ] } }
] }
"""
# The parts as the world file poses them: translation, angle about X.
REST = {"LeftArm": (-0.32, 1.55, 0.0, 0.0), "Head": (0.0, 1.7, 0.0, 0.0),
        "RightLeg": (0.13, 0.9, 0.0, 0.0)}
ROWS = ["--key-rate", "2", "--rate", "8", "--duration", "2.5", "--positions"]


def run(args, folder):
    return subprocess.run([KTRT, *args], cwd=folder, capture_output=True, text=True)


def table(stdout):
    """{(time, part): (x, y, z, angle about x)} of a play table, and the fade column."""
    poses, fades = {}, {}
    for line in stdout.splitlines()[3:]:
        fields = line.split()
        if fields[0] == "reset":
            continue
        time = float(fields[0])
        poses[(time, fields[1])] = tuple(float(v) for v in fields[2:6])
        if len(fields) > 8:
            fades[time] = float(fields[8])
    return poses, fades


def gltf_poses(path):
    """{(time, node name): (x, y, z or None, angle about x in degrees)}."""
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

    poses = {}
    animation = model["animations"][0]
    for channel in animation["channels"]:
        sampler = animation["samplers"][channel["sampler"]]
        name = model["nodes"][channel["target"]["node"]]["name"]
        for (time,), value in zip(accessor(sampler["input"]), accessor(sampler["output"])):
            pose = poses.setdefault((round(time, 4), name), [None, None, None, None])
            if channel["target"]["path"] == "rotation":
                angle = math.degrees(2 * math.atan2(value[0], value[3]))
                pose[3] = angle - 360 if angle > 180 else angle + 360 if angle <= -180 else angle
            else:
                pose[0:3] = value
    return poses


class CrossfadeTest(unittest.TestCase):
    def setUp(self):
        self.folder_holder = tempfile.TemporaryDirectory()
        self.folder = self.folder_holder.name
        for name, text in (("a.kta", A), ("b.kta", B)):
            with open(os.path.join(self.folder, name), "w") as file:
                file.write(text)
        self.world = os.path.join(SOURCE_DIR, "examples", "figure.iv")

    def tearDown(self):
        self.folder_holder.cleanup()

    def play(self, args):
        result = run(["play", self.world, *args, *ROWS], self.folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        return table(result.stdout)

    def assertPose(self, actual, expected, context):
        for got, want, tolerance in zip(actual, expected, (0.0015,) * 3 + (0.015,)):
            self.assertAlmostEqual(got, want, delta=tolerance, msg=f"{context}: {actual}")

    def test_the_table_is_a_before_b_after_and_the_blend_between(self):
        # T, S, the settings that apply to both
        cases = [
            (0.5, 0.5, []),
            (0.5, 0.75, ["--speed", "2", "--wrap", "clamp"]),
            (0.25, 1.0, ["--interpolation", "step", "--wrap", "ping-pong"]),
            (0.75, 0.0, ["--interpolation", "hold"]),  # a cut
        ]
        for at, over, settings in cases:
            with self.subTest(at=at, over=over, settings=settings):
                faded, fades = self.play(["a.kta", "--crossfade", "b.kta", "--at", str(at),
                                          "--over", str(over), *settings])
                alone = [self.play([name, *settings])[0] for name in ("a.kta", "b.kta")]
                middle = 0
                for (time, part), pose in faded.items():
                    weight = 0.0 if time < at else min(1.0, (time - at) / over) if over else 1.0
                    self.assertAlmostEqual(fades[time], weight, delta=0.001)
                    of_a = alone[0].get((time, part), REST[part])
                    of_b = alone[1].get((round(time - at, 3), part), REST[part])
                    if weight == 0.0:
                        self.assertEqual(pose, of_a, (time, part))
                    elif weight == 1.0:
                        self.assertEqual(pose, of_b, (time, part))
                    else:
                        middle += 1
                        self.assertPose(pose, [a + (b - a) * weight for a, b in zip(of_a, of_b)],
                                        (time, part))
                self.assertEqual(middle, 3 * max(0, math.ceil(over * 8) - 1))
                self.assertEqual(max(t for t, _ in faded), 2.5)

    def test_the_export_carries_the_faded_pose_and_the_preview_names_both(self):
        output = os.path.join(self.folder, "out.gltf")
        fade = ["a.kta", "--crossfade", "b.kta", "--at", "0.5", "--over", "1"]
        result = run(["export", self.world, *fade, "--positions", "--fps", "4",
                      "--interpolation", "linear", "-o", output], self.folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        exported = gltf_poses(output)
        settings = ["--key-rate", "4", "--rate", "4", "--duration", "2", "--positions"]
        played = [table(run(["play", self.world, *args, *settings], self.folder).stdout)[0]
                  for args in (fade, ["a.kta"], ["b.kta"])]
        # The default length: the end of the fade, then B's cycle of 0.5 s
        # at 4 keys a second is already over.
        self.assertEqual(sorted({t for t, _ in exported}), [k / 4 for k in range(7)])
        # A frame in the middle of the fade is neither A's nor B's.
        difference = {}
        for (time, part), pose in exported.items():
            if pose[0] is None:
                pose[0:3] = REST[part][0:3]
            self.assertPose(pose, played[0][(time, part)], (time, part))
            for alone, start in ((played[1], 0.0), (played[2], 0.5)):
                other = alone.get((time - start, part), REST[part])
                difference[(time, start)] = max(difference.get((time, start), 0.0),
                                                *(abs(p - q) for p, q in zip(pose, other)))
        for time in (0.75, 1.0, 1.25):
            self.assertGreater(min(difference[(time, 0.0)], difference[(time, 0.5)]), 0.01)

        page = os.path.join(self.folder, "page.html")
        result = run(["preview", self.world, *fade, "-o", page], self.folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(page, encoding="utf-8") as file:
            html = file.read()
        self.assertIn("<title>Figure - a.kta to b.kta</title>", html)
        self.assertIn("var KTRT = { frames: 45, fps: 30,", html)

    def test_bad_options_exit_2_and_b_without_parts_exits_1(self):
        fade = ["a.kta", "--crossfade", "b.kta"]
        # command, arguments, exit status, first line of standard error
        cases = [
            ("play", fade + ["--over", "1"], 2, "ktrt: --crossfade requires --at"),
            ("play", ["a.kta", "--at", "1"], 2, "ktrt: --at requires --crossfade"),
            ("export", ["a.kta", "--over", "1"], 2, "ktrt: --over requires --crossfade"),
            ("play", fade + ["--at", "nan", "--over", "1"], 2,
             "ktrt: --at: must be a number of seconds from 0 to 1000000"),
            ("play", fade + ["--at", "-0.5", "--over", "1"], 2,
             "ktrt: --at: must be a number of seconds from 0 to 1000000"),
            ("export", fade + ["--at", "1", "--over", "1e7"], 2,
             "ktrt: --over: must be a number of seconds from 0 to 1000000"),
            ("preview", fade + ["--at", "1", "--over", "inf"], 2,
             "ktrt: --over: must be a number of seconds from 0 to 1000000"),
            ("play", fade + ["--at", "1", "--over", "1", "--frames", "3"], 2,
             "ktrt: --frames excludes --crossfade"),
            ("play", fade + ["--at", "1000000", "--over", "1"], 2,
             "ktrt play: 30 rows a second for 1e+06 s gives 30000031 rows, more than the limit "
             "of 1000000"),
            ("export", fade + ["--at", "1000000", "--over", "1"], 2,
             "ktrt export: the crossfade gives 30000030 frames, more than the limit of 1000000"),
            ("play", ["a.kta", "--crossfade", os.path.join(SOURCE_DIR, "examples", "chest.kta"),
                      "--at", "1", "--over", "1"], 1,
             f"ktrt play: no track of {SOURCE_DIR}/examples/chest.kta names a part of "
             "component \"Figure\""),
            ("export", ["a.kta", "--crossfade", "a.kta.missing", "--at", "1", "--over", "1"], 1,
             "ktrt export: cannot read a.kta.missing: No such file or directory"),
        ]
        for command, arguments, status, message in cases:
            with self.subTest(command=command, arguments=arguments):
                out = {"play": [], "export": ["-o", "out.glb"], "preview": ["-o", "out.html"]}
                result = run([command, self.world, *arguments, *out[command]], self.folder)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertEqual(result.stderr.splitlines()[0], message)
                self.assertEqual(result.stdout, "")
                self.assertEqual(sorted(os.listdir(self.folder)), ["a.kta", "b.kta"])
        # A world that names its own animation has no A to fade from.
        result = run(["play", os.path.join(SOURCE_DIR, "examples", "chest-play.iv"),
                      "--crossfade", "b.kta", "--at", "1", "--over", "1"], self.folder)
        self.assertEqual((result.returncode, result.stderr), (2, (
            "ktrt play: --crossfade needs ANIMATION, the animation to fade from\n")))


if __name__ == "__main__":
    KTRT, SOURCE_DIR = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
