// Drives morvane.html in headless Chromium as a user would, and compares
// every image and listing it offers with what the command-line programs
// write for the same input. Any difference fails the test.
// usage: node web/browser_test.mjs PAGE MORVANE MORVANE_LIST SOURCE_DIR [SCREENSHOT_DIR]
// (morvane-check and morvane-renum are taken from MORVANE's folder; the
// screenshots for the README are written to SCREENSHOT_DIR when given)
import { chromium } from 'playwright-core';
import { createRequire } from 'node:module';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const [pagePath, morvane, morvaneList, sourceDir, screenshots] = process.argv.slice(2);
const morvaneCheck = path.join(path.dirname(morvane), 'morvane-check');
const morvaneRenum = path.join(path.dirname(morvane), 'morvane-renum');
const axePath = createRequire(import.meta.url).resolve('axe-core/axe.min.js');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'morvane-web-'));
let passed = 0;
let failed = 0;

function check(condition, what) {
  if (condition) passed++;
  else {
    failed++;
    console.log(`FAILED: ${what}`);
  }
}

// Runs a program in the work folder on a file there, naming both as a user
// in that folder would: status, message, output bytes.
function cli(program, input, outputName) {
  const output = path.join(work, outputName);
  fs.rmSync(output, { force: true });
  const run = spawnSync(path.resolve(program), [path.basename(input), outputName], { cwd: work });
  const produced = fs.existsSync(output) ? fs.readFileSync(output) : Buffer.alloc(0);
  fs.rmSync(output, { force: true });
  return { status: run.status, message: run.stderr.toString().trimEnd(), output: produced };
}

function copyIn(file) {
  const copy = path.join(work, path.basename(file));
  fs.copyFileSync(file, copy);
  return copy;
}

async function download(page, linkId) {
  const [event] = await Promise.all([page.waitForEvent('download'), page.click(`#${linkId}`)]);
  return { name: event.suggestedFilename(), bytes: fs.readFileSync(await event.path()) };
}

async function hasHref(page, linkId) {
  return page.$eval(`#${linkId}`, (link) => link.hasAttribute('href'));
}

async function freshPage(context) {
  const page = await context.newPage();
  page.on('request', (request) => {
    const url = request.url();
    check(/^(file|data|blob):/.test(url), `no network request (${url})`);
  });
  await page.goto('file://' + path.resolve(pagePath));
  return page;
}

// Opens a listing file in the page, converts it, and compares with morvane.
async function convertFile(context, file) {
  const listing = copyIn(file);
  const expected = cli(morvane, listing, 'expected.img');
  const page = await freshPage(context);
  await page.setInputFiles('#listing-file', listing);
  await page.waitForFunction(() => document.getElementById('listing-text').value !== '' || true);
  await page.click('#convert');
  const name = path.basename(file);
  if (expected.status === 0) {
    await page.waitForFunction(() => document.getElementById('image-download').hasAttribute('href'));
    const got = await download(page, 'image-download');
    check(Buffer.compare(got.bytes, expected.output) === 0, `image of ${name} equals the command line's`);
    check(got.name === name.replace(/\.[^.]*$/, '') + '.img', `download of ${name} is named ${got.name}`);
    check((await page.textContent('#convert-message')) === '', `no message for ${name}`);
  } else {
    await page.waitForFunction(() => document.getElementById('convert-message').textContent !== '');
    check((await page.textContent('#convert-message')) === expected.message, `message for ${name}: ${expected.message}`);
    check(!(await hasHref(page, 'image-download')), `no download after the failure of ${name}`);
  }
  await page.close();
}

// Types text into the page, converts it, and compares with morvane's image
// of the given Shift_JIS bytes (or its message).
async function convertTyped(context, text, shiftJis, what) {
  const listing = path.join(work, 'typed.bas');
  fs.writeFileSync(listing, shiftJis);
  const expected = cli(morvane, listing, 'typed.img');
  const page = await freshPage(context);
  await page.fill('#listing-text', text);
  await page.click('#convert');
  if (expected.status === 0) {
    await page.waitForFunction(() => document.getElementById('image-download').hasAttribute('href'));
    const got = await download(page, 'image-download');
    check(Buffer.compare(got.bytes, expected.output) === 0, `image of typed ${what}`);
    check(got.name === 'program.img', `typed text downloads as program.img (${got.name})`);
  } else {
    await page.waitForFunction(() => document.getElementById('convert-message').textContent !== '');
    check((await page.textContent('#convert-message')) === expected.message, `message for typed ${what}`);
    check(!(await hasHref(page, 'image-download')), `no download for typed ${what}`);
  }
  await page.close();
}

