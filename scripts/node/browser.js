// Starts Debian's chromium headless through puppeteer-core, with WebGL drawn
// by SwiftShader, no network services and a fresh profile that goes away
// with the browser.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const requireOrSkip = require('./require-or-skip');

const puppeteer = requireOrSkip('puppeteer-core');

const executablePath = process.env.CHROMIUM || '/usr/bin/chromium';

async function launch() {
  if (!fs.existsSync(executablePath)) {
    console.log(`${executablePath} is missing: run scripts/install-deps`);
    process.exit(77);
  }
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'ktrt-chromium-'));
  const args = [
    '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--no-first-run', '--no-default-browser-check', '--disable-dev-shm-usage',
    '--allow-file-access-from-files', `--user-data-dir=${profile}`,
  ];
  if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  const browser = await puppeteer.launch({
    executablePath, headless: true, args, protocolTimeout: 300000, timeout: 180000,
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    try {
      await close();
    } finally {
      fs.rmSync(profile, { recursive: true, force: true });
    }
  };
  return browser;
}

// Resolves after `count` animation frames of the page have been drawn.
function animationFrames(page, count) {
  return page.evaluate((n) => new Promise((resolve) => {
    let left = n;
    const step = () => (--left <= 0 ? resolve() : requestAnimationFrame(step));
    requestAnimationFrame(step);
  }), count);
}

// Opens a preview page and waits until its model is shown.
async function openPreview(browser, file, width = 960, height = 640) {
  const page = await browser.newPage();
  page.setDefaultTimeout(180000);
  await page.setViewport({ width, height });
  const problems = [];
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console error: ${message.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('requestfailed', (request) =>
    problems.push(`failed request: ${request.url().slice(0, 100)}: ${request.failure().errorText}`));
  page.on('response', (response) => {
    if (response.status() >= 400) problems.push(`HTTP ${response.status()}: ${response.url()}`);
  });
  await page.goto('file://' + path.resolve(file), { waitUntil: 'load' });
  await page.waitForFunction(() => window.ktrtPreview && window.ktrtPreview.ready, { polling: 100 });
  return { page, problems };
}

// Shows the pose at `seconds` and waits until it has been drawn.
async function showTime(page, seconds) {
  await page.evaluate((t) => window.ktrtPreview.setTime(t), seconds);
  await animationFrames(page, 3);
}

module.exports = { launch, openPreview, showTime, animationFrames };
