// Loads an npm package of this folder, or exits with status 77 (which CTest
// reports as skipped) when `npm ci` has not been run here yet.
'use strict';

module.exports = function requireOrSkip(name) {
  try {
    return require(name);
  } catch (error) {
    if (error.code !== 'MODULE_NOT_FOUND') throw error;
    console.log(`${name} is not installed: run scripts/install-deps (npm ci in scripts/node)`);
    process.exit(77);
  }
};