// Opens an image in the page, lists it, and compares with morvane-list.
async function listFile(context, image) {
  const expected = cli(morvaneList, image, 'expected.bas');
  const page = await freshPage(context);
  await page.setInputFiles('#image-file', image);
  await page.click('#list');
  const name = path.basename(image);
  if (expected.status !== 1) {
    await page.waitForFunction(() => document.getElementById('listing-download').hasAttribute('href'));
    const got = await download(page, 'listing-download');
    check(Buffer.compare(got.bytes, expected.output) === 0, `listing of ${name} equals morvane-list's`);
    check((await page.textContent('#list-message')) === expected.message, `message listing ${name}: ${expected.message}`);
  } else {
    await page.waitForFunction(() => document.getElementById('list-message').textContent !== '');
    check((await page.textContent('#list-message')) === expected.message, `message listing ${name}: ${expected.message}`);
    check(!(await hasHref(page, 'listing-download')), `no download after the failure of ${name}`);
  }
  await page.close();
}

// Runs axe-core on the page as it stands; any serious or critical violation fails.
async function accessible(page, state) {
  if (!(await page.evaluate(() => typeof axe !== 'undefined'))) await page.addScriptTag({ path: axePath });
  const violations = await page.evaluate(async () => (await axe.run(document, { resultTypes: ['violations'] }))
    .violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
    .map((v) => `${v.id} (${v.nodes.length})`));
  check(violations.length === 0, `axe-core finds nothing serious ${state}: ${violations.join(', ')}`);
}

const editorText = (page) => page.inputValue('#listing-text');
const findings = (page) => page.$$eval('#findings li[data-line]', (items) => items.map((li) => ({
  ...li.dataset, text: li.textContent })));

// Types the text as a user would and waits for the findings to follow it.
async function typeListing(page, text) {
  await page.fill('#listing-text', '');
  await page.focus('#listing-text');
  await page.keyboard.insertText(text);
  const typed = Date.now();
  await page.waitForFunction(() => document.querySelector('#findings li') !== null &&
    document.getElementById('findings').dataset.version === document.getElementById('listing-text').dataset.version);
  return Date.now() - typed;
}

// Drops a file on the page as a file manager would.
async function dropFile(page, name, bytes) {
  await page.evaluate(([fileName, data]) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([new Uint8Array(data)], fileName));
    document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, [name, Array.from(bytes)]);
}

// Point 3: findings as typed, equal to morvane-check's, each leading to its place.
async function findingsAsTyped(context) {
  const page = await freshPage(context);
  const text = '10 SCORE=1\n30 GOTO 20\n20 PRINT\n\n40 A$="\u6f22"\n';
  const waited = await typeListing(page, text);
  console.log(`findings shown ${waited} ms after the last keystroke`);
  check(waited < 1000, `findings follow typing at once (${waited} ms)`);
  const file = path.join(work, 'problems.bas');
  fs.writeFileSync(file, text);
  const expected = spawnSync(path.resolve(morvaneCheck), ['problems.bas'], { cwd: work }).stdout.toString()
    .split('\n').filter((l) => l).map((l) => l.replace(/^problems\.bas:/, ''));
  const shown = await findings(page);
  const described = shown.map((f) => `${f.line}:${f.column}: ${f.severity}: ${f.text.replace(/^\d+:\d+: \w+: /, '')}`);
  check(JSON.stringify(described) === JSON.stringify(expected), `findings equal morvane-check's: ${described.join(' | ')}`);
  check(shown.map((f) => f.name).join() === 'keyword-in-name,line-order,empty-line,charset', 'findings carry their names');
  await page.focus('#findings li[data-name="line-order"] button');
  await page.keyboard.press('Enter');
  const caret = await page.$eval('#listing-text', (t) => [t.selectionStart, document.activeElement === t]);
  check(caret[0] === text.indexOf('20 PRINT') && caret[1], `a finding chosen by keyboard puts the caret at its line and column (${caret})`);
  await page.click('#findings li[data-name="charset"] button');
  const charset = await page.$eval('#listing-text', (t) => t.selectionStart);
  check(charset === text.indexOf('\u6f22'), `a clicked finding puts the caret there too (${charset})`);
  await page.focus('#listing-text');
  await page.keyboard.press('Tab');
  check(await page.evaluate(() => document.activeElement.id) === 'convert', 'Tab leads from the editor to Convert');
  check(await page.$('.gutter .mark.error') !== null, 'a line with an error is marked in the margin');
  await accessible(page, 'with findings');
  await typeListing(page, '');
  check((await page.textContent('#findings')) === 'no problems found', 'an empty listing has no problems');
  await page.close();
}

