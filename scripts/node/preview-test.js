#!/usr/bin/env node
// Opens `ktrt preview` pages in headless chromium and checks each: no console
// error or failed request; the time shown advances while playing and stops
// when paused; the play button keeps its width; the speed control sets the
// speed; the start and the middle differ in the pixels of the animated parts.
// A crossfade's page plays once and stops at its end, marks the fade on the
// slider, and shows B's weight 0 at the start of the fade and 1 at its end.
//
// Usage: node preview-test.js PAGE.html...
'use strict';

const { launch, openPreview, showTime, animationFrames } = require('./browser');
const requireOrSkip = require('./require-or-skip');

const { PNG } = requireOrSkip('pngjs');

const counter = (page) => page.$eval('#time', (element) => element.textContent);
const fadeShown = (page) => page.$eval('#fade', (element) => element.textContent);

// Pixels inside `box` (CSS pixels, clipped to the image) whose colour differs
// by more than a rounding step between the two screenshots.
function changedPixels(first, second, box) {
  const a = PNG.sync.read(first), b = PNG.sync.read(second);
  const x0 = Math.max(0, Math.floor(box.x)), y0 = Math.max(0, Math.floor(box.y));
  const x1 = Math.min(a.width, Math.ceil(box.x + box.width));
  const y1 = Math.min(a.height, Math.ceil(box.y + box.height));
  let changed = 0;
  for (let y = y0; y < y1; ++y) {
    for (let x = x0; x < x1; ++x) {
      const i = (y * a.width + x) * 4;
      if (Math.abs(a.data[i] - b.data[i]) + Math.abs(a.data[i + 1] - b.data[i + 1]) +
          Math.abs(a.data[i + 2] - b.data[i + 2]) > 24) ++changed;
    }
  }
  return changed;
}

function union(a, b) {
  const x = Math.min(a.x, b.x), y = Math.min(a.y, b.y);
  return { x, y, width: Math.max(a.x + a.width, b.x + b.width) - x,
           height: Math.max(a.y + a.height, b.y + b.height) - y };
}

async function check(browser, file) {
  const { page, problems } = await openPreview(browser, file);
  const failures = [];
  const end = await page.evaluate(() => window.ktrtPreview.end);
  const fadeWindow = await page.evaluate(() => window.ktrtPreview.fadeWindow);

  // Playing: the time moves on by itself; a crossfade at four times real time
  // plays once and stops at its end.
  const start = await counter(page);
  await page.waitForFunction((text) => document.getElementById('time').textContent !== text,
                             { polling: 'raf' }, start);
  if (fadeWindow) {
    await page.select('#speed', '4');
    await page.waitForFunction(() => !window.ktrtPreview.playing, { polling: 'raf' });
    const stopped = await page.evaluate(() => window.ktrtPreview.time);
    if (stopped !== end) failures.push(`the crossfade stopped at ${stopped} s, not at ${end} s`);
    await page.click('#play');
    await page.select('#speed', '1');
  }

  // Paused with the button: the counter holds over many drawn frames, and
  // the button, now saying Play, keeps its width.
  const buttonWidth = () => page.$eval('#play', (element) => element.getBoundingClientRect().width);
  const playingWidth = await buttonWidth();
  await page.click('#play');
  await page.waitForFunction(() => !window.ktrtPreview.playing);
  const pausedWidth = await buttonWidth();
  if (pausedWidth !== playingWidth)
    failures.push(`the play button changed width (${playingWidth} to ${pausedWidth})`);
  const held = await counter(page);
  await animationFrames(page, 30);
  if ((await counter(page)) !== held) failures.push(`the counter moved while paused (${held})`);

  // The speed control sets the speed the page plays at.
  await page.select('#speed', '0.5');
  if ((await page.evaluate(() => window.ktrtPreview.speed)) !== 0.5)
    failures.push('the speed control did not set the speed');

  // The fade's window on the slider, and B's weight at its start and end.
  if (fadeWindow) {
    const mark = await page.$eval('#window', (element) => element.getBoundingClientRect().width);
    if (!(mark > 0)) failures.push('the fade is not marked on the slider');
    for (const [time, weight] of [[fadeWindow[0], 'fade 0.000'], [fadeWindow[1], 'fade 1.000']]) {
      await showTime(page, time);
      if ((await fadeShown(page)) !== weight)
        failures.push(`at ${time} s the page shows ${await fadeShown(page)}, not ${weight}`);
    }
  }

  // The start and the middle (of a crossfade: the end of the fade) differ
  // where the animated parts are.
  const middle = fadeWindow ? fadeWindow[1] : end / 2;
  await showTime(page, 0);
  const firstBox = await page.evaluate(() => window.ktrtPreview.animatedBox());
  const first = await page.screenshot({ type: 'png' });
  await showTime(page, middle);
  const middleBox = await page.evaluate(() => window.ktrtPreview.animatedBox());
  const second = await page.screenshot({ type: 'png' });
  if ((await counter(page)) !== `${middle.toFixed(3)} s`)
    failures.push(`the page did not show ${middle} s`);
  if (!firstBox || !middleBox) {
    failures.push('no animated part on screen');
  } else {
    const changed = changedPixels(first, second, union(firstBox, middleBox));
    console.log(`${file}: ${end} s, ${changed} pixels of the animated parts change ` +
                `between 0 s and ${middle} s`);
    if (changed < 100) failures.push(`only ${changed} pixels changed between 0 s and ${middle} s`);
  }
  await page.close();
  return problems.concat(failures);
}

async function main() {
  const files = process.argv.slice(2);
  if (files.length === 0) {
    console.error('usage: preview-test.js PAGE.html...');
    process.exit(2);
  }
  const browser = await launch();
  let failed = false;
  try {
    for (const file of files) {
      const failures = await check(browser, file);
      for (const failure of failures) console.log(`${file}: ${failure}`);
      failed = failed || failures.length > 0;
    }
  } finally {
    await browser.close();
  }
  process.exit(failed ? 1 : 0);
}

main().catch((error) => {
  console.log(`preview test failed: ${error.stack || error}`);
  process.exit(1);
});
