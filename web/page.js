'use strict';
// The page around the WebAssembly core: a listing edited in the page or
// opened from a file, checked as it is typed, converted into an image shown
// byte by byte beside its lines, renumbered; images listed back.

const element = (id) => document.getElementById(id);
const editor = element('listing-text');
let core = null;
const coreReady = createMorvane().then((m) => (core = m));

// Listings larger than this are checked only when converted, not as typed.
const CHECK_AS_TYPED_LIMIT = 2 * 1024 * 1024;
// Above this the editor's own undo is left alone: replacing its text
// through it would take seconds.
const NATIVE_UNDO_LIMIT = 1024 * 1024;
const STORAGE_KEY = 'morvane:listing:' + location.pathname;
// The text an opened file or a renumbering replaced, so that Undo brings it
// back after a reload too.
const UNDO_KEY = STORAGE_KEY + ':replaced';
const STORAGE_LIMIT = 2 * 1024 * 1024;
// The findings listed at first; the rest come with one more click.
const FINDINGS_SHOWN = 1000;

// --- Characters ---

// The encodings as the core numbers them: by the bytes, Shift_JIS, UTF-8.
const ENCODING_CODE = { auto: 0, shift_jis: 1, 'utf-8': 2 };

const startsLikeImage = (bytes) => bytes.length >= LEAD_IN_LENGTH && bytes.slice(0, LEAD_IN_LENGTH).every((b) => b === IMAGE_LEAD_IN);

// --- The core ---

function copyIn(bytes) {
  const data = core._malloc(Math.max(bytes.length, 1));
  core.HEAPU8.set(bytes, data);
  return data;
}

function resultBytes() {
  const start = core._result_bytes();
  return core.HEAPU8.slice(start, start + core._result_length());
}

function copyInString(text) {
  const pointer = core._malloc(core.lengthBytesUTF8(text) + 1);
  core.stringToUTF8(text, pointer, core.lengthBytesUTF8(text) + 1);
  return pointer;
}

// Runs a conversion or a listing: its exit status, its output, its message.
function runCore(entry, name, bytes, ...options) {
  const strings = [];
  const pass = (value) => (typeof value === 'string' ? (strings.push(copyInString(value)), strings.at(-1)) : value);
  const namePointer = pass(name);
  const data = copyIn(bytes);
  const status = core['_' + entry](namePointer, data, bytes.length, ...options.map(pass));
  const output = resultBytes();
  core._free(data);
  for (const pointer of strings) core._free(pointer);
  return { status, output, message: core.UTF8ToString(core._result_message()) };
}

// The encoding of a listing's bytes, by the rule every program reads them by.
function encodingOf(bytes) {
  const data = copyIn(bytes);
  const utf8 = core._listing_encoding_of(data, bytes.length) === 1;
  core._free(data);
  return utf8 ? 'utf-8' : 'shift_jis';
}

// A listing's text: UTF-8 as it stands, Shift_JIS through the core's table,
// which writes a byte without a character as U+F700 + the byte, so that the
// text converts back into the same bytes.
function textOf(bytes, encoding) {
  if (encoding === 'utf-8') return new TextDecoder('utf-8').decode(bytes);
  const data = copyIn(bytes);
  core._shift_jis_as_text(data, bytes.length);
  core._free(data);
  return new TextDecoder('utf-8').decode(resultBytes());
}

// The findings the core told, as the checker names them.
function coreFindings() {
  return core.UTF8ToString(core._findings_text()).split('\n').filter((l) => l !== '').map((l) => {
    const [line, column, severity, name, ...message] = l.split('\t');
    return { line: Number(line), column: Number(column), severity, name, message: message.join('\t') };
  });
}

function checkBytes({ bytes, encoding }) {
  const data = copyIn(bytes);
  core._check_listing_bytes(data, bytes.length, ENCODING_CODE[encoding]);
  core._free(data);
  return coreFindings();
}