// Point 4 and 2: a summary, every byte tied to its line and kind, the caret's record highlighted.
async function imageLinkedToLines(context) {
  const page = await freshPage(context);
  await typeListing(page, '10 SCORE=1\n20 GOTO 10\n');
  await page.focus('#listing-text');
  await page.keyboard.press('Control+Enter');
  await page.waitForFunction(() => document.getElementById('summary').textContent !== '');
  check((await page.textContent('#summary')) === '2 lines, 48 bytes, program.img', `summary: ${await page.textContent('#summary')}`);
  const bytes = await page.$$eval('#image-hex span[data-kind]', (spans) => spans.map((s) => `${s.dataset.kind}:${s.dataset.line || ''}`));
  const expected = [...Array(16).fill('header:'), ...Array(4).fill('head:10'),
    'text:10', 'text:10', 'token:10', 'text:10', 'token:10', 'text:10', 'end:10',
    ...Array(4).fill('head:20'), 'token:20', 'text:20', 'text:20', 'text:20', 'end:20', ...Array(12).fill('trailer:')];
  check(JSON.stringify(bytes) === JSON.stringify(expected), `each byte with its kind and line (SCORE as S C OR E): ${bytes.join(' ')}`);
  await page.hover('#image-hex span[data-offset="22"]');
  check((await page.getAttribute('#image-hex span[data-offset="22"]', 'title')) === 'token OR (line 10)', 'hovering a token names it');
  await page.focus('#listing-text');
  await page.keyboard.press('Control+End');
  await page.keyboard.press('ArrowUp');
  const current = await page.$$eval('#image-hex .current', (spans) => spans.map((s) => s.dataset.line));
  check(current.length === 9 && current.every((l) => l === '20'), `the caret's line's record is highlighted (${current})`);
  await accessible(page, 'with an image');
  await page.close();
}

// Point 5: renumbering as morvane-renum does it, undone with one click; a refusal shown as findings.
async function renumbering(context) {
  const page = await freshPage(context);
  const text = '20 GOTO 10\n10 PRINT\n20 GOTO 10:GOSUB 15\n';
  fs.writeFileSync(path.join(work, 'renum.bas'), text);
  const expected = spawnSync(path.resolve(morvaneRenum), ['--start', '100', '--step', '5', 'renum.bas', '-'], { cwd: work }).stdout.toString();
  await typeListing(page, text);
  await page.fill('#renumber-start', '100');
  await page.fill('#renumber-step', '5');
  await page.click('#renumber');
  check((await editorText(page)) === expected, `renumbered as morvane-renum does: ${JSON.stringify(await editorText(page))}`);
  check((await findings(page)).map((f) => f.name).join() === 'replaced-line,missing-target', 'renumbering tells its warnings');
  await page.click('#undo');
  check((await editorText(page)) === text, 'undo brings the text before renumbering back');
  await page.click('#renumber');
  await page.focus('#listing-text');
  await page.keyboard.press('Control+z');
  check((await editorText(page)) === text, "the editor's own undo (Ctrl+Z) also brings it back");
  await typeListing(page, 'GOTO @nowhere\n');
  await page.click('#renumber');
  const refused = await findings(page);
  check(refused.length === 1 && refused[0].name === 'unknown-label' && refused[0].line === '1' && refused[0].column === '6',
    `a refusal is shown as a finding: ${JSON.stringify(refused)}`);
  check((await editorText(page)) === 'GOTO @nowhere\n', 'a refusal leaves the text');
  await page.close();
}

