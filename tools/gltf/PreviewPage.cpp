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

// The page's own code. It keeps the time itself and lets the three.js mixer
// only evaluate the clip there. window.ktrtPreview lets a test drive it:
// ready, time, end, playing, speed (settable), fadeWindow ([start, end] or
// null), play(), pause(), setTime(seconds) and animatedBox() (the
// screen-space box, in CSS pixels, of the animated nodes' meshes).
const char* const viewerScript = R"JS(
(function () {
  'use strict';
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
  var timeText = document.getElementById('time');
  var fadeText = document.getElementById('fade');
  var fadeMark = document.getElementById('window');
  var button = document.getElementById('play');
  var speedChoice = document.getElementById('speed');
  var mixer = null, action = null, animated = [];
  // Sample times; the last shown (a STEP clip's closing sample only holds
  // the one before); the length of one loop; B's weight at each sample.
  var times = [0], end = 0, period = 0, linear = false, fades = null, fadeWindow = null;
  var once = false;
  var state = { ready: false, playing: true, speed: 1, time: 0 };

  function resize() {
    var width = view.clientWidth, height = view.clientHeight;
    renderer.setSize(width, height, false);
    camera.aspect = width / height;
    camera.updateProjectionMatrix();
  }
  // B's weight at `time`: the sample's, or between two samples of a LINEAR
  // clip the straight line between theirs.
  function fadeAt(time) {
    var i = 0;
    while (i + 1 < fades.length && times[i + 1] <= time + 1e-6) ++i;
    if (!linear || i + 1 >= fades.length || time <= times[i]) return fades[i];
    return fades[i] + (fades[i + 1] - fades[i]) * (time - times[i]) / (times[i + 1] - times[i]);
  }
  function show() {
    timeText.textContent = state.time.toFixed(3) + ' s';
    if (fades) fadeText.textContent = 'fade ' + fadeAt(state.time).toFixed(3);
    slider.value = state.time;
  }
  function setPlaying(playing) {
    // Played again at the end of a crossfade that plays once: from the start.
    if (playing && once && state.time >= end) state.time = 0;
    state.playing = playing;
    button.textContent = playing ? 'Pause' : 'Play';
    clock.getDelta();
  }
  function setTime(time) {
    state.time = Math.min(end, Math.max(0, time));
    if (mixer) {
      // Just past the sample time, which the file holds as a float.
      action.time = Math.min(period, state.time + 1e-5);
      mixer.update(0);
    }
    show();
  }
  // Frames the model as it moves: the box holds the pose of a spread of times.
  function frameModel(root) {
    var box = new THREE.Box3().setFromObject(root);
    for (var k = 0; mixer && k <= 32; ++k) {
      setTime(end * k / 32);
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
      var time = state.time + delta * state.speed;
      if (once && time >= end) {
        setTime(end);
        setPlaying(false);
      } else {
        setTime(period > 0 ? time % period : 0);
      }
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
  slider.addEventListener('input', function () { setPlaying(false); setTime(Number(slider.value)); });
  window.addEventListener('resize', resize);
  resize();

  new THREE.GLTFLoader().parse(bytes.buffer, '', function (gltf) {
    scene.add(gltf.scene);
    if (gltf.animations.length) {
      var clip = gltf.animations[0];
      var source = gltf.parser.json.animations[0];
      linear = source.samplers[0].interpolation !== 'STEP';
      times = Array.from(clip.tracks[0].times);
      period = clip.duration;
      end = times[times.length - (linear || times.length < 2 ? 1 : 2)];
      var extras = source.extras || {};
      if (extras.ktrtFade) {
        fades = extras.ktrtFade;
        fadeWindow = [extras.ktrtFadeStart, extras.ktrtFadeEnd];
        once = !KTRT.loop;
        if (!once) end = period;
        fadeMark.style.left = (100 * fadeWindow[0] / end) + '%';
        fadeMark.style.width = (100 * (fadeWindow[1] - fadeWindow[0]) / end) + '%';
        fadeMark.hidden = false;
        fadeText.hidden = false;
      } else {
        end = period;
      }
      slider.max = end;
      mixer = new THREE.AnimationMixer(gltf.scene);
      action = mixer.clipAction(clip);
      action.play();
      action.paused = true; // the page moves the time
      clip.tracks.forEach(function (track) {
        var node = gltf.scene.getObjectByName(THREE.PropertyBinding.parseTrackName(track.name).nodeName);
        if (node && animated.indexOf(node) < 0) animated.push(node);
      });
    }
    frameModel(gltf.scene);
    setTime(0);
    state.ready = true;
  }, function (error) {
    console.error('cannot read the model: ' + error);
  });

  window.ktrtPreview = {
    get ready() { return state.ready; },
    get playing() { return state.playing; },
    get time() { return state.time; },
    get end() { return end; },
    get speed() { return state.speed; },
    set speed(speed) { setSpeed(speed); },
    get fadeWindow() { return fadeWindow; },
    play: function () { setPlaying(true); },
    pause: function () { setPlaying(false); },
    setTime: function (time) { setPlaying(false); setTime(time); },
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
#track { flex: 1; position: relative; }
#slider { width: 100%; margin: 0; position: relative; background: transparent; }
#window { position: absolute; top: 0; bottom: 0; background: #f0b35a; opacity: 0.6; border-radius: 3px; }
#play { flex: none; width: 5.5em; }
#time, #fade { min-width: 5.5em; font-variant-numeric: tabular-nums; }
)CSS";

} // namespace

std::string previewPage(const std::string& title, const std::string& glb, double fps, bool loop,
                        const std::string& threeDirectory, std::string& error) {
    const char* const scripts[] = {"three.min.js", "examples/js/loaders/GLTFLoader.js",
                                   "examples/js/controls/OrbitControls.js"};
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>" +
                       escapeHtml(title) + "</title>\n<style>" + pageStyle +
                       "</style>\n</head>\n<body>\n<canvas id=\"view\"></canvas>\n"
                       "<div id=\"bar\"><button id=\"play\">Pause</button>"
                       "<div id=\"track\"><div id=\"window\" title=\"crossfade\" hidden></div>"
                       "<input id=\"slider\" type=\"range\" min=\"0\" max=\"0\" step=\"any\" "
                       "value=\"0\"></div>"
                       "<span id=\"time\">0.000 s</span><span id=\"fade\" hidden>fade 0.000</span>"
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
    settings << "var KTRT = { fps: " << fps << ", loop: " << (loop ? "true" : "false") << ", glb: '"
             << base64(glb) << "' };";
    page += inlineScript(settings.str());
    page += inlineScript(viewerScript);
    page += "</body>\n</html>\n";
    return page;
}

} // namespace ktrt_tool
