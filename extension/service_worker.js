// One native-messaging port per tab to the host com.dravenil.fileaccess, which
// loads the plug-in and answers {"id", "result"} or {"id", "error"}; an answer
// too large for one message comes in numbered parts, joined here. A host that
// exits rejects every call of its tab that waited on it, and the next call
// starts a new one.
//
// Which pages are served is the administrator's origin policy on this
// machine, which the host reads: the worker asks the host for it, registers
// the page scripts for exactly those origins, puts them into the tabs already
// open on those origins (a page loaded with the browser, before the policy
// was known), and asks again whenever a tab starts loading, so that a changed
// policy holds from the next page on. Until the policy is known, no page is
// served. Requests are forwarded only from pages whose origin, as the browser
// reports it, the policy names; the host checks each request again.
//
// Each document reaches the worker over a port of its own; the messages on
// every hop are described once, in relay.js. A call is one record, kept by
// its document (under the page's id) and by its host connection (under the
// id the worker gave it there), and ended in one place, `finish`. Every error
// a page gets carries a name.
"use strict";
// Chromium runs this as a service worker; Firefox as a background script
// after methods.js.
if (typeof importScripts === "function") importScripts("methods.js");
const HOST = "com.dravenil.fileaccess";
const FIREFOX = chrome.runtime.getURL("").startsWith("moz-extension:");
const connections = new Map(); // tab id -> { port, nextId, calls: host id -> call, parts }

// ---- The policy in force ----------------------------------------------------

// What the policy serves: undefined until the host has said; "*" for every
// page (also when no policy is set); else the exact origins. Why the host
// could not be asked, when it could not.
let served;
let hostProblem = "";
let hostVersion = ""; // as the host said with its policy
let asking = null;
let askedAt = 0;

// Why a native port closed, in the browser's words: Chromium sets
// runtime.lastError, Firefox the port's own error.
function disconnectReason(port) {
  if (port && port.error && port.error.message) return port.error.message;
  return chrome.runtime.lastError ? chrome.runtime.lastError.message : "";
}

// The host's answer to the extension's own question, on a port of its own:
// { policy } or { error }.
function askHost() {
  return new Promise((resolve) => {
    let port;
    try {
      port = chrome.runtime.connectNative(HOST);
    } catch (error) {
      resolve({ error: String(error && error.message ? error.message : error) });
      return;
    }
    port.onMessage.addListener((message) => {
      port.disconnect();
      const version = message && typeof message.version === "string" ? message.version : "";
      if (message && message.policy === null) resolve({ policy: "*", version });
      else if (message && (message.policy === "*" || Array.isArray(message.policy))) resolve({ policy: message.policy, version });
      else resolve({ error: "the host gave no policy" });
    });
    port.onDisconnect.addListener((gone) => resolve({ error: disconnectReason(gone) || "the host ended" }));
    port.postMessage({ id: 0, method: "#policy", args: [] });
  });
}

// The patterns that match exactly the pages of `policy`. Chromium matches
// ports (a pattern names the default one too); Firefox matches none that name
// one, so its patterns name the host alone and the checks below keep to the
// exact origins.
function patterns(policy) {
  if (policy === "*") return ["<all_urls>"];
  const list = new Set();
  for (const origin of policy) {
    const url = new URL(origin);
    const port = url.port || (url.protocol === "https:" ? "443" : "80");
    list.add(FIREFOX ? `${url.protocol}//${url.hostname}/*` : `${url.protocol}//${url.hostname}:${port}/*`);
  }
  return [...list];
}

const kScripts = [
  { id: "dravenil-page", js: ["npDravenilFileAccess.js"], world: "MAIN" },
  { id: "dravenil-relay", js: ["relay.js"] },
];

// Registers the page scripts for `policy`, one call at a time, leaving them
// as they are when they already match it.
let registering = Promise.resolve();
function register(policy) {
  registering = registering.then(async () => {
    const matches = policy === undefined ? [] : patterns(policy);
    const existing = await chrome.scripting.getRegisteredContentScripts({ ids: kScripts.map((s) => s.id) });
    const same = existing.length === kScripts.length &&
      existing.every((s) => JSON.stringify([...s.matches].sort()) === JSON.stringify([...matches].sort()));
    if (same) return;
    if (existing.length) await chrome.scripting.unregisterContentScripts({ ids: existing.map((s) => s.id) });
    if (!matches.length) return;
    await chrome.scripting.registerContentScripts(kScripts.map((s) => ({
      ...s, matches, runAt: "document_start", persistAcrossSessions: true,
    })));
  }).catch((error) => console.error(`the page scripts could not be registered: ${error}`));
  return registering;
}

