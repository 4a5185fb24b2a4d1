// One native-messaging port per tab to the host com.dravenil.fileaccess, which
// loads the plug-in and answers {"id", "result"} or {"id", "error"}; an answer
// too large for one message comes in numbered parts, joined here. A host that
// exits is started again by the next call.
"use strict";
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
    const respond = connection.pending.get(message.id);
    if (!respond) return;
    connection.pending.delete(message.id);
    respond(message);
  });
  connection.port.onDisconnect.addListener(() => {
    connections.delete(tabId);
    const reason = chrome.runtime.lastError ? chrome.runtime.lastError.message : "the host exited";
    for (const respond of connection.pending.values()) respond({ error: reason });
  });
  connections.set(tabId, connection);
  return connection;
}

chrome.runtime.onMessage.addListener((request, sender, sendResponse) => {
  const tabId = sender.tab ? sender.tab.id : -1;
  const connection = connections.get(tabId) || connect(tabId);
  const id = connection.nextId++;
  connection.pending.set(id, (answer) => sendResponse(answer));
  connection.port.postMessage({ id, method: request.method, args: request.args });
  return true; // the answer comes later
});

chrome.tabs.onRemoved.addListener((tabId) => {
  const connection = connections.get(tabId);
  if (connection) {
    connections.delete(tabId);
    connection.port.disconnect();
  }
});
