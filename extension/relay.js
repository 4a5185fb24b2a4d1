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
// Page to relay (window messages, source "dravenil-page"), and relay to
// worker (this document's port, without the source):
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
// Worker to relay, and relay to page (source "dravenil-extension"), with the
// page's own id: {id, result} | {id, error, name} | {id, progress} |
//   {id, ready}.
"use strict";
if (!globalThis.dravenilRelay) {
  globalThis.dravenilRelay = true;
  const version = chrome.runtime.getManifest().version;
  const toPage = (message) => window.postMessage({ source: "dravenil-extension", ...message }, window.location.origin);
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
  window.addEventListener("pagehide", () => {
    if (!port) return;
    port.disconnect();
    port = null;
    for (const id of waiting) toPage({ id, error: "the call was cancelled: the page was left", name: "AbortError" });
    waiting.clear();
  });

  // The page's client asks whether the extension serves it: the answer, the
  // extension's version, comes back in the same turn. A relay put into a
  // page that was already open says so of itself, for a client that waits.
  document.addEventListener("dravenil-extension-hello", () => {
    document.dispatchEvent(new CustomEvent("dravenil-extension-here", { detail: version }));
  });
  document.dispatchEvent(new CustomEvent("dravenil-extension-here", { detail: version }));

  window.addEventListener("message", (event) => {
    const data = event.data;
    if (event.source !== window || event.origin !== window.location.origin) return;
    if (!data || data.source !== "dravenil-page") return;
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
  });
}
