#!/usr/bin/env node
// Validates glTF 2.0 files with the Khronos reference validator and fails
// (exit status 1) when any file has an error or a warning. Information and
// hints are listed but pass.
//
// Usage: node validate-gltf.js FILE.glb|FILE.gltf...
'use strict';

const fs = require('fs');
const path = require('path');
const validator = require('./require-or-skip')('gltf-validator');

async function validate(file) {
  const bytes = new Uint8Array(fs.readFileSync(file));
  const report = await validator.validateBytes(bytes, {
    uri: path.basename(file),
    maxIssues: 0,
    // Buffers are embedded; any outside resource is a fault of the export.
    externalResourceFunction: (uri) => Promise.reject(new Error(`no outside resource: ${uri}`)),
  });
  const { numErrors, numWarnings, numInfos, numHints, messages } = report.issues;
  for (const message of messages) {
    if (message.severity <= 1) {
      const kind = message.severity === 0 ? 'error' : 'warning';
      console.log(`${file}: ${kind} ${message.code} at ${message.pointer || '/'}: ${message.message}`);
    }
  }
  console.log(`${file}: ${numErrors} errors, ${numWarnings} warnings, ${numInfos} infos, ${numHints} hints`);
  return numErrors === 0 && numWarnings === 0;
}

async function main() {
  const files = process.argv.slice(2);
  if (files.length === 0) {
    console.error('usage: validate-gltf.js FILE.glb|FILE.gltf...');
    process.exit(2);
  }
  let passed = true;
  for (const file of files) {
    try {
      passed = (await validate(file)) && passed;
    } catch (error) {
      console.log(`${file}: cannot validate: ${error.message || error}`);
      passed = false;
    }
  }
  process.exit(passed ? 0 : 1);
}

main();
