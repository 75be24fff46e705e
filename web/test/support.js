// What the playground's tests share: where the built page is, and the
// assembler loaded from it as the page loads it.
'use strict';

const fs = require('fs');
const path = require('path');

const repo = path.resolve(__dirname, '..', '..');
// The wasm preset's output; OVRIK_PLAYGROUND_DIR points elsewhere.
const playgroundDir = process.env.OVRIK_PLAYGROUND_DIR
  ? path.resolve(process.env.OVRIK_PLAYGROUND_DIR)
  : path.join(repo, 'build', 'wasm', 'playground');

if (!fs.existsSync(path.join(playgroundDir, 'ovrik-wasm.js'))) {
  throw new Error(`no playground in ${playgroundDir}: build it with cmake --workflow --preset wasm`);
}
const assemblerApi = require(path.join(playgroundDir, 'assembler.js'));

// Resolves to { assembler, wasm }: the assembler as the page gets it, and the
// module under it, for the tests that look at its memory.
let loading = null;
function loadBuiltAssembler() {
  if (!loading) {
    const createModule = require(path.join(playgroundDir, 'ovrik-wasm.js'));
    let wasm = null;
    const capturing = async () => (wasm = await createModule());
    loading = assemblerApi.loadCore(capturing).then((assembler) => ({ assembler, wasm }));
  }
  return loading;
}

// What the console program writes before it reads the base name.
const BANNER = 'ovrik version 1.01 24 Apr 2009\r\nInput filename: ';

// What the console showed after the prompt, without its line end: the
// "Error:" line, or empty after a run that wrote its listing.
function messageOf(consoleBytes) {
  const text = assemblerApi.bytesToText(consoleBytes);
  const rest = text.startsWith(BANNER) ? text.slice(BANNER.length) : text;
  return rest.replace(/\r?\n$/, '');
}

module.exports = { repo, playgroundDir, assemblerApi, loadBuiltAssembler, BANNER, messageOf };
