"""Tests of `ktrt plot`: runs the tool and reads its SVG back with an XML parser.

Usage: plot_test.py KTRT_EXECUTABLE SOURCE_DIR
"""

import os
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
KTRT, SOURCE_DIR = sys.argv[1], sys.argv[2]


def plot(animation, output):
    return subprocess.run([KTRT, "plot", animation, "-o", output], capture_output=True, text=True)


def tracks_by_part(root):
    return {g.get("data-part"): g for g in root.iter(SVG + "g") if g.get("class") == "track"}


def plot_of(track, kind):
    return next(g for g in track.iter(SVG + "g")
                if g.get("class") == "plot" and g.get("data-kind") == kind)


def drawn_values(plot_group, curve_name):
    """The key time (or index) and value of every point of a curve, mapped
    back from pixels through the plot's frame and axis ranges."""
    frame = next(r for r in plot_group.iter(SVG + "rect") if r.get("class") == "frame")
    left, top = float(frame.get("x")), float(frame.get("y"))
    width, height = float(frame.get("width")), float(frame.get("height"))
    x_min, x_max = float(plot_group.get("data-x-min")), float(plot_group.get("data-x-max"))
    y_min, y_max = float(plot_group.get("data-y-min")), float(plot_group.get("data-y-max"))
    line = next(p for p in plot_group.iter(SVG + "polyline")
                if p.get("data-curve") == curve_name)
    points = []
    for pair in line.get("points").split():
        px, py = (float(v) for v in pair.split(","))
        points.append((x_min + (px - left) / width * (x_max - x_min),
                       y_min + (top + height - py) / height * (y_max - y_min)))
    return points, (y_max - y_min) / height


class PlotTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def test_curves_pass_through_the_keys_of_the_walking_figure(self):
        animation = os.path.join(SOURCE_DIR, "examples/figure.kta")
        output = self.path("figure.svg")
        result = plot(animation, output)
        self.assertEqual(result.returncode, 0, result.stderr)
        root = ET.parse(output).getroot()
        self.assertEqual(root.tag, SVG + "svg")

        tracks = tracks_by_part(root)
        self.assertEqual(set(tracks), {"Head", "LeftArm", "RightArm", "LeftLeg", "RightLeg"})
        swing = 28.6478897566  # 0.5 radians in degrees
        expected = {
            ("LeftArm", "angles", "angle-x"): [swing, 0, -swing, 0, swing],
            ("LeftArm", "angles", "angle-y"): [0, 0, 0, 0, 0],
            ("Head", "angles", "angle-x"): [0, 5.72957795, 0, 5.72957795, 0],
            ("Head", "positions", "position-y"): [1.7, 1.72, 1.7, 1.72, 1.7],
        }
        for (part, kind, curve), values in expected.items():
            points, value_per_pixel = drawn_values(plot_of(tracks[part], kind), curve)
            self.assertEqual(len(points), len(values), (part, curve))
            for index, ((x, y), value) in enumerate(zip(points, values)):
                self.assertAlmostEqual(x, index / 4, delta=0.001, msg=(part, curve))
                self.assertAlmostEqual(y, value, delta=value_per_pixel * 0.02 + 1e-6,
                                       msg=(part, curve, index))

        # Panels in the file's order; channels a track lacks are not drawn,
        # positions that do not play are marked.
        self.assertEqual(list(tracks), ["Head", "LeftArm", "RightArm", "LeftLeg", "RightLeg"])
        leg = plot_of(tracks["LeftLeg"], "positions")
        self.assertEqual(list(leg.iter(SVG + "polyline")), [])
        self.assertIn("no position keys", "".join(leg.itertext()))
        self.assertIn("not played", "".join(plot_of(tracks["Head"], "positions").itertext()))

        # Each plot has its title, axis labels and the three legend entries.
        for track in tracks.values():
            for kind in ("angles", "positions"):
                texts = ["".join(t.itertext()) for t in plot_of(track, kind).iter(SVG + "text")]
                for label in ("key time (Key)", "x", "y", "z"):
                    self.assertIn(label, texts)
        self.assertEqual(plot(animation, self.path("again.svg")).returncode, 0)
        with open(output, "rb") as first, open(self.path("again.svg"), "rb") as second:
            self.assertEqual(first.read(), second.read(), "output differs between runs")

    def test_escapes_markup_and_plots_against_key_times_where_they_play(self):
        animation = self.path("markup.kta")
        with open(animation, "w") as file:
            file.write("KTAnimation {\n  Children [\n" + "".join(
                f'    KTPartTransform {{\n      Name "{name}"\n      OrientationInterpolator {{\n'
                f"        Key [ {keys} ]\n        KeyValue [ 0 0 1 0, 0 0 1 1, 0 0 1 0 ]\n"
                "      }\n    }\n"
                for name, keys in (("Arm<L>&'hand'", "0 0.8 1"), ("Leg", "0 0.8 0.4")))
                + "  ]\n}\n")
        result = plot(animation, self.path("markup.svg"))
        self.assertEqual(result.returncode, 0, result.stderr)
        root = ET.parse(self.path("markup.svg")).getroot()
        tracks = tracks_by_part(root)
        self.assertEqual(list(tracks), ["Arm<L>&'hand'", "Leg"])
        points, value_per_pixel = drawn_values(plot_of(tracks["Arm<L>&'hand'"], "angles"),
                                               "angle-z")
        self.assertEqual([round(x, 3) for x, _ in points], [0, 0.8, 1])
        self.assertAlmostEqual(points[1][1], 57.2957795, delta=value_per_pixel * 0.02)
        # Keys that decrease play evenly spaced: they are drawn at their index.
        self.assertEqual([round(x, 3) for x, _ in drawn_values(
            plot_of(tracks["Leg"], "angles"), "angle-z")[0]], [0, 1, 2])
        self.assertIn("key time where the file gives it, else key index",
                      "".join(root.itertext()))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
