"""`ktrt import` on files that assimp reads in unusual ways: animations that
do not say their ticks per second, that hold only morph targets, that are
named by numbers; node names that need fitting; float times just short of a
frame; scale keys; headers that ask for more memory than the ceiling; a
camera and a light that assimp's own validation would refuse but the import
does not use; and messages without assimp's placeholders.

Usage: import_test.py KTRT_EXECUTABLE SOURCE_DIR
"""

import base64
import json
import os
import pathlib
import struct
import subprocess
import sys
import tempfile
import unittest

KTRT, SOURCE_DIR = sys.argv[1], sys.argv[2]
MODELS = "/usr/share/assimp/models/"
MORPH = MODELS + "glTF2/glTF-Sample-Models/AnimatedMorphCube-glTF/AnimatedMorphCube.gltf"
TURN = [(0, 0, 0, 1), (0, 0.7071068, 0, 0.7071068)]
NAN = float("nan")


def gltf(nodes, animations):
    """A glTF asset of named nodes without meshes, each animation a name and
    its channels (node index, key times, quaternions, or vectors and their
    path)."""
    data, views, accessors, written = b"", [], [], []

    def add(values, kind, count, bounds=False):
        nonlocal data
        packed = struct.pack("<%df" % len(values), *values)
        views.append({"buffer": 0, "byteOffset": len(data), "byteLength": len(packed)})
        data += packed
        accessor = {"bufferView": len(views) - 1, "componentType": 5126, "count": count,
                    "type": kind}
        if bounds:
            # The bounds as the float values the buffer holds.
            floats = struct.unpack("<%df" % len(values), packed)
            accessor.update(min=[min(floats)], max=[max(floats)])
        accessors.append(accessor)
        return len(accessors) - 1

    for name, channels in animations:
        samplers, targets = [], []
        for node, times, values, *path in channels:
            samplers.append({"input": add(times, "SCALAR", len(times), True),
                             "output": add([c for v in values for c in v],
                                           "VEC%d" % len(values[0]), len(values))})
            targets.append({"sampler": len(samplers) - 1,
                            "target": {"node": node, "path": (path or ["rotation"])[0]}})
        written.append({"name": name, "samplers": samplers, "channels": targets})
    return json.dumps({
        "asset": {"version": "2.0"}, "scene": 0,
        "scenes": [{"nodes": list(range(len(nodes)))}],
        "nodes": [{"name": name} for name in nodes],
        "buffers": [{"byteLength": len(data), "uri": "data:application/octet-stream;base64,"
                     + base64.b64encode(data).decode()}],
        "bufferViews": views, "accessors": accessors, "animations": written})


def with_unused_faults(asset):
    """`asset` with a camera whose far plane is nearer than its near plane and
    a spot light whose inner cone is wider than its outer one, on node 1."""
    asset = json.loads(asset)
    asset.update(cameras=[{"type": "perspective",
                           "perspective": {"yfov": 1, "znear": 10, "zfar": 1}}],
                 extensionsUsed=["KHR_lights_punctual"], extensions={"KHR_lights_punctual": {
                     "lights": [{"type": "spot", "spot": {"innerConeAngle": 0.7,
                                                          "outerConeAngle": 0.2}}]}})
    asset["nodes"][1].update(camera=0, extensions={"KHR_lights_punctual": {"light": 0}})
    return json.dumps(asset)


GROW = [(1, 1, 1), (2, 2, 2)]
NAMED_1_AND_X = gltf(["A", "B"], [("1", [(0, [0, 1], TURN)]), ("x", [(1, [0, 1], TURN)])])


def off(vertices):
    """An OFF mesh whose header claims `vertices` vertices and one face."""
    return "OFF\n%d 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n" % vertices


# A BVH skeleton whose first joint's name does not fit and whose second
# joint's name is what fitting the first would give.
TWO_JOINTS = """HIERARCHY
ROOT a.b
{ OFFSET 0 0 0 CHANNELS 3 Zrotation Xrotation Yrotation
  JOINT a_b
  { OFFSET 0 1 0 CHANNELS 3 Zrotation Xrotation Yrotation End Site { OFFSET 0 1 0 } }
}
MOTION
Frames: 2
Frame Time: 0.5
0 0 0 0 0 0
10 0 0 10 0 0
"""

