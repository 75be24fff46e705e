// Keeping work: the browser's storage as you type, share links that carry
// the source in the page address, and downloads.

const STORE_KEY = 'ovrik.playground.v1';
// A share link: #source=NAME:BASE64URL, the source's bytes compressed with
// raw deflate (or, where the browser cannot compress, #raw=NAME:BASE64URL).
const SHARED = /^#(source|raw)=([^:]*):([A-Za-z0-9_-]*)$/;

// Texts here are one character per byte (the editor's text as bytes), so
// base64 works on them directly.
function base64url(bytes) {
  let binary = '';
  for (let i = 0; i < bytes.length; i += 0x8000) {
    binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  }
  return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function fromBase64url(text) {
  const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
  return Uint8Array.from(binary, (c) => c.charCodeAt(0));
}

// The largest source the page takes, from a file, a link or the keyboard.
export const LARGEST_SOURCE = 8 << 20;

async function transform(bytes, stream) {
  const response = new Response(new Blob([bytes]).stream().pipeThrough(stream));
  return new Uint8Array(await response.arrayBuffer());
}

// Inflates a link's source, but never past LARGEST_SOURCE: a few bytes of a
// link can stand for gigabytes, and the reading stops as soon as they would
// be too many.
async function inflateBounded(packed) {
  const reader = new Blob([packed]).stream().pipeThrough(new DecompressionStream('deflate-raw')).getReader();
  const chunks = [];
  let length = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    length += value.length;
    if (length > LARGEST_SOURCE) {
      await reader.cancel();
      throw new TooLarge();
    }
    chunks.push(value);
  }
  const bytes = new Uint8Array(length);
  let at = 0;
  for (const chunk of chunks) {
    bytes.set(chunk, at);
    at += chunk.length;
  }
  return bytes;
}

class TooLarge extends Error {
  constructor() {
    super(`The link's source is over ${LARGEST_SOURCE >> 20} MiB, more than the playground takes.`);
  }
}

const canCompress = typeof CompressionStream === 'function' && typeof DecompressionStream === 'function';

// The part after # that carries a source; the name keeps to letters, digits
// and a few marks so that it needs no escaping.
export async function shareFragment(name, bytes) {
  const safeName = encodeURIComponent(name).replace(/~/g, '%7E').replace(/%/g, '~');
  if (canCompress) {
    const packed = await transform(bytes, new CompressionStream('deflate-raw'));
    return `#source=${safeName}:${base64url(packed)}`;
  }
  return `#raw=${safeName}:${base64url(bytes)}`;
}

// The {name, bytes} a fragment carries, null when it carries none, and an
// Error when it looks like a share link but does not read.
export async function readFragment(fragment) {
  const match = SHARED.exec(fragment);
  if (!match) return null;
  const [, form, safeName, data] = match;
  try {
    const name = decodeURIComponent(safeName.replace(/~/g, '%'));
    // Base64 takes 4 characters for 3 bytes.
    if (form === 'raw' && (data.length * 3) / 4 > LARGEST_SOURCE) throw new TooLarge();
    const packed = fromBase64url(data);
    const bytes = form === 'raw' ? packed : await inflateBounded(packed);
    return { name, bytes };
  } catch (failure) {
    if (failure instanceof TooLarge) return failure;
    return new Error(`The link's source could not be read (${failure.message}).`);
  }
}

// What the browser keeps: {name, text, kept} or null. `kept` is true when the
// text is the same as what was last loaded or downloaded, so that nothing
// would be lost by replacing it.
export function loadStored(storage) {
  try {
    const stored = JSON.parse(storage.getItem(STORE_KEY));
    if (stored && typeof stored.text === 'string' && typeof stored.name === 'string') return stored;
  } catch {
    // Nothing usable kept: start afresh.
  }
  return null;
}

// Returns false when the browser refuses (storage full or turned off).
export function store(storage, record) {
  try {
    storage.setItem(STORE_KEY, JSON.stringify(record));
    return true;
  } catch {
    return false;
  }
}

// Saves bytes as a file named `name` through the browser's download.
export function download(name, bytes) {
  const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}
