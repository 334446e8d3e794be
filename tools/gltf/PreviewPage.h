#pragma once

#include <string>

namespace ktrt_tool {

/// A self-contained HTML page that shows the binary glTF asset `glb` with
/// three.js read from `threeDirectory` (three.min.js and the GLTFLoader and
/// OrbitControls of its examples, all inlined): a light, a camera framing the
/// model, orbit controls, play/pause (a button of fixed width), a time slider
/// with the time in seconds and a choice of speed; `title` names the page.
/// The first animation plays in real time and loops, except a crossfade (an
/// animation with fades in its extras, see buildGltfModel()), which shows
/// B's weight, marks the fade on the slider and plays once unless `loop`.
/// `fps` is the rate of the frames. Empty with `error` set when a three.js
/// file cannot be read.
std::string previewPage(const std::string& title, const std::string& glb, double fps, bool loop,
                        const std::string& threeDirectory, std::string& error);

} // namespace ktrt_tool
