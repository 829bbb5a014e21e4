// The page: a listing edited or opened from a file, checked as it is typed,
// converted into an image shown byte by byte beside its lines, renumbered,
// saved; images listed back. The core and its language server run in a
// worker; this thread only edits and shows.
/* global LEAD_IN_LENGTH, IMAGE_LEAD_IN */
import { undo, undoDepth } from '@codemirror/commands';
import { EditorView } from '@codemirror/view';
import { startWorker } from './core_link.js';
import { createEditor, replaceText, keptState, lineNumberAt } from './editor.js';
import { createHexDump, describeImage } from './hexdump.js';
import { openStore } from './store.js';
import { encodeInPieces, decodePieces } from './pieces.js';

const element = (id) => document.getElementById(id);
const utf8 = new TextDecoder('utf-8');
const core = startWorker();
let tokenNames = [];
core.call('tokenNames').then((names) => { tokenNames = names; });

// The findings listed at first; the rest come with one more click.
const FINDINGS_SHOWN = 1000;
// Above this the editor's history is not kept across reloads, only its text.
const KEPT_HISTORY_LIMIT = 2 * 1024 * 1024;
const FIRST_TEXT = '10 PRINT "HELLO"\n20 GOTO 10\n';

// The listing file last opened: its name, bytes and encoding, and the
// editor's text it gave (a file unedited converts from its own bytes).
let opened = null;
let view = null;

// --- Files and names ---

function renamed(fileName, extension, fallback) {
  if (!fileName) return fallback;
  const dot = fileName.lastIndexOf('.');
  return (dot > 0 ? fileName.slice(0, dot) : fileName) + extension;
}

const listingName = () => element('listing-name').value.trim();

function offerDownload(link, bytes, name) {
  if (link.href) URL.revokeObjectURL(link.href);
  link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  link.download = name;
}

function withdrawDownload(link) {
  if (link.href) URL.revokeObjectURL(link.href);
  link.removeAttribute('href');
}

