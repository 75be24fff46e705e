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
    loading = assemblerApi.loadAssembler(capturing).then((assembler) => ({ assembler, wasm }));
  }
  return loading;
}

module.exports = { repo, playgroundDir, assemblerApi, loadBuiltAssembler };
