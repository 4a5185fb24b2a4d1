// Runs beside the page, in the extension's world: carries the page's calls to
// the service worker and the answers back.
"use strict";
window.addEventListener("message", (event) => {
  const data = event.data;
  if (event.source !== window || !data || data.source !== "dravenil-page") return;
  chrome.runtime.sendMessage({ method: data.method, args: data.args }, (answer) => {
    const reply = { source: "dravenil-extension", id: data.id };
    if (chrome.runtime.lastError || !answer) {
      reply.error = chrome.runtime.lastError ? chrome.runtime.lastError.message : "no answer";
    } else if (answer.error !== undefined) {
      reply.error = answer.error;
    } else if ("result" in answer) {
      reply.result = answer.result;
    }
    window.postMessage(reply, "*");
  });
});
