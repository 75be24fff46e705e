// The WebAssembly assembler behind a small API shared by the page and the
// Node.js tests: bytes in, the console's bytes and the listing's bytes out.
(function (root) {
  'use strict';

  const BANNER = 'ovrik version 1.01 24 Apr 2009\r\nInput filename: ';
  const NO_LISTING = 0xffffffff;

  // createModule is the factory of ovrik-wasm.js. Resolves to an assembler
  // whose assemble(sourceBytes) returns { status, console, listing }, the two
  // being Uint8Array and listing null when the run wrote none.
  async function loadAssembler(createModule) {
    const wasm = await createModule();

    function assemble(source) {
      const input = wasm._malloc(Math.max(source.length, 1));
      if (!input) throw new Error('out of memory');
      let block = 0;
      try {
        wasm.HEAPU8.set(source, input);
        block = wasm._ovrik_assemble(input, source.length);
      } finally {
        wasm._free(input);
      }
      if (!block) throw new Error('out of memory');
      try {
        // Read the heap only now: the run may have grown the memory, and with
        // it replaced the buffer under any older view.
        const heap = wasm.HEAPU8;
        const header = new DataView(heap.buffer, block, 16);
        const status = header.getUint32(0, true);
        const consoleSize = header.getUint32(4, true);
        const listingSize = header.getUint32(8, true);
        const start = block + 16;
        const consoleBytes = heap.slice(start, start + consoleSize);
        const listing =
          listingSize === NO_LISTING
            ? null
            : heap.slice(start + consoleSize, start + consoleSize + listingSize);
        return { status, console: consoleBytes, listing };
      } finally {
        wasm._free(block);
      }
    }

    return { assemble };
  }

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

  // What the console showed after the prompt, without its line end: the
  // "Error:" line, or empty after a run that wrote its listing.
  function messageOf(consoleBytes) {
    const text = bytesToText(consoleBytes);
    const rest = text.startsWith(BANNER) ? text.slice(BANNER.length) : text;
    return rest.replace(/\r?\n$/, '');
  }

  const api = { BANNER, loadAssembler, bytesToText, textToBytes, messageOf };
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OvrikAssembler = api;
})(typeof self !== 'undefined' ? self : this);
