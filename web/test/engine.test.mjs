// The page's engine against the native tavrik-batch, run by run: the same arguments on the same
// files (placed in the engine's memory at the same paths) must give the same exit status, the
// same standard output and error, and the same bytes in every file written, refusals included.
// Runs in node, without a browser: TAVRIK_ENGINE is build-web/web/tavrik-engine.js, TAVRIK_BATCH
// the native program.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const batch = process.env.TAVRIK_BATCH ?? path.join(root, 'build/src/cli/tavrik-batch');
const enginePath = path.resolve(process.env.TAVRIK_ENGINE ?? path.join(root, 'build-web/web/tavrik-engine.js'));
const epoch = '1765432100';

// The WebAssembly is handed over, as the page hands it to its worker.
const engine = await createRequire(import.meta.url)(enginePath)({
  print() {},
  printErr() {},
  wasmBinary: fs.readFileSync(enginePath.replace(/\.js$/, '.wasm')),
});

// A scratch folder that exists on both sides under the same name.
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'tavrik-web-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));

function place(file) {
  const folder = path.dirname(file);
  engine.FS.mkdirTree(folder);
  engine.FS.writeFile(file, fs.readFileSync(file));
}

function filesIn(folder, read) {
  const found = {};
  for (const name of read(folder).sort()) found[name] = true;
  return found;
}

// Both programs once; returns [native, engine] as {status, stdout, stderr, files}.
function runBoth(args, inputs) {
  const out = fs.mkdtempSync(path.join(scratch, 'out-'));
  for (const f of inputs) place(f);
  engine.FS.mkdirTree(out);
  const full = args.map((a) => a.replaceAll('@OUT@', out));

  const native = spawnSync(batch, full, {
    env: { ...process.env, SOURCE_DATE_EPOCH: epoch },
    encoding: 'latin1',
    maxBuffer: 1 << 28,
  });
  const nativeFiles = {};
  for (const name of Object.keys(filesIn(out, fs.readdirSync))) {
    nativeFiles[name] = fs.readFileSync(path.join(out, name)).toString('latin1');
  }

  const list = new engine.StringList();
  for (const a of full) list.push_back(a);
  const result = JSON.parse(engine.batch(list, epoch));
  list.delete();
  const engineFiles = {};
  for (const name of engine.FS.readdir(out).filter((n) => n !== '.' && n !== '..').sort()) {
    engineFiles[name] = Buffer.from(engine.FS.readFile(path.join(out, name))).toString('latin1');
  }
  const latin1 = (s) => Buffer.from(s, 'utf8').toString('latin1');
  return [
    { status: native.status, stdout: native.stdout, stderr: native.stderr, files: nativeFiles },
    { status: result.status, stdout: latin1(result.stdout), stderr: latin1(result.stderr),
      files: engineFiles },
  ];
}

function same(args, inputs, { charts = [] } = {}) {
  const [native, web] = runBoth(args, inputs);
  const what = args.join(' ');
  assert.equal(web.status, native.status, `${what}: exit status\n${web.stderr}\n${native.stderr}`);
  assert.equal(web.stderr, native.stderr, `${what}: standard error`);
  assert.equal(web.stdout, native.stdout, `${what}: standard output`);
  // Charts: the native build may draw them with Qt; the engine's must be there and be SVG.
  for (const c of charts) {
    if (web.status === 0) assert.match(web.files[c] ?? '', /^<\?xml[^]*<\/svg>\s*$/, `${what}: ${c}`);
    delete web.files[c];
    delete native.files[c];
  }
  assert.deepEqual(Object.keys(web.files), Object.keys(native.files), `${what}: files written`);
  for (const name of Object.keys(native.files)) {
    assert.ok(web.files[name] === native.files[name], `${what}: ${name} differs`);
  }
  return web;
}

