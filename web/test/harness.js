// Chromium driven through puppeteer-core, the page opened from its file, and the native
// tavrik-batch beside it. Every request the page makes is recorded, so that a test can say that
// none left the machine.
'use strict';

const assert = require('node:assert/strict');
const { execFileSync, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const puppeteer = require('puppeteer-core');

const root = path.resolve(__dirname, '..', '..');
const pagePath = process.env.TAVRIK_PAGE || path.join(root, 'build-web', 'tavrik.html');
const batchPath = process.env.TAVRIK_BATCH || path.join(root, 'build', 'src', 'cli', 'tavrik-batch');
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
const epoch = '1767225600';

function scratchFolder() {
  return fs.mkdtempSync(path.join(os.tmpdir(), 'tavrik-page-'));
}

async function launch(scratch) {
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: path.join(scratch, 'profile'),
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      '--allow-file-access-from-files',
    ],
  });
  return browser;
}

// The page at the given zoom of its text, with its downloads going to scratch/downloads and
// every request and console error kept.
async function openPage(browser, scratch) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1280, height: 860 });
  const requests = [];
  const errors = [];
  page.on('request', (request) => requests.push(request.url()));
  page.on('pageerror', (error) => errors.push(String(error)));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  const downloads = path.join(scratch, 'downloads');
  fs.mkdirSync(downloads, { recursive: true });
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  const url = pathToFileURL(pagePath).href + '#source-date-epoch=' + epoch;
  const started = performance.now();
  await page.goto(url, { waitUntil: 'load' });
  return { page, requests, errors, downloads, started };
}

// Nothing but the page's own file, data: and blob: URLs.
function assertNoNetwork(session) {
  const away = session.requests.filter((url) => !/^(file|data|blob):/.test(url));
  assert.deepEqual(away, [], 'requests that left the page');
  assert.deepEqual(session.errors, [], 'errors on the page');
}

async function idle(page, timeout = 60000) {
  await page.waitForFunction(
    () => document.body.dataset.busy === 'false' && !document.getElementById('btnOpen').disabled,
    { timeout }
  );
}

async function openExample(page) {
  await idle(page);
  await page.click('#btnExample');
  await page.waitForFunction(() => !document.getElementById('btnRun').disabled);
}

async function openFile(page, file) {
  await idle(page);
  const input = await page.$('#fileOpen');
  await input.uploadFile(file);
  await idle(page);
}

// Run and wait for the outcome: {report} after a run that succeeded, {message} after one that
// was refused.
async function run(page, timeout = 60000) {
  const before = await page.$eval('#txtBox', (pre) => pre.textContent);
  await page.click('#btnRun');
  await page.waitForFunction(
    () => document.body.dataset.busy === 'false' && !document.getElementById('btnRun').disabled,
    { timeout }
  );
  const message = await page.$eval('#message', (box) =>
    box.hidden ? '' : box.querySelector('pre').textContent
  );
  const report = await page.$eval('#txtBox', (pre) => pre.textContent);
  return { message, report, changed: report !== before };
}

// Clicks the download link of this file name and returns the bytes Chromium saved.
async function download(session, name) {
  const target = path.join(session.downloads, name);
  fs.rmSync(target, { force: true });
  await session.page.evaluate((n) => {
    const link = [...document.querySelectorAll('#downloads a[download]')].find((a) => a.download === n);
    if (!link) throw new Error('no download called ' + n);
    link.click();
  }, name);
  const deadline = Date.now() + 20000;
  while (Date.now() < deadline) {
    if (fs.existsSync(target) && !fs.existsSync(target + '.crdownload')) return fs.readFileSync(target);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error('the download of ' + name + ' did not arrive');
}

// The native program: {status, stdout, stderr} as bytes and text.
function native(args, cwd) {
  const result = spawnSync(batchPath, args, {
    cwd,
    env: { ...process.env, SOURCE_DATE_EPOCH: epoch },
    maxBuffer: 1 << 28,
  });
  if (result.error) throw result.error;
  return { status: result.status, stdout: result.stdout, stderr: result.stderr.toString('utf8') };
}

// The message lines of standard error, without the program's prefix, as the page shows them.
function messageOf(stderr) {
  return stderr
    .split('\n')
    .filter((line) => line.startsWith('tavrik-batch: '))
    .map((line) => line.slice('tavrik-batch: '.length))
    .join('\n');
}

// Text that must be byte for byte the same; a difference is shown by its first line.
function sameText(actual, expected, what) {
  if (actual === expected) return;
  const a = actual.split('\n');
  const e = expected.split('\n');
  let line = 0;
  while (line < a.length && line < e.length && a[line] === e[line]) line++;
  assert.fail(
    `${what} differs at line ${line + 1}:\n  page:   ${JSON.stringify(a[line])}\n  native: ${JSON.stringify(e[line])}`
  );
}

// Settings of the left column, by the labels a user sees.
async function setChecks(page, listId, names, value) {
  await page.evaluate(
    (id, wanted, on) => {
      for (const label of document.getElementById(id).querySelectorAll('label')) {
        if (wanted.includes(label.querySelector('.name').textContent)) {
          const box = label.querySelector('input');
          if (box.checked !== on) box.click();
        }
      }
    },
    listId,
    names,
    value
  );
}

async function setCheck(page, selector, value) {
  if ((await page.$eval(selector, (box) => box.checked)) !== value) await page.click(selector);
}

async function setText(page, selector, text) {
  await page.$eval(
    selector,
    (input, value) => {
      input.value = value;
      input.dispatchEvent(new Event('input', { bubbles: true }));
    },
    text
  );
}

module.exports = {
  assertNoNetwork,
  batchPath,
  download,
  epoch,
  execFileSync,
  idle,
  launch,
  messageOf,
  native,
  openExample,
  openFile,
  openPage,
  pagePath,
  root,
  run,
  sameText,
  setCheck,
  scratchFolder,
  setChecks,
  setText,
};
