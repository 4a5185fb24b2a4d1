// Runs in the page's own world: window.DravenilFileAccess has one function
// per method of the plug-in, each returning a Promise of exactly what page
// script would have received from the plug-in (a string, a boolean, a number
// or undefined). DravenilFileAccess.call(name, ...args) calls by name and
// rejects with Error("exception during invocation") for a name that is not a
// method, as the plug-in does.
(() => {
  "use strict";
  const pending = new Map();
  let nextId = 1;

  window.addEventListener("message", (event) => {
    const data = event.data;
    if (event.source !== window || !data || data.source !== "dravenil-extension") return;
    const waiting = pending.get(data.id);
    if (!waiting) return;
    pending.delete(data.id);
    if (data.error !== undefined) waiting.reject(new Error(data.error));
    else waiting.resolve(data.result);
  });

  function call(method, ...args) {
    return new Promise((resolve, reject) => {
      const id = nextId++;
      pending.set(id, { resolve, reject });
      window.postMessage({ source: "dravenil-page", id, method: String(method), args }, "*");
    });
  }

  const api = { call };
  for (const name of DRAVENIL_METHODS) api[name] = (...args) => call(name, ...args);
  Object.defineProperty(window, "DravenilFileAccess", { value: Object.freeze(api) });
})();
