#include "gltf/PreviewPage.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace ktrt_tool {

namespace {

bool readText(const std::string& path, std::string& text, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    text = contents.str();
    return true;
}

std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned int v = static_cast<unsigned char>(bytes[i]) << 16 |
                               static_cast<unsigned char>(bytes[i + 1]) << 8 |
                               static_cast<unsigned char>(bytes[i + 2]);
        text += digits[v >> 18 & 63];
        text += digits[v >> 12 & 63];
        text += digits[v >> 6 & 63];
        text += digits[v & 63];
    }
    if (i < bytes.size()) {
        unsigned int v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        text += digits[v >> 18 & 63];
        text += digits[v >> 12 & 63];
        text += i + 1 < bytes.size() ? digits[v >> 6 & 63] : '=';
        text += '=';
    }
    return text;
}

std::string escapeHtml(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// A script's text ends at the first "</script"; three.js holds none, but a
// file from elsewhere might.
std::string inlineScript(const std::string& code) {
    std::string safe;
    std::size_t from = 0;
    for (std::size_t at; (at = code.find("</script", from)) != std::string::npos; from = at + 2)
        safe += code.substr(from, at - from) + "<\\/";
    safe += code.substr(from);
    return "<script>\n" + safe + "\n</script>\n";
}

// The choices of playing speed, as multiples of real time.
std::string speedOptions() {
    std::string options;
    for (const char* speed : {"0.1", "0.25", "0.5", "1", "2", "4"}) {
        options += std::string("<option value=\"") + speed + "\"" +
                   (std::string(speed) == "1" ? " selected" : "") + ">" + speed +
                   "&times;</option>";
    }
    return options;
}

// The page's own code. window.ktrtPreview lets a test drive it: ready, frame,
// playing, speed (settable), play(), pause(), setFrame(k) and animatedBox()
// (the screen-space box, in CSS pixels, of the animated nodes' meshes).
const char* const viewerScript = R"JS(
(function () {
  'use strict';
  var frames = KTRT.frames, fps = KTRT.fps;
  var bytes = Uint8Array.from(atob(KTRT.glb), function (c) { return c.charCodeAt(0); });
  var view = document.getElementById('view');
  var renderer = new THREE.WebGLRenderer({ canvas: view, antialias: true });
  renderer.setPixelRatio(window.devicePixelRatio);
  renderer.gammaOutput = true;
  renderer.gammaFactor = 2.2;
  var scene = new THREE.Scene();
  scene.background = new THREE.Color(0xf2f2f0);
  scene.add(new THREE.HemisphereLight(0xffffff, 0x667788, 0.6));
  var sun = new THREE.DirectionalLight(0xffffff, 0.8);
  sun.position.set(2, 4, 3);
  scene.add(sun);
  var camera = new THREE.PerspectiveCamera(40, 1, 0.01, 1000);
  var controls = new THREE.OrbitControls(camera, view);
  var clock = new THREE.Clock();
  var slider = document.getElementById('slider');
  var counter = document.getElementById('frame');
  var button = document.getElementById('play');
  var speedChoice = document.getElementById('speed');
  var mixer = null, action = null, animated = [];
  var state = { ready: false, playing: true, speed: 1 };

  function resize() {
    var width = view.clientWidth, height = view.clientHeight;
    renderer.setSize(width, height, false);
    camera.aspect = width / height;
    camera.updateProjectionMatrix();
  }
  function currentFrame() {
    if (!action) return 0;
    return Math.min(frames - 1, Math.max(0, Math.floor(action.time * fps + 1e-6)));
  }
  function show() {
    var frame = currentFrame();
    counter.textContent = 'frame ' + frame + ' / ' + (frames - 1);
    slider.value = frame;
  }
  function setPlaying(playing) {
    state.playing = playing;
    button.textContent = playing ? 'Pause' : 'Play';
    clock.getDelta();
  }
  function setFrame(frame) {
    if (!mixer) return;
    // The middle of the frame, clear of the sample times on either side.
    action.time = (frame + 0.5) / fps;
    mixer.update(0);
    show();
  }
  // Frames the model as it moves: the box holds the pose of a spread of frames.
  function frameModel(root) {
    var box = new THREE.Box3().setFromObject(root);
    for (var k = 0; mixer && k < frames; k += Math.max(1, Math.floor(frames / 32))) {
      setFrame(k);
      box.union(new THREE.Box3().setFromObject(root));
    }
    var size = box.getSize(new THREE.Vector3()).length() || 1;
    var center = box.getCenter(new THREE.Vector3());
    controls.target.copy(center);
    camera.position.copy(center).add(new THREE.Vector3(0.9, 0.6, 1.3).normalize().multiplyScalar(size * 1.6));
    camera.near = size / 100;
    camera.far = size * 100;
    camera.updateProjectionMatrix();
    controls.update();
  }
  function loop() {
    requestAnimationFrame(loop);
    var delta = clock.getDelta();
    if (mixer && state.playing) {
      mixer.update(delta * state.speed);
      show();
    }
    controls.update();
    renderer.render(scene, camera);
  }

  function setSpeed(speed) {
    state.speed = speed;
    speedChoice.value = String(speed);
  }
  button.addEventListener('click', function () { setPlaying(!state.playing); });
  speedChoice.addEventListener('change', function () { setSpeed(Number(speedChoice.value)); });
  slider.addEventListener('input', function () { setPlaying(false); setFrame(Number(slider.value)); });
  window.addEventListener('resize', resize);
  slider.max = frames - 1;
  resize();

  new THREE.GLTFLoader().parse(bytes.buffer, '', function (gltf) {
    scene.add(gltf.scene);
    if (gltf.animations.length) {
      var clip = gltf.animations[0];
      mixer = new THREE.AnimationMixer(gltf.scene);
      action = mixer.clipAction(clip);
      action.setLoop(THREE.LoopRepeat, Infinity);
      action.play();
      clip.tracks.forEach(function (track) {
        var node = gltf.scene.getObjectByName(THREE.PropertyBinding.parseTrackName(track.name).nodeName);
        if (node && animated.indexOf(node) < 0) animated.push(node);
      });
    }
    frameModel(gltf.scene);
    setFrame(0);
    state.ready = true;
  }, function (error) {
    console.error('cannot read the model: ' + error);
  });

  window.ktrtPreview = {
    get ready() { return state.ready; },
    get playing() { return state.playing; },
    get frame() { return currentFrame(); },
    get speed() { return state.speed; },
    set speed(speed) { setSpeed(speed); },
    frames: frames,
    play: function () { setPlaying(true); },
    pause: function () { setPlaying(false); },
    setFrame: function (frame) { setPlaying(false); setFrame(frame); },
    animatedBox: function () {
      var box = new THREE.Box3();
      animated.forEach(function (node) { box.expandByObject(node); });
      if (box.isEmpty()) return null;
      var rect = view.getBoundingClientRect();
      var x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
      for (var i = 0; i < 8; ++i) {
        var p = new THREE.Vector3(i & 1 ? box.max.x : box.min.x, i & 2 ? box.max.y : box.min.y,
                                  i & 4 ? box.max.z : box.min.z).project(camera);
        var x = rect.left + (p.x + 1) / 2 * rect.width, y = rect.top + (1 - p.y) / 2 * rect.height;
        x0 = Math.min(x0, x); y0 = Math.min(y0, y); x1 = Math.max(x1, x); y1 = Math.max(y1, y);
      }
      return { x: x0, y: y0, width: x1 - x0, height: y1 - y0 };
    }
  };
  loop();
})();
)JS";

