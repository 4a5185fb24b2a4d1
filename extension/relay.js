// Runs beside the page, in the extension's world: carries the page's own
// calls to the service worker and the answers back. It is registered only
// for the pages the origin policy serves (and put into the tabs already open
// on them when the policy becomes known), and carries only messages its own
// window posted: a frame of another origin inside it reaches nothing. The
// service worker checks the page's exact origin again.
//
// Each document talks to the worker over a port of its own, so that its
// calls, their progress and their cancels belong to it alone: a cancel
// reaches only this document's calls, progress reaches only this document,
// and when the document goes away (navigation, a closed tab) the port closes
// and the worker stops what it still runs.
//
// The messages, the one description of them for the client, this relay and
// the service worker; every hop keeps these names.
//
// Page to relay: first one window message {source: "dravenil-page",
// connect: true} carrying a MessagePort, then every message over that port
// (a port outlives document.open(), which removes every window and document
// listener); relay to worker (this document's port):
//   {id, method, args, progress}   a call; progress: whether to report it
//   {cancel: id}                   stop that call
//   {status: id}                   can the extension serve this page now?
// Worker to host (native messaging; the worker numbers the calls of a tab's
// connection itself, since pages' ids may clash):
//   {id, method, args, origin}     a call, with the page's origin
//   {id, method: "#cancel", args: []}   stop the call of that id
//   {id: 0, method: "#policy", args: []} the extension's own question
// Host to worker: {id, result} | {id, error, name} | {id, progress} |
//   {id, parts, part, data} (one of the numbered parts of a large answer) |
//   {policy} (the answer to "#policy").
// Worker to relay, and relay to page (over the page's port), with the
// page's own id: {id, result} | {id, error, name} | {id, progress} |
//   {id, ready}.
"use strict";
if (!globalThis.dravenilRelay) {
  globalThis.dravenilRelay = true;
  const version = chrome.runtime.getManifest().version;
  // The page's port; a client that connects again (a second copy of the
  // client script) takes it over.
  let pagePort = null;
  const toPage = (message) => {
    if (pagePort) pagePort.postMessage(message);
  };
  const waiting = new Set(); // ids of calls and status requests not yet answered
  let port = null;

  // The port to the worker, opened on first use and again after the worker
  // has stopped (an idle worker is stopped by the browser, and its ports
  // close with it).
  function worker() {
    if (port) return port;
    port = chrome.runtime.connect({ name: "dravenil-page" });
    port.onMessage.addListener((message) => {
      if (message.progress === undefined) waiting.delete(message.id);
      toPage(message);
    });
    port.onDisconnect.addListener(() => {
      port = null;
      for (const id of waiting) {
        toPage({ id, error: "the extension's service worker ended during the call", name: "HostEndedError" });
      }
      waiting.clear();
    });
    return port;
  }

  // Leaving the page closes its port, also when the browser keeps the page
  // to show it again (back and forward): the worker then stops what the
  // page still runs, and its calls are cancelled for the page too.
  function left() {
    if (!port) return;
    port.disconnect();
    port = null;
    for (const id of waiting) toPage({ id, error: "the call was cancelled: the page was left", name: "AbortError" });
    waiting.clear();
  }

  // The page's client asks whether the extension serves it: the answer, the
  // extension's version, comes back in the same turn. A relay put into a
  // page that was already open says so of itself, for a client that waits.
  function hello() {
    document.dispatchEvent(new CustomEvent("dravenil-extension-here", { detail: version }));
  }

  // What the page sends over its port.
  function fromPage(data) {
    if (!data || typeof data !== "object") return;
    let message;
    if (data.cancel !== undefined) {
      message = { cancel: data.cancel };
    } else if (data.status !== undefined) {
      message = { status: data.status };
    } else if (typeof data.method === "string") {
      message = { id: data.id, method: data.method, args: data.args, progress: data.progress === true };
    } else {
      return;
    }
    const id = message.cancel === undefined ? (message.status !== undefined ? message.status : message.id) : undefined;
    try {
      worker().postMessage(message);
      if (id !== undefined) waiting.add(id);
    } catch (error) {
      port = null;
      if (id !== undefined) {
        toPage({ id, error: `the extension could not be reached: ${error && error.message ? error.message : error}`,
                 name: "HostEndedError" });
      }
    }
  }

  // Only this window's own script connects: a frame of another origin posts
  // from another window. (What this window posts carries its own origin;
  // the worker judges the origin as the browser reports it.)
  function connect(event) {
    const data = event.data;
    if (event.source !== window) return;
    if (!data || data.source !== "dravenil-page" || data.connect !== true || !event.ports[0]) return;
    if (pagePort) pagePort.close();
    pagePort = event.ports[0];
    pagePort.onmessage = (message) => fromPage(message.data);
  }

  // document.open() removes every listener of the window and the document,
  // and replaces the document's children: this observer, which it leaves,
  // sees that first and puts the listeners back before any message or
  // event of the page's can come (adding a listener twice adds it once).
  function listen() {
    window.addEventListener("pagehide", left);
    window.addEventListener("message", connect);
    document.addEventListener("dravenil-extension-hello", hello);
  }
  listen();
  new MutationObserver(listen).observe(document, { childList: true });
  hello();
}
