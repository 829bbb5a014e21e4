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
      const id = nextId++;
      return new Promise((resolve, reject) => {
        pending.set(id, { resolve, reject });
        worker.postMessage({ id, call: name, args });
      });
    },
    transport: {
      send: (message) => worker.postMessage({ lsp: message }),
      subscribe: (handler) => lspHandlers.push(handler),
      unsubscribe: (handler) => lspHandlers.splice(lspHandlers.indexOf(handler) >>> 0, 1),
    },
  };
}
