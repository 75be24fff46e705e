// The WebAssembly core as the page and the Node.js tests use it. What it
// offers is declared once, in ovrik_web.cpp: the assembler (bytes in; the
// console's bytes, the listing's bytes and every memory word out), the
// instruction set, and the machine that runs what it assembled.
(function (root) {
  'use strict';

  // One character per byte, each the byte's value: the listing's columns are
  // counted in bytes, and every byte value comes back unchanged.
  function bytesToText(bytes) {
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) {
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    }
    return text;
  }

  // The inverse of bytesToText; a character beyond one byte, which only typing
  // can bring in, goes in as its UTF-8 bytes, as a text editor would save it.
  function textToBytes(text) {
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++) {
      const code = text.charCodeAt(i);
      if (code > 0xff) return textToBytesSlowly(text);
      bytes[i] = code;
    }
    return bytes;
  }

  function textToBytesSlowly(text) {
    const encoder = new TextEncoder();
    const bytes = [];
    for (const character of text) {
      const code = character.codePointAt(0);
      if (code <= 0xff) bytes.push(code);
      else bytes.push(...encoder.encode(character));
    }
    return Uint8Array.from(bytes);
  }

  // createModule is the factory of ovrik-wasm.js. Resolves to the core:
  //   assemble(sourceBytes) -> the AssemblyView of ovrik_web.cpp
  //   explain(address) -> the ReasonsView of a word of the last assembly
  //   mnemonics: [{ name, code, group }], the instruction set
  //   machine: the page's one Machine of ovrik_web.cpp
  //   checker: the page's one Checker of ovrik_web.cpp, the open exercise's checks
  async function loadCore(createModule) {
    const wasm = await createModule();
    return {
      assemble: wasm.assemble,
      explain: wasm.explain,
      mnemonics: wasm.mnemonics(),
      machine: new wasm.Machine(),
      checker: new wasm.Checker(),
    };
  }

  const api = { loadCore, bytesToText, textToBytes };
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OvrikAssembler = api;
})(typeof self !== 'undefined' ? self : this);