// Asks the host again (at most once a second). When the host cannot be asked
// the page scripts stay as they were, so that a page can be told what is
// missing; without a host no call reaches anything.
function refreshPolicy() {
  if (asking) return asking;
  if (served !== undefined && Date.now() - askedAt < 1000) return Promise.resolve(served);
  asking = askHost().then(async (answer) => {
    askedAt = Date.now();
    if (answer.policy !== undefined) {
      served = answer.policy;
      hostProblem = "";
      hostVersion = answer.version;
      await register(served);
      await serveOpenTabs(served);
    } else {
      hostProblem = answer.error;
    }
    asking = null;
    return served;
  });
  return asking;
}

// Puts the page scripts into the top frames of the tabs already open on an
// origin the policy serves: registered scripts reach only pages loaded after
// them. A page that has them already keeps what it has.
async function serveOpenTabs(policy) {
  let tabs = [];
  try {
    tabs = await chrome.tabs.query({});
  } catch (error) {
    return;
  }
  for (const tab of tabs) {
    let origin;
    try {
      origin = new URL(tab.url || "").origin;
    } catch (error) {
      continue;
    }
    if (!(policy === "*" ? /^https?:/.test(origin) : Array.isArray(policy) && policy.includes(origin))) continue;
    const target = { tabId: tab.id, frameIds: [0] };
    try {
      await chrome.scripting.executeScript({ target, files: ["npDravenilFileAccess.js"], world: "MAIN" });
      await chrome.scripting.executeScript({ target, files: ["relay.js"] });
    } catch (error) {
      // A tab that went away or is showing something else meanwhile.
    }
  }
}

function serves(origin) {
  return served === "*" || (Array.isArray(served) && served.includes(origin));
}

refreshPolicy();
chrome.runtime.onStartup.addListener(refreshPolicy);
chrome.runtime.onInstalled.addListener(refreshPolicy);
chrome.tabs.onUpdated.addListener((tabId, change) => {
  if (change.status === "loading") refreshPolicy();
});

// ---- Calls ---------------------------------------------------------------------

// What a page is told when the host could not be reached or went away, in
// words an administrator can act on, with the name a page branches on.
function hostError(reason) {
  // Chromium's words, then Firefox's.
  if (/not found|no such native application/i.test(reason)) {
    return {
      name: "HostMissingError",
      error: `the file access host is not installed for this browser: ${HOST} (npDravenilFileAccessHost.exe) ` +
        "is set up by the Dravenil File Access Plugin package, which registers its manifest under " +
        `HKLM\\Software\\<browser>\\NativeMessagingHosts\\${HOST} on Windows (${reason})`,
    };
  }
  if (/forbidden|does not have permission/i.test(reason)) {
    return {
      name: "HostForbiddenError",
      error: `the file access host's manifest does not allow this extension (${chrome.runtime.id}): ` +
        `install the package built for it (${reason})`,
    };
  }
  return { name: "HostEndedError", error: "the file access host ended" + (reason ? `: ${reason}` : "") };
}

const kPolicyRefused = {
  name: "PolicyRefusedError",
  error: "the administrator's origin policy does not allow this page's origin",
};

// A call: the document that made it (`page`), its id there, its id on the
// host connection, and whether the page follows its progress.
function finish(call, answer) {
  call.connection.calls.delete(call.hostId);
  call.page.calls.delete(call.pageId);
  call.page.send({ ...answer, id: call.pageId });
}

// Ends a host connection: every call still waiting on it is told `answer`.
function drop(tabId, connection, answer) {
  if (connections.get(tabId) === connection) connections.delete(tabId);
  for (const call of [...connection.calls.values()]) finish(call, answer);
}

function connect(tabId) {
  const connection = { port: chrome.runtime.connectNative(HOST), nextId: 1, calls: new Map(), parts: new Map() };
  connection.port.onMessage.addListener((message) => {
    if (message.parts !== undefined) {
      const parts = connection.parts.get(message.id) || [];
      parts[message.part - 1] = message.data;
      connection.parts.set(message.id, parts);
      if (parts.filter((p) => p !== undefined).length < message.parts) return;
      connection.parts.delete(message.id);
      message = JSON.parse(parts.join(""));
    }
    // Answers come in any order, matched by id. One the host could give no
    // id (a request it could not read) belongs to no call in particular:
    // every call waiting on the connection is told, and the next call
    // starts a new host.
    if (message.id === null) {
      connection.port.disconnect();
      drop(tabId, connection, { name: "HostEndedError", error: message.error || "the file access host could not read a request" });
      return;
    }
    const call = connection.calls.get(message.id);
    if (!call) return;
    if (message.progress !== undefined) {
      if (call.progress) call.page.send({ id: call.pageId, progress: message.progress });
      return;
    }
    if (message.error !== undefined) {
      finish(call, { error: message.error, name: message.name || "InvocationError" });
    } else {
      finish(call, "result" in message ? { result: message.result } : {});
    }
  });
  connection.port.onDisconnect.addListener(() => {
    drop(tabId, connection, hostError(disconnectReason(connection.port)));
  });
  connections.set(tabId, connection);
  return connection;
}

