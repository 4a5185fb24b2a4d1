// The extension and the native-messaging host in a real browser: headless
// Chromium loads the extension for a page of a local server, the page calls
// methods of every family through the client, npDravenilFileAccess.js, and
// each answer must be what the console gives for the same call through the
// plug-in. The same page then runs in a Chromium without the extension, where
// the client finds a stand-in of the browser's plug-in (see pluginRoute).
//
//   node tests/chromium/browser_test.js
//
// Chromium is driven over --remote-debugging-pipe. Exits non-zero on any
// difference.
"use strict";
const { spawn, execFileSync } = require("child_process");
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");

const root = path.resolve(__dirname, "..", "..");
// The browser tests set the machine's origin policy, which the host reads:
// they run in a prefix of their own, so that no other test's program is
// refused meanwhile. It is made once, quietly.
const prefix = process.env.BROWSER_TEST_PREFIX || path.join(root, "build", "wine-browsers");
const wineEnv = { ...process.env, WINEPREFIX: prefix, WINEDEBUG: "-all" };
if (!fs.existsSync(path.join(prefix, "system.reg"))) {
  fs.mkdirSync(prefix, { recursive: true });
  require("child_process").spawnSync("wineboot", ["-i"],
    { env: { ...wineEnv, WINEARCH: "win32" }, stdio: "ignore" });
}
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "browser-test-"));
const outer = `browser-test-${process.pid}`;

function fail(message) {
  console.error(`FAILED: ${message}`);
  process.exitCode = 1;
}

function winePath(unixPath) {
  return execFileSync("winepath", ["-w", unixPath], { env: wineEnv }).toString().trim();
}

// The machine's origin policy in the prefix, which the host reads and the
// extension registers its page scripts for. A test sets it and removes it
// again; a prefix that already has one is not the test's to change.
const policyKey = "HKLM\\Software\\Policies\\Dravenil\\FileAccessPlugin";
function reg(args) {
  return spawnSyncQuiet("wine", ["reg", ...args]);
}
function spawnSyncQuiet(command, args) {
  const { spawnSync } = require("child_process");
  return spawnSync(command, args, { env: wineEnv, stdio: ["ignore", "pipe", "ignore"] });
}
function policyIsSet() {
  return reg(["query", policyKey, "/v", "AllowedOrigins"]).status === 0;
}
function setPolicy(value) {
  if (reg(["add", policyKey, "/v", "AllowedOrigins", "/d", value, "/f"]).status !== 0) {
    throw new Error("the origin policy could not be set in the prefix");
  }
}
function removePolicy() {
  reg(["delete", policyKey, "/f"]);
}

// Waits until a page of `url` gets window.DravenilFileAccess (the extension
// has learned the policy and registered its scripts), loading it afresh each
// time; `load(url)` gives what the page's `typeof` says.
async function waitServed(load, url, want = "object", seconds = 60) {
  let seen;
  for (const deadline = Date.now() + seconds * 1000; Date.now() < deadline;) {
    seen = await load(url);
    if (seen === want) return true;
    await new Promise((r) => setTimeout(r, 500));
  }
  fail(`${url} still sees ${seen}, not ${want}`);
  return false;
}

// Evaluates `expression` in a fresh page of `url`, once it has loaded, and
// closes the page.
async function evaluateIn(cdp, url, expression) {
  const target = await cdp.send("Target.createTarget", { url });
  const session = (await cdp.send("Target.attachToTarget", { targetId: target.targetId, flatten: true })).sessionId;
  // A busy machine may take seconds to load even a small page: up to 30 s.
  for (let attempt = 0; attempt < 300; attempt++) {
    const ready = await cdp.evaluate(session, "document.readyState", false);
    if (ready.result.value === "complete") break;
    await new Promise((r) => setTimeout(r, 100));
  }
  // The expressions catch their own errors: an exception here is the page's
  // context going away under it (the extension putting its scripts into a
  // page as it learns the policy, on a busy machine), and it is asked again.
  let answer;
  for (let attempt = 0; attempt < 3; attempt++) {
    answer = await cdp.evaluate(session, expression);
    if (!answer.exceptionDetails) break;
    await new Promise((r) => setTimeout(r, 500));
  }
  await cdp.send("Target.closeTarget", { targetId: target.targetId });
  return answer.result.value;
}

// The extension serves the policy's origin and not `otherOrigin`, then
// follows a change of the policy to `otherOrigin` without a restart.
// `evaluate(url, expression)` runs in a fresh page of `url`.
async function followsThePolicy(evaluate, origin, otherOrigin, seconds) {
  const load = (url) => evaluate(url, "typeof window.DravenilFileAccess");
  if (!await waitServed(load, origin + "/", "object", seconds)) {
    throw new Error("the policy's origin was never served");
  }
  const answer = await evaluate(origin + "/", "window.DravenilFileAccess.fileExists('C:\\\\windows\\\\win.ini')");
  if (answer !== true) fail(`the page's call answered ${answer}`);
  if (await load(otherOrigin + "/") !== "undefined") fail("a page of another origin sees the API");
  setPolicy(otherOrigin);
  await waitServed(load, otherOrigin + "/");
  await waitServed(load, origin + "/", "undefined");
}

// Listens with `first` and `second` on ports of which the second's digits
// begin with the first's (such as 4312 and 43127), so that an origin matched
// by its beginning rather than whole serves the wrong page.
async function listenOnPrefixedPorts(first, second) {
  const listen = (server, port) => new Promise((resolve) => {
    const done = (ok) => { server.removeAllListeners("error"); resolve(ok); };
    server.once("error", () => done(false));
    server.listen(port, "127.0.0.1", () => done(true));
  });
  // The ports browsers refuse to load from, in this range.
  const unsafe = new Set([1719, 1720, 1723, 2049, 3659, 4045, 4190, 5060, 5061, 6000]);
  for (let attempt = 0; attempt < 200; attempt++) {
    const port = 1024 + Math.floor(Math.random() * (6552 - 1024));
    if (unsafe.has(port) || !await listen(first, port)) continue;
    if (await listen(second, port * 10 + Math.floor(Math.random() * 10))) return;
    await new Promise((resolve) => first.close(resolve));
  }
  throw new Error("no two free ports of which one begins with the other");
}

