// Runs beside the page, in the extension's world: carries the page's own
// calls to the service worker and the answers back. It is registered only
// for the pages the origin policy serves, and carries only messages its own
// window posted: a frame of another origin inside it reaches nothing. The
// service worker checks the page's exact origin again.
"use strict";
{
  // How far a long call of the page is, from the host.
  chrome.runtime.onMessage.addListener((message) => {
    if (!message || message.source !== "dravenil-progress") return;
    window.postMessage({ source: "dravenil-extension", id: message.pageId, progress: message.progress },
      window.location.origin);
  });
  // The page's client asks whether the extension serves it: the answer, the
  // extension's version, comes back in the same turn.
  document.addEventListener("dravenil-extension-hello", () => {
    document.dispatchEvent(new CustomEvent("dravenil-extension-here", { detail: chrome.runtime.getManifest().version }));
  });
  window.addEventListener("message", (event) => {
    const data = event.data;
    if (event.source !== window || event.origin !== window.location.origin) return;
    if (!data || data.source !== "dravenil-page") return;
    if (data.cancel !== undefined) {
      chrome.runtime.sendMessage({ cancel: data.cancel }, () => void chrome.runtime.lastError);
      return;
    }
    if (typeof data.method !== "string") return;
    const reply = { source: "dravenil-extension", id: data.id };
    const answer = (message) => {
      if (chrome.runtime.lastError || !message) {
        reply.error = chrome.runtime.lastError ? chrome.runtime.lastError.message : "no answer";
      } else if (message.error !== undefined) {
        reply.error = message.error;
        if (message.name === "AbortError") reply.aborted = true;
      } else if ("result" in message) {
        reply.result = message.result;
      }
      window.postMessage(reply, window.location.origin);
    };
    try {
      chrome.runtime.sendMessage({ method: data.method, args: data.args, pageId: data.id,
                                   wantsProgress: data.progress === true }, answer);
    } catch (error) {
      answer({ error: String(error && error.message ? error.message : error) });
    }
  });
}
