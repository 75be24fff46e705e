#!/usr/bin/env node
// Bundles the page's script and the editor's npm packages into one file with
// esbuild, so that the page needs no module loader and fetches nothing. The
// built core gives the instruction set, which the script gets as OVRIK_MNEMONICS.
// Usage: bundle.mjs ENTRY.mjs OUTPUT.js CORE.js
import { createRequire } from 'node:module';
import { loadBuiltCore } from './core.mjs';

const require = createRequire(import.meta.url);
const [entry, output, core] = process.argv.slice(2);
if (!entry || !output || !core) {
  console.error('usage: bundle.mjs ENTRY.mjs OUTPUT.js CORE.js');
  process.exit(2);
}
let esbuild;
try {
  esbuild = require('esbuild');
} catch {
  console.error('bundle: esbuild is missing; run "npm ci" in web/ first');
  process.exit(2);
}
await esbuild.build({
  entryPoints: [entry],
  outfile: output,
  bundle: true,
  format: 'iife',
  target: ['chrome100', 'firefox100', 'safari15'],
  // OVRIK_BUNDLE_PLAIN=1 keeps the names, for reading a profile.
  minify: !process.env.OVRIK_BUNDLE_PLAIN,
  legalComments: 'eof',
  sourcemap: false,
  define: { OVRIK_MNEMONICS: JSON.stringify((await loadBuiltCore(core)).mnemonics) },
  logLevel: 'warning',
});