const char* const pageStyle = R"CSS(
html, body { margin: 0; height: 100%; font: 14px sans-serif; background: #f2f2f0; }
#view { display: block; width: 100%; height: calc(100% - 44px); }
#bar { display: flex; align-items: center; gap: 12px; height: 44px; padding: 0 12px; box-sizing: border-box; }
#slider { flex: 1; }
#play { flex: none; width: 5.5em; }
#frame { min-width: 9em; font-variant-numeric: tabular-nums; }
)CSS";

} // namespace

std::string previewPage(const std::string& title, const std::string& glb, int frames, double fps,
                        const std::string& threeDirectory, std::string& error) {
    const char* const scripts[] = {"three.min.js", "examples/js/loaders/GLTFLoader.js",
                                   "examples/js/controls/OrbitControls.js"};
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>" +
                       escapeHtml(title) + "</title>\n<style>" + pageStyle +
                       "</style>\n</head>\n<body>\n<canvas id=\"view\"></canvas>\n"
                       "<div id=\"bar\"><button id=\"play\">Pause</button>"
                       "<input id=\"slider\" type=\"range\" min=\"0\" max=\"0\" value=\"0\">"
                       "<span id=\"frame\">frame 0</span>"
                       "<label>speed <select id=\"speed\">" +
                       speedOptions() + "</select></label></div>\n";
    for (const char* script : scripts) {
        std::string code;
        if (!readText(threeDirectory + '/' + script, code, error))
            return std::string();
        page += inlineScript(code);
    }
    std::ostringstream settings;
    settings.precision(17);
    settings << "var KTRT = { frames: " << frames << ", fps: " << fps << ", glb: '" << base64(glb)
             << "' };";
    page += inlineScript(settings.str());
    page += inlineScript(viewerScript);
    page += "</body>\n</html>\n";
    return page;
}

} // namespace ktrt_tool
