// The built core (ovrik-wasm.js) under Node.js, for the build's own tools:
// what the page takes from the core at build time comes from it.
import path from 'node:path';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);

export async function loadBuiltCore(corePath) {
  const { loadCore } = require('../assembler.js');
  return loadCore(require(path.resolve(corePath)));
}
