// The page against the native tavrik-batch: the same report and files byte for byte, the same
// refusals, an import that writes the same data file, a Cancel that leaves a working page, and
// no request that leaves the machine.
//   TAVRIK_PAGE=build-web/tavrik.html TAVRIK_BATCH=build/src/cli/tavrik-batch node --test web/test/page.test.js
// TAVRIK_SCREENSHOT=docs/web-page.png also saves a picture of the page after the example's run.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { after, before, describe, it } = require('node:test');
const h = require('./harness');

const examples = path.join(h.root, 'examples');
const testData = path.join(h.root, 'tests', 'data');

// The page reads its data file as /data/NAME; the native program as the copy's absolute path.
function withPagePath(text, nativePath, name) {
  return text.split(nativePath).join('/data/' + name);
}

// The downloaded report against the native program's standard output.
async function sameReport(session, native, copy) {
  const report = await h.download(session, 'highland-report.txt');
  h.sameText(
    report.toString('latin1'),
    withPagePath(native.stdout.toString('latin1'), copy, 'highland.tvk'),
    'the report'
  );
  return report;
}

describe('tavrik.html', () => {
  let browser;
  let scratch;
  let session;

  before(async () => {
    scratch = h.scratchFolder();
    fs.copyFileSync(path.join(examples, 'highland.tvk'), path.join(scratch, 'highland.tvk'));
    browser = await h.launch(scratch);
    session = await h.openPage(browser, scratch);
  });

  after(async () => {
    if (browser) await browser.close();
    if (scratch) fs.rmSync(scratch, { recursive: true, force: true });
  });

  it('runs the example and gives the report and JSON of tavrik-batch', async () => {
    const { page } = session;
    await h.openExample(page);
    const result = await h.run(page);
    const firstReport = (performance.now() - session.started) / 1000;
    console.log(`# from opening the page to the example's first report: ${firstReport.toFixed(2)} s`);
    assert.equal(result.message, '');

    const copy = path.join(scratch, 'highland.tvk');
    const json = path.join(scratch, 'native.json');
    const native = h.native([copy, '--threads', '1', '--json', json], scratch);
    assert.equal(native.status, 0, native.stderr);
    const report = await sameReport(session, native, copy);
    const nativeJson = fs.readFileSync(json, 'latin1');
    const pageJson = (await h.download(session, 'highland-results.json')).toString('latin1');
    h.sameText(pageJson, withPagePath(nativeJson, copy, 'highland.tvk'), 'the JSON document');
    // what the page shows is the report, with its line ends as the browser writes them
    assert.equal(result.report, report.toString('utf8').replace(/\r\n/g, '\n'));

    const charts = await page.$$eval('#charts figure svg', (svgs) =>
      svgs.map((svg) => svg.getAttribute('aria-label'))
    );
    assert.deepEqual(charts, ['Principal Coordinates Chart', 'Velbrand-Torvane Chart', 'Tree Chart']);
    if (process.env.TAVRIK_SCREENSHOT) {
      await page.screenshot({ path: process.env.TAVRIK_SCREENSHOT });
    }
  });

  it('passes every setting as tavrik-batch takes it', async () => {
    const { page } = session;
    await h.setText(page, '#heritability', '0.8');
    await page.click('#CheckBias');
    await page.click('#CheckScaling');
    await page.click('#CheckOutput');
    await h.setChecks(page, 'populationList', ['Kelmoth'], false);
    await h.setChecks(page, 'variableList', ['Nose height'], false);
    await page.click('#sweepBox summary');
    await page.click('#sweepOn');
    await page.click('#bootstrapBox summary');
    await page.click('#bootstrapOn');
    await h.setText(page, '#replicates', '40');
    await page.select('#interval', 'percentile');
    await page.click('#mantelBox summary');
    await page.click('#mantelOn');
    await page.select('#treeRoot', 'Harnavel');
    const result = await h.run(page);
    assert.equal(result.message, '');
    assert.ok(result.changed);

    const copy = path.join(scratch, 'highland.tvk');
    fs.copyFileSync(
      path.join(examples, 'highland_geography.csv'),
      path.join(scratch, 'highland_geography.csv')
    );
    const native = h.native(
      [
        copy,
        '--threads',
        '1',
        '--heritability',
        '0.8',
        '--no-bias-correction',
        '--scaled',
        '--show-matrices',
        '--population',
        'Ostvarrin',
        '--population',
        'Harnavel',
        '--population',
        'Tullibrack',
        '--population',
        'Saundry Fell',
        '--population',
        'Mirrowdale',
        '--variable',
        'Stature',
        '--variable',
        'Sitting height',
        '--variable',
        'Head length',
        '--variable',
        'Head breadth',
        '--variable',
        'Face height',
        '--variable',
        'Nose breadth',
        '--variable',
        'Bizygomatic',
        '--heritability-sweep',
        '0.2:1:0.05',
        '--sweep-output',
        'sweep.csv',
        '--bootstrap',
        '40',
        '--bootstrap-interval',
        'percentile',
        '--bootstrap-output',
        'boot.csv',
        '--mantel',
        'highland_geography.csv',
        '--mantel-output',
        'mantel.txt',
        '--tree',
        'tree.nwk',
        '--matrix',
        'scaled-d2:phylip:d2.phy',
      ],
      scratch
    );
    assert.equal(native.status, 0, native.stderr);
    await sameReport(session, native, copy);
    for (const [mine, theirs] of [
      ['highland-sweep.csv', 'sweep.csv'],
      ['highland-bootstrap.csv', 'boot.csv'],
      ['highland-tree.nwk', 'tree.nwk'],
      ['highland-scaled-d2-phylip.phy', 'd2.phy'],
      ['highland-scaled-d2-phylip.phy.names.csv', 'd2.phy.names.csv'],
    ]) {
      h.sameText(
        (await h.download(session, mine)).toString('latin1'),
        fs.readFileSync(path.join(scratch, theirs), 'latin1'),
        mine
      );
    }
    const mantel = (await h.download(session, 'highland-mantel.txt')).toString('latin1');
    const nativeMantel = fs.readFileSync(path.join(scratch, 'mantel.txt'), 'latin1');
    h.sameText(mantel, nativeMantel, 'the Mantel test');
  });

  it("shows the program's own refusals and keeps the results before them", async () => {
    const { page } = session;
    const shown = await page.$eval('#txtBox', (pre) => pre.textContent);

    await h.setText(page, '#heritability', '1.5');
    const range = await h.run(page);
    const nativeRange = h.native([path.join(scratch, 'highland.tvk'), '--heritability', '1.5'], scratch);
    assert.equal(nativeRange.status, 2);
    assert.equal(range.message, h.messageOf(nativeRange.stderr));
    assert.equal(range.report, shown);
    await h.setText(page, '#heritability', '1');

    // a bad header is refused on opening, a bad record by the run
    const lines = fs.readFileSync(path.join(examples, 'highland.tvk'), 'latin1').split('\n');
    const badHeader = path.join(scratch, 'header.tvk');
    fs.writeFileSync(badHeader, [lines[0], '6; 8', ...lines.slice(2)].join('\n'), 'latin1');
    const badRecord = path.join(scratch, 'record.tvk');
    fs.writeFileSync(
      badRecord,
      [...lines.slice(0, 9), lines[9].replace('1726.9', '17x6.9'), ...lines.slice(10)].join('\n'),
      'latin1'
    );
    for (const file of [badHeader, badRecord]) {
      const nativeRun = h.native([file, '--threads', '1'], scratch);
      assert.equal(nativeRun.status, 3);
      await h.openFile(page, file);
      const refused =
        file === badHeader
          ? { message: await page.$eval('#messageText', (pre) => pre.textContent) }
          : await h.run(page);
      assert.equal(
        refused.message,
        h
          .messageOf(nativeRun.stderr)
          .split(file)
          .join('/data/' + path.basename(file))
      );
      assert.equal(await page.$eval('#txtBox', (pre) => pre.textContent), shown);
    }
  });

  it('imports a CSV table as tavrik-batch --import-csv does', async () => {
    const { page } = session;
    await h.openFile(page, path.join(testData, 'csv_measurements.csv'));
    await page.waitForSelector('#ImportCsv[open]');
    // a row without a population: no import until the user agrees to leave it out
    assert.match(await page.$eval('#lblLeftOut', (p) => p.textContent), /line 27/);
    assert.ok(await page.$eval('#btnImport', (b) => b.disabled));
    await page.click('#chkLeaveOut');
    assert.ok(!(await page.$eval('#btnImport', (b) => b.disabled)));
    await h.setText(page, 'input[aria-label="Census size of Aven"]', '150');
    await page.click('#btnImport');
    await page.waitForFunction(() => !document.getElementById('ImportCsv').open);
    await h.idle(page);

    const census = path.join(scratch, 'census.csv');
    fs.writeFileSync(census, 'population,census\nAven,150\n"Coast, north",100\n"Brisk ""old"" town",100\n');
    const made = path.join(scratch, 'native.tvk');
    const native = h.native(
      [
        '--import-csv',
        path.join(testData, 'csv_measurements.csv'),
        '--population-column',
        'Population',
        '--variable',
        'ID',
        '--variable',
        'Stature',
        '--variable',
        'Head length',
        '--variable',
        'Head breadth',
        '--census-sizes',
        census,
        '--leave-out-bad-rows',
        '--output',
        made,
      ],
      scratch
    );
    assert.equal(native.status, 0, native.stderr);
    const imported = await h.download(session, 'csv_measurements.tvk');
    h.sameText(imported.toString('latin1'), fs.readFileSync(made, 'latin1'), 'the imported data file');
    assert.equal(await page.$eval('#notesText', (pre) => pre.textContent), h.messageOf(native.stderr));
    assert.equal(await page.$eval('#dataName', (p) => p.textContent), 'csv_measurements.tvk');
  });

  it('cancels a long run, stays responsive, and runs again', async () => {
    const { page } = session;
    await h.openExample(page);
    await h.setCheck(page, '#bootstrapOn', true);
    await h.setText(page, '#replicates', '300000');
    await page.click('#btnRun');
    await page.waitForFunction(() => !document.getElementById('btnCancel').disabled);
    // the page answers while the engine works: a tab changes at once
    const answered = await page.evaluate(async () => {
      const started = performance.now();
      document.getElementById('tabListing').click();
      await new Promise((resolve) => requestAnimationFrame(resolve));
      return (
        document.getElementById('tabListing').getAttribute('aria-selected') === 'true' &&
        performance.now() - started
      );
    });
    assert.ok(answered !== false && answered < 500, `the page took ${answered} ms to change a tab`);
    // the replicates print no progress; the status line counts the seconds
    await page.waitForFunction(() => /running for 2 s/.test(document.getElementById('status').textContent), {
      timeout: 20000,
    });
    await page.click('#btnCancel');
    await h.idle(page, 10000);
    assert.match(await page.$eval('#status', (p) => p.textContent), /cancelled/);

    await h.setCheck(page, '#bootstrapOn', false);
    const again = await h.run(page);
    assert.equal(again.message, '');
    assert.match(again.report, /Data file = \/data\/highland\.tvk/);
  });

  it('made no request that left the machine', () => {
    h.assertNoNetwork(session);
  });
});
