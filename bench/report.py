#!/usr/bin/env python3
"""Turns the JSON output of the benchmarks into BENCHMARKS.md and an SVG chart.

Usage: report.py RESULTS_DIR MARKDOWN_FILE SVG_FILE

RESULTS_DIR holds one <benchmark program>.json per program (Google Benchmark's
--benchmark_out format) and a machine.txt written by bench/run. Every figure
is the median CPU time of the repetitions; each of the library's figures is
set beside its anchors measured in the same run, as a ratio.
"""

import json
import math
import os
import sys

# Each comparison: the benchmark program, the library's benchmark, its anchors,
# what one item is, and how many items a benchmark argument stands for.
# The bytes one key takes in a KTPartAnimation track (the key object, its
# angles and the track's pointer to it): what the prepared keys are set beside.
TRACK_KEY_BYTES = 140

COMPARISONS = [
    {
        "title": "Reading an animation file",
        "program": "reader_bench",
        "ours": ("BM_KtrtReader", "ktrt reader"),
        "anchors": [("BM_CoinVrmlReader", "Coin's VRML97 parser"),
                    ("BM_FromCharsFloor", "a bare from_chars scan")],
        "item": "key",
        "items": lambda arg: arg * 500,
        "size": lambda arg, run: "%.1f MB, %d keys" % (run.get("file MB", 0), arg * 500),
        "note": "The same keys written as VRML97 interpolators for Coin; the floor reads "
                "the animation file and converts every number with std::from_chars, "
                "nothing else. Cost per key (an orientation and a position).",
    },
    {
        "title": "Playing a frame",
        "program": "playback_bench",
        "ours": ("BM_InstanceUpdate", "update()"),
        "anchors": [("BM_SetValueFloor", "the bare setValue floor"),
                    ("BM_ConvertingSetValueFloor", "the converting setValue floor"),
                    ("BM_VrmlInterpolators", "Coin's interpolator engines")],
        "item": "part",
        "items": lambda arg: arg,
        "size": lambda arg, run: "%d parts" % arg,
        "note": "One frame over every part of a component: the bare floor writes "
                "precomputed values into the same transform nodes with setValue; the "
                "converting floor also turns each key's angles into a quaternion as it "
                "writes it, as playback must when it keeps nothing per frame; Coin's "
                "VRML97 interpolators are connected to the fields and stepped.",
    },
    {
        "title": "Binding an animation",
        "program": "playback_bench",
        "ours": ("BM_InstanceBind", "binding"),
        "anchors": [("BM_SaveTransformsFloor", "the save-only floor")],
        "counters": [("bytes_per_part", "instance heap bytes per part")],
        "item": "part",
        "items": lambda arg: arg,
        "size": lambda arg, run: "%d parts" % arg,
        "note": "Building a KTAnimationInstance over a component of that many parts, one "
                "track per part (eight keys each): every part looked up by name and its "
                "transform saved. The floor is handed the parts and only saves their "
                "transforms. The memory column is the instance's own heap per part.",
    },
    {
        "title": "Playing by time",
        "program": "sampler_bench",
        "ours": ("BM_SamplerSample", "sample()"),
        "anchors": [("BM_SamplerSetValueFloor", "the bare setValue floor"),
                    ("BM_BindingWritePose", "the same values as poses through the part binding"),
                    ("BM_SamplerVrmlEngines", "Coin's interpolator engines on a time field")],
        "item": "part",
        "items": lambda arg: arg,
        "size": lambda arg, run: "%d parts" % arg,
        "note": "KTAnimationSampler writing the pose at one time, between keys, into every "
                "part of a component: the floor writes the same values, precomputed, into the "
                "same transform nodes with setValue; Coin's VRML97 orientation and position "
                "interpolators are connected to the same fields and driven by one fraction "
                "field. The sampler lets the scene hear of a part once, not once per field, "
                "so it can undercut the floor; so does KTPartBinding::write() of the same "
                "values as precomputed poses, the write step alone.",
    },
    {
        "title": "Sampling into a pose",
        "program": "sampler_bench",
        "ours": ("BM_ClipSampleIntoPose", "KTAnimationClip::sample()"),
        "anchors": [("BM_SamplerSetValueFloor", "the bare setValue floor")],
        "items": lambda arg: arg,
        "size": lambda arg, run: "%d parts" % arg,
        "counters": [("bytes_per_key", "prepared bytes per key (set as Euler angles)"),
                     ("bytes_per_remembered_key", "prepared bytes per key (read from a file)")],
        "item": "part",
        "note": "The evaluation alone: the sampler's shared prepared keys (KTAnimationClip) "
                "sampled at the same times into a pose, touching no node, beside the floor of "
                "writing the same values with setValue. A ratio of 10× means the pose costs a "
                "tenth of the writes. The last two columns are the bytes a prepared key takes, "
                "beside the %d bytes a key takes in a track: keys set as Euler angles, and "
                "keys that remember the axis and angle a file gave them (their STEP "
                "rotations kept beside the exact ones)." % TRACK_KEY_BYTES,
    },
    {
        "title": "Blending a crossfade",
        "program": "mixer_bench",
        "ours": ("BM_MixerCrossfade", "mixer advance()"),
        "anchors": [("BM_MixerSamplerAnchor", "one sampler writing one animation"),
                    ("BM_MixerSetValueFloor", "the bare setValue floor")],
        "item": "part",
        "items": lambda arg: arg,
        "size": lambda arg, run: "%d parts" % arg,
        "note": "KTAnimationMixer::advance() with two actions of two animations of every "
                "part in a crossfade, both active at weights near 0.5, their times and fades "
                "moving on every tick: two clips sampled into poses, blended over the rest "
                "pose and written once per part. Beside it one KTAnimationSampler writing one "
                "animation into the same parts, moved on by the same ticks, and the floor of "
                "writing a translation and a rotation into every part with setValue.",
    },
    {
        "title": "A player on the driver's tick",
        "program": "sampler_bench",
        "ours": ("BM_DriverTickWithPlayer", "tick with a player"),
        "anchors": [("BM_DriverTickWithoutPlayer", "the same tick without it")],
        "item": "component",
        "items": lambda arg: arg,
        "size": lambda arg, run: "%d components" % arg,
        "note": "One driver tick over a world, with one KTAnimationPlayer (one part, advanced "
                "by the real clock) added to the driver and without it. A ratio of 0.95× "
                "means the player adds 5% to the tick.",
    },
    {
        "title": "Driving a world",
        "program": "world_driver_bench",
        "ours": ("BM_DriverTick", "driver tick"),
        "anchors": [("BM_BareVirtualTicks", "a bare loop of tick() calls")],
        "item": "component",
        "items": lambda arg: arg,
        "size": lambda arg, run: "%d components" % arg,
        "note": "One tick of the world driver against a plain loop calling every "
                "component's tick().",
    },
    {
        "title": "Snapshot and restore",
        "program": "snapshot_bench",
        "ours": ("BM_SnapshotAndRestore", "snapshot + restore"),
        "anchors": [("BM_WriteReadAndCopyTransforms", "writing and reading the scene"),
                    ("BM_RequiredCallsOnly", "the required calls only")],
        "extra": [("BM_SnapshotAndRestoreNewState", "into a new state")],
        "counters": [("bytes_per_component", "snapshot heap bytes per component")],
        "item": "component",
        "items": lambda arg: arg,
        "size": lambda arg, run: "%d components" % arg,
        "note": "Snapshot of a whole world and its restore, against writing the scene "
                "into memory with Coin, reading it back and copying the transforms over; "
                "the floor makes only the calls any snapshot must make. Each component "
                "has eight attributes and four behaviors; the memory column is the heap "
                "that one world snapshot takes per component.",
    },
    {
        "title": "Writing an animation file",
        "program": "writer_bench",
        "ours": ("BM_KtrtWriter", "KTAnimationWriter"),
        "anchors": [("BM_ToCharsFloor", "a bare to_chars loop over the same numbers")],
        "counters": [("MB/s", "writer output MB/s")],
        "item": "key",
        "items": lambda arg: (arg // 10) * 250,
        "size": lambda arg, run: "%d tracks, %s" % (
            arg // 10,
            ("positions only", "turning, as read", "turning, set as Euler angles")[arg % 10]),
        "series": lambda arg: arg % 10 == 0,
        "series_label": " (positions only)",
        "note": "Writing a component animation of tracks of 250 keys into a string, against "
                "writing the same numbers with std::to_chars into one buffer. Turning keys as "
                "read from a file go out with the axis and angle they remember. Keys given "
                "Euler angles of their own go out as the nearest axis and angle, which costs "
                "a conversion each and a check of what the reader makes of it.",
    },
    {
        "title": "Exporting to glTF",
        "program": "gltf_export_bench",
        "ours": ("exportGlb", "ktrt export"),
        "anchors": [("playAndWriteGlb", "update() plus tinygltf writing the same bytes")],
        "item": "frame",
        "items": lambda arg: 10000,
        "size": lambda arg, run: "100 parts, 10,000 frames",
        "note": "The whole export of a generated world (collecting the shapes, playing and "
                "sampling every frame, building and serialising the binary asset) against "
                "playing the same frames with update() and serialising the same model.",
    },
    {
        "title": "Importing with assimp",
        "program": "import_bench",
        "ours": ("BM_KtrtResample", "resampling"),
        "anchors": [("BM_AssimpLoad", "assimp's own loading of the file")],
        "item": "key",
        "items": lambda arg: 100 * 10000,
        "size": lambda arg, run: "100 nodes, 10,000 frames",
        "note": "Resampling every node channel of a generated BVH motion into a component "
                "animation, against assimp reading the same file.",
    },
]

COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b"]
DASHES = ["", "7 4", "2 3"]


def load_medians(folder, program):
    """{(benchmark, argument): run} of the medians (or single runs) of a program."""
    path = os.path.join(folder, program + ".json")
    if not os.path.exists(path):
        return {}
    with open(path) as file:
        data = json.load(file)
    runs = {}
    for run in data.get("benchmarks", []):
        if run.get("error_occurred"):
            continue
        aggregate = run.get("aggregate_name")
        if run.get("run_type") == "aggregate" and aggregate != "median":
            continue
        name, *rest = run.get("run_name", run["name"]).split("/")
        # The numeric arguments; suffixes such as repeats:5 are not sizes.
        args = [int(part) for part in rest if part.isdigit()]
        if not args:
            args = [1]  # a benchmark of one size
        # Two arguments (a, b) become a * 10 + b, b being a small switch (0 to 9).
        key = (name, args[0] * 10 + args[1] if len(args) > 1 else args[0])
        if aggregate == "median" or key not in runs:
            runs[key] = run
    return runs


def repetitions_text(folder):
    """How many repetitions the medians are of, as the programs recorded it."""
    counts = set()
    for name in os.listdir(folder):
        if name.endswith(".json"):
            with open(os.path.join(folder, name)) as file:
                for run in json.load(file).get("benchmarks", []):
                    if run.get("repetitions"):
                        counts.add(int(run["repetitions"]))
    if len(counts) == 1:
        count = counts.pop()
        return "%d repetitions" % count if count > 1 else "one run"
    return "the repetitions"


def nanoseconds(run):
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[run.get("time_unit", "ns")]
    return run["cpu_time"] * scale


def format_cost(ns):
    if ns >= 1e6:
        return "%.2f ms" % (ns / 1e6)
    if ns >= 1e3:
        return "%.2f µs" % (ns / 1e3)
    return "%.1f ns" % ns


def short(label):
    """A label without its article, for table headers and the legend."""
    for article in ("the ", "a "):
        if label.startswith(article):
            return label[len(article):]
    return label


def tick_label(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if ns >= scale:
            return "%g %s" % (ns / scale, unit)
    return "%g ns" % ns


def format_count(value):
    return "%.1f" % value if abs(value) < 100 else "%.0f" % value


def format_ratio(value):
    return "%.2f×" % value if value < 10 else "%.1f×" % value


def collect(folder):
    """Per comparison: its sizes and, per benchmark, the cost per item at each."""
    results = []
    for comparison in COMPARISONS:
        runs = load_medians(folder, comparison["program"])
        names = [comparison["ours"]] + comparison["anchors"] + comparison.get("extra", [])
        arguments = sorted({arg for (name, arg) in runs if name == comparison["ours"][0]})
        costs = {}
        for name, _ in names:
            costs[name] = {arg: nanoseconds(runs[(name, arg)]) / comparison["items"](arg)
                           for arg in arguments if (name, arg) in runs}
        sizes = {arg: comparison["size"](arg, runs[(comparison["ours"][0], arg)])
                 for arg in arguments}
        counters = {name: {arg: runs[(comparison["ours"][0], arg)].get(name)
                           for arg in arguments}
                    for name, _ in comparison.get("counters", [])}
        results.append({"comparison": comparison, "arguments": arguments, "costs": costs,
                        "sizes": sizes, "names": names, "counters": counters})
    return results


def sized_arguments(result):
    """The arguments that differ in size only (all, unless the comparison also
    has rows of other kinds of work), for the growth lines and the chart."""
    keep = result["comparison"].get("series", lambda arg: True)
    return [arg for arg in result["arguments"] if keep(arg)]


def ratio(result, anchor, arg):
    """Anchor's time over ours: above 1 the library is faster."""
    ours = result["costs"][result["comparison"]["ours"][0]].get(arg)
    other = result["costs"].get(anchor, {}).get(arg)
    return other / ours if ours and other else None


def headlines(results):
    lines = []
    for result in results:
        if not result["arguments"]:
            continue
        comparison = result["comparison"]
        largest = result["arguments"][-1]
        parts = []
        for name, label in comparison["anchors"]:
            value = ratio(result, name, largest)
            if value is not None:
                parts.append("%s vs %s" % (format_ratio(value), label))
        lines.append("- **%s** (%s): %s." % (comparison["title"], result["sizes"][largest],
                                             "; ".join(parts)))
    return lines


def markdown(folder, results, machine, chart_name, extra_sections=()):
    out = ["# Benchmarks", "",
           "Generated by `bench/run` (do not edit by hand). Every figure is the median CPU "
           "time of %s, run interleaved at random, divided by the number of "
           "items; the ratios set the "
           "library beside anchors measured in the same run. A ratio is the anchor's time "
           "over the library's: above 1× the library is faster, below 1× slower (expected "
           "against a floor, which does strictly less work). CPU time rather than wall time, "
           "because the machine may be shared: the load average below shows how busy it "
           "was." % repetitions_text(folder),
           ""]
    out += ["## Machine", ""] + ["- " + line for line in machine] + [""]
    out += ["## Headline (largest size)", ""] + headlines(results) + [""]
    out += list(extra_sections)
    out += ["## Cost per item against size", "",
            "![Cost per item against size](%s)" % chart_name, "",
            "Log–log, one colour per comparison: the library's line solid, its anchors "
            "dashed and dotted. A flat line means cost linear in the work.", ""]
    for result in results:
        comparison = result["comparison"]
        out += ["## " + comparison["title"], "", comparison["note"], ""]
        if not result["arguments"]:
            out += ["(no results)", ""]
            continue
        ours_name = comparison["ours"][0]
        header = ["size", comparison["ours"][1] + " per " + comparison["item"]]
        for name, label in comparison["anchors"]:
            header += [short(label) + " per " + comparison["item"], "ratio to " + short(label)]
        for name, label in comparison.get("extra", []):
            header += [label + " per " + comparison["item"]]
        for name, label in comparison.get("counters", []):
            header += [label]
        out.append("| " + " | ".join(header) + " |")
        out.append("|" + "---|" * len(header))
        for arg in result["arguments"]:
            row = [result["sizes"][arg], format_cost(result["costs"][ours_name][arg])]
            for name, _ in comparison["anchors"]:
                cost = result["costs"][name].get(arg)
                value = ratio(result, name, arg)
                row += [format_cost(cost) if cost else "–",
                        format_ratio(value) if value else "–"]
            for name, _ in comparison.get("extra", []):
                cost = result["costs"][name].get(arg)
                row += [format_cost(cost) if cost else "–"]
            for name, _ in comparison.get("counters", []):
                value = result["counters"][name].get(arg)
                row += [format_count(value) if value is not None else "–"]
            out.append("| " + " | ".join(row) + " |")
        series = sized_arguments(result)
        first, last = series[0], series[-1]
        growth = result["costs"][ours_name][last] / result["costs"][ours_name][first]
        out += ["", "Cost per %s at the largest size over the smallest%s: %s." %
                (comparison["item"], comparison.get("series_label", ""), format_ratio(growth))]
        # The growth between the two largest sizes, the library's beside its
        # anchors': a flat line there means the per-item data stays close.
        if len(series) >= 3:
            before = series[-2]
            cells = []
            for name, label in [comparison["ours"]] + comparison["anchors"]:
                costs = result["costs"].get(name, {})
                if costs.get(before) and costs.get(last):
                    cells.append("%s %s" % (short(label), format_ratio(costs[last] / costs[before])))
            out += ["", "Cost per %s at %s over %s: %s." %
                    (comparison["item"], result["sizes"][last], result["sizes"][before],
                     "; ".join(cells))]
        out += [""]
    return "\n".join(out) + "\n"


# The exact slerps that each blend of pose_bench takes a part: the two-way
# blend one, three layers (the first starts the sum) two plus the additive
# layer's one.
SLERPS_PER_PART = {"BM_PoseBlendTwo": 1, "BM_PoseBlendLayers": 3}


def pose_targets(folder):
    """The pose pipeline's figures, each as a multiple of its floor or anchor
    (the library's cost over the anchor's, so below the target is met), with
    its target beside it."""
    sampler = load_medians(folder, "sampler_bench")
    mixer = load_medians(folder, "mixer_bench")

    def cost(runs, name, arg):
        run = runs.get((name, arg))
        return nanoseconds(run) / arg if run else None

    def over(a, b):
        return a / b if a is not None and b else None

    def multiple(value):
        return "%.3f×" % value if value < 0.1 else format_ratio(value)

    def verdict(value, target):
        if value is None:
            return "not measured"
        return "met" if value <= target else "not met: bound %s measured" % multiple(value)

    def bounded_growth(growth, floor_growth, floor_name):
        # Past the caches the streaming floor's own cost per part grows with
        # the keys read: no sampling can stay flatter than it.
        if growth and growth > 1.15 and floor_growth and growth <= floor_growth:
            return "bounded by the %s, which grows %s" % (floor_name, format_ratio(floor_growth))
        return verdict(growth, 1.15)

    rows = []
    pose = cost(sampler, "BM_ClipSampleIntoPose", 10000)
    floor = cost(sampler, "BM_SamplerSetValueFloor", 10000)
    value = over(pose, floor)
    rows.append(("Sampling into a pose at 10,000 parts, over the bare setValue floor",
                 multiple(value) if value else "–",
                 "floor %s per part" % format_cost(floor) if floor else "–", "≤ 0.15×",
                 verdict(value, 0.15)))
    small = cost(sampler, "BM_ClipSampleIntoPose", 1000)
    growth = over(pose, small)
    floor_growth = over(floor, cost(sampler, "BM_SamplerSetValueFloor", 1000))
    poses = load_medians(folder, "pose_bench")
    streaming_growth = over(cost(poses, "BM_PoseStreamingFloor", 10000),
                            cost(poses, "BM_PoseStreamingFloor", 1000))
    rows.append(("Per-part cost of sampling into a pose, 10,000 parts over 1,000",
                 format_ratio(growth) if growth else "–",
                 "the setValue floor: %s" % format_ratio(floor_growth) if floor_growth else "–",
                 "≤ 1.15×", bounded_growth(growth, streaming_growth, "streaming floor")))
    blend = cost(mixer, "BM_MixerCrossfade", 10000)
    one = cost(mixer, "BM_MixerSamplerAnchor", 10000)
    value = over(blend, one)
    floor = over(blend, cost(mixer, "BM_MixerSetValueFloor", 10000))
    rows.append(("A mixer of two actions in a crossfade at 10,000 parts, written once per part, "
                 "over one sampler writing one animation",
                 format_ratio(value) if value else "–",
                 "over the setValue floor: %s" % format_ratio(floor) if floor else "–",
                 "≤ 1.25×", verdict(value, 1.25)))
    memory = mixer.get(("BM_MixerThousandActionsBytes", 1000), {})
    extra = memory.get("bytes_per_part_per_extra_action")
    base = memory.get("one_action_bytes_per_part")
    rows.append(("A thousand actions on one clip (1,000 parts), each advanced: heap bytes per "
                 "part that each action past the first adds",
                 "%.1f B" % extra if extra is not None else "–",
                 "a mixer of one action: %.0f B per part" % base if base is not None else "–",
                 "≤ 64 B", "not measured" if extra is None else
                 ("met" if extra <= 64 else "not met: bound %.1f B measured" % extra)))
    keys = sampler.get(("BM_ClipSampleIntoPose", 10000), {})
    euler = keys.get("bytes_per_key")
    remembered = keys.get("bytes_per_remembered_key")
    if euler is not None and remembered is not None:
        rows.append(("Prepared keys (one copy per animation, shared by its samplers, players "
                     "and actions): bytes per key",
                     "%.1f B set as Euler angles; %.1f B read from a file" % (euler, remembered),
                     "a key in a track: %d B" % TRACK_KEY_BYTES, "beside %d B" % TRACK_KEY_BYTES,
                     "%s and %s of a track's key" % (format_ratio(euler / TRACK_KEY_BYTES),
                                                     format_ratio(remembered / TRACK_KEY_BYTES))))
    rows.append(("The same crossfade against the tighter target", format_ratio(value) if value
                 else "–", "one sampler: %s per part" % format_cost(one) if one else "–",
                 "≤ 1.05×", verdict(value, 1.05)))
    held = over(cost(mixer, "BM_MixerHeldPose", 10000), one)
    rows.append(("A held pose (nothing changed) at 10,000 parts, over one sampler writing one "
                 "animation", multiple(held) if held else "–", "fields compared, not written",
                 "≤ 0.1×", verdict(held, 0.1)))
    pose = load_medians(folder, "pose_bench")
    target = pose.get(("BM_PoseSampleBetweenKeys", 10000), {}).get("label", "")
    floors = {arg: cost(pose, "BM_PoseStreamingFloor", arg) for arg in (1000, 10000)}
    for name, what, limit in (("BM_PoseSampleBetweenKeys", "Sampling between keys, sequential", 2),
                              ("BM_PoseSampleOnKeys", "Sampling on keys, sequential", None),
                              ("BM_PoseSampleRandom", "Sampling at random times", None),
                              ("BM_PoseBlendTwo", "A two-way blend", 2),
                              ("BM_PoseBlendLayers", "Three layers plus an additive one", 2)):
        for arg in (1000, 10000):
            value = over(cost(pose, name, arg), floors[arg])
            result = verdict(value, limit) if limit else "–"
            slerps = SLERPS_PER_PART.get(name)
            slerp_floor = over(cost(pose, "BM_PoseSlerpFloor", arg), floors[arg])
            if slerps and value and value > limit and slerp_floor:
                # Bounded by the arithmetic the rule asks for: its exact slerps
                # alone, at the slerp floor's cost each.
                result = ("not met: bound %s measured; %s a part alone cost%s %s the floor, "
                          "and the blend %s that" %
                          (multiple(value), "its %d exact slerps" % slerps if slerps > 1 else
                           "its exact slerp", "" if slerps > 1 else "s",
                           format_ratio(slerps * slerp_floor),
                           format_ratio(value / (slerps * slerp_floor))))
            rows.append(("%s, %s parts%s, over the streaming floor" %
                         (what, format(arg, ","),
                          " (SIMD: %s)" % target if target else ""),
                         "%s (%s per part)" % (multiple(value), format_cost(cost(pose, name, arg)))
                         if value else "–",
                         "floor %s per part" % format_cost(floors[arg]) if floors[arg] else "–",
                         "≤ %d×" % limit if limit else "beside it", result))
        growth = over(cost(pose, name, 10000), cost(pose, name, 1000))
        floor_growth = over(floors[10000], floors[1000])
        rows.append(("%s: per-part cost, 10,000 parts over 1,000" % what,
                     format_ratio(growth) if growth else "–",
                     "the floor: %s" % format_ratio(floor_growth) if floor_growth else "–",
                     "≤ 1.15×", bounded_growth(growth, floor_growth, "floor")))
    for arg in (1000, 10000):
        value = over(cost(pose, "BM_PoseSlerpFloor", arg), floors[arg])
        rows.append(("One exact slerp a part and nothing else (the library's own sines and "
                     "arc-cosine over quaternion planes), %s parts, over the streaming floor" %
                     format(arg, ","),
                     "%s (%s per part)" % (multiple(value), format_cost(cost(
                         pose, "BM_PoseSlerpFloor", arg))) if value else "–",
                     "floor %s per part" % format_cost(floors[arg]) if floors[arg] else "–",
                     "beside the blends", "–"))
    bytes_per_key = pose.get(("BM_PoseSampleBetweenKeys", 10000), {}).get("bytes_per_key")
    rows.append(("Prepared bytes per key with a rotation and a translation (60 keys a track)",
                 "%.2f B" % bytes_per_key if bytes_per_key else "–", "–", "≤ 32 B",
                 "not measured" if bytes_per_key is None else
                 ("met: 32 B a key, plus a shared sentinel and 512 B of padding a clip"
                  if bytes_per_key < 32.1 else "not met")))
    out = ["## Pose pipeline", "",
           "The figures asked of sampling into poses, blending and sharing keys, from "
           "sampler_bench, mixer_bench and pose_bench (the pose math alone, no scene: 60 keys "
           "per track beside a streaming floor that per part reads the two keys' 64 bytes and "
           "writes the pose's 32, no arithmetic). Poses are planes of floats, one per value. "
           "Sampling between keys and blending use Highway's "
           "dynamic "
           "dispatch (foreach_target and HWY_DYNAMIC_DISPATCH in the shared library): compiled "
           "for every x86 target Highway knows and picked at run time; the rows name the target "
           "that ran. Unlike the ratios elsewhere in this report, each "
           "cost here is the library's over its floor or anchor, so that a figure at or below "
           "its target meets it.", "",
           "| figure | measured | beside it | target | result |", "|---|---|---|---|---|"]
    out += ["| %s |" % " | ".join(row) for row in rows]
    return out + [""]


def containers_section(folder):
    """The animation containers' scaling benchmark, which has no outside anchor."""
    runs = load_medians(folder, "animation_bench")
    if not runs:
        return ""
    arguments = sorted({arg for (_, arg) in runs})
    out = ["## Animation containers", "",
           "Walking every track by index (against walking a plain vector of track "
           "pointers), looking tracks up by name and appending keys; cost per track or key.",
           "", "| benchmark | " + " | ".join("%d items" % a for a in arguments) + " |",
           "|---|" + "---|" * len(arguments)]
    for name in ["WalkAllTracksByIndex", "WalkTrackPointersBaseline", "LookupByName",
                 "AppendKeys"]:
        cells = [format_cost(1e9 / runs[(name, a)]["items_per_second"])
                 if runs.get((name, a), {}).get("items_per_second") else "–"
                 for a in arguments]
        out.append("| %s | %s |" % (name, " | ".join(cells)))
    return "\n".join(out) + "\n"


def chart(results):
    """A log-log SVG chart of cost per item against the number of items."""
    width, height = 1000, 540
    left, top, plot_w, plot_h = 80, 50, 520, 420
    lines = []
    for index, result in enumerate(results):
        comparison = result["comparison"]
        colour = COLOURS[index % len(COLOURS)]
        names = [comparison["ours"]] + comparison["anchors"]
        for dash, (name, label) in enumerate(names):
            points = [(comparison["items"](arg), cost)
                      for arg, cost in sorted(result["costs"].get(name, {}).items())
                      if arg in sized_arguments(result)]
            if points:
                lines.append((comparison["title"] + ": " + short(label), colour,
                              DASHES[min(dash, len(DASHES) - 1)], dash == 0, points))
    # Tall enough for the legend, one line of it per series.
    height = max(height, top + 6 + 20 * len(lines) + 14)
    xs = [x for line in lines for x, _ in line[4]] or [1, 10]
    ys = [y for line in lines for _, y in line[4]] or [1, 10]
    x_low, x_high = math.floor(math.log10(min(xs))), math.ceil(math.log10(max(xs)))
    y_low, y_high = math.floor(math.log10(min(ys))), math.ceil(math.log10(max(ys)))
    x_high = max(x_high, x_low + 1)
    y_high = max(y_high, y_low + 1)

    def px(x):
        return left + (math.log10(x) - x_low) / (x_high - x_low) * plot_w

    def py(y):
        return top + plot_h - (math.log10(y) - y_low) / (y_high - y_low) * plot_h

    def escape(text):
        return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
                .replace('"', "&quot;"))

    svg = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="%d" height="%d" '
           'viewBox="0 0 %d %d" font-family="DejaVu Sans, Arial, Helvetica, sans-serif">'
           % (width, height, width, height),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="28" font-size="16" font-weight="bold">Cost per item against '
           'size (CPU time, medians)</text>' % left]
    for decade in range(y_low, y_high + 1):
        for step in range(1, 10):
            value = step * 10 ** decade
            if decade == y_high and step > 1:
                break
            y = py(value)
            shade = "#d0d0d0" if step == 1 else "#f0f0f0"
            svg.append('<line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f" stroke="%s"/>'
                       % (left, y, left + plot_w, y, shade))
        svg.append('<text x="%.1f" y="%.1f" font-size="11" text-anchor="end">%s</text>'
                   % (left - 6, py(10 ** decade) + 4, tick_label(10 ** decade)))
    for decade in range(x_low, x_high + 1):
        for step in range(1, 10):
            value = step * 10 ** decade
            if decade == x_high and step > 1:
                break
            x = px(value)
            shade = "#d0d0d0" if step == 1 else "#f0f0f0"
            svg.append('<line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f" stroke="%s"/>'
                       % (x, top, x, top + plot_h, shade))
        svg.append('<text x="%.1f" y="%.1f" font-size="11" text-anchor="middle">%s</text>'
                   % (px(10 ** decade), top + plot_h + 16, "{:,}".format(10 ** decade)))
    svg.append('<rect x="%d" y="%d" width="%d" height="%d" fill="none" stroke="#666"/>'
               % (left, top, plot_w, plot_h))
    svg.append('<text x="%.1f" y="%d" font-size="12" text-anchor="middle">items (keys, parts '
               'or components; log scale)</text>' % (left + plot_w / 2, top + plot_h + 36))
    svg.append('<text x="20" y="%.1f" font-size="12" text-anchor="middle" '
               'transform="rotate(-90 20 %.1f)">CPU time per item (log scale)</text>'
               % (top + plot_h / 2, top + plot_h / 2))
    for label, colour, dash, ours, points in lines:
        path = " ".join("%.1f,%.1f" % (px(x), py(y)) for x, y in points)
        dash_attribute = ' stroke-dasharray="%s"' % dash if dash else ""
        svg.append('<polyline points="%s" fill="none" stroke="%s" stroke-width="%s"%s/>'
                   % (path, colour, "2.5" if ours else "1.5", dash_attribute))
        for x, y in points:
            svg.append('<circle cx="%.1f" cy="%.1f" r="%s" fill="%s"/>'
                       % (px(x), py(y), "3.5" if ours else "2.5", colour))
    legend_x, legend_y = left + plot_w + 20, top + 6
    for index, (label, colour, dash, ours, _) in enumerate(lines):
        y = legend_y + index * 20
        dash_attribute = ' stroke-dasharray="%s"' % dash if dash else ""
        svg.append('<line x1="%d" y1="%d" x2="%d" y2="%d" stroke="%s" stroke-width="%s"%s/>'
                   % (legend_x, y, legend_x + 26, y, colour, "2.5" if ours else "1.5",
                      dash_attribute))
        svg.append('<text x="%d" y="%d" font-size="11"%s>%s</text>'
                   % (legend_x + 32, y + 4, ' font-weight="bold"' if ours else "",
                      escape(label)))
    svg.append("</svg>")
    return "\n".join(svg) + "\n"


def main():
    folder, markdown_path, svg_path = sys.argv[1:4]
    machine_path = os.path.join(folder, "machine.txt")
    machine = []
    if os.path.exists(machine_path):
        with open(machine_path) as file:
            machine = [line.strip() for line in file if line.strip()]
    results = collect(folder)
    chart_name = os.path.relpath(os.path.abspath(svg_path),
                                 os.path.dirname(os.path.abspath(markdown_path)))
    text = (markdown(folder, results, machine, chart_name, pose_targets(folder)) + "\n" +
            containers_section(folder))
    with open(markdown_path, "w") as file:
        file.write(text.rstrip("\n") + "\n")
    with open(svg_path, "w") as file:
        file.write(chart(results))
    print("\n".join(headlines(results)))


if __name__ == "__main__":
    main()