# name, the source (a path, or BVH, OFF or glTF text written to a file),
# options, exit status, expected standard output lines (a prefix of each;
# None: not checked), expected standard error ("SOURCE" stands for the
# source's path), track names of the output
CASES = [
    ("no ticks per second: 25 assumed, and --list says so", MODELS + "3DS/RotatingCube.3DS",
     ["--list"], 0, ['0: "3DSMasterAnim", 7.24 s, 1 channel (no ticks per second given: 25 '
                     'assumed)'], "", None),
    ("no ticks per second: the frames of 7.24 s", MODELS + "3DS/RotatingCube.3DS", [], 0,
     ["OUT: 1 track, 218 frames at 30 fps"], "", None),
    ("only morph targets", MORPH, [], 1, [],
     'ktrt: cannot import SOURCE: its animation "Square" turns or moves no node (0 node '
     'channels, 1 morph-target channel, which an animation file cannot hold)\n', None),
    ("only morph targets, listed", MORPH, ["--list"], 0,
     ['0: "Square", 4.2 s, 0 channels, 1 morph-target channel\n'], "", None),
    ("a number is an index", NAMED_1_AND_X, ["--animation", "1"], 0, None, "", ["B"]),
    ("a name that is not a number", NAMED_1_AND_X, ["--animation", "x"], 0, None, "", ["B"]),
    ("both listed", NAMED_1_AND_X, ["--list"], 0,
     ['0: "1", 1 s, 1 channel\n', '1: "x", 1 s, 1 channel\n'], "", None),
    ("no animation of that number", gltf(["A"], [("x", [(0, [0, 1], TURN)])]),
     ["--animation", "1"], 1, [],
     "ktrt: SOURCE has no animation number 1 (--list shows them)\n", None),
    ("a fit name is kept whatever the order", TWO_JOINTS, [], 0, None,
     'ktrt: warning: 1 node name changed to fit the files: "a.b" as a_b_2\n', ["a_b_2", "a_b"]),
    ("one key: one frame", gltf(["A"], [("x", [(0, [0], TURN[:1])])]), [], 0,
     ["OUT: 1 track, 1 frame at 30 fps"], "", None),
    ("float times just short of a frame", gltf(["A"], [("x", [(0, [0, 153.33333], TURN)])]),
     [], 0, ["OUT: 1 track, 4601 frames at 30 fps"], "", None),
    ("more frames than the limit", gltf(["A"], [("x", [(0, [0, 200], TURN)])]),
     ["--fps", "10000"], 2, [],
     "ktrt: --fps 10000 gives 2000001 frames, more than the limit of 1000000\n", None),
    ("a camera and a light the import does not use",
     with_unused_faults(gltf(["A", "B"], [("x", [(0, [0, 1], TURN)])])), [], 0,
     ["OUT: 1 track, 31 frames at 30 fps"], "", ["A"]),
    ("a key that is not a number", gltf(["A"], [("x", [(0, [0, 1], [TURN[0], (0, NAN, 0, 1)])])]),
     [], 1, [], 'ktrt: cannot import SOURCE: the channel of node "A" has a key that is not a '
     'finite number\n', None),
    ("scale keys: one line for the nodes that scale, none for float noise",
     gltf(["A", "B", "C"], [("x", [(0, [0, 1], GROW, "scale"), (1, [0, 1], GROW, "scale"),
                                   (2, [0, 1], [(1.0009, 1, 0.9991)] * 2, "scale"),
                                   (0, [0, 1], TURN)])]), [], 0, None,
     'ktrt: warning: 2 nodes scale, which the animation file cannot hold, so their scale is '
     'left out: "B", "A"\n', None),  # in assimp's order of the channels
    ("a header that asks for 12 GB, under the default ceiling", off(1000000000), [], 1, [],
     "ktrt: cannot import SOURCE: it needs more than the 4096 MB of memory that --max-memory "
     "allows\n", None),
    ("the ceiling that --max-memory gives", off(10000000), ["--max-memory", "64"], 1, [],
     "ktrt: cannot import SOURCE: it needs more than the 64 MB of memory that --max-memory "
     "allows\n", None),
    ("the corpus's header of 35 billion vertices", MODELS + "invalid/OutOfMemory.off", [], 1, [],
     "ktrt: cannot import SOURCE: it needs more than the 4096 MB of memory that --max-memory "
     "allows\n", None),
    ("a node tree that loops", MODELS + "glTF2/RecursiveNodes/RecursiveNodes.gltf", [], 1, [],
     'ktrt: cannot import SOURCE: GLTF: Object at index 0 in array "nodes" has recursive '
     'reference to itself\n', None),
    ("no placeholder nor unrelated warning", MODELS + "BLEND/box.blend", [], 1, [],
     "ktrt: cannot import SOURCE: it holds no animation\n", None),
    ("a directory", MODELS + "BLEND", [], 1, [],
     "ktrt: cannot import SOURCE: is a directory\n", None),
]


class ImportTest(unittest.TestCase):
    @unittest.skipUnless(os.path.isdir(MODELS), "assimp-testmodels not installed")
    def test_import_table(self):
        for name, source, options, status, stdout, stderr, tracks in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                if not source.startswith("/"):
                    path = os.path.join(folder, "source." + (
                        "bvh" if source.startswith("HIERARCHY") else
                        "off" if source.startswith("OFF") else "gltf"))
                    pathlib.Path(path).write_text(source)
                    source = path
                out = os.path.join(folder, "out.kta")
                args = options if "--list" in options else options + ["-o", out]
                result = subprocess.run([KTRT, "import", source, *args], capture_output=True,
                                        text=True, timeout=120)
                if "Sanitizer" in result.stderr and "MB of memory" in stderr:
                    continue  # a sanitizer's allocator reports running out instead of throwing
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertEqual(result.stderr, stderr.replace("SOURCE", source))
                lines = result.stdout.splitlines(keepends=True)
                self.assertEqual(len(lines), len(stdout if stdout is not None else lines))
                for line, start in zip(lines, stdout or []):
                    self.assertTrue(line.startswith(start.replace("OUT", out)), line)
                self.assertEqual(os.path.exists(out), status == 0 and "--list" not in options)
                if tracks is not None:
                    text = pathlib.Path(out).read_text()
                    names = [line.split('"')[1] for line in text.splitlines()
                             if line.strip().startswith("Name ")]
                    self.assertEqual(names, tracks)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
