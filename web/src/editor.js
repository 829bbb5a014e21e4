// The listing's editor: CodeMirror, with what the language server tells
// of the text (the scan's classes, the checker's findings, definitions,
// references, hover, completion, renaming) reaching it through the LSP client.
import { EditorState, Prec, StateEffect, StateField, RangeSetBuilder, Transaction } from '@codemirror/state';
import {
  EditorView, Decoration, ViewPlugin, keymap, lineNumbers, highlightActiveLine,
  highlightActiveLineGutter, highlightSpecialChars, drawSelection,
} from '@codemirror/view';
import { history, historyField, historyKeymap, defaultKeymap, isolateHistory } from '@codemirror/commands';
import { search, searchKeymap, highlightSelectionMatches } from '@codemirror/search';
import { autocompletion, completionKeymap } from '@codemirror/autocomplete';
import { lintGutter, lintKeymap, setDiagnostics } from '@codemirror/lint';
import {
  LSPClient, LSPPlugin, serverCompletion, hoverTooltips, jumpToDefinitionKeymap,
  findReferencesKeymap, renameKeymap,
} from '@codemirror/lsp-client';

// The server's semantic token types and modifiers, as its legend names
// them, to the page's classes: each stretch the scan tells is shown in one.
function classOf(type, modifiers) {
  switch (type) {
    case 'keyword': case 'operator': return 'mv-keyword';
    case 'string': return 'mv-string';
    case 'comment': return 'mv-remark';
    case 'variable': return 'mv-name';
    case 'function': return 'mv-label';
    case 'number':
      if (modifiers.includes('declaration')) return 'mv-line-number';
      return modifiers.includes('reference') ? 'mv-reference' : 'mv-number';
    default: return null;
  }
}

const setTokens = StateEffect.define();

// The classes of the stretches in view, moved along with edits until the
// server's next answer replaces them.
const tokenMarks = StateField.define({
  create: () => Decoration.none,
  update(marks, transaction) {
    marks = marks.map(transaction.changes);
    for (const effect of transaction.effects) if (effect.is(setTokens)) marks = effect.value;
    return marks;
  },
  provide: (field) => EditorView.decorations.from(field),
});

// One mark a class, and the class of each mark.
const markCache = new Map();
const classOfMark = new Map();
const markOf = (className) => {
  if (!markCache.has(className)) {
    const mark = Decoration.mark({ class: className });
    markCache.set(className, mark);
    classOfMark.set(mark, className);
  }
  return markCache.get(className);
};

// Reads the server's tokens (five numbers each, relative to the one
// before) of the document it has into marks of the document as it stands.
function tokensToMarks(data, legend, plugin) {
  const builder = new RangeSetBuilder();
  const synced = plugin.syncedDoc;
  const changes = plugin.unsyncedChanges;
  let line = 0;
  let character = 0;
  for (let i = 0; i < data.length; i += 5) {
    line += data[i];
    character = data[i] === 0 ? character + data[i + 1] : data[i + 1];
    if (line >= synced.lines) break;
    const className = classOf(legend.tokenTypes[data[i + 3]],
      legend.tokenModifiers.filter((_, bit) => data[i + 4] & (1 << bit)));
    if (!className) continue;
    const start = synced.line(line + 1).from + character;
    const from = changes.mapPos(start, 1);
    const to = changes.mapPos(start + data[i + 2], -1);
    if (to > from) builder.add(from, to, markOf(className));
  }
  return builder.finish();
}

