// The image byte by byte: each byte coloured by what it is (the header, a
// record's head, a token, text, a record's end, the trailer), the record of
// the caret's line highlighted, and what the byte focused or tapped is,
// said in a line under the dump. Only the rows in view are built.
/* global HEADER_LENGTH, RECORD_HEAD_LENGTH */

const KIND_NAMES = ['header', 'head', 'token', 'text', 'end', 'trailer'];
const [HEADER, HEAD, TOKEN, TEXT, END, TRAILER] = KIND_NAMES.keys();

// An image with where its records start and which of their bytes are
// tokens, as the worker read them.
export function describeImage(bytes, starts, tokens) {
  const recordOf = new Map();
  for (const start of starts) {
    const line = bytes[start + 2] | (bytes[start + 3] << 8);
    if (!recordOf.has(line)) recordOf.set(line, start);
  }
  const last = starts.length > 0 ? starts[starts.length - 1] : -1;
  const recordsEnd = last < 0 ? HEADER_LENGTH : bytes.indexOf(0, last + RECORD_HEAD_LENGTH) + 1;
  return { bytes, tokens, starts, recordsEnd, recordOf, records: starts.length };
}

// The kind of the byte at an offset, the BASIC line of its record (-1
// outside records) and its place in the record.
function byteAt(image, at) {
  if (at < HEADER_LENGTH) return { kind: HEADER, line: -1, place: at };
  if (at >= image.recordsEnd) return { kind: TRAILER, line: -1, place: at - image.recordsEnd };
  let low = 0;
  let high = image.starts.length - 1;
  while (low < high) {
    const middle = (low + high + 1) >> 1;
    if (image.starts[middle] <= at) low = middle; else high = middle - 1;
  }
  const start = image.starts[low];
  const line = image.bytes[start + 2] | (image.bytes[start + 3] << 8);
  const place = at - start;
  let kind = TEXT;
  if (place < RECORD_HEAD_LENGTH) kind = HEAD;
  // A record ends at its first 0x00 after the head.
  else if (image.bytes[at] === 0) kind = END;
  else if (image.tokens[at]) kind = TOKEN;
  return { kind, line, place };
}

export function byteMeaning(image, at, tokenNames) {
  const b = image.bytes[at];
  const { kind, line, place } = byteAt(image, at);
  const hex = `0x${b.toString(16).padStart(2, '0').toUpperCase()}`;
  const where = `byte ${at} (${hex}): `;
  switch (kind) {
    case HEADER: return where + 'header';
    case TRAILER: return where + 'trailer';
    case END: return where + `end of line ${line}`;
    case TOKEN: return where + `token ${tokenNames[b]} (line ${line})`;
    case HEAD: return where + (place < 2 ? `start of line ${line}` : `line number ${line}, ${place === 2 ? 'low' : 'high'} byte`);
    default: {
      const shown = b >= 0x20 && b < 0x7f ? ` '${String.fromCharCode(b)}'` : '';
      return where + `character ${hex}${shown} (line ${line})`;
    }
  }
}

// Browsers draw no element taller than about 33 million pixels: a taller
// dump is scrolled through in proportion instead of row by row.
const TALLEST_ROOM = 8000000;