const dataFiles = [
  ...fs.readdirSync(path.join(root, 'tests/data')).filter((n) => n.endsWith('.tvk'))
    .map((n) => path.join(root, 'tests/data', n)),
  ...fs.readdirSync(path.join(root, 'tests/data/golden')).filter((n) => n.endsWith('.tvk'))
    .map((n) => path.join(root, 'tests/data/golden', n)),
  path.join(root, 'examples/highland.tvk'),
  path.join(root, 'examples/islands.tvk'),
];

const everyOutput = [
  '--listing', '@OUT@/listing.txt', '--json', '@OUT@/run.json', '--save-output', '@OUT@/saved.txt',
  '--pc-scores', '@OUT@/pc.csv', '--vt-results', '@OUT@/vt.csv',
  '--matrix', 'r:list-comma:@OUT@/r.csv', '--matrix', 'd2:phylip:@OUT@/d2.phy',
  '--matrix', 'd2:ntsys:@OUT@/d2.nts', '--matrix', 'r:square-space:@OUT@/r.txt',
  '--chart', '@OUT@/pc.svg', '--vt-chart', '@OUT@/vt.svg',
];

test('every data file, refusals included, gives the same report and files', () => {
  for (const file of dataFiles) {
    same([file, ...everyOutput], [file], { charts: ['pc.svg', 'vt.svg'] });
    same([file, '--heritability', '0.37', '--no-bias-correction', '--scaled', '--show-matrices',
      '--scaled-pc-scores', '@OUT@/spc.csv', '--matrix', 'scaled-d2:list-space:@OUT@/sd2.txt'],
    [file]);
  }
});

test('the sweep, bootstrap, tree and Mantel test give the same numbers', () => {
  const highland = path.join(root, 'examples/highland.tvk');
  const geography = path.join(root, 'examples/highland_geography.csv');
  const control = path.join(root, 'tests/data/mantel_six_coordinates.csv');
  same([highland, '--heritability-sweep', '0.2:1:0.1', '--sweep-output', '@OUT@/sweep.csv',
    '--sweep-chart', '@OUT@/sweep.svg', '--bootstrap', '200', '--seed', '42',
    '--bootstrap-interval', 'bca', '--bootstrap-output', '@OUT@/boot.csv',
    '--tree', '@OUT@/tree.nwk', '--consensus', '@OUT@/consensus.nwk', '--tree-chart',
    '@OUT@/tree.svg', '--json', '@OUT@/all.json'], [highland],
  { charts: ['sweep.svg', 'tree.svg'] });
  same([highland, '--mantel', geography, '--permutations', '999', '--seed', '9',
    '--mantel-output', '@OUT@/mantel.txt', '--json', '@OUT@/mantel.json'], [highland, geography]);
  same([highland, '--mantel', geography, '--mantel-control', control, '--permutations', 'all',
    '--mantel-method', 'spearman', '--mantel-alternative', 'two-sided'],
  [highland, geography, control]);
});

test('bad settings and a bad CSV are refused with the same messages', () => {
  const highland = path.join(root, 'examples/highland.tvk');
  for (const bad of [['--heritability', '1.5'], ['--heritability', 'abc'], ['--heritability', '0'],
    ['--population', 'Nowhere'], ['--variable', 'Weight'], ['--bootstrap', '-3'],
    ['--tree-root', 'Kelmoth'], ['--no-such-option'], ['--matrix', 'q:list-space:x']]) {
    same([highland, ...bad], [highland]);
  }
  same(['/no/such/file.tvk'], []);
});

test('a CSV import writes the same data file', () => {
  const csv = path.join(root, 'tests/data/csv_measurements.csv');
  const census = path.join(root, 'tests/data/csv_census.csv');
  same(['--import-csv', csv, '--population-column', 'Population', '--output', '@OUT@/a.tvk'], [csv]);
  same(['--import-csv', csv, '--population-column', 'Population', '--census-sizes', census,
    '--title', 'Imported', '--leave-out-bad-rows', '--output', '@OUT@/b.tvk'], [csv, census]);
  same(['--import-csv', csv, '--population-column', 'no such column', '--output', '@OUT@/c.tvk'],
    [csv]);
});
