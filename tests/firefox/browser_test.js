// The Firefox build of the extension and the native-messaging host in a real
// Firefox: headless Firefox ESR, driven over WebDriver BiDi on its
// remote-debugging websocket, installs the unpacked extension as a temporary
// add-on and loads a page of a local server; the page makes the same calls
// as in the Chromium test, and each answer must be what the console gives.
// A page on a second port of the allowed host must get no API.
//
//   node tests/firefox/browser_test.js
"use strict";
const { spawn, spawnSync, execFileSync } = require("child_process");
const crypto = require("crypto");
const fs = require("fs");
const http = require("http");
const net = require("net");
const path = require("path");
const shared = require("../chromium/browser_test.js");

const { root, wineEnv, scratch, fail } = shared;

// A WebSocket client of its own (Node's is not in every version here): text
// frames out, masked as a client must; text frames in, joined when split.
class Bidi {
  static connect(url) {
    const { hostname, port, pathname } = new URL(url);
    return new Promise((resolve, reject) => {
      const socket = net.connect(Number(port), hostname);
      const key = crypto.randomBytes(16).toString("base64");
      socket.once("error", reject);
      socket.once("connect", () => {
        socket.write(`GET ${pathname} HTTP/1.1\r\nHost: ${hostname}:${port}\r\nUpgrade: websocket\r\n` +
                     `Connection: Upgrade\r\nSec-WebSocket-Key: ${key}\r\nSec-WebSocket-Version: 13\r\n\r\n`);
      });
      let buffered = Buffer.alloc(0);
      const onHandshake = (chunk) => {
        buffered = Buffer.concat([buffered, chunk]);
        const end = buffered.indexOf("\r\n\r\n");
        if (end < 0) return;
        socket.off("data", onHandshake);
        if (!/^HTTP\/1\.1 101/.test(buffered.toString("latin1", 0, end))) {
          reject(new Error("the websocket upgrade was refused"));
          return;
        }
        resolve(new Bidi(socket, buffered.subarray(end + 4)));
      };
      socket.on("data", onHandshake);
    });
  }
  constructor(socket, rest) {
    this.socket = socket;
    this.nextId = 1;
    this.waiting = new Map();
    this.buffer = Buffer.alloc(0);
    this.fragments = [];
    socket.on("data", (chunk) => this.receive(chunk));
    if (rest.length) this.receive(rest);
  }
  receive(chunk) {
    this.buffer = Buffer.concat([this.buffer, chunk]);
    for (;;) {
      if (this.buffer.length < 2) return;
      const fin = this.buffer[0] & 0x80, opcode = this.buffer[0] & 0x0f;
      let length = this.buffer[1] & 0x7f, at = 2;
      if (length === 126) {
        if (this.buffer.length < 4) return;
        length = this.buffer.readUInt16BE(2);
        at = 4;
      } else if (length === 127) {
        if (this.buffer.length < 10) return;
        length = Number(this.buffer.readBigUInt64BE(2));
        at = 10;
      }
      if (this.buffer.length < at + length) return;
      const payload = this.buffer.subarray(at, at + length);
      this.buffer = this.buffer.subarray(at + length);
      if (opcode === 0x1 || opcode === 0x0) {
        this.fragments.push(payload);
        if (fin) {
          const message = JSON.parse(Buffer.concat(this.fragments).toString("utf8"));
          this.fragments = [];
          const waiting = message.id !== undefined && this.waiting.get(message.id);
          if (waiting) {
            this.waiting.delete(message.id);
            message.type === "error" ? waiting.reject(new Error(`${message.error}: ${message.message}`))
                                     : waiting.resolve(message.result);
          }
        }
      }
    }
  }
  send(method, params = {}) {
    const id = this.nextId++;
    const payload = Buffer.from(JSON.stringify({ id, method, params }));
    const mask = crypto.randomBytes(4);
    const header = payload.length < 126 ? Buffer.from([0x81, 0x80 | payload.length])
      : payload.length < 65536 ? Buffer.from([0x81, 0x80 | 126, payload.length >> 8, payload.length & 0xff])
        : Buffer.concat([Buffer.from([0x81, 0x80 | 127]), (() => {
          const b = Buffer.alloc(8); b.writeBigUInt64BE(BigInt(payload.length)); return b;
        })()]);
    for (let i = 0; i < payload.length; i++) payload[i] ^= mask[i % 4];
    this.socket.write(Buffer.concat([header, mask, payload]));
    return new Promise((resolve, reject) => this.waiting.set(id, { resolve, reject }));
  }
  close() {
    this.socket.destroy();
  }
}

