// What the page keeps across reloads: the editor's text (with its history
// while that is of ordinary size), the listing's file name and the file it
// was opened from. The worker writes it to the browser's IndexedDB, which
// holds texts of any size the browser will hold, so that writing many
// megabytes never holds the page up. Other tabs of the page are told of
// each keeping, so that no tab overwrites another's text unseen.

// What the page kept before, in local storage: read once, never removed.
const OLD_KEY = 'morvane:listing:' + location.pathname;

// Each keeping is told to the other tabs through local storage's events,
// which reach every tab of a page opened from a file.
const TOLD_KEY = 'morvane:kept:' + location.pathname;

export function openStore({ core, onOtherTab }) {
  const tab = Math.random().toString(36).slice(2);
  window.addEventListener('storage', (event) => {
    if (event.key === TOLD_KEY && event.newValue && !event.newValue.startsWith(tab + ' ')) onOtherTab();
  });
  return {
    async load() {
      const kept = await core.call('load', location.pathname).catch(() => null);
      if (kept) return kept;
      try {
        const text = localStorage.getItem(OLD_KEY);
        return text === null ? null : { text };
      } catch { return null; }
    },
    // True once kept; false if the browser would not keep it. The
    // record's pieces are handed over to the worker.
    async keep(record) {
      const kept = await core.callHandingOver('keep', record.pieces.map((p) => p.buffer), location.pathname, record)
        .catch(() => false);
      if (kept) try { localStorage.setItem(TOLD_KEY, `${tab} ${Date.now()}`); } catch { /* no other tab hears */ }
      return kept;
    },
  };
}
