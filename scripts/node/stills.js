#!/usr/bin/env node
// Saves a PNG still of `ktrt preview` pages at a chosen time (default: the
// middle), drawn by headless chromium, without the control bar.
//
// Usage: node stills.js PAGE.html OUT.png [SECONDS] [PAGE.html OUT.png [SECONDS]]...
// SECONDS is a time, or "middle".
'use strict';

const { launch, openPreview, showTime } = require('./browser');

async function main() {
  const args = process.argv.slice(2);
  const jobs = [];
  while (args.length >= 2) {
    const [page, output] = args.splice(0, 2);
    const time = args.length && !args[0].endsWith('.html') ? args.shift() : 'middle';
    jobs.push({ page, output, time });
  }
  if (jobs.length === 0 || args.length) {
    console.error('usage: stills.js PAGE.html OUT.png [SECONDS]...');
    process.exit(2);
  }
  const browser = await launch();
  try {
    for (const job of jobs) {
      const { page, problems } = await openPreview(browser, job.page, 640, 480 + 44);
      const end = await page.evaluate(() => window.ktrtPreview.end);
      const time = job.time === 'middle' ? end / 2 : Number(job.time);
      await showTime(page, time);
      await page.screenshot({ path: job.output, clip: { x: 0, y: 0, width: 640, height: 480 } });
      if (problems.length) throw new Error(`${job.page}: ${problems.join('; ')}`);
      console.log(`${job.output}: ${time} s of ${job.page}`);
      await page.close();
    }
  } finally {
    await browser.close();
  }
}

main().catch((error) => {
  console.log(`stills failed: ${error.stack || error}`);
  process.exit(1);
});