function renumberBytes({ bytes, encoding }, start, step) {
  const data = copyIn(bytes);
  const status = core._renumber_listing_bytes(data, bytes.length, start, step, ENCODING_CODE[encoding]);
  core._free(data);
  return { status, output: resultBytes(), findings: coreFindings() };
}

let tokenNames = null;
function tokenName(byte) {
  if (!tokenNames) tokenNames = Array.from({ length: 256 }, (_, b) => core.UTF8ToString(core._token_name_of(b)));
  return tokenNames[byte];
}

// --- Downloads ---

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

// --- The editor's text: opened files, encodings, undo, kept across reloads ---

// The listing file last opened: its bytes, and the text shown for it.
let opened = null;
const undoStack = [];

function decodeOpened() {
  const choice = element('encoding').value;
  opened.encoding = choice === 'auto' ? encodingOf(opened.bytes) : choice;
  return textOf(opened.bytes, opened.encoding);
}

const editedSinceOpened = () => !opened || editor.value !== opened.text;

const KEPT_HELP = element('editor-help').textContent;

// Set once another tab of the page has kept its own text: this tab then
// keeps nothing more, so that neither overwrites the other's unseen.
let keptByAnotherTab = false;

window.addEventListener('storage', (event) => {
  if (event.key !== STORAGE_KEY || event.newValue === null || event.newValue === editor.value) return;
  keptByAnotherTab = true;
  element('editor-help').textContent = 'Another tab of this page has kept its text: this tab no ' +
    'longer keeps its own across reloads, so that the other one\'s is not lost. Save this text ' +
    'to a file, or reload to take the other tab\'s.';
});

function keepText() {
  const help = element('editor-help');
  if (keptByAnotherTab) return;
  try {
    // Browsers keep about 5 MB a page; a larger text is not even tried.
    if (editor.value.length > STORAGE_LIMIT) throw new RangeError('too large to keep');
    localStorage.setItem(STORAGE_KEY, editor.value);
    help.textContent = KEPT_HELP;
  } catch {
    // Not kept: the old copy must not come back instead, and the user is told.
    try { localStorage.removeItem(STORAGE_KEY); } catch { /* storage unavailable */ }
    help.textContent = 'Ctrl+Enter (⌘+Enter) converts. This text is too large for the browser to keep ' +
      'across reloads: keep your file.';
  }
}

// Puts new text in the editor so that one click on Undo (or the editor's own
// undo, for text of ordinary size) brings the old text back.
function replaceText(text) {
  undoStack.push({ text: editor.value, opened });
  try {
    if (editor.value.length <= STORAGE_LIMIT && !keptByAnotherTab) localStorage.setItem(UNDO_KEY, editor.value);
  } catch { /* not kept: Undo still works until the page is closed */ }
  element('undo').disabled = false;
  let replaced = false;
  if (text.length < NATIVE_UNDO_LIMIT && editor.value.length < NATIVE_UNDO_LIMIT) {
    editor.focus();
    editor.select();
    replaced = document.execCommand('insertText', false, text) && editor.value === text;
  }
  if (!replaced) editor.value = text;
  editor.setSelectionRange(0, 0);
  editor.scrollTop = 0;
  keepText();
}

element('undo').addEventListener('click', () => {
  const last = undoStack.pop();
  if (!last) return;
  editor.value = last.text;
  opened = last.opened;
  element('undo').disabled = undoStack.length === 0;
  if (undoStack.length === 0) try { localStorage.removeItem(UNDO_KEY); } catch { /* storage unavailable */ }
  keepText();
  textChanged();
});

// An image whose lead-in was damaged, or a file with bytes no listing has
// (a 0x00 among its first bytes): not text to put into the editor unasked.
function looksLikeDamagedImage(bytes) {
  const leadIns = bytes.subarray(0, LEAD_IN_LENGTH).filter((b) => b === IMAGE_LEAD_IN).length;
  return leadIns >= LEAD_IN_LENGTH / 2 || bytes.subarray(0, 256).includes(0);
}