// A BiDi remote value as a plain one.
function plain(remote) {
  if (!remote) return undefined;
  switch (remote.type) {
    case "undefined": return undefined;
    case "null": return null;
    case "string": case "number": case "boolean": return remote.value;
    case "array": return remote.value.map(plain);
    case "object": return Object.fromEntries(remote.value.map(([k, v]) => [typeof k === "string" ? k : plain(k), plain(v)]));
    default: return `<${remote.type}>`;
  }
}

function freePort() {
  return new Promise((resolve) => {
    const server = net.createServer();
    server.listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Headless Firefox ESR with a profile of its own, and a WebDriver BiDi
// session on it: { firefox, bidi }. The caller ends both.
async function startFirefox(profile, home, firstUrl = "about:blank") {
  const port = await freePort();
  const firefox = spawn("firefox-esr", ["--headless", "--no-remote", "--profile", profile,
    "--remote-debugging-port", String(port), firstUrl],
  { stdio: ["ignore", "ignore", "pipe"], env: { ...wineEnv, HOME: home, MOZ_CRASHREPORTER_DISABLE: "1" } });
  let stderr = "";
  firefox.stderr.on("data", (chunk) => { stderr += chunk.toString(); });
  try {
    for (let waited = 0; !/WebDriver BiDi listening on/.test(stderr); waited += 100) {
      if (waited > 60000) throw new Error("Firefox did not open its remote-debugging port");
      await new Promise((r) => setTimeout(r, 100));
    }
    const bidi = await Bidi.connect(`ws://127.0.0.1:${port}/session`);
    await bidi.send("session.new", { capabilities: {} });
    return { firefox, bidi };
  } catch (error) {
    firefox.kill();
    throw error;
  }
}

// Firefox puts the page scripts into every port of an allowed host: a page of
// another port hears nothing of the allowed page's calls and cannot cancel
// them, and a page that navigates away stops what it still runs.
async function callsBelongToTheirPage(bidi, evaluate, context, otherContext, origin, otherOrigin) {
  const source = path.join(shared.setFolder(), "I", "Long", "Calls");
  const folders = 30, files = 100;
  for (let d = 0; d < folders; d++) {
    fs.mkdirSync(path.join(source, `d${d}`), { recursive: true });
    for (let f = 0; f < files; f++) fs.writeFileSync(path.join(source, `d${d}`, `f${f}.wav`), "a".repeat(1000));
  }
  const count = (name) => {
    const folder = path.join(shared.setFolder(), "I", name);
    return fs.existsSync(folder) ? fs.readdirSync(folder, { recursive: true }).filter((n) => n.endsWith(".wav")).length : 0;
  };
  await bidi.send("browsingContext.navigate", { context, url: origin + "/probe", wait: "complete" });
  // The other port's page listens for anything of the extension's and posts
  // cancels for every id a call of the allowed page could have.
  await evaluate(`window.__heard = 0; window.addEventListener("message", (e) => {
      if (e.data && e.data.source === "dravenil-extension") window.__heard++; });
    window.__stop = setInterval(() => { for (let id = 1; id < 50; id++)
      window.postMessage({ source: "dravenil-page", cancel: id }, location.origin); }, 20); "ok"`, otherContext);
  const copied = await evaluate(`(async () => { let reports = 0;
      const done = await DravenilFileAccess.copyWSFolder(${JSON.stringify(shared.outer)}, "I", "Long", "Whole",
        { onProgress: () => reports++ });
      return done + " " + reports; })()`);
  const heard = await evaluate("clearInterval(window.__stop); window.__heard", otherContext);
  if (!/^true [1-9]/.test(copied) || count("Whole") !== folders * files) {
    fail(`the allowed page's copy, with another port cancelling: ${copied}, ${count("Whole")} files`);
  }
  if (heard !== 0) fail(`a page of another port heard ${heard} messages of the allowed page's calls`);
  // The page starts a copy and leaves: the copy stops.
  await evaluate(`DravenilFileAccess.copyWSFolder(${JSON.stringify(shared.outer)}, "I", "Long", "Left",
      { onProgress: (p) => { if (p.bytesDone > 0 && !window.__left) { window.__left = true;
        window.location.href = ${JSON.stringify(otherOrigin + "/probe")}; } } }); "started"`);
  let left = -1;
  for (let waited = 0; waited < 20000; waited += 500) {
    await new Promise((r) => setTimeout(r, 500));
    const now = count("Left");
    if (now === left) break;
    left = now;
  }
  if (!(left > 0 && left < folders * files)) fail(`a copy whose page went away left ${left} of ${folders * files} files`);
  else console.log(`firefox: another port heard nothing and stopped nothing; a page that left stopped its copy at ${left} files`);
  // document.open() removes every listener of the window and the document:
  // the copy it interrupts still answers, and so does a call made after it.
  await bidi.send("browsingContext.navigate", { context, url: origin + "/probe", wait: "complete" });
  const reopened = await evaluate(`(async () => {
      const copy = DravenilFileAccess.copyWSFolder(${JSON.stringify(shared.outer)}, "I", "Long", "Reopened").then(String, (e) => e.name);
      document.open(); document.write("<!doctype html><title>rewritten</title>"); document.close();
      return [await copy, await DravenilFileAccess.fileExists("C:\\\\windows\\\\win.ini").then(String, (e) => e.name)].join(" ");
    })()`);
  if (reopened !== "true true" || count("Reopened") !== folders * files) fail(`calls around document.open(): ${reopened}`);
  // A sandboxed document of the served origin: ready() says so at once.
  await bidi.send("browsingContext.navigate", { context, url: origin + "/sandboxed", wait: "complete" });
  const sandboxed = await evaluate("DravenilFileAccess.ready({ timeout: 5000 }).then(() => 'ready', (e) => e.name + ': ' + e.message)");
  if (!/^PolicyRefusedError: this document is sandboxed/.test(String(sandboxed))) fail(`a sandboxed page: ${sandboxed}`);
  for (const name of ["Long", "Whole", "Left", "Reopened"]) fs.rmSync(path.join(shared.setFolder(), "I", name), { recursive: true, force: true });
}

const kExtensionUuid = "5f0c6a3e-2b7d-4c1a-9e84-3d6b1f2a7c90";

// The extension's status page for `origin`, as a person sees it, with a
// screenshot kept in build/status-pages/.
async function statusPage(bidi, evaluate, context, origin, state, shown = state) {
  // Opened as a page opens it (BiDi may not navigate to an extension's page).
  await bidi.send("browsingContext.navigate", { context, url: origin + "/probe", wait: "complete" });
  await evaluate(`location.href = ${JSON.stringify(
    `moz-extension://${kExtensionUuid}/status.html?origin=${encodeURIComponent(origin)}`)}; "opening"`, context);
  let text = "";
  for (let attempt = 0; attempt < 300 && !text; attempt++) {
    text = await evaluate("location.protocol === 'moz-extension:' && document.readyState === 'complete' && " +
      "!document.querySelector('#verdict.waiting') ? document.body.innerText : ''", context).catch(() => "");
    if (!text) await new Promise((r) => setTimeout(r, 100));
  }
  const shot = await bidi.send("browsingContext.captureScreenshot", { context });
  const folder = path.join(root, "build", "status-pages");
  fs.mkdirSync(folder, { recursive: true });
  fs.writeFileSync(path.join(folder, `firefox-${state}.png`), Buffer.from(shot.data, "base64"));
  const verdict = String(text).split("\n").find((line) => line.trim() && line !== "Dravenil File Access") || "";
  if (!shared.statusVerdicts[shown].test(verdict)) fail(`the status page when ${state}: ${String(text).slice(0, 400)}`);
}

// The status page in each state: served, refused by the policy, the host
// missing, the host refusing the extension.
async function statusPages(bidi, evaluate, origin, otherOrigin, manifest) {
  const { context } = await bidi.send("browsingContext.create", { type: "tab" });
  const kept = fs.readFileSync(manifest);
  try {
    await statusPage(bidi, evaluate, context, origin, "served");
    await statusPage(bidi, evaluate, context, otherOrigin, "refused");
    fs.rmSync(manifest);
    await statusPage(bidi, evaluate, context, origin, "missing");
    const other = JSON.parse(kept.toString());
    other.allowed_extensions = ["someone-else@example.com"];
    fs.writeFileSync(manifest, JSON.stringify(other));
    // Firefox says "No such native application" for a manifest that does
    // not allow the extension too: the page shows it as missing, and its fix
    // names both.
    await statusPage(bidi, evaluate, context, origin, "forbidden", "missing");
  } finally {
    fs.writeFileSync(manifest, kept);
    await bidi.send("browsingContext.close", { context });
  }
}

async function main() {
  const before = shared.winePids();
  const serverWasRunning = [...before.values()].some((c) => /wineserver/.test(c));
  if (!serverWasRunning) spawnSync("wineserver", ["-p"], { env: wineEnv, stdio: "ignore" });
  spawnSync("wine", ["cmd", "/c", "exit"], { env: wineEnv, stdio: "ignore" });
  // What this test started: its hosts and consoles, and, when it started the
  // prefix's server itself, whatever ran in it.
  const started = () => [...shared.winePids()].filter(
    ([pid]) => !before.has(pid) && (!serverWasRunning || shared.descendsFromUs(pid)));

  const exchangeDir = path.join(scratch, "exchange");
  const list = shared.calls(shared.winePath(exchangeDir));
  let otherOrigin = "";
  const built = path.join(scratch, "firefox-built");
  execFileSync(path.join(root, "scripts", "extension.sh"), ["--browser", "firefox", "--out", built],
    { env: wineEnv, stdio: ["ignore", "ignore", "inherit"] });
  const server = http.createServer((request, response) => {
    if (shared.serveClient(request, response, built)) return;
    if (request.url === "/sandboxed") {
      response.writeHead(200, { "content-type": "text/html", "content-security-policy": "sandbox allow-scripts" });
      return response.end('<!doctype html><title>sandboxed</title><script src="/npDravenilFileAccess.js"></script>');
    }
    response.writeHead(200, { "content-type": "text/html" });
    if (request.url.startsWith("/probe")) return response.end("<!doctype html><title>probe</title>");
    if (request.url.startsWith("/sameframe")) return response.end(shared.otherPage());
    response.end(shared.page(list).replace("<script>", `<script>window.__frameUrl = ${JSON.stringify(otherOrigin + "/frame")};`));
  });
  const other = http.createServer((request, response) => {
    if (shared.serveClient(request, response, built)) return;
    response.writeHead(200, { "content-type": "text/html" });
    if (request.url.startsWith("/probe")) return response.end("<!doctype html><title>probe</title>");
    response.end(shared.otherPage());
  });
  await shared.listenOnPrefixedPorts(server, other);
  const origin = `http://127.0.0.1:${server.address().port}`;
  otherOrigin = `http://127.0.0.1:${other.address().port}`;

  if (shared.policyIsSet()) throw new Error("an origin policy is already set in this prefix; the test sets its own");
  shared.setPolicy(origin);
  // Firefox finds host manifests only below $HOME.
  const home = path.join(scratch, "firefox-home");
  const hosts = path.join(home, ".mozilla", "native-messaging-hosts");
  fs.mkdirSync(hosts, { recursive: true });
  fs.copyFileSync(path.join(built, "com.dravenil.fileaccess.json"), path.join(hosts, "com.dravenil.fileaccess.json"));
  const profile = path.join(scratch, "firefox-profile");
  fs.mkdirSync(profile, { recursive: true });
  fs.writeFileSync(path.join(profile, "user.js"), [
    'user_pref("browser.shell.checkDefaultBrowser", false);',
    'user_pref("datareporting.policy.dataSubmissionEnabled", false);',
    'user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);',
    'user_pref("app.update.disabledForTesting", true);',
    'user_pref("browser.startup.homepage_override.mstone", "ignore");',
    'user_pref("network.captive-portal-service.enabled", false);',
    'user_pref("extensions.getAddons.cache.enabled", false);',
    // A fixed address for the extension's own pages (its status page).
    `user_pref("extensions.webextensions.uuids", ${JSON.stringify(JSON.stringify({ "fileaccess@dravenil.com": kExtensionUuid }))});`,
  ].join("\n") + "\n");

  shared.prepare(exchangeDir);
  let firefox, bidi;
  try {
    ({ firefox, bidi } = await startFirefox(profile, home));
    await bidi.send("webExtension.install", { extensionData: { type: "path", path: path.join(built, "extension") } });
    const { context } = await bidi.send("browsingContext.create", { type: "tab" });
    const evaluate = async (expression, where = context) => plain((await bidi.send("script.evaluate",
      { expression, target: { context: where }, awaitPromise: true })).result);
    // What a freshly loaded page of `url` sees of the API.
    const load = async (url) => {
      await bidi.send("browsingContext.navigate", { context, url, wait: "complete" });
      return evaluate("typeof window.DravenilFileAccess");
    };
    // The policy comes from the host: until it has come, no page is served.
    if (!await shared.waitServed(load, origin + "/probe")) throw new Error("the policy's origin was never served");
    await bidi.send("browsingContext.navigate", { context, url: origin + "/", wait: "complete" });
    const answers = await evaluate("window.__answers");
    if (!Array.isArray(answers)) throw new Error(`the page gave no answers: ${JSON.stringify(answers)}`);
    const route = answers.pop();
    if (route !== "route:extension") fail(`the client found ${route}`);
    if (answers.pop() !== "typed:function") fail("window.DravenilFileAccess has no method functions");
    const roundTrip = answers.pop();
    const checks = await evaluate("window.__checks");
    for (const [name, pattern] of Object.entries({ nul: /^Error: exception during invocation: fileExists\u0000junk$/,
      unknown: /^Error: exception during invocation: toString$/, bigint: /^TypeError: fileExists: argument 1 \(path\)/, after: /^resolved true$/ })) {
      if (!pattern.test(String(checks[name]))) fail(`${name}: ${String(checks[name]).slice(0, 120)}`);
    }
    if (checks.forgedAnswers !== 0) fail(`a frame of another origin got ${checks.forgedAnswers} answers`);

    // Firefox ignores ports in match patterns: a page of the same host on
    // another port may get the names, but the service worker and the host
    // refuse every call it makes.
    const probe = await bidi.send("browsingContext.create", { type: "tab" });
    await bidi.send("browsingContext.navigate", { context: probe.context, url: otherOrigin + "/", wait: "complete" });
    const probed = await evaluate("window.__probe", probe.context);
    if (!/^(undefined|object),undefined,undefined$/.test(probed)) fail(`a page on another port sees: ${probed}`);
    if (probed.startsWith("object")) {
      const refused = await evaluate("window.DravenilFileAccess.fileExists('C:\\\\windows\\\\win.ini')" +
        ".then(() => 'answered', (e) => e.name + ': ' + e.message)", probe.context);
      if (refused !== "PolicyRefusedError: the administrator's origin policy does not allow this page's origin") {
        fail(`another port's call: ${refused}`);
      }
    }
    await callsBelongToTheirPage(bidi, evaluate, context, probe.context, origin, otherOrigin);
    await statusPages(bidi, evaluate, origin, otherOrigin, path.join(hosts, "com.dravenil.fileaccess.json"));
    await new Promise((r) => setTimeout(r, 1000));
    if (fs.existsSync(path.join(shared.setFolder(), "I", "Forged"))) fail("another origin created a workspace");

    // The administrator changes the policy: without a restart, the new
    // origin is served, and the old one no longer.
    shared.setPolicy("http://localhost:" + new URL(otherOrigin).port);
    await shared.waitServed(load, "http://localhost:" + new URL(otherOrigin).port + "/probe");
    await shared.waitServed(load, origin + "/probe", "undefined");
    // The console plays its own page, under no policy.
    shared.removePolicy();

    shared.prepare(exchangeDir);
    shared.compareAnswers("firefox", list, answers, shared.expectedAnswers(list, shared.runConsole(list)));
    console.log(`firefox: ${roundTrip}`);
  } finally {
    shared.removePolicy();
    if (bidi) bidi.close();
    if (firefox) firefox.kill();
    if (firefox) await new Promise((resolve) => (firefox.exitCode !== null ? resolve() : firefox.once("exit", resolve)));
    for (let waited = 0; waited < 15000; waited += 200) {
      if (started().every(([, c]) => /wineserver|services\.exe|winedevice|plugplay|svchost|rpcss|explorer|conhost/i.test(c))) break;
      await new Promise((r) => setTimeout(r, 200));
    }
    if (!serverWasRunning) spawnSync("wineserver", ["-k"], { env: wineEnv, stdio: "ignore" });
    await new Promise((r) => setTimeout(r, serverWasRunning ? 0 : 1000));
    // A reused server may start the prefix's own services on demand while
    // the test runs; they belong to that server and end with it. Anything
    // else the test started must be gone; a server it started itself is
    // stopped above, with everything that ran in it.
    const wineServices = /wineserver|services\.exe|winedevice|plugplay|svchost|rpcss|explorer|conhost/i;
    const remaining = () => started().filter(([, c]) => !serverWasRunning || !wineServices.test(c));
    const left = remaining();
    if (left.length) {
      fail(`${left.length} processes the test started are still running: ${left.map(([, c]) => c).join("; ").slice(0, 300)}`);
      for (const [pid] of left) try { process.kill(Number(pid), "SIGKILL"); } catch (error) { /* gone */ }
    }
    server.close();
    other.close();
    fs.rmSync(shared.setFolder(), { recursive: true, force: true });
    fs.rmSync(scratch, { recursive: true, force: true, maxRetries: 20, retryDelay: 250 });
  }
}

module.exports = { plain, startFirefox };

if (require.main === module) {
  main().catch((error) => {
    fail(error.message);
  });
}
