// The WebAssembly core behind a small API shared by the page and the Node.js
// tests: the assembler (bytes in; the console's bytes, the listing's bytes and
// every memory word out) and the machine that runs what it assembled.
(function (root) {
  'use strict';

  const BANNER = 'ovrik version 1.01 24 Apr 2009\r\nInput filename: ';

  // How a slice of a run ended, as the core numbers them.
  const SLICE_ENDS = ['step limit', 'halted', 'waiting for input', 'breakpoint', 'stepped'];

  // The order of the machine's status words in the core.
  const STATUS = {
    pc: 0,
    ac: 1,
    halted: 2,
    stepsLow: 3,
    stepsHigh: 4,
    stepsBack: 5,
    keysWaiting: 6,
    displayKept: 8,
    displayTotal: 10,
    displayReady: 12,
    count: 14,
  };

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

  // createModule is the factory of ovrik-wasm.js. Resolves to the core:
  //   assemble(sourceBytes) -> { status, console, listing, error, warnings,
  //     firstPage, lastPage, words }, console and listing as Uint8Array
  //     (listing null when the run wrote none), error null or
  //     { message, line }, warnings [{ line, text }], and words the 256
  //     memory words { address, kind, listed, label, statement, code,
  //     comment, line, value, points, text }; texts one character per byte.
  //   machine: load(start), run(count, until, leaveBreakpoint), step(), stepBack(),
  //     key(port, byte), unkey(port), breakpoint(address, on),
  //     clearBreakpoints(), status(), memory(), display(port), keys(port).
  async function loadCore(createModule) {
    const wasm = await createModule();

    // The NUL-terminated ASCII text the core returned; JSON escapes every
    // byte above 127, so each char is one byte.
    function textAt(pointer) {
      const heap = wasm.HEAPU8;
      const end = heap.indexOf(0, pointer);
      return bytesToText(heap.subarray(pointer, end));
    }

    function assemble(source) {
      const input = wasm._malloc(Math.max(source.length, 1));
      if (!input) throw new Error('out of memory');
      let json;
      try {
        wasm.HEAPU8.set(source, input);
        json = textAt(wasm._ovrik_assemble(input, source.length));
      } finally {
        wasm._free(input);
      }
      const result = JSON.parse(json);
      result.console = textToBytes(result.console);
      result.listing = result.listing === null ? null : textToBytes(result.listing);
      return result;
    }

    const machine = {
      // start: an address, or none for the program's own start.
      load: (start = -1) => JSON.parse(textAt(wasm._ovrik_machine_load(start))),
      run: (count, until, leaveBreakpoint) =>
        SLICE_ENDS[wasm._ovrik_machine_run(count, until, leaveBreakpoint ? 1 : 0)],
      step: () => SLICE_ENDS[wasm._ovrik_machine_step()],
      stepBack: () => wasm._ovrik_machine_step_back() === 1,
      key: (port, byte) => wasm._ovrik_machine_key(port, byte),
      unkey: (port) => wasm._ovrik_machine_unkey(port) === 1,
      breakpoint: (address, on) => wasm._ovrik_machine_breakpoint(address, on ? 1 : 0),
      clearBreakpoints: () => wasm._ovrik_machine_clear_breakpoints(),
      status() {
        const words = new Uint32Array(wasm.HEAPU8.buffer, wasm._ovrik_machine_status(), STATUS.count);
        return {
          pc: words[STATUS.pc],
          ac: words[STATUS.ac],
          halted: words[STATUS.halted] === 1,
          steps: words[STATUS.stepsHigh] * 2 ** 32 + words[STATUS.stepsLow],
          stepsBack: words[STATUS.stepsBack],
          keysWaiting: [words[STATUS.keysWaiting], words[STATUS.keysWaiting + 1]],
          displayKept: [words[STATUS.displayKept], words[STATUS.displayKept + 1]],
          displayTotal: [words[STATUS.displayTotal], words[STATUS.displayTotal + 1]],
          displayReady: [words[STATUS.displayReady] === 1, words[STATUS.displayReady + 1] === 1],
        };
      },
      // A copy of the 256 words of memory.
      memory: () => wasm.HEAPU8.slice(wasm._ovrik_machine_memory(), wasm._ovrik_machine_memory() + 256),
      // The bytes a display kept (its last MiB) and the keys not yet read.
      display(port) {
        const length = this.status().displayKept[port];
        const at = wasm._ovrik_machine_display(port);
        return wasm.HEAPU8.slice(at, at + length);
      },
      keys(port) {
        const length = this.status().keysWaiting[port];
        const at = wasm._ovrik_machine_keys(port);
        return wasm.HEAPU8.slice(at, at + length);
      },
    };

    return { assemble, machine };
  }

  const api = {
    BANNER,
    loadCore,
    loadAssembler: loadCore,
    bytesToText,
    textToBytes,
    messageOf,
  };
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.OvrikAssembler = api;
})(typeof self !== 'undefined' ? self : this);
