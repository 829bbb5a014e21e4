'use strict';
// The page around the WebAssembly core: files in, bytes through the core,
// results out as a hex dump, a listing and downloads.

const element = (id) => document.getElementById(id);
let core = null;
const coreReady = createMorvane().then((m) => (core = m));

// The two-byte characters the target set can show, by code point. Each
// Shift_JIS code the converter takes is decoded by the browser; keyboards
// and Windows code pages write two of them in other forms too.
const SHIFT_JIS_OF = new Map();
for (const code of TWO_BYTE_CHARACTERS) {
  const character = new TextDecoder('shift_jis').decode(new Uint8Array([code >> 8, code & 0xff]));
  SHIFT_JIS_OF.set(character.codePointAt(0), code);
}
for (const [code, forms] of [[0x8160, [0x301c, 0xff5e]], [0x817c, [0x2212, 0xff0d]]]) {
  if (TWO_BYTE_CHARACTERS.includes(code)) for (const form of forms) SHIFT_JIS_OF.set(form, code);
}

// Turns text into Shift_JIS, or throws an Error naming the first character
// the target set lacks, with its place.
function toShiftJis(text) {
  const bytes = [];
  let line = 1;
  let column = 1;
  for (const character of text) {
    const point = character.codePointAt(0);
    if (point < 0x80) bytes.push(point);
    else if (point >= 0xff61 && point <= 0xff9f) bytes.push(point - 0xff61 + 0xa1);
    else if (SHIFT_JIS_OF.has(point)) bytes.push(SHIFT_JIS_OF.get(point) >> 8, SHIFT_JIS_OF.get(point) & 0xff);
    else {
      const name = 'U+' + point.toString(16).toUpperCase().padStart(4, '0');
      throw new Error(`The character ${character} (${name}) at line ${line}, column ${column} is not in the target character set`);
    }
    if (character === '\n') { line++; column = 1; } else column++;
  }
  return new Uint8Array(bytes);
}

// Runs a core entry on the bytes: its exit status, its output, its messages.
function runCore(entry, name, bytes) {
  const namePointer = core._malloc(core.lengthBytesUTF8(name) + 1);
  core.stringToUTF8(name, namePointer, core.lengthBytesUTF8(name) + 1);
  const data = core._malloc(Math.max(bytes.length, 1));
  core.HEAPU8.set(bytes, data);
  const status = core['_' + entry](namePointer, data, bytes.length);
  const start = core._result_bytes();
  const output = core.HEAPU8.slice(start, start + core._result_length());
  core._free(data);
  core._free(namePointer);
  return { status, output, message: core.UTF8ToString(core._result_message()) };
}

// Sixteen bytes a row, with offsets and the printable ones shown, as xxd shows them.
function hexDump(bytes) {
  const rows = [];
  for (let at = 0; at < bytes.length; at += 16) {
    const row = bytes.slice(at, at + 16);
    let hex = '';
    for (let i = 0; i < 16; i++) {
      hex += i < row.length ? row[i].toString(16).padStart(2, '0') : '  ';
      if (i % 2 === 1) hex += ' ';
    }
    const text = Array.from(row, (b) => (b >= 0x20 && b < 0x7f ? String.fromCharCode(b) : '.')).join('');
    rows.push(`${at.toString(16).padStart(8, '0')}: ${hex} ${text}`);
  }
  return rows.join('\n');
}

function offerDownload(link, bytes, name) {
  if (link.href) URL.revokeObjectURL(link.href);
  link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  link.download = name;
}

function withdrawDownload(link) {
  if (link.href) URL.revokeObjectURL(link.href);
  link.removeAttribute('href');
}

function renamed(fileName, extension, fallback) {
  if (!fileName) return fallback;
  const dot = fileName.lastIndexOf('.');
  return (dot > 0 ? fileName.slice(0, dot) : fileName) + extension;
}

// The listing file last opened: its bytes, and the text shown for it.
let opened = null;

function detectEncoding(bytes) {
  if (bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf) return 'utf-8';
  if (!bytes.some((b) => b >= 0x80)) return 'shift_jis';
  try {
    new TextDecoder('utf-8', { fatal: true }).decode(bytes);
    return 'utf-8';
  } catch {
    return 'shift_jis';
  }
}

function showOpenedListing() {
  const choice = element('encoding').value;
  opened.encoding = choice === 'auto' ? detectEncoding(opened.bytes) : choice;
  element('listing-text').value = new TextDecoder(opened.encoding).decode(opened.bytes);
  opened.text = element('listing-text').value; // as the text area keeps it
}

element('listing-file').addEventListener('change', async (event) => {
  const file = event.target.files[0];
  if (!file) return;
  opened = { name: file.name, bytes: new Uint8Array(await file.arrayBuffer()) };
  showOpenedListing();
});

element('encoding').addEventListener('change', () => {
  if (opened) showOpenedListing();
});

// The bytes to convert: a Shift_JIS file's own while its text is unchanged,
// else the text turned into Shift_JIS.
function listingBytes() {
  const text = element('listing-text').value;
  if (opened && opened.encoding === 'shift_jis' && text === opened.text) return opened.bytes;
  return toShiftJis(text);
}

element('convert').addEventListener('click', async () => {
  await coreReady;
  const message = element('convert-message');
  const link = element('image-download');
  let result;
  try {
    result = runCore('convert_listing_bytes', opened ? opened.name : 'listing', listingBytes());
  } catch (error) {
    result = { status: 1, output: new Uint8Array(), message: error.message };
  }
  message.textContent = result.status === 0 ? '' : result.message;
  element('image-hex').textContent = result.status === 0 ? hexDump(result.output) : '';
  if (result.status === 0) offerDownload(link, result.output, renamed(opened && opened.name, '.img', 'program.img'));
  else withdrawDownload(link);
});

// Control bytes are shown as their pictures, so that they can be seen.
function readable(listing) {
  const text = new TextDecoder('shift_jis').decode(listing);
  return text.replace(/[\u0000-\u0009\u000b-\u001f\u007f]/g, (c) =>
    String.fromCharCode(c === '\u007f' ? 0x2421 : 0x2400 + c.charCodeAt(0)));
}

element('list').addEventListener('click', async () => {
  await coreReady;
  const file = element('image-file').files[0];
  const message = element('list-message');
  const link = element('listing-download');
  if (!file) {
    message.textContent = 'Choose an image file first.';
    withdrawDownload(link);
    return;
  }
  const result = runCore('list_image_bytes', file.name, new Uint8Array(await file.arrayBuffer()));
  message.textContent = result.status === 0 ? '' : result.message;
  element('listing-view').textContent = readable(result.output);
  // Status 2: the listing is whole, but the lines named do not convert back.
  if (result.status !== 1) offerDownload(link, result.output, renamed(file.name, '.bas', 'program.bas'));
  else withdrawDownload(link);
});