// Stops a call at the host; it is answered when the host has stopped it.
function cancel(call) {
  try {
    call.connection.port.postMessage({ id: call.hostId, method: "#cancel", args: [] });
  } catch (error) {
    // The host is gone: the call has been told already.
  }
}

// Whether the page may be served now: undefined when it may, else the error.
function refusal(page) {
  if (served === undefined) {
    return hostProblem ? hostError(hostProblem)
      : { name: "HostEndedError", error: "the origin policy in force is not known yet" };
  }
  if (!serves(page.origin)) return kPolicyRefused;
  if (hostProblem) return hostError(hostProblem);
  return undefined;
}

function call(page, request) {
  if (page.calls.has(request.id)) return;
  const refused = refusal(page);
  if (refused) return page.send({ ...refused, id: request.id });
  if (typeof request.method !== "string" || !DRAVENIL_METHODS.has(request.method)) {
    return page.send({ id: request.id, error: "exception during invocation", name: "InvocationError" });
  }
  let connection;
  try {
    connection = connections.get(page.tabId) || connect(page.tabId);
  } catch (error) {
    return page.send({ id: request.id, ...hostError(String(error && error.message ? error.message : error)) });
  }
  const record = { page, pageId: request.id, hostId: connection.nextId++, connection, progress: request.progress === true };
  connection.calls.set(record.hostId, record);
  page.calls.set(record.pageId, record);
  try {
    // The sender's origin as the browser reports it, for the administrator's
    // policy the host applies.
    connection.port.postMessage({ id: record.hostId, method: request.method, args: request.args, origin: page.origin });
  } catch (error) {
    finish(record, { name: "HostEndedError", error: `the call could not be sent: ${error && error.message ? error.message : error}` });
  }
}

chrome.runtime.onConnect.addListener((port) => {
  if (port.name !== "dravenil-page" || !port.sender || port.sender.id !== chrome.runtime.id) return;
  const sender = port.sender;
  const page = {
    origin: sender.origin || (sender.url ? new URL(sender.url).origin : ""),
    tabId: sender.tab ? sender.tab.id : -1,
    calls: new Map(), // the page's id -> call
    send: (message) => {
      try {
        port.postMessage(message);
      } catch (error) {
        // The document has gone; its calls are being stopped.
      }
    },
  };
  port.onMessage.addListener(async (request) => {
    if (!request || typeof request !== "object") return;
    // A worker that has just started knows no policy yet: it asks first.
    if (served === undefined || request.status !== undefined) await refreshPolicy();
    if (request.cancel !== undefined) {
      const call = page.calls.get(request.cancel);
      if (call && serves(page.origin)) cancel(call);
    } else if (request.status !== undefined) {
      page.send({ id: request.status, ...(refusal(page) || { ready: true }) });
    } else {
      call(page, request);
    }
  });
  // The document went away: what it still runs is stopped, and nothing more
  // of it is sent anywhere.
  port.onDisconnect.addListener(() => {
    page.send = () => {};
    for (const call of [...page.calls.values()]) {
      cancel(call);
      finish(call, {});
    }
  });
});

chrome.tabs.onRemoved.addListener((tabId) => {
  const connection = connections.get(tabId);
  if (connection) {
    connections.delete(tabId);
    connection.port.disconnect();
  }
});

// ---- The extension's own page ---------------------------------------------------

// What the status page (status.html, the toolbar button's) shows: whether the
// host answered, and if not why, its version beside the extension's, the
// policy it holds, and whether `origin` (the page in the tab) is served,
// asked afresh. Only the extension's own pages ask.
chrome.runtime.onMessage.addListener((message, sender, respond) => {
  if (!message || message.dravenilStatus !== true || sender.id !== chrome.runtime.id) return false;
  askedAt = 0; // a person asking wants the answer of now
  refreshPolicy().then(() => {
    const origin = typeof message.origin === "string" ? message.origin : "";
    const problem = hostProblem ? hostError(hostProblem) : undefined;
    respond({
      extensionId: chrome.runtime.id,
      extensionVersion: chrome.runtime.getManifest().version,
      hostAnswered: served !== undefined && !hostProblem,
      hostProblem: problem ? { name: problem.name, reason: hostProblem } : null,
      hostVersion,
      policy: served === undefined ? null : served,
      origin,
      served: origin ? served !== undefined && !hostProblem && serves(origin) : null,
    });
  });
  return true;
});