export function createHexDump({ box, meaning, tokenNames }) {
  let image = null;
  let currentLine = -1;
  let focused = -1;
  let rowHeight = 0;
  let bytesARow = 16;

  // 16 bytes a row where a whole row of 16 fits, else 8.
  function measure() {
    const probe = document.createElement('div');
    probe.className = 'hex-rows';
    probe.style.position = 'absolute';
    probe.style.visibility = 'hidden';
    probe.textContent = 'x'.repeat(10 + 16 * 4 + 1);
    box.replaceChildren(probe);
    const wide = probe.getBoundingClientRect().width;
    rowHeight = probe.getBoundingClientRect().height || 20;
    bytesARow = wide <= box.clientWidth ? 16 : 8;
  }

  function scale(rows) {
    const full = rows * rowHeight;
    if (full <= TALLEST_ROOM) return { room: full, rowAt: (top) => top / rowHeight, topOf: (row) => row * rowHeight };
    const perPixel = Math.max(0, rows - box.clientHeight / rowHeight) / (TALLEST_ROOM - box.clientHeight);
    return { room: TALLEST_ROOM, rowAt: (top) => top * perPixel, topOf: (row) => row / perPixel };
  }

  function row(at) {
    const element = document.createElement('div');
    element.className = 'hex-row';
    const offset = document.createElement('span');
    offset.className = 'offset';
    offset.textContent = at.toString(16).padStart(8, '0') + ': ';
    element.append(offset);
    let text = ' ';
    for (let i = 0; i < bytesARow; i++) {
      if (at + i >= image.bytes.length) { element.append('   '); continue; }
      const b = image.bytes[at + i];
      const byte = document.createElement('span');
      const described = byteAt(image, at + i);
      const kind = KIND_NAMES[described.kind];
      byte.className = 'k-' + kind + (described.line === currentLine && currentLine >= 0 ? ' current' : '') +
        (at + i === focused ? ' focused' : '');
      byte.dataset.kind = kind;
      if (described.line >= 0) byte.dataset.line = described.line;
      byte.dataset.offset = at + i;
      byte.textContent = b.toString(16).padStart(2, '0');
      element.append(byte, ' ');
      text += b >= 0x20 && b < 0x7f ? String.fromCharCode(b) : '.';
    }
    element.append(text);
    return element;
  }

  function draw() {
    if (!image) { box.replaceChildren(); return; }
    if (!rowHeight) measure();
    const rows = Math.ceil(image.bytes.length / bytesARow);
    const { room: height, rowAt } = scale(rows);
    const inView = Math.ceil(box.clientHeight / rowHeight) + 1;
    const atTop = Math.floor(rowAt(box.scrollTop));
    const first = Math.max(0, atTop - 10);
    const last = Math.min(rows, atTop + inView + 10);
    const room = document.createElement('div');
    room.style.height = `${height}px`;
    const shown = document.createElement('div');
    shown.className = 'hex-rows';
    shown.style.top = `${box.scrollTop - (atTop - first) * rowHeight - (rowAt(box.scrollTop) - atTop) * rowHeight}px`;
    for (let r = first; r < last; r++) shown.append(row(r * bytesARow));
    room.append(shown);
    box.replaceChildren(room);
  }

  function scrollToOffset(at) {
    const rows = Math.ceil(image.bytes.length / bytesARow);
    const top = scale(rows).topOf(Math.floor(at / bytesARow));
    if (top < box.scrollTop || top > box.scrollTop + box.clientHeight - 2 * rowHeight) box.scrollTop = Math.max(0, top - rowHeight);
  }

  function focusByte(at) {
    if (!image) return;
    focused = Math.max(0, Math.min(image.bytes.length - 1, at));
    meaning.textContent = byteMeaning(image, focused, tokenNames());
    scrollToOffset(focused);
    draw();
  }

  let drawPending = false;
  box.addEventListener('scroll', () => {
    if (drawPending) return;
    drawPending = true;
    requestAnimationFrame(() => { drawPending = false; draw(); });
  });
  box.addEventListener('mouseover', (event) => {
    const at = event.target.dataset?.offset;
    if (at !== undefined && !event.target.title) event.target.title = byteMeaning(image, Number(at), tokenNames());
  });
  box.addEventListener('click', (event) => {
    const at = event.target.dataset?.offset;
    if (at !== undefined) focusByte(Number(at));
  });
  box.addEventListener('focus', () => { if (image && focused < 0) focusByte(0); });
  const moves = {
    ArrowRight: 1, ArrowLeft: -1, ArrowDown: () => bytesARow, ArrowUp: () => -bytesARow,
    PageDown: () => bytesARow * 8, PageUp: () => -bytesARow * 8,
  };
  box.addEventListener('keydown', (event) => {
    if (!image) return;
    let to = null;
    if (event.key in moves) {
      const step = moves[event.key];
      to = focused + (typeof step === 'function' ? step() : step);
    } else if (event.key === 'Home') to = event.ctrlKey ? 0 : focused - (focused % bytesARow);
    else if (event.key === 'End') to = event.ctrlKey ? image.bytes.length - 1 : focused - (focused % bytesARow) + bytesARow - 1;
    if (to === null) return;
    event.preventDefault();
    focusByte(to);
  });
  new ResizeObserver(() => {
    const before = bytesARow;
    measure();
    if (before !== bytesARow || image) draw();
  }).observe(box);

  return {
    get image() { return image; },
    get bytesARow() { return bytesARow; },
    show(next) {
      image = next;
      focused = -1;
      currentLine = -2;
      meaning.textContent = '';
      box.scrollTop = 0;
      draw();
    },
    // Highlights the record of a BASIC line and brings it into view.
    showLine(line) {
      if (!image || line === currentLine) return;
      currentLine = line;
      if (image.recordOf.has(line) && rowHeight) scrollToOffset(image.recordOf.get(line));
      draw();
    },
  };
}
