// Drives morvane.html in headless Chromium as a user would, and compares
// every image and listing it offers with what the command-line programs
// write for the same input. Any difference fails the test.
// usage: node web/browser_test.mjs PAGE MORVANE MORVANE_LIST SOURCE_DIR [SCREENSHOT]
import { chromium } from 'playwright-core';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const [pagePath, morvane, morvaneList, sourceDir, screenshot] = process.argv.slice(2);
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
  check(message === 'The character 漢 (U+6F22) at line 2, column 11 is not in the target character set', `message for a character outside the set: ${message}`);
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

if (screenshot) {
  const page = await freshPage(context);
  await page.setViewportSize({ width: 900, height: 1000 });
  await page.setInputFiles('#listing-file', path.join(sourceDir, 'examples', 'nihongo.bas'));
  await page.click('#convert');
  await page.waitForFunction(() => document.getElementById('image-hex').textContent !== '');
  await page.screenshot({ path: screenshot, fullPage: true });
  await page.close();
}

await browser.close();
fs.rmSync(work, { recursive: true, force: true });
console.log(`browser test: ${examples.length} examples, ${corpus.length} corpus listings, ${images.length} images listed`);
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