// Point 1 and 2: nothing typed is lost; files go where they belong.
async function nothingLost(context) {
  const page = await freshPage(context);
  const nihongo = path.join(sourceDir, 'examples', 'nihongo.bas');
  await page.setInputFiles('#listing-file', nihongo);
  await page.waitForFunction(() => document.getElementById('listing-text').value.includes('PRINT'));
  const asShiftJis = await editorText(page);
  await page.selectOption('#encoding', 'utf-8');
  check((await editorText(page)) !== asShiftJis, 'an unedited file is decoded anew when Encoding changes');
  await page.selectOption('#encoding', 'shift_jis');
  check((await editorText(page)) === asShiftJis, 'and back');
  await page.focus('#listing-text');
  await page.keyboard.press('Control+End');
  await page.keyboard.insertText('999 END\n');
  const edited = await editorText(page);
  await page.selectOption('#encoding', 'utf-8');
  check((await editorText(page)) === edited, 'edited text stays when Encoding changes');
  await page.waitForTimeout(400);
  await page.reload();
  check((await editorText(page)) === edited, 'edited text survives a reload');

  const hello = cli(morvane, copyIn(path.join(sourceDir, 'examples', 'hello.bas')), 'hello.img');
  const helloImage = path.join(work, 'hello.img');
  fs.writeFileSync(helloImage, hello.output);
  const helloListing = cli(morvaneList, helloImage, 'hello.lst');
  await page.setInputFiles('#listing-file', helloImage);
  await page.waitForFunction(() => document.getElementById('listing-view').textContent !== '');
  check((await editorText(page)) === edited, 'an image chosen as a listing leaves the editor alone');
  check(Buffer.compare((await download(page, 'listing-download')).bytes, helloListing.output) === 0, 'an image chosen as a listing is listed');
  await page.evaluate(() => { document.getElementById('listing-view').textContent = ''; });
  await dropFile(page, 'dropped.img', hello.output);
  await page.waitForFunction(() => document.getElementById('listing-view').textContent !== '');
  check((await editorText(page)) === edited, 'an image dropped leaves the editor alone');
  check((await download(page, 'listing-download')).name === 'dropped.bas', 'an image dropped is listed');
  await dropFile(page, 'dropped.bas', fs.readFileSync(path.join(sourceDir, 'examples', 'hello.bas')));
  await page.waitForFunction((before) => document.getElementById('listing-text').value !== before, edited);
  check((await editorText(page)) === fs.readFileSync(path.join(sourceDir, 'examples', 'hello.bas'), 'latin1'), 'a listing dropped goes to the editor');
  await page.click('#undo');
  check((await editorText(page)) === edited, 'undo brings back the text a dropped listing replaced');
  await accessible(page, 'after listing an image');
  await page.close();
}

// Point 7: at 375 px nothing is cut off; screenshots for the README.
async function smallScreen(context) {
  for (const [width, name] of [[900, 'morvane-page.png'], [375, 'morvane-page-375.png']]) {
    const page = await freshPage(context);
    await page.setViewportSize({ width, height: 1000 });
    await page.setInputFiles('#listing-file', path.join(sourceDir, 'examples', 'nihongo.bas'));
    await page.waitForFunction(() => document.getElementById('listing-text').value !== '');
    await page.click('#convert');
    await page.waitForFunction(() => document.querySelector('#findings li') !== null);
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth);
    check(overflow <= 0, `at ${width} px the page does not scroll sideways (${overflow} px too wide)`);
    await accessible(page, `at ${width} px`);
    if (screenshots) await page.screenshot({ path: path.join(screenshots, name), fullPage: true });
    await page.close();
  }
}

// The core's findings for a 2 MB text, from the check's start, within 100 ms.
async function findingsOfTwoMegabytes(context) {
  const page = await freshPage(context);
  const { took, count } = await page.evaluate(async () => {
    await coreReady;
    const statement = ` PRINT "${'A'.repeat(30)}":A=A+1:IF A>10 THEN GOSUB 10:B$=CHR$(65)\n`;
    const lines = [];
    for (let number = 1, size = 0; size < 2 * 1024 * 1024; number++) {
      lines.push(number + statement);
      size += lines[lines.length - 1].length;
    }
    const bytes = new TextEncoder().encode(lines.join(''));
    checkBytes({ bytes: bytes.subarray(0, 1000), encoding: 'utf-8' });
    const started = performance.now();
    const findings = checkBytes({ bytes, encoding: 'utf-8' });
    return { took: performance.now() - started, count: findings.length };
  });
  console.log(`the findings of a 2 MB listing (${count}) in ${took.toFixed(0)} ms`);
  check(took < 100, `the findings of a 2 MB listing within 100 ms (${took.toFixed(0)} ms)`);
  await page.close();
}

