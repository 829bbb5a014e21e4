// Drives morvane-lsp as VS Code does, through vscode-jsonrpc and
// vscode-languageserver-protocol: a session over pipes that tries every
// request the server offers, its robustness and its speed, and holds its
// diagnostics and its renumbering to morvane-check's and morvane-renum's.
// usage: node session.mjs BUILD_DIR SOURCE_DIR
import { execFileSync, spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import protocol from 'vscode-languageserver-protocol/node.js';

const { createProtocolConnection, StreamMessageReader, StreamMessageWriter } = protocol;
const [build, source] = process.argv.slice(2);
const work = mkdtempSync(join(tmpdir(), 'morvane-lsp-'));
let checks = 0, failures = 0;

function check(condition, what) {
  checks++;
  if (!condition) {
    failures++;
    console.log(`FAILED: ${what}`);
  }
}

function start() {
  const server = spawn(join(build, 'morvane-lsp'), ['--stdio'], { stdio: ['pipe', 'pipe', 'inherit'] });
  const connection = createProtocolConnection(new StreamMessageReader(server.stdout),
                                              new StreamMessageWriter(server.stdin));
  const published = [];
  const waiting = [];
  connection.onNotification('textDocument/publishDiagnostics', (params) => {
    published.push({ ...params, at: performance.now() });
    for (const w of waiting.splice(0)) w();
  });
  const shown = [];
  connection.onNotification('window/showMessage', (params) => shown.push(params));
  const edits = [];
  connection.onRequest('workspace/applyEdit', (params) => {
    edits.push(params.edit);
    return { applied: true };
  });
  connection.listen();
  const exited = new Promise((resolve) => server.on('exit', (code) => resolve(code)));
  // The diagnostics published for uri at that version, once they come.
  async function diagnostics(uri, version) {
    for (;;) {
      const found = published.find((p) => p.uri === uri && p.version === version);
      if (found) return found;
      await new Promise((resolve) => waiting.push(resolve));
    }
  }
  return { server, connection, published, shown, edits, exited, diagnostics };
}

const initializeParams = (encodings) => ({
  processId: process.pid, rootUri: null,
  capabilities: { general: { positionEncodings: encodings } },
});

async function errorCode(promise) {
  try {
    await promise;
    return 0;
  } catch (error) {
    return error.code;
  }
}

// morvane-check's lines for the text, and the diagnostics as such lines.
function checked(text) {
  const path = join(work, 'listing.bas');
  writeFileSync(path, text);
  try {
    return execFileSync(join(build, 'morvane-check'), ['--encoding=utf-8', path]).toString();
  } catch (failure) {
    return failure.stdout.toString();
  }
}
function printed(diagnostics) {
  const path = join(work, 'listing.bas');
  return diagnostics.map((d) => `${path}:${d.range.start.line + 1}:${d.range.start.character + 1}: ` +
    `${d.severity === 1 ? 'error' : 'warning'}: ${d.message} [${d.code}]\n`).join('');
}

const open = (connection, uri, text, version = 1) => connection.sendNotification(
  'textDocument/didOpen', { textDocument: { uri, languageId: 'morvane-basic', version, text } });
const change = (connection, uri, version, changes) => connection.sendNotification(
  'textDocument/didChange', { textDocument: { uri, version }, contentChanges: changes });
const at = (uri, line, character) => ({ textDocument: { uri }, position: { line, character } });

async function session() {
  const { server, connection, shown, edits, exited, diagnostics } = start();
  check(await errorCode(connection.sendRequest('textDocument/hover', at('file:///x', 0, 0))) === -32002,
        'a request before initialize is refused with -32002');
  const initialized = await connection.sendRequest('initialize', initializeParams(['utf-16']));
  const capabilities = initialized.capabilities;
  check(capabilities.positionEncoding === 'utf-16', 'positions in UTF-16');
  check(capabilities.textDocumentSync.change === 2, 'incremental text sync');
  const legend = capabilities.semanticTokensProvider.legend.tokenTypes;
  for (const type of ['keyword', 'operator', 'string', 'comment', 'number', 'variable'])
    check(legend.includes(type), `the legend holds ${type}`);
  check(capabilities.semanticTokensProvider.legend.tokenModifiers.join() === 'declaration,reference',
        'line numbers told apart by the modifiers declaration and reference');
  check(capabilities.semanticTokensProvider.full && capabilities.semanticTokensProvider.range,
        'semantic tokens full and range');
  for (const provider of ['definitionProvider', 'referencesProvider', 'hoverProvider',
                          'documentSymbolProvider', 'renameProvider', 'completionProvider',
                          'codeActionProvider'])
    check(Boolean(capabilities[provider]), provider);
  check(capabilities.executeCommandProvider.commands.includes('morvane.renumber'), 'morvane.renumber');
  connection.sendNotification('initialized', {});

  // Diagnostics: morvane-check's findings, on the examples listed as UTF-8 and on a listing of mistakes.
  const listings = ['10 SCORE=1:GOTO 99\n5 PRINT "今"\n10 PREMIUM=2\n@a\n@a\n'];
  for (const example of ['hello', 'guess', 'nihongo']) {
    const image = join(work, `${example}.img`), listed = join(work, `${example}.bas`);
    execFileSync(join(build, 'morvane'), [join(source, 'examples', `${example}.bas`), image]);
    execFileSync(join(build, 'morvane-list'), ['--encoding=utf-8', image, listed]);
    listings.push(readFileSync(listed, 'utf8'));
  }
  for (const [i, text] of listings.entries()) {
    open(connection, `file:///${i}.bas`, text);
    const got = await diagnostics(`file:///${i}.bas`, 1);
    check(printed(got.diagnostics) === checked(text), `diagnostics of listing ${i} are morvane-check's`);
  }

  // The features, on one program.
  const uri = 'file:///game.bas';
  const program = '10 SCORE=1:GOSUB 100\n20 PRINT "FOR":GOTO @top\n@top\n90 REM board\n100 RETURN\n';
  open(connection, uri, program);
  await diagnostics(uri, 1);
  const tokens = await connection.sendRequest('textDocument/semanticTokens/full', { textDocument: { uri } });
  const kinds = [];
  for (let i = 0, line = 0, character = 0; i < tokens.data.length; i += 5) {
    line += tokens.data[i];
    character = tokens.data[i] === 0 ? character + tokens.data[i + 1] : tokens.data[i + 1];
    const text = program.split('\n')[line].substr(character, tokens.data[i + 2]);
    kinds.push(`${text}:${legend[tokens.data[i + 3]]}`);
  }
  check(kinds.slice(0, 4).join(' ') === '10:number SC:variable OR:keyword E:variable',
        `SCORE is read as S C OR E: ${kinds.slice(0, 4)}`);
  check(kinds.includes('"FOR":string') && !kinds.includes('FOR:keyword'), 'nothing in a string is a keyword');
  const ranged = await connection.sendRequest('textDocument/semanticTokens/range',
    { textDocument: { uri }, range: { start: { line: 1, character: 0 }, end: { line: 2, character: 0 } } });
  check(ranged.data.length === 5 * 5 && ranged.data[0] === 1, 'the tokens of a range');
  const definition = await connection.sendRequest('textDocument/definition', at(uri, 0, 18));
  check(definition?.range.start.line === 4, 'GOSUB 100 goes to line 100');
  const label = await connection.sendRequest('textDocument/definition', at(uri, 1, 22));
  check(label?.range.start.line === 2, 'GOTO @top goes to @top');
  const references = await connection.sendRequest('textDocument/references',
    { ...at(uri, 4, 1), context: { includeDeclaration: true } });
  check(references.length === 2, 'line 100 and the GOSUB that names it');
  const hover = await connection.sendRequest('textDocument/hover', at(uri, 0, 12));
  check(hover.contents.value.includes('0x8C'), 'hover gives GOSUB\'s token 0x8C');
  const record = await connection.sendRequest('textDocument/hover', at(uri, 4, 0));
  check(record.contents.value.includes('FF FF 64 00 8D 00'), 'hover gives line 100\'s record');
  const symbols = await connection.sendRequest('textDocument/documentSymbol', { textDocument: { uri } });
  check(symbols.map((s) => s.name).join('|') === '@top|100 board', `symbols ${symbols.map((s) => s.name)}`);
  const renamed = await connection.sendRequest('textDocument/rename', { ...at(uri, 2, 1), newName: 'start' });
  check(renamed.changes[uri].length === 2 && renamed.changes[uri].every((e) => e.newText === '@start'),
        'the label is renamed where it is named and where it labels');
  const completion = await connection.sendRequest('textDocument/completion', at(uri, 1, 20));
  check(completion.items.some((i) => i.label === '100') && completion.items.some((i) => i.label === '@top'),
        'after GOTO the lines and labels are offered');
  const keywords = await connection.sendRequest('textDocument/completion', at(uri, 0, 0));
  check(keywords.items.some((i) => i.label === 'PRINT'), 'elsewhere the keywords');
  const actions = await connection.sendRequest('textDocument/codeAction',
    { textDocument: { uri }, range: { start: { line: 0, character: 4 }, end: { line: 0, character: 4 } },
      context: { diagnostics: [] } });
  check(actions.some((a) => a.title === 'Put spaces around the keyword'), 'a fix for SCORE');
  check(await connection.sendRequest('textDocument/hover', at(uri, 999, 999)) === null,
        'a position outside the document is no error');
  check(await errorCode(connection.sendRequest('no/such/method', {})) === -32601, 'an unknown method');

  // The renumbering: morvane-renum's output, as one edit.
  await connection.sendRequest('workspace/executeCommand',
    { command: 'morvane.renumber', arguments: [uri, 1000, 5] });
  writeFileSync(join(work, 'game.bas'), program);
  execFileSync(join(build, 'morvane-renum'), ['--start', '1000', '--step', '5', join(work, 'game.bas'),
                                              join(work, 'renumbered.bas')]);
  check(edits.length === 1 && edits[0].changes[uri][0].newText ===
        readFileSync(join(work, 'renumbered.bas'), 'utf8'), 'the edit is morvane-renum\'s output');
  const refused = 'file:///refused.bas';
  open(connection, refused, '10 GOTO @nowhere\n');
  await diagnostics(refused, 1);
  await connection.sendRequest('workspace/executeCommand',
    { command: 'morvane.renumber', arguments: [refused, 10, 10] });
  check(shown.length === 1 && shown[0].type === 1, 'a refusal is shown as a message');

  // Changes faster than checks: checked once they stop, each diagnostic of the last text.
  const typed = 'file:///typed.bas';
  open(connection, typed, '10 PRINT\n');
  await diagnostics(typed, 1);
  for (let version = 2; version <= 201; version++)
    change(connection, typed, version, [{ range: { start: { line: 1, character: 0 }, end: { line: 1, character: 0 } },
                                         text: version === 201 ? '20 GOTO 30' : '' }]);
  const last = await diagnostics(typed, 201);
  check(last.diagnostics.length === 1 && last.diagnostics[0].code === 'missing-target',
        'the diagnostics of the last change');

  // A message that is not JSON is answered, and the session goes on.
  server.stdin.write('Content-Length: 5\r\n\r\n{"id"');
  check((await connection.sendRequest('textDocument/hover', at(uri, 0, 12))) !== null, 'the session goes on');

  // A 2 MB document: how long a check and the tokens take.
  let big = '';
  for (let n = 1; big.length < 2 * 1024 * 1024; n++) big += `${n} PRINT "ア";A:GOSUB ${n + 1}:REM ガ\n`;
  const large = 'file:///large.bas';
  let started = performance.now();
  open(connection, large, big);
  let done = await diagnostics(large, 1);
  const opened = done.at - started;
  started = performance.now();
  change(connection, large, 2, [{ range: { start: { line: 5, character: 0 }, end: { line: 5, character: 0 } },
                                  text: 'X' }]);
  done = await diagnostics(large, 2);
  const changed = done.at - started;
  started = performance.now();
  const largeTokens = await connection.sendRequest('textDocument/semanticTokens/full',
                                                   { textDocument: { uri: large } });
  const tokened = performance.now() - started;
  console.log(`2 MB document: diagnostics ${opened.toFixed(0)} ms after opening, ` +
              `${changed.toFixed(0)} ms after a change; full semantic tokens ${tokened.toFixed(0)} ms`);
  check(largeTokens.data.length > 0 && changed < 2000 && tokened < 2000, 'a 2 MB document is served');

  await connection.sendRequest('shutdown');
  connection.sendNotification('exit');
  check((await exited) === 0, 'shutdown then exit ends with status 0');
  connection.dispose();
}

async function exitWithoutShutdown() {
  const { connection, exited } = start();
  await connection.sendRequest('initialize', initializeParams(['utf-8', 'utf-16']))
    .then((r) => check(r.capabilities.positionEncoding === 'utf-8', 'UTF-8 when the client lists it first'));
  connection.sendNotification('exit');
  check((await exited) === 1, 'exit without shutdown ends with status 1');
  connection.dispose();
}

try {
  await session();
  await exitWithoutShutdown();
} finally {
  rmSync(work, { recursive: true, force: true });
}
console.log(`${checks} checks, ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
