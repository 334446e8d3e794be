#pragma once

#include <string>

namespace ktrt_tool {

/// A self-contained HTML page that shows the binary glTF asset `glb` with
/// three.js read from `threeDirectory` (three.min.js and the GLTFLoader and
/// OrbitControls of its examples, all inlined): a light, a camera framing the
/// model, orbit controls, play/pause (a button of fixed width), a frame
/// slider with the frame number, a choice of speed, looping; `title` names
/// the page. `frames` frames play at `fps` per second, as the first animation
/// holds them. Empty with `error` set when a three.js file cannot be read.
std::string previewPage(const std::string& title, const std::string& glb, int frames, double fps,
                        const std::string& threeDirectory, std::string& error);

} // namespace ktrt_tool