async function openListing(name, bytes) {
  if (startsLikeImage(bytes)) {
    await listImage(name, bytes);
    element('list-message').scrollIntoView({ block: 'nearest' });
    return;
  }
  if (looksLikeDamagedImage(bytes) && !confirm(`${name} looks like a damaged program image, not ` +
      'a listing. Put it into the editor anyway? (Undo brings the present text back.)')) {
    element('summary').textContent = `${name} was not opened: it looks like a damaged program image`;
    return;
  }
  const previous = opened;
  opened = { name, bytes };
  const text = decodeOpened();
  replaceText(text);
  undoStack[undoStack.length - 1].opened = previous;
  opened.text = editor.value; // as the text area keeps it
  textChanged();
}

element('listing-file').addEventListener('change', async (event) => {
  const file = event.target.files[0];
  if (!file) return;
  await openListing(file.name, new Uint8Array(await file.arrayBuffer()));
  event.target.value = '';
});

// A file opened and not edited since is decoded anew; typed or edited text stays.
element('encoding').addEventListener('change', () => {
  if (!opened || editedSinceOpened()) return;
  editor.value = decodeOpened();
  opened.text = editor.value;
  keepText();
  textChanged();
});

// The listing to convert: a file's own bytes while its text is unchanged,
// else the text as UTF-8, which the core reads as the programs do.
function listingBytes() {
  if (opened && !editedSinceOpened()) return { bytes: opened.bytes, encoding: opened.encoding };
  return { bytes: new TextEncoder().encode(editor.value), encoding: 'utf-8' };
}

// --- Findings ---

let findingsTimer = 0;

function caretTo(line, column) {
  const lines = editor.value.split('\n');
  let offset = 0;
  for (let i = 0; i < line - 1 && i < lines.length; i++) offset += lines[i].length + 1;
  const inLine = Array.from(lines[line - 1] || '').slice(0, column - 1).join('').length;
  editor.focus();
  editor.setSelectionRange(offset + inLine, offset + inLine);
  const lineHeight = parseFloat(getComputedStyle(editor).lineHeight);
  const top = (line - 1) * lineHeight;
  if (top < editor.scrollTop || top > editor.scrollTop + editor.clientHeight - lineHeight) {
    editor.scrollTop = Math.max(0, top - editor.clientHeight / 3);
  }
  editor.scrollIntoView({ block: 'nearest' });
  showCurrentLine();
  drawMarks();
}

let marked = [];

function drawMarks() {
  const marks = element('gutter-marks');
  const lineHeight = parseFloat(getComputedStyle(editor).lineHeight);
  const paddingTop = parseFloat(getComputedStyle(editor).paddingTop) + 1;
  marks.style.transform = `translateY(${paddingTop - editor.scrollTop}px)`;
  marks.replaceChildren(...marked.slice(0, 2000).map(({ line, severity }) => {
    const mark = document.createElement('div');
    mark.className = 'mark ' + severity;
    mark.style.top = `${(line - 1) * lineHeight}px`;
    mark.style.height = `${lineHeight}px`;
    mark.textContent = severity === 'error' ? '!' : '·';
    return mark;
  }));
}
editor.addEventListener('scroll', () => {
  const marks = element('gutter-marks');
  const paddingTop = parseFloat(getComputedStyle(editor).paddingTop) + 1;
  marks.style.transform = `translateY(${paddingTop - editor.scrollTop}px)`;
});

function showFindings(findings) {
  const list = element('findings');
  const byLine = new Map();
  for (const f of findings) if (byLine.get(f.line) !== 'error') byLine.set(f.line, f.severity);
  marked = Array.from(byLine, ([line, severity]) => ({ line, severity }));
  drawMarks();
  if (findings.length === 0) {
    const none = document.createElement('li');
    none.className = 'none';
    none.textContent = 'no problems found';
    list.replaceChildren(none);
    return;
  }
  list.replaceChildren(...findings.slice(0, FINDINGS_SHOWN).map(findingItem));
  if (findings.length <= FINDINGS_SHOWN) return;
  const more = document.createElement('li');
  more.className = 'more';
  const button = document.createElement('button');
  button.type = 'button';
  button.textContent = `Show the other ${findings.length - FINDINGS_SHOWN} findings (${findings.length} in all)`;
  button.addEventListener('click', () => more.replaceWith(...findings.slice(FINDINGS_SHOWN).map(findingItem)));
  more.append(button);
  list.append(more);
}