// Asks for the tokens of the part in view once the text or the view has
// settled, the text synchronised first.
const semanticHighlighting = ViewPlugin.fromClass(class {
  constructor(view) {
    this.view = view;
    this.timer = -1;
    this.asked = 0;
    this.schedule(0);
  }

  update(update) {
    if (update.docChanged || update.viewportChanged) this.schedule(update.docChanged ? SYNC_DELAY : 30);
  }

  schedule(delay) {
    clearTimeout(this.timer);
    this.timer = setTimeout(() => this.ask(), delay);
  }

  async ask() {
    const plugin = LSPPlugin.get(this.view);
    if (!plugin) return;
    await plugin.client.initializing;
    plugin.client.sync();
    const asked = ++this.asked;
    const { from, to } = this.view.viewport;
    const doc = plugin.syncedDoc;
    const range = { start: plugin.toPosition(from, doc), end: plugin.toPosition(Math.min(to + 1, doc.length), doc) };
    let tokens;
    try {
      tokens = await plugin.client.request('textDocument/semanticTokens/range', { textDocument: { uri: plugin.uri }, range });
    } catch { return; /* the next change asks again */ }
    // An answer to an older question, or for a text changed since it was asked, waits for the next.
    if (asked !== this.asked || plugin.syncedDoc !== doc || !tokens) return;
    const legend = plugin.client.serverCapabilities.semanticTokensProvider.legend;
    this.view.dispatch({ effects: setTokens.of(tokensToMarks(tokens.data, legend, plugin)) });
  }

  destroy() {
    clearTimeout(this.timer);
  }
});

// How soon after typing stops the server hears of it: soon enough for the
// findings to follow at once, late enough that a burst is sent as one.
const SYNC_DELAY = 60;

const autoSync = ViewPlugin.fromClass(class {
  constructor() { this.timer = -1; }
  update(update) {
    if (!update.docChanged) return;
    clearTimeout(this.timer);
    this.timer = setTimeout(() => LSPPlugin.get(update.view)?.client.sync(), SYNC_DELAY);
  }
  destroy() { clearTimeout(this.timer); }
});

// The checker's column of a place: characters, not UTF-16 units, from 1.
function checkerColumn(doc, position) {
  const text = doc.line(position.line + 1).text.slice(0, position.character);
  let column = 1;
  for (let i = 0; i < text.length; i++, column++) if (text.charCodeAt(i) >= 0xd800 && text.charCodeAt(i) < 0xdc00) i++;
  return column;
}

// Findings as the server publishes them: squiggles in the text, and the
// list the page shows, in the checker's own terms.
function diagnosticsHandler(onFindings) {
  return (client, params) => {
    const file = client.workspace.getFile(params.uri);
    const view = file?.getView();
    const plugin = view && LSPPlugin.get(view);
    if (!plugin || (params.version != null && params.version !== file.version)) return true;
    const doc = plugin.syncedDoc;
    const findings = params.diagnostics.map((item) => {
      const line = Math.min(item.range.start.line, doc.lines - 1);
      const start = { line, character: line === item.range.start.line ? item.range.start.character : 0 };
      return {
        from: plugin.unsyncedChanges.mapPos(plugin.fromPosition(start, doc)),
        to: plugin.unsyncedChanges.mapPos(plugin.fromPosition(item.range.end, doc)),
        severity: item.severity === 2 ? 'warning' : 'error',
        message: `${item.message} [${item.code}]`,
        finding: {
          line: line + 1,
          column: checkerColumn(doc, start),
          severity: item.severity === 2 ? 'warning' : 'error',
          name: item.code,
          message: item.message,
        },
      };
    });
    view.dispatch(setDiagnostics(view.state, findings));
    onFindings(findings.map((f) => f.finding), plugin.unsyncedChanges.empty);
    return true;
  };
}

// The editor's colours come from the page's, so that the dark scheme
// and forced colours reach it too.
const theme = EditorView.theme({
  '&': { color: 'var(--text)', backgroundColor: 'var(--editor-background)', border: '1px solid var(--border)' },
  '.cm-content': { fontFamily: 'ui-monospace, monospace', caretColor: 'var(--text)' },
  '.cm-gutters': { backgroundColor: 'var(--gutter)', color: 'var(--muted)', borderRight: '1px solid var(--border)' },
  '.cm-activeLine': { backgroundColor: 'var(--active-line)' },
  '.cm-activeLineGutter': { backgroundColor: 'var(--active-line)' },
  '&.cm-focused': { outline: '3px solid var(--focus)', outlineOffset: '2px' },
  '&.cm-focused .cm-cursor': { borderLeftColor: 'var(--text)' },
  '.cm-scroller': { lineHeight: '1.4' },
  '.cm-panels': { backgroundColor: 'var(--gutter)', color: 'var(--text)' },
  '.cm-tooltip': { backgroundColor: 'var(--editor-background)', color: 'var(--text)', border: '1px solid var(--border)' },
});

