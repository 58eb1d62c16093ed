// The check, away from the page's thread, so that a huge file or a zone of
// a thousand arenas never stops the page: reads the files it is handed,
// holds them in the engine's memory and checks each target, telling the
// page of its progress and of each result as it comes.
"use strict";

importScripts("korvane-engine.js");

let engine = null;
const ready = KorvaneEngine({
  // Each arena of a zone, as the engine finishes it (engine_glue.cpp): its
  // JSON text as it is, which crosses to the page far faster than the
  // objects parsed from it would.
  onArena: (json) => {
    postMessage({ type: "result", json });
    arenasDone += 1;
    postMessage({ type: "progress", phase: "check", done: arenasDone, total: arenasExpected });
  },
}).then((module) => {
  engine = module;
});
let arenasDone = 0;
let arenasExpected = 0;

// A string in the engine's memory for the length of `use`.
function withString(text, use) {
  const size = engine.lengthBytesUTF8(text) + 1;
  const at = engine._malloc(size);
  engine.stringToUTF8(text, at, size);
  try {
    return use(at);
  } finally {
    engine._free(at);
  }
}

function put(path, bytes) {
  // The room first: making it may grow the memory, and HEAPU8 with it.
  const at = engine._kw_file_buffer(bytes.length);
  engine.HEAPU8.set(bytes, at);
  withString(path, (name) => engine._kw_put(name));
}

function answer(fn, argument) {
  return withString(argument, (at) => JSON.parse(engine.UTF8ToString(fn(at))));
}

// Files are read a few at a time: each read waits on the browser's file
// store more than on the processor.
const kReadsAtOnce = 32;

// files: [{path, file}]; targets: [{kind: "file" | "zone", path, arenas}].
// What the check spent reading the files and in the engine, in
// milliseconds, for the benchmark.
async function check({ files, targets }) {
  const started = performance.now();
  engine._kw_clear();
  const total = files.reduce((sum, f) => sum + f.file.size, 0);
  let read = 0;
  for (let i = 0; i < files.length; i += kReadsAtOnce) {
    const some = files.slice(i, i + kReadsAtOnce);
    postMessage({ type: "progress", phase: "read", done: read, total, name: some[0].path });
    const buffers = await Promise.all(some.map((f) => f.file.arrayBuffer()));
    some.forEach((f, j) => {
      put(f.path, new Uint8Array(buffers[j]));
      read += f.file.size;
    });
  }
  const readEnd = performance.now();
  for (const target of targets) {
    postMessage({ type: "progress", phase: "check", name: target.path, done: 0,
                  total: target.kind === "zone" ? target.arenas : 0 });
    if (target.kind === "zone") {
      arenasDone = 0;
      arenasExpected = target.arenas;
      postMessage({ type: "zone", summary: answer(engine._kw_check_zone, target.path) });
    } else {
      postMessage({ type: "result", result: answer(engine._kw_check, target.path) });
    }
  }
  engine._kw_clear();
  return { readMs: readEnd - started, engineMs: performance.now() - readEnd };
}

onmessage = async (event) => {
  try {
    await ready;
    postMessage({ type: "done", spent: await check(event.data) });
  } catch (error) {
    postMessage({ type: "failed", name: error && error.name,
                  message: String(error && error.message || error) });
  }
};