function findingItem(f) {
  const item = document.createElement('li');
  Object.assign(item.dataset, { line: f.line, column: f.column, severity: f.severity, name: f.name });
  const button = document.createElement('button');
  button.type = 'button';
  button.textContent = `${f.line}:${f.column}: ${f.severity}: ${f.message} [${f.name}]`;
  button.addEventListener('click', () => caretTo(f.line, f.column));
  item.append(button);
  return item;
}

// The checker's findings for the editor's text.
async function checkText() {
  await coreReady;
  const version = editor.dataset.version;
  showFindings(checkBytes(listingBytes()));
  element('findings').dataset.version = version;
}

// Each change of the text counts, so that the findings can say which text they are for.
let textVersion = 0;

function textChanged() {
  editor.dataset.version = String(++textVersion);
  clearTimeout(findingsTimer);
  if (editor.value.length <= CHECK_AS_TYPED_LIMIT) findingsTimer = setTimeout(checkText, 250);
  showCurrentLine();
  markOutOfDate();
}

// --- The result belongs to the text it was made from ---

// The text version the shown image was made from, and what its summary said.
let convertedVersion = null;
let summaryOfImage = '';

const imageOutOfDate = () => image !== null && convertedVersion !== editor.dataset.version;

// Once the text changes, the summary, the bytes and the download say that
// they are of the text as it was.
function markOutOfDate() {
  const outOfDate = imageOutOfDate();
  for (const id of ['summary', 'image-hex']) element(id).classList.toggle('out-of-date', outOfDate);
  if (image !== null) {
    element('summary').textContent = outOfDate
      ? `Out of date: the text has changed since this image was made (${summaryOfImage})` : summaryOfImage;
  }
  element('image-download').textContent = outOfDate ? 'Convert and download image' : 'Download image';
}

let keepTimer = 0;
editor.addEventListener('input', () => {
  clearTimeout(keepTimer);
  keepTimer = setTimeout(keepText, 300);
  textChanged();
});

// --- The image, byte by byte ---

const KIND_NAMES = ['header', 'head', 'token', 'text', 'end', 'trailer'];
const [HEADER, HEAD, TOKEN, TEXT, END, TRAILER] = KIND_NAMES.keys();

// An image's records: where each starts, found by their ends alone, so that
// a large image is ready at once; what each byte is comes when it is shown.
function describeImage(bytes) {
  const starts = [];
  const recordOf = new Map();
  let at = HEADER_LENGTH;
  while (at + RECORD_HEAD_LENGTH < bytes.length && bytes[at] === RECORD_START && bytes[at + 1] === RECORD_START) {
    const end = bytes.indexOf(0, at + RECORD_HEAD_LENGTH);
    if (end < 0) break;
    starts.push(at);
    const line = bytes[at + 2] | (bytes[at + 3] << 8);
    if (!recordOf.has(line)) recordOf.set(line, at);
    at = end + 1;
  }
  return { bytes, starts: Int32Array.from(starts), recordsEnd: at, recordOf, records: starts.length, described: new Map() };
}