// Point 6: a 20 MB listing shows its result within 2 s.
async function largeListing(context) {
  const statement = `PRINT "${'A'.repeat(270)}":A=A+1:IF A>10 THEN GOSUB 10`;
  const lines = [];
  for (let number = 1; number <= 65535; number++) lines.push(`${number} ${statement}\n`);
  const file = path.join(work, 'large.bas');
  fs.writeFileSync(file, lines.join(''));
  const size = fs.statSync(file).size;
  const page = await freshPage(context);
  const opening = Date.now();
  await page.setInputFiles('#listing-file', file);
  await page.waitForFunction(() => document.getElementById('listing-text').value.length > 1000000, null, { timeout: 60000 });
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
  console.log(`a ${(size / 1e6).toFixed(1)} MB listing opened and shown in the editor in ${Date.now() - opening} ms`);
  const started = Date.now();
  await page.click('#convert');
  await page.waitForFunction(() => document.getElementById('summary').textContent !== '', null, { timeout: 60000 });
  const took = Date.now() - started;
  console.log(`a ${(size / 1e6).toFixed(1)} MB listing converted and shown in ${took} ms`);
  check(took < 2000, `a ${(size / 1e6).toFixed(1)} MB listing shows within 2 s (${took} ms)`);
  check((await page.textContent('#summary')).startsWith('65535 lines, '), 'its summary');
  check((await page.textContent('#editor-help')).includes('too large for the browser to keep'), 'the page says a text this large is not kept');
  const answered = Date.now();
  await page.evaluate(() => document.getElementById('image-hex').scrollTop = 1e6);
  check(Date.now() - answered < 2000, `the page answers after the result (${Date.now() - answered} ms)`);
  check(await page.$('#image-hex span[data-kind]') !== null, 'the hex dump shows the part in view');
  const built = await page.$$eval('#image-hex span', (spans) => spans.length);
  check(built < 20000, `only what is in view is built (${built} elements)`);
  await page.close();
}

const outOfDate = (page) => page.$eval('#summary', (s) => s.classList.contains('out-of-date'));

