// The extension and the native-messaging host in a real browser: headless
// Chromium loads the extension for a page of a local server, the page calls
// methods of every family through window.DravenilFileAccess, and each answer
// must be what the console gives for the same call through the plug-in.
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
const prefix = process.env.WINEPREFIX || path.join(root, "build", "wine");
const wineEnv = { ...process.env, WINEPREFIX: prefix, WINEDEBUG: "-all" };
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "browser-test-"));
const outer = `browser-test-${process.pid}`;

function fail(message) {
  console.error(`FAILED: ${message}`);
  process.exitCode = 1;
}

function winePath(unixPath) {
  return execFileSync("winepath", ["-w", unixPath], { env: wineEnv }).toString().trim();
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
    ["fileExists", [5]],
    ["NoSuchMethod", []],
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

function runConsole(list) {
  const lines = list.map(([name, args]) => `${name}(${args.map((a) => JSON.stringify(a)).join(", ")})`);
  const output = execFileSync("wine", [path.join(root, "build", "windows", "bin", "plugin-console.exe"), "--quiet"],
    { input: lines.join("\n") + "\n", env: wineEnv, maxBuffer: 1 << 28, stdio: ["pipe", "pipe", "ignore"] });
  return output.toString().replace(/\r/g, "").split("\n").filter((l) => l.length > 0);
}

// The page: makes the calls in order and shows each answer as the console
// does.
function page(list) {
  return `<!doctype html><title>calls</title><script>
window.__answers = (async () => {
  const show = (v) => v === undefined ? "undefined" : typeof v === "string" ? JSON.stringify(v) : String(v);
  const out = [];
  let first = 0;
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
  return out;
})();
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
}

async function main() {
  // Wine's own helpers start with their output going nowhere, so that they
  // hold none of this program's pipes.
  const { spawnSync } = require("child_process");
  spawnSync("wineserver", ["-p"], { env: wineEnv, stdio: "ignore" });
  spawnSync("wineboot", ["-i"], { env: wineEnv, stdio: "ignore" });
  const exchangeDir = path.join(scratch, "exchange");
  const exchange = winePath(exchangeDir);
  const list = calls(exchange);

  const server = http.createServer((request, response) => {
    response.writeHead(200, { "content-type": "text/html" });
    response.end(page(list));
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  const origin = `http://127.0.0.1:${server.address().port}`;

  const built = path.join(scratch, "built");
  execFileSync(path.join(root, "scripts", "extension.sh"), ["--allow", origin, "--out", built],
    { env: wineEnv, stdio: ["ignore", "ignore", "inherit"] });
  const profile = path.join(scratch, "profile");
  fs.mkdirSync(path.join(profile, "NativeMessagingHosts"), { recursive: true });
  fs.copyFileSync(path.join(built, "com.dravenil.fileaccess.json"),
    path.join(profile, "NativeMessagingHosts", "com.dravenil.fileaccess.json"));

  prepare(exchangeDir);
  const extension = path.join(built, "extension");
  const chromium = spawn("chromium", [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
    `--user-data-dir=${profile}`, `--load-extension=${extension}`,
    `--disable-extensions-except=${extension}`, "--remote-debugging-pipe", "about:blank",
  ], { stdio: ["ignore", "ignore", "ignore", "pipe", "pipe"],
       env: { ...wineEnv, XDG_CONFIG_HOME: path.join(scratch, "config") } });
  const cdp = new Cdp(chromium);
  try {
    // The extension's service worker first, then the page.
    const deadline = Date.now() + 30000;
    for (;;) {
      const { targetInfos } = await cdp.send("Target.getTargets");
      if (targetInfos.some((t) => t.type === "service_worker" && t.url.startsWith("chrome-extension://"))) break;
      if (Date.now() > deadline) throw new Error("the extension's service worker did not start");
      await new Promise((r) => setTimeout(r, 200));
    }
    const { targetId } = await cdp.send("Target.createTarget", { url: origin + "/" });
    const { sessionId } = await cdp.send("Target.attachToTarget", { targetId, flatten: true });
    let answers;
    for (let attempt = 0; ; attempt++) {
      const evaluated = await cdp.send("Runtime.evaluate",
        { expression: "window.__answers", awaitPromise: true, returnByValue: true }, sessionId);
      answers = evaluated.result.value;
      if (answers || attempt > 50) break;
      await new Promise((r) => setTimeout(r, 200));
    }
    if (!answers) throw new Error("the page gave no answers");
    if (answers.pop() !== "typed:function") fail("window.DravenilFileAccess has no method functions");
    const roundTrip = answers.pop();

    prepare(exchangeDir);
    const expected = runConsole(list);
    if (answers.length !== expected.length) fail(`${answers.length} answers, the console gave ${expected.length}`);
    list.forEach(([name], i) => {
      if (answers[i] !== expected[i]) {
        fail(`${name}: the page got ${String(answers[i]).slice(0, 80)}, the console ${String(expected[i]).slice(0, 80)}`);
      }
    });
    const big = answers[9] || "";
    if (big.length < (1 << 20)) fail("the large call details answer is not larger than one message");
    if (!process.exitCode) console.log(`browser: ${answers.length} calls answered as the console answers them`);
    console.log(`browser: ${roundTrip}`);
  } finally {
    chromium.kill();
    server.close();
    fs.rmSync(setFolder(), { recursive: true, force: true });
    fs.rmSync(scratch, { recursive: true, force: true });
  }
}

main().catch((error) => {
  fail(error.message);
});
