// The page's worker: the WebAssembly core and its language server, so that
// converting, listing and checking never hold up the page. Two kinds of
// message come in: a language server message ({lsp: body}), answered with
// the server's own messages, and a call of the core ({id, call, args}),
// answered with {id, result}.
/* global createMorvane, HEADER_LENGTH, RECORD_HEAD_LENGTH, RECORD_START */

const corePromise = createMorvane();
let core = null;

const ENCODING_CODE = { auto: 0, shift_jis: 1, 'utf-8': 2 };
const utf8 = new TextDecoder('utf-8');

function copyIn(bytes) {
  const data = core._malloc(Math.max(bytes.length, 1));
  core.HEAPU8.set(bytes, data);
  return data;
}

function copyInString(text) {
  const room = core.lengthBytesUTF8(text) + 1;
  const pointer = core._malloc(room);
  core.stringToUTF8(text, pointer, room);
  return pointer;
}

function resultBytes() {
  const start = core._result_bytes();
  return core.HEAPU8.slice(start, start + core._result_length());
}

// Calls an entry of the core on bytes copied in, freeing what it took.
function withBytes(bytes, run) {
  const data = copyIn(bytes);
  try { return run(data, bytes.length); } finally { core._free(data); }
}

function withStrings(strings, run) {
  const pointers = strings.map(copyInString);
  try { return run(...pointers); } finally { pointers.forEach((p) => core._free(p)); }
}

function findingsOfRun() {
  return core.UTF8ToString(core._findings_text()).split('\n').filter((l) => l !== '').map((l) => {
    const [line, column, severity, name, ...message] = l.split('\t');
    return { line: Number(line), column: Number(column), severity, name, message: message.join('\t') };
  });
}

// The encoding of a listing's bytes, by the rule every program reads them by.
const encodingOf = (bytes) => withBytes(bytes, (data, size) => (core._listing_encoding_of(data, size) === 1 ? 'utf-8' : 'shift_jis'));

// A listing's text: UTF-8 as it stands, Shift_JIS through the core's table,
// which writes a byte without a character as U+F700 + the byte, so that the
// text reads back into the same bytes.
function textOf(bytes, encoding) {
  if (encoding === 'utf-8') return utf8.decode(bytes);
  withBytes(bytes, (data, size) => core._shift_jis_as_text(data, size));
  return utf8.decode(resultBytes());
}

// Where an image's records start, found by their ends alone.
function recordStarts(image) {
  const starts = [];
  let at = HEADER_LENGTH;
  while (at + RECORD_HEAD_LENGTH < image.length && image[at] === RECORD_START && image[at + 1] === RECORD_START) {
    const end = image.indexOf(0, at + RECORD_HEAD_LENGTH);
    if (end < 0) break;
    starts.push(at);
    at = end + 1;
  }
  return Int32Array.from(starts);
}

// What each byte of the image's records is (1 a token, 0 anything else),
// the record starts given: the core reads each body as the lister does.
function recordTokens(image, starts) {
  const tokens = new Uint8Array(image.length);
  const data = copyIn(image);
  const kinds = core._malloc(Math.max(image.length, 1));
  core.HEAPU8.fill(0, kinds, kinds + image.length);
  try {
    for (const start of starts) {
      const body = start + RECORD_HEAD_LENGTH;
      const end = image.indexOf(0, body);
      core._record_byte_kinds(data + body, end - body, kinds + body);
    }
    tokens.set(core.HEAPU8.subarray(kinds, kinds + image.length));
  } finally {
    core._free(data);
    core._free(kinds);
  }
  return tokens;
}