// Nothing stale, nothing lost, nothing hidden: a result belongs to the text
// it was made from, a damaged image is not put into the editor unasked and
// what it replaces can be undone after a reload, two tabs keep their texts
// apart, and every finding can be reached.
async function nothingStaleOrHidden(context) {
  const page = await freshPage(context);
  await typeListing(page, '10 PRINT "A"\n');
  await page.click('#convert');
  await page.waitForFunction(() => document.getElementById('image-download').hasAttribute('href'));
  check(!(await outOfDate(page)), 'a fresh image is not out of date');
  await page.focus('#listing-text');
  await page.keyboard.press('Control+End');
  await page.keyboard.insertText('20 PRINT "B"\n');
  check(await outOfDate(page) && (await page.textContent('#summary')).startsWith('Out of date'),
    `an edit marks the summary out of date (${await page.textContent('#summary')})`);
  check(await page.$eval('#image-hex', (h) => h.classList.contains('out-of-date')), 'an edit marks the bytes out of date');
  check((await page.textContent('#image-download')) === 'Convert and download image', 'the download says it converts first');
  const listing = path.join(work, 'edited.bas');
  fs.writeFileSync(listing, '10 PRINT "A"\n20 PRINT "B"\n');
  const expected = cli(morvane, listing, 'edited.img');
  const got = await download(page, 'image-download');
  check(Buffer.compare(got.bytes, expected.output) === 0, 'the download after an edit is the edited text\'s image');
  check(!(await outOfDate(page)), 'converted afresh, nothing is out of date');

  const damaged = Buffer.from(expected.output);
  damaged[3] = 0x41;
  const before = await editorText(page);
  await page.waitForTimeout(400);
  let asked = '';
  page.once('dialog', async (dialog) => { asked = dialog.message(); await dialog.dismiss(); });
  const file = { name: 'damaged.img', mimeType: 'application/octet-stream', buffer: damaged };
  await page.setInputFiles('#listing-file', file);
  await page.waitForFunction(() => document.getElementById('summary').textContent.includes('was not opened'));
  check(asked.includes('looks like a damaged program image'), `a damaged image is asked about (${asked})`);
  check((await editorText(page)) === before, 'a damaged image declined leaves the text as it was');
  page.once('dialog', (dialog) => dialog.accept());
  await page.setInputFiles('#listing-file', file);
  await page.waitForFunction((text) => document.getElementById('listing-text').value !== text, before);
  await page.reload();
  check(!(await page.$eval('#undo', (b) => b.disabled)), 'after a reload, Undo can still bring back what an opened file replaced');
  await page.click('#undo');
  check((await editorText(page)) === before, 'Undo after a reload brings the text back');

  const other = await freshPage(context);
  await typeListing(other, '10 REM the other tab\n');
  await page.waitForFunction(() => document.getElementById('editor-help').textContent.startsWith('Another tab'));
  await page.focus('#listing-text');
  await page.keyboard.insertText('30 END\n');
  await page.waitForTimeout(400);
  const kept = await other.evaluate(() => localStorage.getItem('morvane:listing:' + location.pathname));
  check(kept === '10 REM the other tab\n', `a tab told of another's text does not overwrite it (${JSON.stringify(kept)})`);
  await other.close();

  const many = Array.from({ length: 1500 }, (_, i) => `${i + 1} SCORE=1`).join('\n') + '\n';
  await typeListing(page, many);
  check((await findings(page)).length === 1000, 'the first 1,000 findings are listed');
  const more = await page.textContent('#findings li.more');
  check(more === 'Show the other 500 findings (1500 in all)', `the list says how many more there are (${more})`);
  await page.click('#findings li.more button');
  check((await findings(page)).length === 1500, 'one more click lists every finding');
  await page.evaluate(() => localStorage.clear());
  await page.close();
}

async function workbench(context) {
  await findingsAsTyped(context);
  await imageLinkedToLines(context);
  await renumbering(context);
  await nothingLost(context);
  await smallScreen(context);
  await largeListing(context);
  await findingsOfTwoMegabytes(context);
  await nothingStaleOrHidden(context);
}

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const context = await browser.newContext({ acceptDownloads: true });

// From opening the page to a converted image, with the listing it starts with.
{
  const started = Date.now();
  const page = await freshPage(context);
  await page.click('#convert');
  await page.waitForFunction(() => document.getElementById('image-hex').textContent !== '');
  console.log(`page opened and first image converted in ${Date.now() - started} ms`);
  await page.close();
}

// The example listings (the folder also holds the library's embedding example).
const examples = fs
  .readdirSync(path.join(sourceDir, 'examples'))
  .filter((f) => f.endsWith('.bas'))
  .map((f) => path.join(sourceDir, 'examples', f));
const corpusDir = path.join(sourceDir, '..', 'shared', 'corpus');
const corpus = fs.existsSync(corpusDir)
  ? ['ascii', 'japanese'].flatMap((d) => fs.readdirSync(path.join(corpusDir, d)).sort()
    .filter((_, i) => i % 8 === 0).map((f) => path.join(corpusDir, d, f)))
  : [];
for (const file of [...examples, ...corpus]) await convertFile(context, file);

// The same programs as UTF-8 files, as morvane-list writes them: the page
// gives the command line's bytes for both encodings.
let twins = 0;
for (const file of [...examples, ...corpus].filter((_, i) => i % 2 === 0)) {
  const image = cli(morvane, copyIn(file), 'twin.img');
  if (image.status !== 0) continue;
  const imagePath = path.join(work, 'twin.img');
  fs.writeFileSync(imagePath, image.output);
  const utf8 = spawnSync(path.resolve(morvaneList), ['--encoding=utf-8', 'twin.img', '-'], { cwd: work });
  if (utf8.status !== 0) continue;
  const twin = path.join(work, path.basename(file).replace(/\.[^.]*$/, '') + '-utf8.bas');
  fs.writeFileSync(twin, utf8.stdout);
  check(Buffer.compare(cli(morvane, twin, 'twin2.img').output, image.output) === 0, `the UTF-8 twin of ${path.basename(file)} converts identically`);
  await convertFile(context, twin);
  twins++;
}
console.log(`${twins} UTF-8 twins converted in the page and by morvane`);

