// The web page's speed beside the native program, in interleaved rounds on the same machine:
//   - the example's first report: from opening tavrik.html to the report on the screen;
//   - a large data file: tavrik-batch --threads 1 (the floor), the engine alone in node, and the
//     page in headless Chromium (from choosing the file to the report on the screen), with the
//     file chosen as soon as the page is ready and, as a user would, a few seconds later (the
//     page has warmed its engine up by then).
// Prints medians, least and greatest of each, and the ratios to the floor's median.
//   node bench/web_speed.js DATAFILE [ROUNDS]
// TAVRIK_BATCH, TAVRIK_PAGE and TAVRIK_ENGINE name the native program, the page and the engine
// (defaults: build/, build-web/). bench/web-speed.sh makes the data file and runs this.
'use strict';

const path = require('node:path');
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const h = require('../web/test/harness.js');

const file = path.resolve(process.argv[2] ?? '');
const rounds = Number(process.argv[3] ?? 3);
const enginePath = path.resolve(
  process.env.TAVRIK_ENGINE ?? path.join(h.root, 'build-web/web/tavrik-engine.js')
);

function summary(name, times, floor) {
  const sorted = [...times].sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  const ratio = floor ? `  ${(median / floor).toFixed(2)} x floor` : '';
  console.log(
    `${name.padEnd(34)} median ${median.toFixed(2)} s  (${sorted[0].toFixed(2)}-` +
      `${sorted[sorted.length - 1].toFixed(2)})${ratio}`
  );
  return median;
}

async function main() {
  if (!fs.existsSync(file)) throw new Error('usage: node bench/web_speed.js DATAFILE [ROUNDS]');
  const scratch = h.scratchFolder();
  const browser = await h.launch(scratch);
  const engine = await require(enginePath)({
    print() {},
    printErr() {},
    wasmBinary: fs.readFileSync(enginePath.replace(/\.js$/, '.wasm')),
  });
  engine.FS.mkdirTree(path.dirname(file));
  const times = { first: [], native: [], engine: [], page: [], pageRun: [], pageLater: [], pageLaterRun: [] };
  try {
    for (let round = 0; round < rounds; round++) {
      let session = await h.openPage(browser, scratch);
      await h.openExample(session.page);
      await h.run(session.page);
      times.first.push((performance.now() - session.started) / 1000);
      await session.page.close();

      let t = performance.now();
      const native = spawnSync(h.batchPath, [file, '--threads', '1'], { maxBuffer: 1 << 28 });
      if (native.status !== 0) throw new Error(native.stderr.toString());
      times.native.push((performance.now() - t) / 1000);

      t = performance.now();
      engine.FS.writeFile(file, fs.readFileSync(file));
      const args = new engine.StringList();
      for (const a of [file, '--threads', '1']) args.push_back(a);
      const result = JSON.parse(engine.batch(args, ''));
      args.delete();
      engine.FS.unlink(file);
      if (result.status !== 0) throw new Error(result.stderr);
      times.engine.push((performance.now() - t) / 1000);

      for (const pause of [0, 3000]) {
        session = await h.openPage(browser, scratch);
        await h.idle(session.page);
        await new Promise((resolve) => setTimeout(resolve, pause));
        t = performance.now();
        await h.openFile(session.page, file);
        const opened = performance.now();
        const shown = await h.run(session.page, 600000);
        if (shown.message) throw new Error(shown.message);
        times[pause ? 'pageLater' : 'page'].push((performance.now() - t) / 1000);
        times[pause ? 'pageLaterRun' : 'pageRun'].push((performance.now() - opened) / 1000);
        await session.page.close();
      }
    }
  } finally {
    await browser.close();
    fs.rmSync(scratch, { recursive: true, force: true });
  }
  const size = (fs.statSync(file).size / 1e6).toFixed(0);
  console.log(`${rounds} rounds; ${path.basename(file)}, ${size} MB`);
  summary('example: open page to first report', times.first);
  const floor = summary('tavrik-batch --threads 1 (floor)', times.native);
  summary('engine in node', times.engine, floor);
  summary('page, file chosen at once', times.page, floor);
  summary('  of which the run (file opened)', times.pageRun, floor);
  summary('page, file chosen 3 s after start', times.pageLater, floor);
  summary('  of which the run (file opened)', times.pageLaterRun, floor);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
