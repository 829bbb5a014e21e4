// A text of many megabytes as UTF-8 in pieces, encoded one piece a task,
// so that the page's thread is never held up long: for the worker and for
// what the page keeps across reloads.

// Encodes this much of a text at a time.
const PIECE = 1 << 20;
const pause = () => (globalThis.scheduler?.yield ? globalThis.scheduler.yield() : new Promise((go) => setTimeout(go)));

// text: a string, or the editor's document, whose pieces are cut from it
// without the whole ever being one string.
export async function encodeInPieces(text) {
  const slice = typeof text === 'string' ? (from, to) => text.slice(from, to) : (from, to) => text.sliceString(from, to);
  const encoder = new TextEncoder();
  const pieces = [];
  for (let from = 0; from < text.length;) {
    let piece = slice(from, Math.min(text.length, from + PIECE));
    // A piece never ends inside a character's surrogate pair.
    if (from + piece.length < text.length && (piece.charCodeAt(piece.length - 1) & 0xfc00) === 0xd800) piece = piece.slice(0, -1);
    pieces.push(encoder.encode(piece));
    from += piece.length;
    if (from < text.length) await pause();
  }
  return pieces;
}

export function decodePieces(pieces) {
  const decoder = new TextDecoder('utf-8');
  return pieces.map((piece) => decoder.decode(piece)).join('');
}
