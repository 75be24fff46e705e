#!/usr/bin/env node
// Renders the guide (docs/language.md) to HTML at build time, once for the
// playground's guide panel and once as a single standalone page that the
// release packages ship beside the program.
//
// Usage: render-guide.mjs GUIDE.md PANEL.js STANDALONE.html CORE.js
//   PANEL.js        a script that sets window.OVRIK_GUIDE to the panel's HTML
//                   and the instruction tables, for the editor's hover help
//   STANDALONE.html the whole guide in one file, styles included
//   CORE.js         the built core, whose instruction set colours the examples
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';
import { sourceSyntax } from '../src/syntax.mjs';
import { loadBuiltCore } from './core.mjs';

const require = createRequire(import.meta.url);
const here = path.dirname(fileURLToPath(import.meta.url));

export function loadMarkdownIt() {
  try {
    return require('markdown-it');
  } catch {
    console.error('render-guide: markdown-it is missing; run "npm ci" in web/ first');
    process.exit(2);
  }
}

// Heading ids as the guide's own contents links spell them: lower case,
// punctuation dropped, blanks as hyphens, a number added to a repeated one.
export function slugger(prefix = '') {
  const seen = new Map();
  return (text) => {
    const base = text
      .toLowerCase()
      .replace(/[^\p{L}\p{N}\s_-]/gu, '')
      .trim()
      .replace(/\s/g, '-');
    const count = seen.get(base) ?? 0;
    seen.set(base, count + 1);
    return prefix + (count === 0 ? base : `${base}-${count}`);
  };
}

const escapeHtml = (text) =>
  text.replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);

// A source example, coloured as the editor colours it with syntax (from sourceSyntax).
export function highlightSource(text, { tokenizeLine }) {
  return text
    .split('\n')
    .map((line) => {
      let html = '';
      let at = 0;
      for (const token of tokenizeLine(line)) {
        html += escapeHtml(line.slice(at, token.from));
        html += `<span class="tok-${token.type}">${escapeHtml(line.slice(token.from, token.to))}</span>`;
        at = token.to;
      }
      return html + escapeHtml(line.slice(at));
    })
    .join('\n');
}

// Options: syntax (from sourceSyntax) for the source examples, idPrefix for the ids.
export function renderGuide(markdown, { syntax, idPrefix = '' }) {
  const MarkdownIt = loadMarkdownIt();
  const md = new MarkdownIt({ html: true, linkify: false, typographer: false });
  const slug = slugger(idPrefix);
  md.core.ruler.push('heading_ids', (state) => {
    state.tokens.forEach((token, index) => {
      if (token.type !== 'heading_open') return;
      const inline = state.tokens[index + 1];
      const text = inline.children.map((child) => child.content).join('');
      token.attrSet('id', slug(text));
    });
  });
  // Links within the guide follow the ids' prefix.
  const defaultLink = md.renderer.rules.link_open ?? ((t, i, o, e, self) => self.renderToken(t, i, o));
  md.renderer.rules.link_open = (tokens, index, options, env, self) => {
    const href = tokens[index].attrGet('href') ?? '';
    if (href.startsWith('#')) tokens[index].attrSet('href', `#${idPrefix}${href.slice(1)}`);
    return defaultLink(tokens, index, options, env, self);
  };
  md.renderer.rules.fence = (tokens, index) => {
    const token = tokens[index];
    const kind = token.info.trim();
    const body = kind === 'ovrik-source' ? highlightSource(token.content.replace(/\n$/, ''), syntax) : escapeHtml(token.content.replace(/\n$/, ''));
    const label = { 'ovrik-source': 'source', 'ovrik-listing': 'listing', 'ovrik-console': 'console', 'ovrik-explain': 'ovrik --explain' }[kind];
    const caption = label ? ` data-label="${label}"` : '';
    return `<pre class="block ${kind ? escapeHtml(kind) : 'text'}"${caption}><code>${body}</code></pre>\n`;
  };
  // Tables scroll sideways on their own on a narrow screen.
  md.renderer.rules.table_open = () => '<div class="table-scroll"><table>\n';
  md.renderer.rules.table_close = () => '</table></div>\n';
  return { html: md.render(markdown), tokens: md.parse(markdown, {}) };
}

// The guide's instruction tables, by mnemonic: what the editor shows when the
// pointer rests on a mnemonic. Every table whose first column is "mnemonic".
export function instructionTables(tokens) {
  const plain = (inline) => inline.children.map((child) => child.content).join('').trim();
  const found = {};
  let header = null;
  let row = null;
  let inHead = false;
  let section = '';
  tokens.forEach((token, index) => {
    if (token.type === 'heading_open') section = plain(tokens[index + 1]);
    if (token.type === 'thead_open') {
      inHead = true;
      header = [];
    }
    if (token.type === 'thead_close') inHead = false;
    if (token.type === 'tr_open') row = [];
    if (token.type === 'inline' && row) row.push(plain(token));
    if (token.type === 'tr_close') {
      if (inHead) header = row;
      else if (header && header[0] === 'mnemonic') {
        const entry = { group: section, columns: header.slice(1), values: row.slice(1) };
        found[row[0]] = entry;
      }
      row = null;
    }
  });
  return found;
}

const STANDALONE_STYLE = fs.readFileSync(path.join(here, 'guide.css'), 'utf8');

export function standalonePage(html) {
  return `<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>The ovrik source language: a guide for students</title>
<style>
${STANDALONE_STYLE}</style>
</head>
<body>
<main class="guide">
${html}</main>
</body>
</html>
`;
}

async function main(argv) {
  const [guidePath, panelPath, standalonePath, corePath] = argv;
  if (!guidePath || !panelPath || !standalonePath || !corePath) {
    console.error('usage: render-guide.mjs GUIDE.md PANEL.js STANDALONE.html CORE.js');
    process.exit(2);
  }
  const markdown = fs.readFileSync(guidePath, 'utf8');
  const syntax = sourceSyntax((await loadBuiltCore(corePath)).mnemonics);
  const panel = renderGuide(markdown, { syntax, idPrefix: 'guide-' });
  const instructions = instructionTables(panel.tokens);
  const script =
    '// Generated by web/tools/render-guide.mjs from docs/language.md.\n' +
    `window.OVRIK_GUIDE = ${JSON.stringify({ html: panel.html, instructions })};\n`;
  for (const output of [panelPath, standalonePath]) fs.mkdirSync(path.dirname(output), { recursive: true });
  fs.writeFileSync(panelPath, script);
  fs.writeFileSync(standalonePath, standalonePage(renderGuide(markdown, { syntax }).html));
}

if (process.argv[1] && fileURLToPath(import.meta.url) === path.resolve(process.argv[1])) {
  await main(process.argv.slice(2));
}
