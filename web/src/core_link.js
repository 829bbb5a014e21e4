import { encodeInPieces } from './pieces.js';

// The page's way to its worker, which holds the core and the language
// server: calls of the core as promises, and the server's messages as the
// LSP client's transport.

// The worker's script is in the page itself (an element of type
// text/plain), so that the page works offline as one file.
export function startWorker() {
  const source = document.getElementById('worker-source').textContent;
  const worker = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
  const pending = new Map();
  const lspHandlers = [];
  let nextId = 1;
  // What goes to the worker goes in the order it was sent, a notification
  // still being encoded holding back what comes after it.
  let sent = Promise.resolve();
  const later = (send) => { sent = sent.then(send); };
  worker.onmessage = ({ data }) => {
    if (data.lsp !== undefined) {
      for (const handler of lspHandlers) handler(data.lsp);
      return;
    }
    const call = pending.get(data.id);
    pending.delete(data.id);
    if (data.error !== undefined) call.reject(new Error(data.error));
    else call.resolve(data.result);
  };
  return {
    // Runs one of the core's calls in the worker; byte arrays go as copies.
    call(name, ...args) {
      return this.callHandingOver(name, [], ...args);
    },
    // The same, the buffers given handed over to the worker, not copied.
    callHandingOver(name, buffers, ...args) {
      const id = nextId++;
      return new Promise((resolve, reject) => {
        pending.set(id, { resolve, reject });
        worker.postMessage({ id, call: name, args }, buffers);
      });
    },
    transport: {
      send: (message) => later(() => worker.postMessage({ lsp: message })),
      // A notification of the document's text: its texts go as UTF-8
      // bytes handed over whole, encoded a piece at a time between other
      // work, so that a text of many megabytes never holds the page up.
      notify: (method, params) => later(async () => {
        const texts = [params.textDocument, ...(params.contentChanges ?? [])].filter((t) => typeof t?.text === 'string');
        const pieces = [];
        for (const { text } of texts) pieces.push(await encodeInPieces(text));
        texts.forEach((t) => { t.text = ''; });
        worker.postMessage({ notify: { method, params, pieces } }, pieces.flat().map((b) => b.buffer));
      }),
      subscribe: (handler) => lspHandlers.push(handler),
      unsubscribe: (handler) => lspHandlers.splice(lspHandlers.indexOf(handler) >>> 0, 1),
    },
  };
}