// An image's name: shown when it is listed, and kept for converting back.
{
  const named = path.join(work, 'named.img');
  fs.writeFileSync(named, Buffer.concat([Buffer.alloc(10, 0xd3), Buffer.from('GAME\0\0'),
    Buffer.from([0xff, 0xff, 0x0a, 0x00, 0x80, 0x00]), Buffer.alloc(12)]));
  await listFile(context, named);
  const page = await freshPage(context);
  await page.setInputFiles('#image-file', named);
  await page.click('#list');
  await page.waitForFunction(() => document.getElementById('image-name').value !== '');
  check((await page.inputValue('#image-name')) === 'GAME', 'listing an image fills in its name');
  await page.fill('#listing-text', '10 END\n');
  await page.click('#convert');
  await page.waitForFunction(() => document.getElementById('image-download').hasAttribute('href'));
  check(Buffer.compare((await download(page, 'image-download')).bytes, fs.readFileSync(named)) === 0,
    'the listing converts back into the image of the same name');
  await page.fill('#image-name', 'TOOLONGNAME');
  await page.click('#convert');
  await page.waitForFunction(() => document.getElementById('convert-message').textContent !== '');
  check((await page.textContent('#convert-message')) === "the name TOOLONGNAME is longer than the 6 bytes of the image's name field",
    `a name too long is refused with its reason: ${await page.textContent('#convert-message')}`);
  await page.close();
}

const typed = '10 PRINT "ねこ、ネコ｡ｱｲｳ"\n20 Ａ＝１：ＰＲＩＮＴ Ａ;"年"\n';
const typedShiftJis = execFileSync('iconv', ['-f', 'UTF-8', '-t', 'CP932'], { input: typed });
await convertTyped(context, typed, typedShiftJis, 'kana and full-width letters');
for (const tilde of ['\u301c', '\uff5e']) {
  await convertTyped(context, `10 PRINT "${tilde}"\n`, Buffer.from('10 PRINT "\x81\x60"\n', 'latin1'), `tilde U+${tilde.codePointAt(0).toString(16)}`);
}
for (const minus of ['\u2212', '\uff0d']) {
  await convertTyped(context, `10 PRINT "${minus}"\n`, Buffer.from('10 PRINT "\x81\x7c"\n', 'latin1'), `minus U+${minus.codePointAt(0).toString(16)}`);
}
await convertTyped(context, '10 END\n5 END\n', Buffer.from('10 END\n5 END\n'), 'line numbers out of order');
{
  const page = await freshPage(context);
  await page.fill('#listing-text', '10 PRINT "A"\n20 PRINT "漢😀"\n');
  await page.click('#convert');
  await page.waitForFunction(() => document.getElementById('convert-message').textContent !== '');
  const message = await page.textContent('#convert-message');
  check(message === 'Illegal character found in next of 10', `message for a character outside the set, as morvane's: ${message}`);
  check(!(await hasHref(page, 'image-download')), 'no download for a character outside the set');
  await page.close();
}

const images = [];
for (const file of [...examples, ...corpus]) {
  const listing = copyIn(file);
  const image = cli(morvane, listing, 'x.img');
  if (image.status !== 0) continue;
  const imagePath = path.join(work, path.basename(file).replace(/\.[^.]*$/, '') + '.img');
  fs.writeFileSync(imagePath, image.output);
  images.push(imagePath);
}
const broken = path.join(work, 'broken.img');
fs.writeFileSync(broken, Buffer.concat([Buffer.alloc(10, 0xd3), Buffer.from('mrv\0\0\0')]));
const notImage = path.join(work, 'notes.txt');
fs.writeFileSync(notImage, 'just some notes\n');
for (const image of [...images, broken, notImage]) await listFile(context, image);

await workbench(context);

await browser.close();
fs.rmSync(work, { recursive: true, force: true });
console.log(`browser test: ${examples.length} examples, ${corpus.length} corpus listings, ${images.length} images listed`);
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