// What each byte of one record is, as the core reads a record: the head,
// then tokens and text (strings, remarks and DATA items are text), then its end.
function describeRecord(image, index) {
  if (image.described.has(index)) return image.described.get(index);
  const { bytes } = image;
  const start = image.starts[index];
  const end = bytes.indexOf(0, start + RECORD_HEAD_LENGTH);
  const kinds = new Uint8Array(end - start + 1).fill(TEXT);
  kinds.fill(HEAD, 0, RECORD_HEAD_LENGTH);
  kinds[end - start] = END;
  const length = end - start - RECORD_HEAD_LENGTH;
  const body = core._malloc(Math.max(2 * length, 1));
  core.HEAPU8.set(bytes.subarray(start + RECORD_HEAD_LENGTH, end), body);
  core._record_byte_kinds(body, length, body + length);
  const tokens = core.HEAPU8.subarray(body + length, body + 2 * length);
  for (let at = 0; at < length; at++) if (tokens[at]) kinds[RECORD_HEAD_LENGTH + at] = TOKEN;
  core._free(body);
  const record = { start, line: bytes[start + 2] | (bytes[start + 3] << 8), kinds };
  if (image.described.size > 5000) image.described.clear();
  image.described.set(index, record);
  return record;
}

// The kind of the byte at an offset, and the BASIC line of its record (-1 outside records).
function byteAt(image, at) {
  if (at < HEADER_LENGTH) return { kind: HEADER, line: -1, place: at };
  if (at >= image.recordsEnd) return { kind: TRAILER, line: -1, place: at - image.recordsEnd };
  let low = 0;
  let high = image.starts.length - 1;
  while (low < high) {
    const middle = (low + high + 1) >> 1;
    if (image.starts[middle] <= at) low = middle; else high = middle - 1;
  }
  const record = describeRecord(image, low);
  return { kind: record.kinds[at - record.start], line: record.line, place: at - record.start };
}

function byteTitle(image, at) {
  const b = image.bytes[at];
  const { kind, line, place } = byteAt(image, at);
  switch (kind) {
    case HEADER: return 'header';
    case TRAILER: return 'trailer';
    case END: return `end of line ${line}`;
    case TOKEN: return `token ${tokenName(b)} (line ${line})`;
    case HEAD: return place < 2 ? `start of line ${line}` : `line number ${line}, ${place === 2 ? 'low' : 'high'} byte`;
    default: {
      const shown = b >= 0x20 && b < 0x7f ? ` '${String.fromCharCode(b)}'` : '';
      return `character 0x${b.toString(16).padStart(2, '0').toUpperCase()}${shown} (line ${line})`;
    }
  }
}

let image = null;
let currentLine = -1;
let rowHeight = 0;
const BYTES_A_ROW = 16;

function hexRow(at) {
  const row = document.createElement('div');
  row.className = 'hex-row';
  const offset = document.createElement('span');
  offset.className = 'offset';
  offset.textContent = at.toString(16).padStart(8, '0') + ': ';
  row.append(offset);
  let text = ' ';
  for (let i = 0; i < BYTES_A_ROW; i++) {
    const b = image.bytes[at + i];
    if (at + i >= image.bytes.length) { row.append('   '); continue; }
    const byte = document.createElement('span');
    const described = byteAt(image, at + i);
    const kind = KIND_NAMES[described.kind];
    byte.className = 'k-' + kind + (described.line === currentLine && currentLine >= 0 ? ' current' : '');
    byte.dataset.kind = kind;
    if (described.line >= 0) byte.dataset.line = described.line;
    byte.dataset.offset = at + i;
    byte.textContent = b.toString(16).padStart(2, '0');
    row.append(byte, ' ');
    text += b >= 0x20 && b < 0x7f ? String.fromCharCode(b) : '.';
  }
  row.append(text);
  return row;
}

// Browsers draw no element taller than about 33 million pixels: a taller
// dump is scrolled through in proportion instead of row by row.
const TALLEST_ROOM = 8000000;

// How the box's scroll position maps to rows: the first row in view for a
// scroll position, and the scroll position that shows a row.
function hexScale(box, rows) {
  const full = rows * rowHeight;
  if (full <= TALLEST_ROOM) return { room: full, rowAt: (top) => top / rowHeight, topOf: (row) => row * rowHeight };
  const perPixel = Math.max(0, rows - box.clientHeight / rowHeight) / (TALLEST_ROOM - box.clientHeight);
  return { room: TALLEST_ROOM, rowAt: (top) => top * perPixel, topOf: (row) => row / perPixel };
}