// Hands bytes to the browser as a file to save.
function saveFile(bytes, name) {
  const link = document.createElement('a');
  offerDownload(link, bytes, name);
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

const unedited = () => opened !== null && opened.bytes && opened.doc === view.state.doc;

// The listing to convert: a file's own bytes while its text is unchanged,
// else the text as UTF-8, which the core reads as the programs do.
function listingBytes() {
  if (unedited()) return { bytes: opened.bytes, encoding: opened.encoding };
  return { bytes: new TextEncoder().encode(view.state.doc.toString()), encoding: 'utf-8' };
}

// The encoding the listing is saved in: the one chosen, else the one its
// file was read in; typed text as UTF-8.
function savedEncoding() {
  const choice = element('encoding').value;
  if (choice !== 'auto') return choice;
  return opened ? opened.encoding : 'utf-8';
}

// --- Kept across reloads ---

let store = null;
let keptByAnotherTab = false;
let keepTimer = 0;
const KEPT_HELP = element('editor-help').textContent;

function otherTabKept() {
  keptByAnotherTab = true;
  element('editor-help').textContent = 'Another tab of this page has kept its text: this tab no ' +
    'longer keeps its own across reloads, so that the other one\'s is not lost. Save this text ' +
    'to a file, or reload to take the other tab\'s.';
}

async function keep() {
  if (keptByAnotherTab || !store) return;
  const { doc } = view.state;
  // The state as it is now: the text's pieces are encoded while work goes on.
  const state = doc.length <= KEPT_HISTORY_LIMIT ? keptState(view) : null;
  const record = {
    pieces: await encodeInPieces(doc),
    state,
    listingName: element('listing-name').value,
    opened: opened && { name: opened.name, encoding: opened.encoding },
  };
  const kept = await store.keep(record);
  const help = element('editor-help');
  help.textContent = kept ? KEPT_HELP : 'This browser would not keep this text across reloads: save it to a file.';
  // Whether the text as it stands is the one kept.
  help.dataset.kept = String(kept && view.state.doc === doc);
}

function keepSoon() {
  element('editor-help').dataset.kept = 'false';
  clearTimeout(keepTimer);
  keepTimer = setTimeout(keep, 300);
}

// --- Findings ---

function caretTo(line, column) {
  const doc = view.state.doc;
  const text = doc.line(Math.min(line, doc.lines));
  const inLine = Array.from(text.text).slice(0, column - 1).join('').length;
  view.dispatch({ selection: { anchor: text.from + inLine }, effects: EditorView.scrollIntoView(text.from + inLine, { y: 'center' }) });
  view.focus();
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

function listFindings(list, findings, none) {
  if (findings.length === 0) {
    const item = document.createElement('li');
    item.className = 'none';
    item.textContent = none;
    list.replaceChildren(item);
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

// The server's findings; current when they are of the text as it stands.
function showFindings(findings, current) {
  listFindings(element('findings'), findings, 'no problems found');
  element('findings').dataset.current = String(current);
}

// --- The result belongs to the text it was made from ---

let hexDump = null;
let convertedDoc = null;
let summaryOfImage = '';

const imageOutOfDate = () => hexDump.image !== null && convertedDoc !== view.state.doc;

function markOutOfDate() {
  const outOfDate = imageOutOfDate();
  for (const id of ['summary', 'image-hex']) element(id).classList.toggle('out-of-date', outOfDate);
  if (hexDump.image !== null) {
    element('summary').textContent = outOfDate
      ? `Out of date: the text has changed since this image was made (${summaryOfImage})` : summaryOfImage;
  }
  element('image-download').textContent = outOfDate ? 'Convert and download image' : 'Download image';
}

function showCaretLine() {
  hexDump.showLine(lineNumberAt(view.state, view.state.selection.main.head));
}

function editorChanged(update) {
  if (update.docChanged) {
    element('findings').dataset.current = 'false';
    element('undo').disabled = undoDepth(update.state) === 0;
    markOutOfDate();
    keepSoon();
  }
  if (update.docChanged || update.selectionSet || update.transactions.some((t) => t.effects.length)) showCaretLine();
}

// --- Converting ---

async function convert() {
  const message = element('convert-message');
  const link = element('image-download');
  const doc = view.state.doc;
  const name = renamed(listingName(), '.img', 'program.img');
  const listing = listingBytes();
  const result = await core.call('convert', listingName() || 'listing', listing.bytes, listing.encoding, element('image-name').value);
  message.textContent = result.status === 0 ? '' : result.message;
  convertedDoc = doc;
  if (result.status !== 0) {
    hexDump.show(null);
    withdrawDownload(link);
    element('summary').textContent = `Not converted: ${result.message}`;
    markOutOfDate();
    return;
  }
  const described = describeImage(result.output, result.starts, result.tokens);
  offerDownload(link, result.output, name);
  summaryOfImage = `${described.records} line${described.records === 1 ? '' : 's'}, ${result.output.length} bytes, ${name}`;
  element('summary').textContent = summaryOfImage;
  hexDump.show(described);
  showCaretLine();
  markOutOfDate();
}

// An image of an older text is never downloaded as if it were this one's:
// the text is converted first, and the new image downloaded.
async function downloadImage(event) {
  if (!imageOutOfDate()) return;
  event.preventDefault();
  await convert();
  if (!imageOutOfDate() && element('image-download').hasAttribute('href')) element('image-download').click();
}

// --- Saving the listing ---

async function saveListing() {
  const message = element('convert-message');
  const encoding = savedEncoding();
  const name = listingName() || 'program.bas';
  if (unedited() && opened.encoding === encoding) return saveFile(opened.bytes, name);
  const saved = await core.call('save', view.state.doc.toString(), encoding);
  if (saved.bytes) {
    message.textContent = '';
    return saveFile(saved.bytes, name);
  }
  const at = view.state.doc.lineAt(saved.outside);
  const character = String.fromCodePoint(view.state.doc.sliceString(saved.outside, saved.outside + 2).codePointAt(0));
  message.textContent = `Not saved: the character ${character} in line ${at.number} has no Shift_JIS bytes; ` +
    'choose UTF-8 in Encoding to save it';
  caretTo(at.number, Array.from(at.text.slice(0, saved.outside - at.from)).length + 1);
  return undefined;
}

// --- Renumbering ---

async function renumber() {
  const start = Number(element('renumber-start').value);
  const step = Number(element('renumber-step').value);
  const summary = element('summary');
  if (!Number.isInteger(start) || start < 0 || start > 65535 || !Number.isInteger(step) || step < 1 || step > 65535) {
    summary.textContent = 'Not renumbered: start takes a number from 0 to 65535, step from 1 to 65535';
    return;
  }
  const doc = view.state.doc;
  const listing = listingBytes();
  const result = await core.call('renumber', listing.bytes, listing.encoding, start, step);
  listFindings(element('renumber-findings'), result.findings, 'no warnings');
  if (result.status !== 0) {
    summary.textContent = 'Not renumbered: see the renumbering\'s findings';
    return;
  }
  if (view.state.doc !== doc) {
    summary.textContent = 'Not renumbered: the text changed meanwhile; renumber again';
    return;
  }
  replaceText(view, result.text, 'input.renumber');
  summary.textContent = `Renumbered from ${start} by ${step}`;
}

// --- Opening files ---

const startsLikeImage = (bytes) => bytes.length >= LEAD_IN_LENGTH && bytes.slice(0, LEAD_IN_LENGTH).every((b) => b === IMAGE_LEAD_IN);

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
  const { encoding, bytes: text } = await core.call('open', bytes, element('encoding').value);
  replaceText(view, utf8.decode(text), 'input.open');
  opened = { name, bytes, encoding, doc: view.state.doc };
  element('listing-name').value = name;
  keepSoon();
}

// A file opened and not edited since is read anew; typed or edited text stays.
async function encodingChosen() {
  if (!unedited()) return;
  const { encoding, bytes: text } = await core.call('open', opened.bytes, element('encoding').value);
  if (!unedited()) return;
  replaceText(view, utf8.decode(text), 'input.open');
  opened = { ...opened, encoding, doc: view.state.doc };
}

// --- Listing an image ---

// Control bytes are shown as their pictures, so that they can be seen.
const readable = (text) => text.replace(/[\u0000-\u0009\u000b-\u001f\u007f]/g, (c) =>
  String.fromCharCode(c === '\u007f' ? 0x2421 : 0x2400 + c.charCodeAt(0)));

async function listImage(name, bytes) {
  const message = element('list-message');
  const link = element('listed-download');
  const result = await core.call('list', name, bytes);
  message.textContent = result.status === 0 ? '' : result.message;
  element('listing-view').textContent = readable(result.text);
  // Kept for converting the listing back into the image of the same name.
  if (result.status !== 1) element('image-name').value = result.imageName;
  // Status 2: the listing is whole, but the lines named do not convert back.
  if (result.status !== 1) offerDownload(link, result.output, renamed(name, '.bas', 'program.bas'));
  else withdrawDownload(link);
}

async function listChosenImage() {
  const file = element('image-file').files[0];
  if (!file) {
    element('list-message').textContent = 'Choose an image file first.';
    withdrawDownload(element('listed-download'));
    return;
  }
  await listImage(file.name, new Uint8Array(await file.arrayBuffer()));
}

// --- Start: the text kept from the last visit ---

function wire() {
  element('convert').addEventListener('click', convert);
  element('image-download').addEventListener('click', downloadImage);
  element('listing-download').addEventListener('click', saveListing);
  element('undo').addEventListener('click', () => { undo(view); view.focus(); });
  element('renumber').addEventListener('click', renumber);
  element('list').addEventListener('click', listChosenImage);
  element('encoding').addEventListener('change', encodingChosen);
  element('listing-name').addEventListener('input', keepSoon);
  element('listing-file').addEventListener('change', async (event) => {
    const file = event.target.files[0];
    if (!file) return;
    await openListing(file.name, new Uint8Array(await file.arrayBuffer()));
    event.target.value = '';
  });
  // Files dropped anywhere go where their content belongs.
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', async (event) => {
    const file = event.dataTransfer && event.dataTransfer.files[0];
    if (!file) return;
    event.preventDefault();
    await openListing(file.name, new Uint8Array(await file.arrayBuffer()));
  });
}

async function start() {
  store = openStore({ core, onOtherTab: otherTabKept });
  const kept = await store.load();
  if (kept?.listingName) element('listing-name').value = kept.listingName;
  if (kept?.opened) opened = { ...kept.opened, bytes: null, doc: null };
  hexDump = createHexDump({ box: element('image-hex'), meaning: element('byte-meaning'), tokenNames: () => tokenNames });
  const parent = element('editor');
  parent.replaceChildren();
  ({ view } = createEditor({
    parent,
    transport: core.transport,
    uri: 'file:///listing.bas',
    text: kept?.pieces ? decodePieces(kept.pieces) : kept?.text ?? FIRST_TEXT,
    kept: kept?.state,
    onFindings: showFindings,
    keys: [{ key: 'Mod-Enter', run: () => { convert(); return true; } }],
    extensions: [
      EditorView.updateListener.of(editorChanged),
      // tabindex tells checkers what the editable text already is: a place
      // the keyboard reaches, from which the editor scrolls.
      EditorView.contentAttributes.of({ 'aria-labelledby': 'listing-label', 'aria-describedby': 'editor-help', tabindex: '0' }),
    ],
  }));
  view.dom.id = 'listing-text';
  element('undo').disabled = undoDepth(view.state) === 0;
  wire();
  // For scripts and tests: the editor, as CodeMirror's own view.
  window.morvane = { view };
  document.body.dataset.readyAt = String(performance.now());
  document.body.dataset.ready = 'true';
}

start();