// Two plain pages on this machine, for the policy's origin and another one:
// the other is a second port, reached by `otherHost`. close() ends both.
// With `built`, each also serves the client and /first, the page a user
// meets first: it includes the client and waits for its route.
async function twoPageOrigins(otherHost = "127.0.0.1", built = null) {
  const servers = [0, 1].map(() => http.createServer((request, response) => {
    if (built && serveClient(request, response, built)) return;
    response.writeHead(200, { "content-type": "text/html" });
    if (built && request.url === "/first") return response.end(firstPage());
    response.end("<!doctype html><title>page</title>");
  }));
  await listenOnPrefixedPorts(...servers);
  return {
    origin: `http://127.0.0.1:${servers[0].address().port}`,
    otherOrigin: `http://${otherHost}:${servers[1].address().port}`,
    close: () => servers.forEach((server) => server.close()),
  };
}

// The page opened with the browser: it includes the client, and its route
// must come without a reload, however long the browser takes to install the
// extension and the extension to learn the policy (the page passes its own
// bound).
function firstPage() {
  return `<!doctype html><title>first</title><script src="/npDravenilFileAccess.js"></script><script>
window.__first = DravenilFileAccess.ready({ timeout: 90000 })
  .then((r) => r.route + " after " + Math.round(performance.now()) + " ms", (e) => e.name + ": " + e.message);
</script>`;
}

// Headless Chromium driven over a pipe, with a profile of its own; with
// `extension`, that unpacked extension loaded and no other. Its first tab
// shows `firstUrl`.
function startChromium(binary, profile, extension, configHome, env = wineEnv, firstUrl = "about:blank") {
  const loading = extension ? [`--load-extension=${extension}`, `--disable-extensions-except=${extension}`] : [];
  const chromium = spawn(binary, [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
    `--user-data-dir=${profile}`, ...loading, "--remote-debugging-pipe", firstUrl,
  ], {
    stdio: ["ignore", "ignore", "ignore", "pipe", "pipe"], env: { ...env, XDG_CONFIG_HOME: configHome },
    // A process group of its own, so that its helpers can be waited for.
    detached: true,
  });
  return { chromium, cdp: new Cdp(chromium) };
}

