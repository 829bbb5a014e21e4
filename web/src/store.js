// What the page keeps across reloads, in the browser's IndexedDB, which
// holds texts of any size the browser will hold: the editor's text (with
// its history while that is of ordinary size), the listing's file name and
// the file it was opened from. Other tabs of the page are told of each
// keeping, so that no tab overwrites another's text unseen.

const DATABASE = 'morvane';
const STORE = 'kept';
const KEY = location.pathname;
// What the page kept before, in local storage: read once, never removed.
const OLD_KEY = 'morvane:listing:' + location.pathname;

function openDatabase() {
  return new Promise((resolve, reject) => {
    const request = indexedDB.open(DATABASE, 1);
    request.onupgradeneeded = () => request.result.createObjectStore(STORE);
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
}

function inStore(database, mode, work) {
  return new Promise((resolve, reject) => {
    const transaction = database.transaction(STORE, mode);
    const request = work(transaction.objectStore(STORE));
    transaction.oncomplete = () => resolve(request.result);
    transaction.onerror = () => reject(transaction.error);
    transaction.onabort = () => reject(transaction.error);
  });
}

export async function openStore({ onOtherTab }) {
  const tab = Math.random().toString(36).slice(2);
  const channel = typeof BroadcastChannel === 'function' ? new BroadcastChannel('morvane:' + KEY) : null;
  if (channel) channel.onmessage = ({ data }) => { if (data.kept && data.tab !== tab) onOtherTab(); };
  let database = null;
  try { database = await openDatabase(); } catch { /* kept nothing: the page still works */ }
  return {
    async load() {
      let kept = null;
      if (database) kept = await inStore(database, 'readonly', (store) => store.get(KEY)).catch(() => null);
      if (kept) return kept;
      try {
        const text = localStorage.getItem(OLD_KEY);
        return text === null ? null : { text };
      } catch { return null; }
    },
    // True once kept; false if the browser would not keep it.
    async keep(record) {
      if (!database) return false;
      try {
        await inStore(database, 'readwrite', (store) => store.put(record, KEY));
      } catch { return false; }
      if (channel) channel.postMessage({ kept: true, tab });
      return true;
    },
  };
}