// The BASIC line number of the text line at pos, as the scan told it
// (-1 where the line has none, or its classes have not come yet).
export function lineNumberAt(state, pos) {
  const line = state.doc.lineAt(pos);
  let number = -1;
  state.field(tokenMarks).between(line.from, line.to, (from, to, mark) => {
    if (classOfMark.get(mark) !== 'mv-line-number') return undefined;
    number = Number(state.doc.sliceString(from, to)) % 65536;
    return false;
  });
  return number;
}

// The state to keep across reloads, its history with it.
export const keptState = (view) => view.state.toJSON({ history: historyField });

// The client, with one difference: a notification goes to the transport
// as its method and parameters, not as JSON, so that a document's text of
// many megabytes is made JSON in the worker, not on the page's thread.
class WorkerClient extends LSPClient {
  notification(method, params) {
    if (!this.transport) return;
    this.initializing.then(() => this.transport.notify(method, params));
  }
}

// The client and the editor for one document; onFindings(findings,
// current) hears each publication, current when no change waits unsent.
// kept: a state kept by keptState, restored with its history.
export function createEditor({ parent, transport, uri, text, kept, onFindings, keys = [], extensions = [] }) {
  const client = new WorkerClient({
    timeout: 60000,
    extensions: [serverCompletion(), hoverTooltips()],
    notificationHandlers: { 'textDocument/publishDiagnostics': diagnosticsHandler(onFindings) },
  }).connect(transport);
  const configuration = {
      extensions: [
        Prec.highest(keymap.of(keys)),
        // One text line is one line of the listing, ended by a line feed
        // alone: a carriage return stays in the text, as it is in the file.
        EditorState.lineSeparator.of('\n'),
        lineNumbers(), highlightActiveLineGutter(), highlightSpecialChars(), history(), drawSelection(),
        highlightActiveLine(), highlightSelectionMatches(), search({ top: true }), autocompletion(), lintGutter(),
        keymap.of([...defaultKeymap, ...historyKeymap, ...searchKeymap, ...completionKeymap, ...lintKeymap,
          ...jumpToDefinitionKeymap, ...findReferencesKeymap, ...renameKeymap]),
        theme, client.plugin(uri, 'morvane-basic'), tokenMarks, semanticHighlighting, autoSync, ...extensions,
      ],
  };
  let state = null;
  if (kept) try { state = EditorState.fromJSON(kept, configuration, { history: historyField }); } catch { /* kept by another version */ }
  const view = new EditorView({ parent, state: state ?? EditorState.create({ doc: text, ...configuration }) });
  return { view, client };
}

// Replaces the text as one step of the editor's history, which undo
// takes back alone: only the stretch that differs is replaced, so that the
// caret and what is in view stay where they were.
export function replaceText(view, text, userEvent) {
  const old = view.state.doc.toString();
  let start = 0;
  const shorter = Math.min(old.length, text.length);
  while (start < shorter && old.charCodeAt(start) === text.charCodeAt(start)) start++;
  let end = 0;
  while (end < shorter - start && old.charCodeAt(old.length - 1 - end) === text.charCodeAt(text.length - 1 - end)) end++;
  // Most of it new (a file opened): the whole is replaced, no copy made.
  if (text.length - start - end > text.length / 2) [start, end] = [0, 0];
  view.dispatch({
    changes: { from: start, to: old.length - end, insert: text.slice(start, text.length - end) },
    annotations: [isolateHistory.of('full'), Transaction.userEvent.of(userEvent)],
  });
}