// Ends Chromium and waits until every process of its group is gone: a helper
// that outlives it may still write into the profile while it is removed.
// Helpers get 5 s to end on their own (hosts end when their input closes).
async function stopChromium(chromium) {
  const group = (signal) => { try { process.kill(-chromium.pid, signal); return true; } catch (error) { return false; } };
  try { chromium.kill(); } catch (error) { /* gone */ }
  if (chromium.exitCode === null && chromium.signalCode === null) await new Promise((resolve) => chromium.once("exit", resolve));
  for (let waited = 0; group(0) && waited < 10000; waited += 100) {
    if (waited === 5000) group("SIGKILL");
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

// The calls the page makes, and the console makes after it.
function calls(exchange) {
  return [
    ["setReplayPos", ["100", false, exchange]],
    ["readCurrentReplayPos", [false, exchange]],
    ["startPlayback", [true]],
    ["checkReplayUpdate", [false, exchange]],
    ["createWSFolder", [outer, "W", "I"]],
    ["getWorkspaceList", [outer, "I"]],
    ["writeWSCurrentView", [outer, "W", "I", "timeline"]],
    ["readWSCurrentView", [outer, "W", "I"]],
    ["getCallDetailsForWorkspace", [outer, "W", "I"]],
    ["getCallDetailsForWorkspace", [outer, "Big", "I"]],
    ["getWorkspaceUsage", [outer, "I"]],
    // The client refuses these before any route: the plug-in's object would
    // give undefined and throw.
    ["fileExists", [5], "exception: fileExists: argument 1 (path) must be a string, not a number"],
    ["NoSuchMethod", [], "exception: exception during invocation: NoSuchMethod"],
    ["deleteWorkspace", [outer, "W", "I"]],
    ["getWorkspaceList", [outer, "I"]],
  ];
}

// The workspace set of this test, below the prefix's local application data.
function setFolder() {
  const appData = execFileSync("winepath", ["-u", "C:\\users"], { env: wineEnv }).toString().trim();
  const user = fs.readdirSync(appData).find((u) => fs.existsSync(path.join(appData, u, "AppData", "Local")) && u !== "Public");
  return path.join(appData, user, "AppData", "Local", "Dravenil", "Workspaces", outer);
}

// A fresh start for each run: the exchange folder empty, and one workspace
// holding a call details file of some MB (its answer comes in parts).
function prepare(exchangeDir) {
  fs.rmSync(exchangeDir, { recursive: true, force: true });
  fs.mkdirSync(exchangeDir, { recursive: true });
  const set = setFolder();
  fs.rmSync(set, { recursive: true, force: true });
  fs.mkdirSync(path.join(set, "I", "Big"), { recursive: true });
  const records = 300000;
  const bytes = Buffer.alloc(4 + records * 8);
  bytes.writeInt32LE(records, 0);
  for (let i = 0; i < records; i++) {
    bytes.writeInt32LE(100000 + i, 4 + i * 8);
    bytes.writeInt32LE(0, 8 + i * 8);
  }
  fs.writeFileSync(path.join(set, "I", "Big", "Calls.dat"), bytes);
}

// What the page must get: the client's own refusal where it refuses, else
// what the console gives through the plug-in.
function expectedAnswers(list, consoleAnswers) {
  return list.map(([, , refused], i) => refused || consoleAnswers[i]);
}

// Answers GET /npDravenilFileAccess.js with the client the extension build
// wrote into `built`; false for any other request.
function serveClient(request, response, built) {
  if (request.url !== "/npDravenilFileAccess.js") return false;
  response.writeHead(200, { "content-type": "text/javascript" });
  response.end(fs.readFileSync(path.join(built, "npDravenilFileAccess.js")));
  return true;
}

function runConsole(list) {
  const lines = list.map(([name, args]) => `${name}(${args.map((a) => JSON.stringify(a)).join(", ")})`);
  const output = execFileSync("wine", [path.join(root, "build", "windows", "bin", "plugin-console.exe"), "--quiet"],
    { input: lines.join("\n") + "\n", env: wineEnv, maxBuffer: 1 << 28, stdio: ["pipe", "pipe", "ignore"] });
  return output.toString().replace(/\r/g, "").split("\n").filter((l) => l.length > 0);
}

// The page: waits for the client's route, makes the calls in order and shows
// each answer as the console does.
function page(list) {
  return `<!doctype html><title>calls</title><script src="/npDravenilFileAccess.js"></script><script>
window.__answers = (async () => {
  const show = (v) => v === undefined ? "undefined" : typeof v === "string" ? JSON.stringify(v) : String(v);
  const out = [];
  let first = 0;
  const { route } = await DravenilFileAccess.ready();
  for (const [name, args] of ${JSON.stringify(list)}) {
    const start = performance.now();
    try { out.push(show(await window.DravenilFileAccess.call(name, ...args))); }
    catch (e) { out.push("exception: " + e.message); }
    if (!first) first = performance.now() - start;
  }
  // The round trip, page to host and back, over the port the calls opened.
  const rounds = 200, start = performance.now();
  for (let i = 0; i < rounds; i++) await window.DravenilFileAccess.fileExists("C:\\windows\\win.ini");
  out.push("round trip: first call on a new port " + first.toFixed(1) + " ms, then " +
           ((performance.now() - start) / rounds).toFixed(2) + " ms per call over one port");
  out.push("typed:" + typeof window.DravenilFileAccess.fileExists);
  out.push("route:" + route);
  return out;
})().catch((e) => ["ready: " + e.message]);
// What the page's own script cannot do, and what a frame of another origin
// inside it cannot do either.
window.__checks = window.__answers.then(async () => {
  const api = window.DravenilFileAccess;
  const settle = async (f) => {
    try { return "resolved " + String(await f()); } catch (e) { return e.constructor.name + ": " + e.message; }
  };
  const cyclic = [];
  cyclic.push(cyclic);
  const out = {
    bigint: await settle(() => api.fileExists(1n)),
    func: await settle(() => api.fileExists(() => 1)),
    symbol: await settle(() => api.call("fileExists", Symbol("s"))),
    cyclic: await settle(() => api.fileExists(cyclic)),
    nested: await settle(() => api.fileExists([1, { deep: 2n }])),
    nul: await settle(() => api.call("fileExists\\u0000junk", "x")),
    count: await settle(() => api.deleteWorkspace("a", "b")),
    unknown: await settle(() => api.call("toString")),
    huge: await settle(() => api.fileExists("x".repeat(65 * 1024 * 1024))),
  };
  await api.createWSFolder(${JSON.stringify(outer)}, "O'Brien \u2028 x", "Q");
  const names = api.parse.workspaceList(await api.getWorkspaceList(${JSON.stringify(outer)}, "Q"));
  out.names = names.length === 1 && names[0] === "O'Brien \u2028 x" ? "exact" : JSON.stringify(names);
  const seen = [];
  window.addEventListener("message", (e) => { if (e.data && e.data.id === 999999) seen.push(e.data.source); });
  const frame = document.createElement("iframe");
  frame.src = window.__frameUrl;
  document.body.appendChild(frame);
  await new Promise((resolve) => frame.addEventListener("load", resolve));
  // A frame of the page's own origin: only the relay's check of the sending
  // window stands between its forged requests and the host.
  const same = document.createElement("iframe");
  same.src = location.origin + "/sameframe";
  document.body.appendChild(same);
  await new Promise((resolve) => same.addEventListener("load", resolve));
  await new Promise((resolve) => setTimeout(resolve, 1500));
  out.forgedAnswers = seen.filter((s) => s === "dravenil-extension").length;
  out.forgedSeen = seen.length;
  out.after = await settle(() => api.fileExists("C:\\\\windows\\\\win.ini"));
  return out;
});
</script>`;
}

// The page's answers against what it must get, one by one.
function compareAnswers(what, list, answers, expected) {
  if (answers.length !== expected.length) {
    fail(`${what}: ${answers.length} answers where ${expected.length} were due: ${String(answers[0]).slice(0, 200)}`);
    return;
  }
  list.forEach(([name], i) => {
    if (answers[i] !== expected[i]) {
      fail(`${what}: ${name}: the page got ${String(answers[i]).slice(0, 80)}, not ${String(expected[i]).slice(0, 80)}`);
    }
  });
  if ((answers[9] || "").length < (1 << 20)) fail(`${what}: the large call details answer is not larger than one message`);
  if (!process.exitCode) console.log(`${what}: ${answers.length} calls answered as the console answers them`);
}

// A stand-in of the browser's plug-in, as far as a browser without plug-ins
// allows: the page's navigator lists the MIME type, and an embed of that
// type that is in the document has the methods of the table, each of which
// hands its call synchronously to the test's server, which runs it through
// the real plug-in in one console. What it proves: the client finds the
// plug-in's route by itself, writes the embed, and turns the object's
// answers and throws into the same promises as on the extension's route.
// What it does not: that a browser's own plug-in loading works.
class PluginStandIn {
  constructor() {
    this.console = spawn("wine", [path.join(root, "build", "windows", "bin", "plugin-console.exe"), "--quiet"],
      { env: wineEnv, stdio: ["pipe", "pipe", "ignore"] });
    this.waiting = [];
    let buffered = "";
    this.console.stdout.on("data", (chunk) => {
      buffered += chunk.toString();
      let end;
      while ((end = buffered.indexOf("\n")) >= 0) {
        const line = buffered.slice(0, end).replace(/\r$/, "");
        buffered = buffered.slice(end + 1);
        const next = this.waiting.shift();
        if (next) next(line);
      }
    });
  }
  answer(request, response) {
    let body = "";
    request.on("data", (chunk) => { body += chunk; });
    request.on("end", () => {
      // The page's own checks end in a call of 65 MB, after its answers: it
      // would only keep the console busy.
      if (body.length > (1 << 20)) return response.end("undefined");
      this.waiting.push((line) => {
        response.writeHead(200, { "content-type": "text/plain" });
        response.end(line);
      });
      this.console.stdin.write(body.replace(/[\r\n]/g, " ") + "\n");
    });
  }
  close() {
    this.console.stdin.end();
    return new Promise((resolve) => (this.console.exitCode !== null ? resolve() : this.console.once("exit", resolve)));
  }
  // The page-side script, run before any script of a page.
  static source(methods) {
    return `(() => {
  const type = "application/x-dravenilfileaccessplugin";
  const entry = { type, enabledPlugin: { version: "stand-in", description: "stand-in" } };
  Object.defineProperty(Navigator.prototype, "mimeTypes", { get: () => ({ length: 1, 0: entry, [type]: entry }) });
  const call = (name, args) => {
    const request = new XMLHttpRequest();
    request.open("POST", "/plugin-call", false);
    request.send(name + "(" + args.map((a) => JSON.stringify(a)).join(", ") + ")");
    const line = request.responseText;
    if (line.startsWith("exception: ")) throw new Error(line.slice(11));
    return line === "undefined" ? undefined : JSON.parse(line);
  };
  for (const name of ${JSON.stringify(methods)}) {
    Object.defineProperty(HTMLEmbedElement.prototype, name, { configurable: true,
      get() { return this.type === type && this.isConnected ? (...args) => call(name, args) : undefined; } });
  }
})();`;
  }
}

// The page's answers on the plug-in's route, in a Chromium without the
// extension where the stand-in plays the plug-in.
async function pluginRoute(cdp, url) {
  const { methods } = require(path.join(scratch, "built", "npDravenilFileAccess.js"));
  const { targetId } = await cdp.send("Target.createTarget", { url: "about:blank" });
  const { sessionId } = await cdp.send("Target.attachToTarget", { targetId, flatten: true });
  await cdp.send("Page.enable", {}, sessionId);
  await cdp.send("Page.addScriptToEvaluateOnNewDocument", { source: PluginStandIn.source(methods) }, sessionId);
  await cdp.send("Page.navigate", { url }, sessionId);
  for (let attempt = 0; attempt < 100; attempt++) {
    const evaluated = await cdp.evaluate(sessionId, "window.__answers");
    if (evaluated.result.value) return evaluated.result.value;
    await new Promise((r) => setTimeout(r, 200));
  }
  throw new Error("the page gave no answers on the plug-in's route");
}

// Long calls through the extension, on a workspace of many small files: a
// copy reports progress that grows, with the totals of the tree; a quick
// call made during it is answered first; a cancelled copy rejects with an
// AbortError and leaves part of the files; a rename waits for the copy of
// the same workspace.
async function longCalls(cdp, url) {
  const long = path.join(setFolder(), "I", "Long", "Calls");
  const folders = 30, files = 100;
  for (let d = 0; d < folders; d++) {
    fs.mkdirSync(path.join(long, `d${d}`), { recursive: true });
    for (let f = 0; f < files; f++) fs.writeFileSync(path.join(long, `d${d}`, `f${f}.wav`), "a".repeat(1000));
  }
  const out = await evaluateIn(cdp, url, `(async () => {
    const api = window.DravenilFileAccess, outer = ${JSON.stringify(outer)};
    const events = [];
    let quick, copyDone = false;
    const copy = api.copyWSFolder(outer, "I", "Long", "Copy", { onProgress: (p) => {
      events.push(p);
      quick = quick || api.fileExists("C:\\\\windows\\\\win.ini").then((v) => v + (copyDone ? " after" : " during"));
    } });
    const copied = await copy;
    copyDone = true;
    const stop = new AbortController();
    // Stopped once some bytes are copied (the first reports may come while
    // the copy still counts what it will do, or has made only folders).
    const cancelled = await api.copyWSFolder(outer, "I", "Long", "Part", {
      onProgress: (p) => { if (p.bytesDone > 0) stop.abort(); }, signal: stop.signal })
      .then((v) => "resolved " + v, (e) => e.name + ": " + e.message);
    const order = await Promise.all([api.copyWSFolder(outer, "I", "Long", "Again"), api.renameWS(outer, "Again", "Moved", "I")]);
    // document.open() removes every listener of the window and the document:
    // the copy it interrupts still answers, and so does a call made after it.
    const reopening = api.copyWSFolder(outer, "I", "Long", "Reopened").then(String, (e) => e.name);
    document.open();
    document.write("<!doctype html><title>rewritten</title>");
    document.close();
    const reopened = [await reopening, await api.fileExists("C:\\\\windows\\\\win.ini").then(String, (e) => e.name)];
    return { copied, events, quick: await quick, cancelled, order, reopened };
  })()`);
  const count = (folder) => fs.existsSync(folder) ? fs.readdirSync(folder, { recursive: true })
    .filter((name) => name.endsWith(".wav")).length : 0;
  const set = path.join(setFolder(), "I");
  if (!out || out.copied !== true) fail(`the long copy answered ${JSON.stringify(out && out.copied)}`);
  const events = (out && out.events) || [];
  if (events.length < 2) fail(`the long copy reported ${events.length} times`);
  events.forEach((e, i) => {
    if (e.entriesTotal !== folders * (files + 1) + 1 || e.bytesTotal !== folders * files * 1000) fail(`progress ${JSON.stringify(e)} names other totals`);
    if (i && (e.entriesDone < events[i - 1].entriesDone || e.bytesDone < events[i - 1].bytesDone)) fail(`progress went back: ${JSON.stringify(e)}`);
    if (e.entriesDone > e.entriesTotal) fail(`progress beyond its total: ${JSON.stringify(e)}`);
  });
  if (count(path.join(set, "Copy")) !== folders * files) fail("the long copy is not whole");
  if (out && out.quick !== "true during") fail(`the quick call during the copy: ${out.quick}`);
  if (!/^AbortError: /.test(out && out.cancelled)) fail(`the cancelled copy: ${out && out.cancelled}`);
  const part = count(path.join(set, "Part"));
  if (!(part > 0 && part < folders * files)) fail(`the cancelled copy left ${part} files`);
  if (JSON.stringify(out && out.order) !== "[true,true]" || count(path.join(set, "Moved")) !== folders * files) {
    fail(`copy then rename of the same workspace: ${JSON.stringify(out && out.order)}`);
  }
  if (JSON.stringify(out && out.reopened) !== '["true","true"]' || count(path.join(set, "Reopened")) !== folders * files) {
    fail(`calls around document.open(): ${JSON.stringify(out && out.reopened)}`);
  }
  if (!process.exitCode) console.log(`browser: a long copy reported ${events.length} times; cancelled, it left ${part} of ${folders * files} files`);
  for (const name of ["Long", "Copy", "Part", "Moved", "Again", "Reopened"]) fs.rmSync(path.join(set, name), { recursive: true, force: true });
}

// The extension's status page (its toolbar button's) for `origin`, as a
// person sees it: the verdict, the fix and the details in words, and a
// screenshot kept in build/status-pages/ to look at.
const statusVerdicts = {
  served: /^This page is served: /,
  refused: /^This page is not served: the administrator's origin policy does not name /,
  missing: /^No page is served: the file access host is not installed for this browser\.$/,
  forbidden: /^No page is served: the installed file access host does not allow this extension\.$/,
};
async function statusPage(cdp, extensionId, origin, state) {
  const target = await cdp.send("Target.createTarget",
    { url: `chrome-extension://${extensionId}/status.html?origin=${encodeURIComponent(origin)}` });
  const session = (await cdp.send("Target.attachToTarget", { targetId: target.targetId, flatten: true })).sessionId;
  let text = "";
  for (let attempt = 0; attempt < 300 && !text; attempt++) {
    text = (await cdp.evaluate(session,
      "document.querySelector('#verdict.waiting') ? '' : document.body.innerText", false)).result.value || "";
    if (!text) await new Promise((r) => setTimeout(r, 100));
  }
  const shot = await cdp.send("Page.captureScreenshot", { format: "png" }, session);
  await cdp.send("Target.closeTarget", { targetId: target.targetId });
  const folder = path.join(root, "build", "status-pages");
  fs.mkdirSync(folder, { recursive: true });
  fs.writeFileSync(path.join(folder, `chromium-${state}.png`), Buffer.from(shot.data, "base64"));
  const verdict = text.split("\n").find((line) => line.trim() && line !== "Dravenil File Access") || "";
  if (!statusVerdicts[state].test(verdict)) fail(`the status page when ${state}: ${text.slice(0, 400)}`);
  return verdict;
}

// The id Chromium gives an extension: the first 32 hex digits of the SHA-256
// of its public key, written with the letters a to p.
function extensionIdOf(manifestPath) {
  const key = JSON.parse(fs.readFileSync(manifestPath, "utf8")).key;
  const digest = require("crypto").createHash("sha256").update(Buffer.from(key, "base64")).digest("hex");
  return [...digest.slice(0, 32)].map((c) => String.fromCharCode(97 + parseInt(c, 16))).join("");
}

// What a page of an origin the extension serves is told when the host is
// missing, when its manifest allows another extension, and when the policy
// is narrowed after the page loaded: each by its name; and what the
// extension's status page says in each state.
async function namedErrors(cdp, origin, profile, extensionId, otherOrigin) {
  const manifest = path.join(profile, "NativeMessagingHosts", "com.dravenil.fileaccess.json");
  const kept = fs.readFileSync(manifest);
  const readyIn = (url) => evaluateIn(cdp, url,
    "DravenilFileAccess.ready().then((r) => 'ready ' + r.route, (e) => e.name + ': ' + e.message)");
  const seen = {};
  await statusPage(cdp, extensionId, origin, "served");
  await statusPage(cdp, extensionId, otherOrigin, "refused");
  try {
    const narrowed = await evaluateIn(cdp, origin + "/client", `(async () => {
      // A busy machine may keep the first ready() waiting past its time: it
      // is asked again, as a page would.
      let route;
      for (let attempt = 0; attempt < 3 && !route; attempt++) route = await DravenilFileAccess.ready().catch(() => undefined);
      if (!route) return DravenilFileAccess.ready().then(() => "ready", (e) => "not ready: " + e.name + ": " + e.message);
      await fetch("/narrow");
      return DravenilFileAccess.fileExists("C:\\\\windows\\\\win.ini").then(String, (e) => e.name + ": " + e.message);
    })()`);
    seen.narrowed = narrowed;
    fs.rmSync(manifest);
    await new Promise((r) => setTimeout(r, 1200));
    seen.missing = await readyIn(origin + "/client");
    await statusPage(cdp, extensionId, origin, "missing");
    const other = JSON.parse(kept.toString());
    other.allowed_origins = ["chrome-extension://abcdefghijklmnopabcdefghijklmnop/"];
    fs.writeFileSync(manifest, JSON.stringify(other));
    await new Promise((r) => setTimeout(r, 1200));
    seen.forbidden = await readyIn(origin + "/client");
    await statusPage(cdp, extensionId, origin, "forbidden");
  } finally {
    fs.writeFileSync(manifest, kept);
    setPolicy(origin);
  }
  const expected = {
    narrowed: /^PolicyRefusedError: the administrator's origin policy does not allow this page's origin$/,
    missing: /^HostMissingError: the file access host is not installed for this browser: /,
    forbidden: /^HostForbiddenError: the file access host's manifest does not allow this extension /,
  };
  console.log(`browser: a served page is told ${Object.values(seen).map((v) => String(v).split(":")[0]).join(", ")}`);
  for (const [what, pattern] of Object.entries(expected)) {
    if (!pattern.test(String(seen[what]))) fail(`${what}: ${(typeof seen[what] === "object" ? JSON.stringify(seen[what]) : String(seen[what])).slice(0, 300)}`);
  }
  await new Promise((r) => setTimeout(r, 1200));
  if (await readyIn(origin + "/client") !== "ready extension") fail("the page is not served again once the host is back");
}

// A page the extension does not serve, including the client: its route is
// none, and ready() says what is missing.
function noRoutePage() {
  return `<!doctype html><title>no route</title><script src="/npDravenilFileAccess.js"></script><script>
window.__route = DravenilFileAccess.ready({ timeout: 1500 }).then((r) => "route " + r.route, (e) => e.name + ": " + e.message);
</script>`;
}

// A page of another origin (the same host on another port): it must get
// nothing; as a frame inside the allowed page it posts forged requests to its
// parent.
function otherPage() {
  return `<!doctype html><title>other</title><script>
window.__probe = [typeof window.DravenilFileAccess, typeof DRAVENIL_METHODS, typeof DravenilParse].join(",");
for (let i = 0; i < 3; i++) {
  const forged = { source: "dravenil-page", id: 999999, method: "createWSFolder",
                   args: [${JSON.stringify(outer)}, "Forged", "I"] };
  if (window.parent !== window) window.parent.postMessage(forged, "*");
  window.postMessage(forged, "*");
}
</script>`;
}

class Cdp {
  constructor(child) {
    this.toBrowser = child.stdio[3];
    this.nextId = 1;
    this.waiting = new Map();
    this.listeners = [];
    let buffered = "";
    child.stdio[4].on("data", (chunk) => {
      buffered += chunk.toString();
      let end;
      while ((end = buffered.indexOf("\0")) >= 0) {
        const message = JSON.parse(buffered.slice(0, end));
        buffered = buffered.slice(end + 1);
        if (message.id && this.waiting.has(message.id)) {
          const { resolve, reject } = this.waiting.get(message.id);
          this.waiting.delete(message.id);
          message.error ? reject(new Error(message.error.message)) : resolve(message.result);
        } else {
          for (const listener of this.listeners) listener(message);
        }
      }
    });
  }
  send(method, params = {}, sessionId) {
    const id = this.nextId++;
    this.toBrowser.write(JSON.stringify({ id, method, params, sessionId }) + "\0");
    return new Promise((resolve, reject) => this.waiting.set(id, { resolve, reject }));
  }
  // Runtime.evaluate in the page of `sessionId`. A page just opened, or one
  // the extension is putting its scripts into, may have no context for a
  // moment, or lose it while a promise is awaited: the browser refuses such
  // an evaluation, and it is asked again, for up to 30 s on a busy machine.
  async evaluate(sessionId, expression, awaitPromise = true) {
    for (const deadline = Date.now() + 30000; ;) {
      try {
        return await this.send("Runtime.evaluate", { expression, awaitPromise, returnByValue: true }, sessionId);
      } catch (error) {
        if (!/context|Promise was collected/i.test(error.message) || Date.now() > deadline) throw error;
        await new Promise((r) => setTimeout(r, 200));
      }
    }
  }
}

// Whether the process descends from this test's own: other tests may run
// programs in the same prefix at the same time, and they are not ours.
function descendsFromUs(pid) {
  for (let at = String(pid), steps = 0; at && at !== "0" && at !== "1" && steps < 64; ++steps) {
    if (at === String(process.pid)) return true;
    try {
      const stat = fs.readFileSync(`/proc/${at}/stat`).toString();
      at = stat.slice(stat.lastIndexOf(")") + 2).split(" ")[1];
    } catch (error) {
      return false;
    }
  }
  return false;
}

// The processes of this Wine prefix now running: pid -> command line.
function winePids() {
  const found = new Map();
  for (const pid of fs.readdirSync("/proc").filter((p) => /^[0-9]+$/.test(p))) {
    try {
      const environ = fs.readFileSync(`/proc/${pid}/environ`).toString();
      if (!environ.split("\0").includes(`WINEPREFIX=${prefix}`)) continue;
      const command = fs.readFileSync(`/proc/${pid}/cmdline`).toString().replace(/\0/g, " ").trim();
      if (/wine|\.exe/i.test(command)) found.set(pid, command);
    } catch (error) {
      // gone already, or not ours to read
    }
  }
  return found;
}

async function main() {
  // Wine's own helpers start with their output going nowhere, so that they
  // hold none of this program's pipes. A server already running for the
  // prefix is reused; one this test starts, it stops again.
  const { spawnSync } = require("child_process");
  const before = winePids();
  const serverWasRunning = [...before.values()].some((c) => /wineserver/.test(c));
  if (!serverWasRunning) spawnSync("wineserver", ["-p"], { env: wineEnv, stdio: "ignore" });
  // The prefix's own services start with the first program; start them here,
  // where their output goes nowhere (once set up, a prefix needs no wineboot,
  // which would start another set).
  if (!fs.existsSync(path.join(prefix, "system.reg"))) {
    spawnSync("wineboot", ["-i"], { env: wineEnv, stdio: "ignore" });
  } else {
    spawnSync("wine", ["cmd", "/c", "exit"], { env: wineEnv, stdio: "ignore" });
  }
  // What this test started: its hosts and consoles, and, when it started the
  // prefix's server itself, whatever ran in it.
  const started = () => [...winePids()].filter(
    ([pid]) => !before.has(pid) && (!serverWasRunning || descendsFromUs(pid)));
  const exchangeDir = path.join(scratch, "exchange");
  const exchange = winePath(exchangeDir);
  const list = calls(exchange);

  let otherOrigin = "";
  const built = path.join(scratch, "built");
  execFileSync(path.join(root, "scripts", "extension.sh"), ["--out", built],
    { env: wineEnv, stdio: ["ignore", "ignore", "inherit"] });
  let standIn = null; // the plug-in's stand-in, while its route runs
  const server = http.createServer((request, response) => {
    if (serveClient(request, response, built)) return;
    if (request.url === "/plugin-call") return standIn.answer(request, response);
    if (request.url === "/sandboxed") {
      response.writeHead(200, { "content-type": "text/html", "content-security-policy": "sandbox allow-scripts" });
      return response.end('<!doctype html><title>sandboxed</title><script src="/npDravenilFileAccess.js"></script>');
    }
    response.writeHead(200, { "content-type": "text/html" });
    if (request.url.startsWith("/probe")) return response.end("<!doctype html><title>probe</title>");
    if (request.url === "/client") {
      return response.end('<!doctype html><title>client</title><script src="/npDravenilFileAccess.js"></script>');
    }
    if (request.url === "/narrow") {
      setPolicy(otherOrigin);
      return response.end("narrowed");
    }
    if (request.url.startsWith("/sameframe")) return response.end(otherPage());
    response.end(page(list).replace("<script>", `<script>window.__frameUrl = ${JSON.stringify(otherOrigin + "/frame")};`));
  });
  const other = http.createServer((request, response) => {
    if (serveClient(request, response, built)) return;
    response.writeHead(200, { "content-type": "text/html" });
    if (request.url.startsWith("/probe")) return response.end("<!doctype html><title>probe</title>");
    if (request.url.startsWith("/noroute")) return response.end(noRoutePage());
    response.end(otherPage());
  });
  await listenOnPrefixedPorts(server, other);
  const origin = `http://127.0.0.1:${server.address().port}`;
  otherOrigin = `http://127.0.0.1:${other.address().port}`;
  if (policyIsSet()) throw new Error("an origin policy is already set in this prefix; the test sets its own");
  setPolicy(origin);
  const profile = path.join(scratch, "profile");
  fs.mkdirSync(path.join(profile, "NativeMessagingHosts"), { recursive: true });
  fs.copyFileSync(path.join(built, "com.dravenil.fileaccess.json"),
    path.join(profile, "NativeMessagingHosts", "com.dravenil.fileaccess.json"));

  prepare(exchangeDir);
  const extension = path.join(built, "extension");
  const { chromium, cdp } = startChromium("chromium", profile, extension, path.join(scratch, "config"));
  try {
    // The extension's service worker first, then the page.
    const deadline = Date.now() + 30000;
    for (;;) {
      const { targetInfos } = await cdp.send("Target.getTargets");
      if (targetInfos.some((t) => t.type === "service_worker" && t.url.startsWith("chrome-extension://"))) break;
      if (Date.now() > deadline) throw new Error("the extension's service worker did not start");
      await new Promise((r) => setTimeout(r, 200));
    }
    // What a fresh page of `url` sees of the API.
    // What a fresh page of `url` sees of the API.
    const load = (url) => evaluateIn(cdp, url, "typeof window.DravenilFileAccess");
    // The policy comes from the host: until it has come, no page is served.
    if (!await waitServed(load, origin + "/probe")) throw new Error("the policy's origin was never served");
    const { targetId } = await cdp.send("Target.createTarget", { url: origin + "/" });
    const { sessionId } = await cdp.send("Target.attachToTarget", { targetId, flatten: true });
    let answers;
    for (let attempt = 0; ; attempt++) {
      const evaluated = await cdp.evaluate(sessionId, "window.__answers");
      answers = evaluated.result.value;
      if (answers || attempt > 50) break;
      await new Promise((r) => setTimeout(r, 200));
    }
    if (!answers) throw new Error("the page gave no answers");
    const checks = (await cdp.evaluate(sessionId, "window.__checks")).result.value || {};
    const expectations = {
      bigint: /^TypeError: fileExists: argument 1 \(path\) must be a string, not a bigint$/,
      func: /^TypeError: fileExists: argument 1 \(path\) must be a string, not a function$/,
      symbol: /^TypeError: fileExists: argument 1 \(path\) must be a string, not a symbol$/,
      cyclic: /^TypeError: fileExists: argument 1 \(path\) must be a string, not an array$/,
      nested: /^TypeError: fileExists: argument 1 \(path\) must be a string, not an array$/,
      nul: /^Error: exception during invocation: fileExists\u0000junk$/,
      count: /^TypeError: deleteWorkspace: takes 3 arguments \(outerName, workspaceName, innerName\), not 2$/,
      unknown: /^Error: exception during invocation: toString$/,
      huge: /^RangeError: /,
      names: /^exact$/,
      after: /^resolved true$/,
    };
    for (const [name, pattern] of Object.entries(expectations)) {
      if (!pattern.test(String(checks[name]))) fail(`${name}: ${String(checks[name]).slice(0, 120)}`);
    }
    if (checks.forgedAnswers !== 0) fail(`a frame got ${checks.forgedAnswers} answers`);
    if (fs.existsSync(path.join(setFolder(), "I", "Forged"))) fail("a frame, of another origin or the page's own, created a workspace");

    // The same host on another port: no API, and its own forged requests
    // reach nothing.
    const probe = await cdp.send("Target.createTarget", { url: otherOrigin + "/" });
    const probeSession = (await cdp.send("Target.attachToTarget", { targetId: probe.targetId, flatten: true })).sessionId;
    let probed;
    for (let attempt = 0; !probed && attempt < 300; attempt++) {
      probed = (await cdp.evaluate(probeSession, "window.__probe", false)).result.value;
      if (!probed) await new Promise((r) => setTimeout(r, 100));
    }
    if (probed !== "undefined,undefined,undefined") fail(`a page on another port sees: ${probed}`);
    // On a busy machine the page's scripts may still be loading when it says
    // it is complete: its answer is waited for, up to 10 s.
    const noRoute = await evaluateIn(cdp, otherOrigin + "/noroute",
      "(async () => { for (let i = 0; i < 100 && !window.__route; i++) await new Promise((r) => setTimeout(r, 100)); return window.__route; })()");
    if (!/^NotInstalledError: no route to the file access plug-in for http:\/\/127\.0\.0\.1:\d+: .* no plug-in is registered for application\/x-dravenilfileaccessplugin\. Where the extension is installed, its toolbar button \(Dravenil File Access\) shows which; npDravenilFileAccessHost\.exe --check http:\/\/127\.0\.0\.1:\d+ says which on the computer$/.test(noRoute)) {
      fail(`a page the extension does not serve is told: ${noRoute}`);
    }
    await new Promise((r) => setTimeout(r, 1000));
    if (fs.existsSync(path.join(setFolder(), "I", "Forged"))) fail("a page on another port created a workspace");

    // A sandboxed document of the served origin has an opaque origin: ready()
    // says so at once instead of waiting for an answer that cannot come.
    const sandboxed = await evaluateIn(cdp, origin + "/sandboxed",
      "DravenilFileAccess.ready({ timeout: 5000 }).then(() => 'ready', (e) => e.name + ': ' + e.message)");
    if (!/^PolicyRefusedError: this document is sandboxed/.test(String(sandboxed))) fail(`a sandboxed page: ${sandboxed}`);

    await longCalls(cdp, origin + "/probe");
    await namedErrors(cdp, origin, profile, extensionIdOf(path.join(built, "extension", "manifest.json")), otherOrigin);

    // The administrator changes the policy: without a restart, the new
    // origin is served and the old one no longer.
    setPolicy(otherOrigin);
    await waitServed(load, otherOrigin + "/probe");
    await waitServed(load, origin + "/probe", "undefined");
    // The console plays its own page, under no policy.
    removePolicy();
    const route = answers.pop();
    if (route !== "route:extension") fail(`the client found ${route}`);
    if (answers.pop() !== "typed:function") fail("window.DravenilFileAccess has no method functions");
    const roundTrip = answers.pop();

    prepare(exchangeDir);
    const expected = expectedAnswers(list, runConsole(list));
    compareAnswers("browser", list, answers, expected);
    console.log(`browser: ${roundTrip}`);

    // The plug-in's route: the same page in a Chromium without the extension.
    await stopChromium(chromium);
    prepare(exchangeDir);
    standIn = new PluginStandIn();
    const plain = startChromium("chromium", path.join(scratch, "plain-profile"), null, path.join(scratch, "config"));
    try {
      const pluginAnswers = await pluginRoute(plain.cdp, origin + "/");
      if (pluginAnswers.pop() !== "route:plugin") fail("the client did not take the plug-in's route");
      pluginAnswers.splice(-2);
      compareAnswers("plug-in route", list, pluginAnswers, expected);
    } finally {
      await stopChromium(plain.chromium);
      await standIn.close();
    }
  } finally {
    removePolicy();
    await stopChromium(chromium);
    // The hosts end when Chromium closes their input; then the prefix's
    // server, when this test started it.
    for (let waited = 0; waited < 15000; waited += 200) {
      if (started().every(([, c]) => /wineserver|services\.exe|winedevice|plugplay|svchost|rpcss|explorer|conhost/i.test(c))) break;
      await new Promise((r) => setTimeout(r, 200));
    }
    if (!serverWasRunning) spawnSync("wineserver", ["-k"], { env: wineEnv, stdio: "ignore" });
    // A reused server may start the prefix's own services on demand while
    // the test runs; they belong to that server and end with it. Anything
    // else the test started must be gone; a server it started itself is
    // stopped above, with everything that ran in it.
    const wineServices = /wineserver|services\.exe|winedevice|plugplay|svchost|rpcss|explorer|conhost/i;
    const remaining = () => started().filter(([, c]) => !serverWasRunning || !wineServices.test(c));
    const left = remaining();
    for (let waited = 0; left.length && waited < 5000; waited += 200) {
      await new Promise((r) => setTimeout(r, 200));
      left.splice(0, left.length, ...remaining());
    }
    if (left.length) {
      fail(`${left.length} processes the test started are still running: ${left.map(([, c]) => c).join("; ").slice(0, 300)}`);
      for (const [pid] of left) try { process.kill(Number(pid), "SIGKILL"); } catch (error) { /* gone */ }
    }
    server.close();
    other.close();
    fs.rmSync(setFolder(), { recursive: true, force: true });
    fs.rmSync(scratch, { recursive: true, force: true, maxRetries: 20, retryDelay: 250 });
  }
}

// The Firefox test shares the page, the calls and the comparisons.
module.exports = {
  root, prefix, wineEnv, scratch, outer, fail, winePath, calls, setFolder, prepare, runConsole,
  expectedAnswers, compareAnswers, serveClient, page, otherPage, winePids, descendsFromUs, policyIsSet, setPolicy, removePolicy, waitServed, Cdp,
  evaluateIn, followsThePolicy, startChromium, stopChromium, twoPageOrigins, listenOnPrefixedPorts, statusVerdicts,
};

if (require.main === module) {
  main().catch((error) => {
    fail(error.message);
  });
}