// Builds the rows in view and a few around them; the rest is empty room.
function drawHex() {
  const box = element('image-hex');
  if (!image) { box.replaceChildren(); return; }
  const rows = Math.ceil(image.bytes.length / BYTES_A_ROW);
  if (!rowHeight) {
    const probe = document.createElement('div');
    probe.className = 'hex-row';
    probe.textContent = '0';
    box.replaceChildren(probe);
    rowHeight = probe.getBoundingClientRect().height || 20;
  }
  const scale = hexScale(box, rows);
  const inView = Math.ceil(box.clientHeight / rowHeight) + 1;
  const atTop = Math.floor(scale.rowAt(box.scrollTop));
  const first = Math.max(0, atTop - 10);
  const last = Math.min(rows, atTop + inView + 10);
  const room = document.createElement('div');
  room.style.height = `${scale.room}px`;
  const shown = document.createElement('div');
  shown.className = 'hex-rows';
  shown.style.top = `${box.scrollTop - (atTop - first) * rowHeight - (scale.rowAt(box.scrollTop) - atTop) * rowHeight}px`;
  for (let row = first; row < last; row++) shown.append(hexRow(row * BYTES_A_ROW));
  room.append(shown);
  box.replaceChildren(room);
  shown.addEventListener('mouseover', (event) => {
    const at = event.target.dataset && event.target.dataset.offset;
    if (at !== undefined && !event.target.title) event.target.title = byteTitle(image, Number(at));
  });
}

let drawPending = false;
element('image-hex').addEventListener('scroll', () => {
  if (drawPending) return;
  drawPending = true;
  requestAnimationFrame(() => { drawPending = false; drawHex(); });
});

// The BASIC line the caret stands on, by the number that starts its text line.
function caretLineNumber() {
  const before = editor.value.lastIndexOf('\n', editor.selectionStart - 1) + 1;
  const match = /^\d+/.exec(editor.value.slice(before, before + 12));
  return match ? Number(match[0]) & 0xffff : -1;
}

function showCurrentLine() {
  if (!image) return;
  const line = caretLineNumber();
  if (line === currentLine) return;
  currentLine = line;
  const box = element('image-hex');
  if (image.recordOf.has(line) && rowHeight) {
    const scale = hexScale(box, Math.ceil(image.bytes.length / BYTES_A_ROW));
    const top = scale.topOf(Math.floor(image.recordOf.get(line) / BYTES_A_ROW));
    if (top < box.scrollTop || top > box.scrollTop + box.clientHeight - rowHeight) box.scrollTop = Math.max(0, top - rowHeight);
  }
  drawHex();
}
for (const event of ['keyup', 'click', 'select', 'focus']) editor.addEventListener(event, showCurrentLine);

// --- Converting ---

async function convert() {
  await coreReady;
  const message = element('convert-message');
  const link = element('image-download');
  const name = renamed(opened && opened.name, '.img', 'program.img');
  const listing = listingBytes();
  const result = runCore('convert_listing_bytes', opened ? opened.name : 'listing', listing.bytes,
    ENCODING_CODE[listing.encoding], element('image-name').value);
  message.textContent = result.status === 0 ? '' : result.message;
  image = result.status === 0 ? describeImage(result.output) : null;
  convertedVersion = editor.dataset.version;
  currentLine = -2;
  element('image-hex').scrollTop = 0;
  drawHex();
  showCurrentLine();
  if (result.status === 0) {
    offerDownload(link, result.output, name);
    summaryOfImage = `${image.records} line${image.records === 1 ? '' : 's'}, ${result.output.length} bytes, ${name}`;
    element('summary').textContent = summaryOfImage;
  } else {
    withdrawDownload(link);
    element('summary').textContent = `Not converted: ${result.message}`;
  }
  markOutOfDate();
  // The findings follow the result, so that a large listing's image shows first.
  clearTimeout(findingsTimer);
  findingsTimer = setTimeout(checkText, 0);
}

