// The page's worker: the engine (createTavrikEngine, defined above it in the same script) and
// the files of one session in its memory. The page first sends {wasm: the compiled module},
// then requests {id, op, ...}, and receives {id, ok, ...} for each, and {id, status: line}
// while tavrik-batch writes its progress lines.
//   put        {path, bytes}          a file the user opened, or one the page made
//   describeData {path}                the header of a .tvk file
//   describeCsv  {path}                a CSV file's columns and the import's defaults
//   previewCsv   {path, choice}        the populations an import would write
//   batch      {args, epoch}          tavrik-batch; returns status, stdout, stderr and every file
//                                     written under /out (then removed)
//   warm       {text}                 a run of this data that leaves nothing behind
'use strict';

const outFolder = '/out';
let engine = null;
let current = 0;

function fail(id, message) {
  postMessage({ id, ok: false, message: String(message) });
}

function outputs(FS) {
  const files = {};
  const transfer = [];
  const walk = (folder) => {
    for (const name of FS.readdir(folder)) {
      if (name === '.' || name === '..') continue;
      const path = folder + '/' + name;
      if (FS.isDir(FS.stat(path).mode)) {
        walk(path);
        FS.rmdir(path);
      } else {
        const bytes = FS.readFile(path);
        files[path.slice(outFolder.length + 1)] = bytes;
        transfer.push(bytes.buffer);
        FS.unlink(path);
      }
    }
  };
  walk(outFolder);
  return { files, transfer };
}

function handle(request) {
  const { id, op } = request;
  const FS = engine.FS;
  switch (op) {
    case 'put': {
      const bytes = new Uint8Array(request.bytes);
      const slash = request.path.lastIndexOf('/');
      if (slash > 0) FS.mkdirTree(request.path.slice(0, slash));
      FS.writeFile(request.path, bytes, { canOwn: true }); // the bytes were transferred here
      postMessage({ id, ok: true });
      return;
    }
    case 'describeData':
      postMessage({ id, ...JSON.parse(engine.describeData(request.path)) });
      return;
    case 'describeCsv':
      postMessage({ id, ...JSON.parse(engine.describeCsv(request.path)) });
      return;
    case 'previewCsv':
      postMessage({ id, ...JSON.parse(engine.previewCsv(request.path, JSON.stringify(request.choice))) });
      return;
    case 'batch': {
      const args = new engine.StringList();
      for (const a of request.args) args.push_back(String(a));
      current = id;
      let result;
      try {
        result = JSON.parse(engine.batch(args, request.epoch ? String(request.epoch) : ''));
      } finally {
        args.delete();
      }
      const { files, transfer } = outputs(FS);
      postMessage({ id, ok: true, ...result, files }, transfer);
      return;
    }
    case 'warm': {
      // a run whose results nobody reads, so that the browser optimises the engine's code
      FS.mkdirTree('/warm');
      FS.writeFile('/warm/data.tvk', request.text);
      const args = new engine.StringList();
      for (const a of ['/warm/data.tvk', '--threads', '1', '--json', '/warm/run.json']) {
        args.push_back(a);
      }
      try {
        engine.batch(args, '');
      } finally {
        args.delete();
        for (const name of FS.readdir('/warm')) {
          if (name !== '.' && name !== '..') FS.unlink('/warm/' + name);
        }
      }
      postMessage({ id, ok: true });
      return;
    }
    default:
      fail(id, 'unknown request ' + op);
  }
}

const queue = [];
onmessage = (event) => {
  if (event.data.wasm) {
    start(event.data.wasm);
  } else if (engine) {
    try { handle(event.data); } catch (e) { fail(event.data.id, e && e.message ? e.message : e); }
  } else {
    queue.push(event.data);
  }
};

// The page compiles the WebAssembly once and hands every worker the compiled module.
const start = (wasm) => createTavrikEngine({
  print: () => {},
  printErr: () => {},
  onStatusLine: (line) => postMessage({ id: current, status: line }),
  instantiateWasm: (imports, receive) => {
    WebAssembly.instantiate(wasm, imports).then((instance) => receive(instance, wasm),
      (error) => postMessage({ ready: false, message: String(error) }));
    return {};
  },
}).then((module) => {
  engine = module;
  engine.FS.mkdir(outFolder);
  postMessage({ ready: true });
  for (const request of queue.splice(0)) {
    try { handle(request); } catch (e) { fail(request.id, e && e.message ? e.message : e); }
  }
}, (error) => postMessage({ ready: false, message: String(error) }));
