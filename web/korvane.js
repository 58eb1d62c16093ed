// The page: takes a settings file or a zone folder (pickers or a drop),
// hands it to the worker that checks it, and shows the report line for line
// as korvane-check prints it. Nothing is sent anywhere.
"use strict";

(() => {
  const $ = (id) => document.getElementById(id);
  const report = $("report");
  const warnings = $("warnings");
  const status = $("status");
  const tooltip = $("explanation");
  const explanations = new WeakMap(); // report line element -> its explanation

  // ---- Colours: the document's red and blue, lightened on this dark
  // scheme, keeping their hue, to the least lightness that reads at 4.5:1
  // against the report's background (the windows' rule).
  const kReadable = 4.5;
  const channelLinear = (c) => (c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4);
  const luminance = ([r, g, b]) =>
    0.2126 * channelLinear(r / 255) + 0.7152 * channelLinear(g / 255) +
    0.0722 * channelLinear(b / 255);
  const contrast = (a, b) => {
    const la = luminance(a), lb = luminance(b);
    return (Math.max(la, lb) + 0.05) / (Math.min(la, lb) + 0.05);
  };
  function toHsl([r, g, b]) {
    const [R, G, B] = [r / 255, g / 255, b / 255];
    const max = Math.max(R, G, B), min = Math.min(R, G, B), l = (max + min) / 2;
    if (max === min) return [0, 0, l];
    const d = max - min, s = l > 0.5 ? d / (2 - max - min) : d / (max + min);
    const h = max === R ? (G - B) / d + (G < B ? 6 : 0) : max === G ? (B - R) / d + 2 : (R - G) / d + 4;
    return [h / 6, s, l];
  }
  function fromHsl([h, s, l]) {
    const q = l < 0.5 ? l * (1 + s) : l + s - l * s, p = 2 * l - q;
    const hue = (t) => {
      t = (t + 1) % 1;
      if (t < 1 / 6) return p + (q - p) * 6 * t;
      if (t < 1 / 2) return q;
      if (t < 2 / 3) return p + (q - p) * (2 / 3 - t) * 6;
      return p;
    };
    return [hue(h + 1 / 3), hue(h), hue(h - 1 / 3)].map((c) => Math.round(c * 255));
  }
  function shownOn(base, wanted) {
    if (luminance(base) >= 0.5 || contrast(wanted, base) >= kReadable) return wanted;
    const [h, s, l] = toHsl(wanted);
    let low = l, high = 1;
    for (let step = 0; step < 24; ++step) {
      const middle = (low + high) / 2;
      if (contrast(fromHsl([h, s, middle]), base) >= kReadable) high = middle;
      else low = middle;
    }
    return fromHsl([h, s, high]);
  }
  function setColours() {
    const base = getComputedStyle(report).backgroundColor.match(/\d+/g).slice(0, 3).map(Number);
    const css = (rgb) => `rgb(${rgb.join(", ")})`;
    document.documentElement.style.setProperty("--red", css(shownOn(base, [255, 0, 0])));
    document.documentElement.style.setProperty("--blue", css(shownOn(base, [0, 0, 255])));
  }

  // ---- The report: one element per line, in order.
  const kColourClass = { 255: "red", 16711680: "blue" }; // 0x00BBGGRR, as korvane-check gives

  function line(parent, text, colourClass, explanation) {
    const element = document.createElement("div");
    element.textContent = text;
    if (colourClass) element.className = colourClass;
    if (explanation) {
      element.classList.add("explained");
      element.tabIndex = 0;
      element.setAttribute("aria-describedby", "explanation");
      explanations.set(element, explanation);
    }
    parent.append(element);
    return element;
  }

  let headed = false; // reports are headed ==> FILE <== when more than one
  let reports = 0;
  function showResult(result, lines) {
    if (result.lines) {
      if (headed) {
        if (reports > 0) line(lines, "");
        line(lines, result.heading);
      }
      reports += 1;
      const explained = new Map(result.explanations.map((e) => [e.line, e.text]));
      result.lines.forEach((l, i) => line(lines, l.text, kColourClass[l.colour], explained.get(i)));
      for (const w of result.warnings) line(warnings, w, "warning");
    }
    if (result.trouble) line(warnings, result.trouble, "warning");
  }
  function showZone(summary) {
    if (summary.listTrouble) line(warnings, summary.listTrouble, "warning");
    if (summary.trouble) line(warnings, summary.trouble, "warning");
    if (summary.line) {
      line(report, "");
      line(report, summary.line);
    }
  }

  // ---- Explanations, on hover and on keyboard focus.
  function explain(element) {
    const text = element && explanations.get(element);
    if (!text) return hideExplanation();
    tooltip.textContent = text;
    tooltip.hidden = false;
    const box = element.getBoundingClientRect();
    tooltip.style.left = `${box.left + window.scrollX + 24}px`;
    tooltip.style.top = `${box.bottom + window.scrollY + 4}px`;
  }
  function hideExplanation() {
    tooltip.hidden = true;
  }
  report.addEventListener("mouseover", (e) => explain(e.target.closest(".explained")));
  report.addEventListener("mouseleave", hideExplanation);
  report.addEventListener("focusin", (e) => explain(e.target.closest(".explained")));
  report.addEventListener("focusout", hideExplanation);
  document.addEventListener("keydown", (e) => {
    if (e.key === "Escape") hideExplanation();
  });

  // ---- The worker, kept warm so a check starts at once; replaced when a
  // check is stopped or fails.
  let worker = null;
  let busy = false;
  function startWorker() {
    worker = new Worker("korvane.worker.js");
    worker.onmessage = (event) => onWorker(event.data);
    worker.onerror = (event) => finish(`The check failed: ${event.message}`);
  }

  // What the worker says is shown a few times a second, and its end at
  // once: each showing lays out the whole report again, and a zone of a
  // thousand arenas sends a thousand reports in a moment.
  let waiting = [];
  let showTimer = 0;
  function onWorker(message) {
    waiting.push(message);
    if (message.type === "done" || message.type === "failed") {
      clearTimeout(showTimer);
      showTimer = 0;
      requestAnimationFrame(showWaiting);
    } else if (!showTimer) {
      showTimer = setTimeout(() => {
        showTimer = 0;
        requestAnimationFrame(showWaiting);
      }, 250);
    }
  }
  function showWaiting() {
    const messages = waiting;
    waiting = [];
    const lines = document.createDocumentFragment();
    let progress = null;
    for (const message of messages) {
      if (message.type === "progress") progress = message;
      else if (message.type === "result") showResult(message.result || JSON.parse(message.json), lines);
      else {
        report.append(lines);
        if (message.type === "zone") showZone(message.summary);
        else if (message.type === "done") {
          document.body.dataset.readMs = Math.round(message.spent.readMs);
          document.body.dataset.engineMs = Math.round(message.spent.engineMs);
          finish("");
        }
        else if (message.type === "failed")
          finish(message.name === "NotReadableError" ? changedMessage() : `The check failed: ${message.message}.`);
      }
    }
    report.append(lines);
    if (progress && busy) showProgress(progress);
  }

  const mib = (bytes) => `${(bytes / 1048576).toFixed(1)} MiB`;
  function showProgress(message) {
    const progress = $("progress");
    if (message.total > 0) {
      progress.max = message.total;
      progress.value = Math.min(message.done, message.total);
    } else {
      progress.removeAttribute("value");
    }
    status.textContent = message.phase === "read"
      ? `Reading ${message.name} (${mib(message.done)} of ${mib(message.total)})...`
      : message.total > 0
        ? `Checking arena ${Math.min(message.done + 1, message.total)} of about ${message.total}...`
        : `Checking ${message.name}...`;
  }

  function finish(message) {
    busy = false;
    document.body.dataset.state = "idle";
    document.body.dataset.checks = Number(document.body.dataset.checks || 0) + 1;
    // From the choice to the report painted, for the benchmark.
    const started = checkStarted;
    requestAnimationFrame(() => setTimeout(() => {
      document.body.dataset.checkMs = Math.round(performance.now() - started);
    }));
    $("progress-row").hidden = true;
    $("stop").hidden = true;
    $("report-heading").hidden = report.childElementCount === 0;
    $("warnings-heading").hidden = warnings.childElementCount === 0;
    status.textContent = message || (report.childElementCount ? "Checked." : "");
    if (message) {
      worker.terminate();
      startWorker();
    }
  }

  // ---- What was chosen: files by the paths the user sees, and what to
  // check among them.
  let chosen = null; // {name, files: async () => [{path, file}]}

  const isSettingsName = (name) => /\.(cfg|conf)$/i.test(name);

  // Targets: a zone folder (one that holds arenas/) is checked as a zone;
  // another folder's settings files one by one; chosen files as they are.
  function targetsOf(files) {
    const byTop = new Map();
    const targets = [];
    for (const f of files) {
      const slash = f.path.indexOf("/");
      if (slash < 0) {
        targets.push({ kind: "file", path: f.path });
        continue;
      }
      const top = f.path.slice(0, slash);
      if (!byTop.has(top)) byTop.set(top, []);
      byTop.get(top).push(f.path);
    }
    for (const [top, paths] of byTop) {
      const arenas = new Set();
      for (const p of paths) {
        const m = p.slice(top.length + 1).match(/^arenas\/([^/]+)\//);
        if (m && !m[1].startsWith(".")) arenas.add(m[1]);
      }
      if (arenas.size > 0) {
        targets.push({ kind: "zone", path: top, arenas: arenas.size });
      } else {
        paths.filter(isSettingsName).sort()
          .forEach((p) => targets.push({ kind: "file", path: p }));
      }
    }
    return targets;
  }

  let checkStarted = 0;
  async function run(choice) {
    checkStarted = performance.now();
    waiting = [];
    clearTimeout(showTimer);
    showTimer = 0;
    delete document.body.dataset.checkMs;
    hideExplanation();
    report.replaceChildren();
    warnings.replaceChildren();
    reports = 0;
    document.title = `${choice.name} - Korvane`;
    $("again").disabled = false;
    let files;
    try {
      files = await choice.files();
    } catch (error) {
      finish(error.name === "NotReadableError" ? changedMessage() : `The files could not be read: ${error.message}.`);
      return;
    }
    if (files.length === 0) {
      finish(`No file in ${choice.name}.`);
      return;
    }
    const targets = targetsOf(files);
    if (targets.length === 0) {
      finish(`No settings file (.cfg or .conf) in ${choice.name}.`);
      return;
    }
    headed = targets.length > 1 || targets[0].kind === "zone";
    if (busy) {
      worker.terminate();
      startWorker();
    }
    busy = true;
    document.body.dataset.state = "checking";
    $("progress-row").hidden = false;
    $("stop").hidden = false;
    status.textContent = `Checking ${choice.name}...`;
    worker.postMessage({ files, targets });
  }

  // A file chosen through a picker is the browser's snapshot of it.
  const changedMessage = () =>
    `${chosen.name} changed since it was chosen, and the browser lets the page read a changed ` +
    "file only when it is chosen again: use Check... or drop it again.";

  // `files` gives [{path, file}] each time it is called: Check Again calls
  // it again.
  function choose(name, files) {
    chosen = { name, files };
    run(chosen);
  }

  // <input type="file">: its Files are the browser's snapshots of them.
  $("file").addEventListener("change", (e) => {
    const files = [...e.target.files].map((file) => ({ path: file.name, file }));
    e.target.value = "";
    if (files.length) choose(files.map((f) => f.path).join(", "), async () => files);
  });
  $("folder").addEventListener("change", (e) => {
    const files = [...e.target.files].map((file) => ({ path: file.webkitRelativePath, file }));
    e.target.value = "";
    if (files.length) choose(files[0].path.split("/")[0], async () => files);
  });
  $("again").addEventListener("click", () => chosen && run(chosen));
  $("stop").addEventListener("click", () => finish("Stopped."));

  // ---- Drag and drop: files, and folders walked to their files. Where the
  // browser gives handles (Chromium), Check Again walks and reads them anew,
  // changed files and new arenas too; elsewhere the dropped entries.
  async function handleFiles(handle, path, into) {
    if (handle.kind === "file") {
      into.push({ path, file: await handle.getFile() });
      return;
    }
    for await (const child of handle.values()) await handleFiles(child, `${path}/${child.name}`, into);
  }
  async function entryFiles(entry, into) {
    if (entry.isFile) {
      const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
      into.push({ path: entry.fullPath.replace(/^\//, ""), file });
      return;
    }
    const reader = entry.createReader();
    for (;;) {
      const entries = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
      if (entries.length === 0) return;
      for (const child of entries) await entryFiles(child, into);
    }
  }
  const drop = $("drop");
  drop.addEventListener("dragover", (e) => {
    e.preventDefault();
    drop.classList.add("over");
  });
  drop.addEventListener("dragleave", () => drop.classList.remove("over"));
  drop.addEventListener("drop", async (e) => {
    e.preventDefault();
    drop.classList.remove("over");
    // Both are to be asked for during the event itself.
    const items = [...e.dataTransfer.items].filter((item) => item.kind === "file");
    const entries = items.map((item) => item.webkitGetAsEntry()).filter(Boolean);
    const handles = items.map((item) => item.getAsFileSystemHandle && item.getAsFileSystemHandle());
    const roots = (await Promise.all(handles.map((h) => h && h.catch(() => null)))).filter(Boolean);
    if (roots.length === 0 && entries.length === 0) return;
    const lister = roots.length === items.length
      ? async () => {
        const files = [];
        for (const root of roots) await handleFiles(root, root.name, files);
        return files;
      }
      : async () => {
        const files = [];
        for (const entry of entries) await entryFiles(entry, files);
        return files;
      };
    const names = (roots.length === items.length ? roots : entries).map((r) => r.name);
    choose(names.join(", "), lister);
  });

  setColours();
  startWorker();
})();
