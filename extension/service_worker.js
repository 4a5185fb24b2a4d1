// One native-messaging port per tab to the host com.dravenil.fileaccess, which
// loads the plug-in and answers {"id", "result"} or {"id", "error"}; an answer
// too large for one message comes in numbered parts, joined here. A host that
// exits rejects every call of its tab that waited on it, and the next call
// starts a new one.
//
// Which pages are served is the administrator's origin policy on this
// machine, which the host reads: the worker asks the host for it, registers
// the page scripts for exactly those origins, and asks again whenever a tab
// starts loading, so that a changed policy holds from the next page on. Until
// the policy is known, no page is served. Requests are forwarded only from
// pages whose origin, as the browser reports it, the policy names; the host
// checks each request again.
"use strict";
// Chromium runs this as a service worker; Firefox as a background script
// after methods.js.
if (typeof importScripts === "function") importScripts("methods.js");
const HOST = "com.dravenil.fileaccess";
const FIREFOX = chrome.runtime.getURL("").startsWith("moz-extension:");
const connections = new Map(); // tab id -> { port, nextId, pending, parts }

// ---- The policy in force ----------------------------------------------------

// What the policy serves: undefined until the host has said; "*" for every
// page (also when no policy is set); else the exact origins. Why the host
// could not be asked, when it could not.
let served;
let hostProblem = "";
let asking = null;
let askedAt = 0;

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
      if (message && message.policy === null) resolve({ policy: "*" });
      else if (message && (message.policy === "*" || Array.isArray(message.policy))) resolve({ policy: message.policy });
      else resolve({ error: "the host gave no policy" });
    });
    port.onDisconnect.addListener(() => resolve({
      error: chrome.runtime.lastError ? chrome.runtime.lastError.message : "the host ended",
    }));
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
      await register(served);
    } else {
      hostProblem = answer.error;
    }
    asking = null;
    return served;
  });
  return asking;
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
// words an administrator can act on.
function hostError(reason) {
  if (/not found/i.test(reason)) {
    return `the file access host is not installed for this browser: ${HOST} (npDravenilFileAccessHost.exe) ` +
      "is set up by the Dravenil File Access Plugin package, which registers its manifest under " +
      `HKLM\\Software\\<browser>\\NativeMessagingHosts\\${HOST} on Windows (${reason})`;
  }
  if (/forbidden/i.test(reason)) {
    return `the file access host's manifest does not allow this extension (${chrome.runtime.id}): ` +
      `install the package built for it (${reason})`;
  }
  return "the file access host ended" + (reason ? `: ${reason}` : "");
}

// Ends a connection: every call still waiting on it rejects with `error`.
function drop(tabId, connection, error) {
  if (connections.get(tabId) === connection) connections.delete(tabId);
  for (const respond of connection.pending.values()) respond({ error });
  connection.pending.clear();
  connection.progress.clear();
  connection.byPage.clear();
}

function connect(tabId) {
  const connection = { port: chrome.runtime.connectNative(HOST), nextId: 1, pending: new Map(),
                       parts: new Map(), progress: new Map(), byPage: new Map() };
  connection.port.onMessage.addListener((message) => {
    if (message.parts !== undefined) {
      const parts = connection.parts.get(message.id) || [];
      parts[message.part - 1] = message.data;
      connection.parts.set(message.id, parts);
      if (parts.filter((p) => p !== undefined).length < message.parts) return;
      connection.parts.delete(message.id);
      message = JSON.parse(parts.join(""));
    }
    if (message.progress !== undefined) {
      const forward = connection.progress.get(message.id);
      if (forward) forward(message.progress);
      return;
    }
    // Answers come in any order, matched by id. One the host could give no
    // id (a request it could not read) belongs to no call in particular:
    // every call waiting on the connection is told, and the next call
    // starts a new host.
    if (message.id === null) {
      connection.port.disconnect();
      drop(tabId, connection, message.error || "the file access host could not read a request");
      return;
    }
    const respond = connection.pending.get(message.id);
    if (!respond) return;
    respond(message);
  });
  connection.port.onDisconnect.addListener(() => {
    const reason = chrome.runtime.lastError ? chrome.runtime.lastError.message : "";
    drop(tabId, connection, hostError(reason));
  });
  connections.set(tabId, connection);
  return connection;
}

// A page's call, as its frame and its own id name it.
const pageKey = (sender, pageId) => `${sender.frameId}:${pageId}`;

// The page cancels a call: the host stops it at the next entry, and its
// answer says so.
function cancel(request, sender) {
  const connection = connections.get(sender.tab ? sender.tab.id : -1);
  const id = connection && connection.byPage.get(pageKey(sender, request.cancel));
  if (id === undefined) return;
  try {
    connection.port.postMessage({ id, method: "#cancel", args: [] });
  } catch (error) {
    // The host is gone: the call has been told already.
  }
}

function forward(request, sender, sendResponse) {
  if (served === undefined) {
    sendResponse({ error: hostProblem ? hostError(hostProblem) : "the origin policy in force is not known yet" });
    return;
  }
  const origin = sender.origin || (sender.url ? new URL(sender.url).origin : "");
  if (sender.id !== chrome.runtime.id || !serves(origin)) {
    sendResponse({ error: "this page's origin may not use the file access host" });
    return;
  }
  if (!request || typeof request.method !== "string" || !DRAVENIL_METHODS.has(request.method)) {
    sendResponse({ error: "exception during invocation" });
    return;
  }
  const tabId = sender.tab ? sender.tab.id : -1;
  const connection = connections.get(tabId) || connect(tabId);
  const id = connection.nextId++;
  const key = pageKey(sender, request.pageId);
  connection.pending.set(id, (answer) => {
    connection.pending.delete(id);
    connection.progress.delete(id);
    if (connection.byPage.get(key) === id) connection.byPage.delete(key);
    sendResponse(answer);
  });
  connection.byPage.set(key, id);
  if (request.wantsProgress && tabId >= 0) {
    connection.progress.set(id, (progress) => {
      chrome.tabs.sendMessage(tabId, { source: "dravenil-progress", pageId: request.pageId, progress },
        { frameId: sender.frameId }, () => void chrome.runtime.lastError);
    });
  }
  try {
    // The sender's origin as the browser reports it, for the administrator's
    // policy the host applies.
    connection.port.postMessage({ id, method: request.method, args: request.args, origin });
  } catch (error) {
    connection.pending.delete(id);
    sendResponse({ error: `the call could not be sent: ${error && error.message ? error.message : error}` });
  }
}

chrome.runtime.onMessage.addListener((request, sender, sendResponse) => {
  if (request && request.cancel !== undefined) {
    if (sender.id === chrome.runtime.id) cancel(request, sender);
    return false;
  }
  // A worker that has just started knows no policy yet: it asks first.
  if (served === undefined) {
    refreshPolicy().then(() => forward(request, sender, sendResponse));
  } else {
    forward(request, sender, sendResponse);
  }
  return true; // the answer may come later
});

chrome.tabs.onRemoved.addListener((tabId) => {
  const connection = connections.get(tabId);
  if (connection) {
    connections.delete(tabId);
    connection.port.disconnect();
  }
});
