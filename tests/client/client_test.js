// The client's checks under Node, swept over every method of the table: a
// call that fits its signature passes, with or without options after its
// arguments, and each wrong count, each argument of the wrong type, each
// malformed options object and each name that is not exactly a method's is
// refused with an error that names the method and the argument.
//
//   node tests/client/client_test.js
"use strict";
const { execFileSync } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");
const vm = require("vm");

const root = path.resolve(__dirname, "..", "..");
const out = fs.mkdtempSync(path.join(os.tmpdir(), "client-test-"));
let failures = 0;
const check = (ok, what) => {
  if (!ok) {
    failures++;
    console.error(`FAILED: ${what}`);
  }
};
const refusal = (f) => {
  try {
    f();
    return null;
  } catch (error) {
    return error;
  }
};

let clientSource = "";
async function main() {
try {
  execFileSync(path.join(root, "scripts", "extension.sh"), ["--no-host", "--out", out], { cwd: root, stdio: ["ignore", "ignore", "inherit"] });
  const client = require(path.join(out, "npDravenilFileAccess.js"));
  clientSource = fs.readFileSync(path.join(out, "npDravenilFileAccess.js"), "utf8");
  const signatures = fs.readFileSync(path.join(root, "types", "npDravenilFileAccessPlugin.d.ts"), "utf8");
  // The Promise API's declarations name the same parameters the checks do.
  const declared = new Map([...signatures.matchAll(/^ {2}(\w+)\(([^)]*)\): Promise</gm)].map(
    ([, name, list]) => [name, list.split(", ").map((p) => p.split(": ")).filter(([p]) => p && p !== "options?")])
    .filter(([name]) => name !== "ready"));
  // The table's methods, as api-reference writes them for the client.
  const table = [...fs.readFileSync(path.join(root, "extension", "methods.js"), "utf8")
    .matchAll(/^ {2}\["(\w+)", /gm)].map(([, name]) => name);
  check(table.length > 0 && declared.size === table.length && table.every((name) => declared.has(name)),
    `${declared.size} methods declared in the Promise API, ${table.length} in the table`);
  const wrong = { string: [5, true, null, undefined, {}, ["x"], 1n], boolean: ["true", 1, null, undefined, {}] };
  let calls = 0;
  for (const [method, parameters] of declared) {
    const fitting = parameters.map(([, type]) => (type === "boolean" ? false : "x"));
    check(refusal(() => client.checkCall(method, fitting)) === null, `${method} with fitting arguments`);
    // Options may follow the arguments, and only options.
    const options = { onProgress: () => {}, signal: new AbortController().signal };
    const taken = refusal(() => check(client.checkCall(method, [...fitting, options]).options === options,
                                      `${method}'s options are not handed on`));
    check(taken === null, `${method} with options: ${taken}`);
    for (const bad of [{ onProgress: 5 }, { signal: {} }, { signal: null }]) {
      const error = refusal(() => client.checkCall(method, [...fitting, bad]));
      check(error instanceof TypeError && error.message.startsWith(`${method}: argument ${fitting.length + 1} (options)`),
            `${method} with options ${JSON.stringify(bad)}: ${error}`);
    }
    for (const count of [fitting.length - 1, fitting.length + 1].filter((n) => n >= 0)) {
      const error = refusal(() => client.checkCall(method, [...fitting, "x"].slice(0, count)));
      check(error instanceof TypeError && error.message.startsWith(`${method}: takes ${fitting.length} argument`) &&
            error.message.endsWith(`, not ${count}`), `${method} with ${count} arguments: ${error}`);
      calls++;
    }
    parameters.forEach(([name, type], i) => {
      for (const value of wrong[type]) {
        const args = [...fitting];
        args[i] = value;
        const error = refusal(() => client.checkCall(method, args));
        check(error instanceof TypeError && error.message.startsWith(`${method}: argument ${i + 1} (${name}) must be a ${type}, not `),
              `${method} with ${String(value)} as ${name}: ${error}`);
        calls++;
      }
    });
  }
  // Only a method's exact name is one.
  for (const name of ["noSuchMethod", "toString", "constructor", "__proto__", "", "FileExists", "fileExists\u0000x", "fileExists "]) {
    const error = refusal(() => client.checkCall(name, ["x"]));
    check(error && error.name === "InvocationError" && error.message === `exception during invocation: ${name}`, `${JSON.stringify(name)}: ${error}`);
  }
  check(/a symbol$/.test(String(refusal(() => client.checkCall(Symbol("s"), [])))), "a symbol as the name");
  // Every error name the client, the relay, the worker or the host can give
  // a page is one row of the reference's errors table, and every row is one
  // of them.
  const given = new Set();
  for (const file of ["extension/client.js", "extension/relay.js", "extension/service_worker.js", "messaging/host_session.h"]) {
    const text = fs.readFileSync(path.join(root, file), "utf8");
    for (const [, name] of text.matchAll(/(?:namedError\("|name: "|"|DOMException\([^)]*")([A-Z][A-Za-z]*Error)"/g)) given.add(name);
    for (const [, name] of text.matchAll(/new ([A-Z][A-Za-z]*Error)\(/g)) given.add(name);
  }
  const reference = fs.readFileSync(path.join(root, "docs", "script-api.md"), "utf8");
  const errors = reference.slice(reference.indexOf("### Errors"));
  const listed = new Set([...errors.matchAll(/^\| `([A-Za-z]+Error)`/gm)].map(([, name]) => name));
  check(given.size >= 10, `only ${[...given]} found as error names`);
  for (const name of given) check(listed.has(name), `${name} is given to pages but not in the reference's errors table`);
  for (const name of listed) check(given.has(name), `the reference lists ${name}, which nothing gives`);
  console.log(`client: ${declared.size} methods, ${calls} refused calls, ${given.size} error names`);
  await routeChecks();
  await workerChecks();
} catch (error) {
  check(false, error.stack);
} finally {
  fs.rmSync(out, { recursive: true, force: true });
}
}

// A page of https://calls.example as the client meets it: a window whose
// messages the test plays the relay for, a document that answers the
// extension's hello when `extension` is set, and a plug-in's MIME type when
// `plugin` is.
const openPorts = [];
function pageWith({ extension, plugin, relay, opaque }) {
  const listeners = { window: new Map(), document: new Map() };
  const on = (where) => (type, f) => listeners[where].set(type, [...(listeners[where].get(type) || []), f]);
  const off = (where) => (type, f) => listeners[where].set(type, (listeners[where].get(type) || []).filter((g) => g !== f));
  const emit = (where, type, event) => (listeners[where].get(type) || []).forEach((f) => f(event));
  const window = { addEventListener: on("window"), removeEventListener: off("window"),
    location: { origin: "https://calls.example" }, origin: opaque ? "null" : "https://calls.example" };
  // The relay takes the client's port; answers come over it alone, and what
  // any window posts is not heard.
  window.postMessage = (data, origin, ports) => {
    if (!data || data.connect !== true || !ports || !ports[0]) return;
    const port = ports[0];
    openPorts.push(port);
    port.onmessage = (event) => setTimeout(() => relay(event.data, (answer) => port.postMessage(answer),
      (forged) => emit("window", "message", { source: window, data: { source: "dravenil-extension", ...forged } })));
  };
  const document = {
    addEventListener: on("document"), removeEventListener: off("document"),
    dispatchEvent: (event) => {
      if (event.type === "dravenil-extension-hello" && extension) emit("document", "dravenil-extension-here", { detail: "9.9" });
    },
    createElement: () => ({ style: {}, readCurrentReplayPos: () => "", fileExists: () => "plug-in" }),
    body: { appendChild: () => {} },
  };
  const navigator = { mimeTypes: plugin ? { "application/x-dravenilfileaccessplugin": { enabledPlugin: { version: "1" } } } : {} };
  class CustomEvent { constructor(type, init) { this.type = type; this.detail = init && init.detail; } }
  const context = { window, document, navigator, location: window.location, CustomEvent, Blob, DOMException,
    MessageChannel, setTimeout, clearTimeout, console };
  context.globalThis = context;
  vm.runInNewContext(clientSource, context);
  return window.DravenilFileAccess;
}

// Answers posted to the window are not the relay's; the extension is taken
// over a plug-in that is there too; a signal aborted before the call rejects
// it as aborted even where there is no route; a relay that never answers
// (its listeners removed by document.open()) ends ready() within its timeout.
async function routeChecks() {
  const relay = (data, answer, forge) => {
    if (data.status !== undefined) return answer({ id: data.status, ready: true });
    if (data.id === undefined) return;
    forge({ id: data.id, result: "forged" });
    answer({ id: data.id, result: "extension" });
  };
  const both = pageWith({ extension: true, plugin: true, relay });
  check((await both.ready()).route === "extension", "the plug-in was taken over the extension");
  check(await both.fileExists("x") === "extension", "an answer from another window was taken");
  const none = pageWith({ relay });
  const aborted = new AbortController();
  aborted.abort();
  const error = await none.fileExists("x", { signal: aborted.signal }).catch((e) => e);
  check(error && error.name === "AbortError", `an aborted call without a route: ${error}`);
  const silent = pageWith({ extension: true, relay: () => {} });
  const started = Date.now();
  const unanswered = await silent.ready({ timeout: 300 }).catch((e) => e);
  check(unanswered && unanswered.name === "HostEndedError" && Date.now() - started < 5000,
    `ready() with a relay that never answers: ${unanswered}`);
  // A rejected ready() looks afresh: the relay that did not answer answers now.
  let answering = false;
  const late = pageWith({ extension: true, relay: (data, answer) => {
    if (!answering) return;
    if (data.status !== undefined) return answer({ id: data.status, ready: true });
    answer({ id: data.id, error: "a failure the page did not name" });
  } });
  const first = await late.ready({ timeout: 200 }).catch((e) => e);
  answering = true;
  const again = await late.ready({ timeout: 2000 }).catch((e) => e);
  check(first && first.name === "HostEndedError" && again && again.route === "extension",
    `ready() again after ${first}: ${again && (again.name || again.route)}`);
  // An error the relay gives without a name still has one.
  const unnamed = await late.fileExists("x").catch((e) => e);
  check(unnamed && unnamed.name === "InvocationError", `an error without a name: ${unnamed && unnamed.name}`);
  const sandboxed = await pageWith({ extension: true, relay, opaque: true }).ready().catch((e) => e);
  check(sandboxed && sandboxed.name === "PolicyRefusedError", `ready() in a sandboxed document: ${sandboxed}`);
  for (const port of openPorts) port.close();
}

// The worker's policy: none set serves every page, origins are matched
// exactly, and a host that cannot be asked leaves the page scripts as they
// were.
async function workerChecks() {
  let hostAnswer, pageConnected;
  const registered = new Map();
  const sentToHost = []; // the calls' requests, not the policy questions
  const listener = () => ({ addListener: () => {} });
  const now = { time: 0 };
  let openTabs = [];
  const injected = [];
  const chrome = {
    runtime: {
      id: "abc", getURL: () => "chrome-extension://abc/", onStartup: listener(), onInstalled: listener(),
      onConnect: { addListener: (f) => (pageConnected = f) }, onMessage: listener(), lastError: undefined,
      connectNative: () => {
        const port = { onMessage: { addListener: (f) => (port.message = f) }, onDisconnect: { addListener: (f) => (port.gone = f) },
          disconnect: () => {}, postMessage: (request) => {
            if (request.method !== "#policy") return sentToHost.push(request);
            setTimeout(() => (hostAnswer ? port.message(hostAnswer) : port.gone()));
          } };
        return port;
      },
    },
    tabs: { onUpdated: listener(), onRemoved: listener(), query: async () => openTabs },
    scripting: {
      getRegisteredContentScripts: async ({ ids }) => ids.filter((id) => registered.has(id)).map((id) => registered.get(id)),
      unregisterContentScripts: async ({ ids }) => ids.forEach((id) => registered.delete(id)),
      registerContentScripts: async (scripts) => scripts.forEach((s) => registered.set(s.id, s)),
      executeScript: async ({ target }) => injected.push(target.tabId),
    },
  };
  class FakeDate extends Date { static now() { return now.time; } }
  const context = { chrome, console, setTimeout, clearTimeout, URL, Date: FakeDate, importScripts: undefined };
  context.globalThis = context;
  vm.runInNewContext(fs.readFileSync(path.join(root, "extension", "methods.js"), "utf8") + "\n" +
                     fs.readFileSync(path.join(root, "extension", "service_worker.js"), "utf8"), context);
  const ask = async (answer) => {
    hostAnswer = answer;
    now.time += 5000;
    await context.refreshPolicy();
  };
  const matches = () => JSON.stringify((registered.get("dravenil-page") || {}).matches);
  await ask({ id: 0, policy: null });
  check(context.serves("https://anywhere.example") && matches() === '["<all_urls>"]', `no policy: ${matches()}`);
  await ask({ id: 0, policy: ["https://calls.example"] });
  for (const [origin, served] of [["https://calls.example", true], ["https://calls.example.evil.example", false],
    ["https://calls.example:8443", false], ["https://calls.exampl", false]]) {
    check(context.serves(origin) === served, `the policy of https://calls.example ${served ? "does not serve" : "serves"} ${origin}`);
  }
  // The browsers' words for a host that is missing or refuses the extension,
  // and Firefox's reason, which comes on the port, not in runtime.lastError.
  for (const [reason, name] of [["Specified native messaging host not found.", "HostMissingError"],
    ["No such native application com.dravenil.fileaccess", "HostMissingError"],
    ["Access to the specified native messaging host is forbidden.", "HostForbiddenError"],
    ["This extension does not have permission to use native application com.dravenil.fileaccess", "HostForbiddenError"],
    ["Native host has exited.", "HostEndedError"]]) {
    check(context.hostError(reason).name === name, `"${reason}" gives ${context.hostError(reason).name}, not ${name}`);
  }
  check(context.disconnectReason({ error: { message: "No such native application x" } }) === "No such native application x",
    "Firefox's reason on the port is not read");
  // Origins one of which begins with the other, as ports of one host may:
  // each is served only when the policy names it, in the tabs already open
  // too.
  openTabs = [{ id: 1, url: "http://127.0.0.1:808/a" }, { id: 2, url: "http://127.0.0.1:8080/b" }];
  for (const [policy, tab] of [["http://127.0.0.1:808", 1], ["http://127.0.0.1:8080", 2]]) {
    injected.length = 0;
    await ask({ id: 0, policy: [policy] });
    check(JSON.stringify(injected) === `[${tab},${tab}]`, `the policy of ${policy} put the scripts into tabs ${injected}`);
    for (const other of ["http://127.0.0.1:808", "http://127.0.0.1:8080"]) {
      check(context.serves(other) === (other === policy), `the policy of ${policy} and ${other}`);
    }
  }
  openTabs = [];
  // A page's cancel reaches the host while the policy serves the page, and
  // not once the administrator has taken its origin out.
  await ask({ id: 0, policy: ["https://calls.example"] });
  const pagePort = { name: "dravenil-page", sender: { id: "abc", origin: "https://calls.example", tab: { id: 7 } },
    onMessage: { addListener: (f) => (pagePort.message = f) }, onDisconnect: { addListener: () => {} }, postMessage: () => {} };
  pageConnected(pagePort);
  const cancels = () => sentToHost.filter((r) => r.method === "#cancel").length;
  await pagePort.message({ id: 1, method: "copyWSFolder", args: ["o", "In", "A", "B"] });
  await pagePort.message({ cancel: 1 });
  check(cancels() === 1, `a served page's cancel: ${cancels()} sent`);
  await pagePort.message({ id: 2, method: "copyWSFolder", args: ["o", "In", "A", "C"] });
  await ask({ id: 0, policy: ["https://other.example"] });
  await pagePort.message({ cancel: 2 });
  check(cancels() === 1, "the cancel of a page the policy no longer serves reached the host");
  const before = matches();
  await ask(undefined);  // the host cannot be asked
  check(matches() === before && before !== undefined, `a host that cannot be asked changed the page scripts: ${matches()}`);
}

main().then(() => {
  process.exitCode = failures ? 1 : 0;
}, (error) => {
  console.error(error);
  process.exitCode = 1;
});