element('convert').addEventListener('click', convert);
// An image of an older text is never downloaded as if it were this one's:
// the text is converted first, and the new image downloaded.
element('image-download').addEventListener('click', async (event) => {
  if (!imageOutOfDate()) return;
  event.preventDefault();
  await convert();
  if (!imageOutOfDate() && element('image-download').hasAttribute('href')) element('image-download').click();
});
editor.addEventListener('keydown', (event) => {
  if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) {
    event.preventDefault();
    convert();
  }
});

// --- Renumbering ---

element('renumber').addEventListener('click', async () => {
  await coreReady;
  const start = Number(element('renumber-start').value);
  const step = Number(element('renumber-step').value);
  const summary = element('summary');
  if (!Number.isInteger(start) || start < 0 || start > 65535 || !Number.isInteger(step) || step < 1 || step > 65535) {
    summary.textContent = 'Not renumbered: start takes a number from 0 to 65535, step from 1 to 65535';
    return;
  }
  const listing = listingBytes();
  const result = renumberBytes(listing, start, step);
  if (result.status === 0) {
    const previous = opened;
    // Written in the encoding it was read in: the file's own, or UTF-8 for typed text.
    const encoding = listing.encoding === 'auto' ? encodingOf(listing.bytes) : listing.encoding;
    replaceText(textOf(result.output, encoding));
    opened = previous && { ...previous, bytes: result.output, text: editor.value, encoding };
    clearTimeout(findingsTimer);
    summary.textContent = `Renumbered from ${start} by ${step}`;
  } else {
    summary.textContent = 'Not renumbered: see the findings';
  }
  showFindings(result.findings);
});

// --- Listing an image ---

// Control bytes are shown as their pictures, so that they can be seen.
function readable(listing) {
  const text = textOf(listing, 'shift_jis');
  return text.replace(/[\u0000-\u0009\u000b-\u001f\u007f]/g, (c) =>
    String.fromCharCode(c === '\u007f' ? 0x2421 : 0x2400 + c.charCodeAt(0)));
}

async function listImage(name, bytes) {
  await coreReady;
  const message = element('list-message');
  const link = element('listing-download');
  const result = runCore('list_image_bytes', name, bytes, ENCODING_CODE.shift_jis);
  message.textContent = result.status === 0 ? '' : result.message;
  element('listing-view').textContent = readable(result.output);
  // Kept for converting the listing back into the image of the same name.
  if (result.status !== 1) element('image-name').value = core.UTF8ToString(core._listed_image_name());
  // Status 2: the listing is whole, but the lines named do not convert back.
  if (result.status !== 1) offerDownload(link, result.output, renamed(name, '.bas', 'program.bas'));
  else withdrawDownload(link);
}

element('list').addEventListener('click', async () => {
  const file = element('image-file').files[0];
  if (!file) {
    element('list-message').textContent = 'Choose an image file first.';
    withdrawDownload(element('listing-download'));
    return;
  }
  await listImage(file.name, new Uint8Array(await file.arrayBuffer()));
});

// --- Files dropped anywhere go where their content belongs ---

document.addEventListener('dragover', (event) => event.preventDefault());
document.addEventListener('drop', async (event) => {
  const file = event.dataTransfer && event.dataTransfer.files[0];
  if (!file) return;
  event.preventDefault();
  await openListing(file.name, new Uint8Array(await file.arrayBuffer()));
});

// --- Start: the text kept from the last visit ---

try {
  const kept = localStorage.getItem(STORAGE_KEY);
  if (kept !== null) editor.value = kept;
  const replaced = localStorage.getItem(UNDO_KEY);
  if (replaced !== null) {
    undoStack.push({ text: replaced, opened: null });
    element('undo').disabled = false;
  }
} catch { /* storage unavailable: the page still works */ }
textChanged();
