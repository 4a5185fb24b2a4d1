// One native-messaging port per tab to the host com.dravenil.fileaccess, which
// loads the plug-in and answers {"id", "result"} or {"id", "error"}; an answer
// too large for one message comes in numbered parts, joined here. A host that
// exits rejects every call of its tab that waited on it, and the next call
// starts a new one. Requests are forwarded only from pages whose origin, as
// the browser reports it, is one the extension was built for.
"use strict";
// Chromium runs this as a service worker; Firefox as a background script
// after origins.js and methods.js.
if (typeof importScripts === "function") importScripts("origins.js", "methods.js");
const HOST = "com.dravenil.fileaccess";
const connections = new Map(); // tab id -> { port, nextId, pending, parts }

function connect(tabId) {
  const connection = { port: chrome.runtime.connectNative(HOST), nextId: 1,
                       pending: new Map(), parts: new Map() };
  connection.port.onMessage.addListener((message) => {
    if (message.parts !== undefined) {
      const parts = connection.parts.get(message.id) || [];
      parts[message.part - 1] = message.data;
      connection.parts.set(message.id, parts);
      if (parts.filter((p) => p !== undefined).length < message.parts) return;
      connection.parts.delete(message.id);
      message = JSON.parse(parts.join(""));
    }
    // The host answers in order; an answer it could not give an id (a
    // request it could not read) belongs to the oldest call waiting.
    const id = message.id === null ? connection.pending.keys().next().value : message.id;
    const respond = connection.pending.get(id);
    if (!respond) return;
    connection.pending.delete(id);
    respond(message);
  });
  connection.port.onDisconnect.addListener(() => {
    if (connections.get(tabId) === connection) connections.delete(tabId);
    const reason = chrome.runtime.lastError ? chrome.runtime.lastError.message : "";
    const error = "the file access host ended" + (reason ? `: ${reason}` : "");
    for (const respond of connection.pending.values()) respond({ error });
    connection.pending.clear();
  });
  connections.set(tabId, connection);
  return connection;
}

chrome.runtime.onMessage.addListener((request, sender, sendResponse) => {
  const origin = sender.origin || (sender.url ? new URL(sender.url).origin : "");
  if (sender.id !== chrome.runtime.id || !DRAVENIL_ORIGINS.includes(origin)) {
    sendResponse({ error: "this page's origin may not use the file access host" });
    return false;
  }
  if (!request || typeof request.method !== "string" || !DRAVENIL_METHODS.includes(request.method)) {
    sendResponse({ error: "exception during invocation" });
    return false;
  }
  const tabId = sender.tab ? sender.tab.id : -1;
  const connection = connections.get(tabId) || connect(tabId);
  const id = connection.nextId++;
  connection.pending.set(id, (answer) => sendResponse(answer));
  try {
    // The sender's origin as the browser reports it, for the administrator's
    // policy the host applies.
    connection.port.postMessage({ id, method: request.method, args: request.args, origin });
  } catch (error) {
    connection.pending.delete(id);
    sendResponse({ error: `the call could not be sent: ${error && error.message ? error.message : error}` });
    return false;
  }
  return true; // the answer comes later
});

chrome.tabs.onRemoved.addListener((tabId) => {
  const connection = connections.get(tabId);
  if (connection) {
    connections.delete(tabId);
    connection.port.disconnect();
  }
});