const calls = {
  // The text as UTF-8 bytes, which the page decodes: handed over whole,
  // they cost its thread no copy.
  open(bytes, choice) {
    const encoding = choice === 'auto' ? encodingOf(bytes) : choice;
    if (encoding === 'utf-8') return { encoding, bytes };
    withBytes(bytes, (data, size) => core._shift_jis_as_text(data, size));
    return { encoding, bytes: resultBytes() };
  },
  convert(name, bytes, encoding, imageName) {
    const status = withStrings([name, imageName], (namePointer, imagePointer) =>
      withBytes(bytes, (data, size) => core._convert_listing_bytes(namePointer, data, size, ENCODING_CODE[encoding], imagePointer)));
    const output = resultBytes();
    const message = core.UTF8ToString(core._result_message());
    if (status !== 0) return { status, output, message };
    // The records and their tokens come along, for the page to show each byte.
    const starts = recordStarts(output);
    return { status, output, message, starts, tokens: recordTokens(output, starts) };
  },
  list(name, bytes) {
    const status = withStrings([name], (namePointer) =>
      withBytes(bytes, (data, size) => core._list_image_bytes(namePointer, data, size, ENCODING_CODE.shift_jis)));
    const output = resultBytes();
    const message = core.UTF8ToString(core._result_message());
    const imageName = core.UTF8ToString(core._listed_image_name());
    return { status, output, message, imageName, text: textOf(output, 'shift_jis') };
  },
  renumber(bytes, encoding, start, step) {
    const status = withBytes(bytes, (data, size) => core._renumber_listing_bytes(data, size, start, step, ENCODING_CODE[encoding]));
    const output = resultBytes();
    const findings = findingsOfRun();
    const written = encoding === 'auto' ? encodingOf(bytes) : encoding;
    return { status, findings, text: status === 0 ? textOf(output, written) : null };
  },
  // The text's bytes in the encoding asked; for Shift_JIS, the UTF-8 offset
  // of the first character it has no bytes for, where there is one.
  save(text, encoding) {
    const bytes = new TextEncoder().encode(text);
    if (encoding === 'utf-8') return { bytes };
    const outside = withBytes(bytes, (data, size) => core._listing_as_shift_jis(data, size));
    if (outside === -2) throw new RangeError('out of memory');
    if (outside >= 0) return { outside: utf8.decode(bytes.subarray(0, outside)).length };
    return { bytes: resultBytes() };
  },
  tokenNames: () => Array.from({ length: 256 }, (_, b) => core.UTF8ToString(core._token_name_of(b))),
};

// --- What the page keeps across reloads, in IndexedDB ---

const DATABASE = 'morvane';
const STORE = 'kept';
let database = null;

function openDatabase() {
  database ??= new Promise((resolve, reject) => {
    const request = indexedDB.open(DATABASE, 1);
    request.onupgradeneeded = () => request.result.createObjectStore(STORE);
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
  return database;
}

async function inStore(mode, work) {
  const opened = await openDatabase();
  return new Promise((resolve, reject) => {
    const transaction = opened.transaction(STORE, mode);
    const request = work(transaction.objectStore(STORE));
    transaction.oncomplete = () => resolve(request.result);
    transaction.onerror = () => reject(transaction.error);
    transaction.onabort = () => reject(transaction.error);
  });
}

calls.load = (key) => inStore('readonly', (store) => store.get(key));
calls.keep = async (key, record) => {
  await inStore('readwrite', (store) => store.put(record, key));
  return true;
};

// --- The language server ---

// Messages wait here until the worker has none left to read, so that a
// burst of changes is checked once, as the program checks when its pipe is empty.
const waiting = [];
let draining = false;

function sendAnswers() {
  const count = core._lsp_answer_count();
  for (let i = 0; i < count; i++) {
    const body = core.HEAPU8.subarray(core._lsp_answer(i), core._lsp_answer(i) + core._lsp_answer_length(i));
    postMessage({ lsp: utf8.decode(body) });
  }
  core._lsp_clear_answers();
}

function drain() {
  while (waiting.length > 0) {
    const body = waiting.shift();
    const bytes = new TextEncoder().encode(body);
    withBytes(bytes, (data, size) => core._lsp_handle(data, size));
    sendAnswers();
  }
  core._lsp_publish_due();
  sendAnswers();
  draining = false;
}

onmessage = async (event) => {
  let { data } = event;
  core = await corePromise;
  if (data.notify !== undefined) {
    // The texts come as bytes, in the order the page took them.
    const { method, params, pieces } = data.notify;
    const texts = [params.textDocument, ...(params.contentChanges ?? [])].filter((t) => typeof t?.text === 'string');
    texts.forEach((t, i) => { t.text = pieces[i].map((piece) => utf8.decode(piece)).join(''); });
    data = { lsp: JSON.stringify({ jsonrpc: '2.0', method, params }) };
  }
  if (data.lsp !== undefined) {
    waiting.push(data.lsp);
    // Messages that came meanwhile are taken before anything is published.
    if (!draining) {
      draining = true;
      setTimeout(drain, 0);
    }
    return;
  }
  try {
    const result = await calls[data.call](...data.args);
    const transfer = ['output', 'bytes', 'starts', 'tokens'].map((part) => result?.[part]?.buffer).filter(Boolean);
    for (const piece of result?.pieces ?? []) transfer.push(piece.buffer);
    postMessage({ id: data.id, result }, transfer);
  } catch (failure) {
    postMessage({ id: data.id, error: String(failure && failure.message ? failure.message : failure) });
  }
};
