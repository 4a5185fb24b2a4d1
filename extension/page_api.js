// Runs in the page's own world: window.DravenilFileAccess has one function
// per method of the plug-in, each returning a Promise of exactly what page
// script would have received from the plug-in (a string, a boolean, a number
// or undefined). DravenilFileAccess.call(name, ...args) calls by name and
// rejects with Error("exception during invocation") for a name that is not
// exactly a method's, as the plug-in does. DravenilFileAccess.parse reads the
// bracketed result texts without evaluating them.
//
// The extension registers it only for the pages the administrator's origin
// policy serves. Every call settles: a value that cannot be sent rejects at
// once with a TypeError or RangeError, and a host that goes away rejects
// what waited on it.
(() => {
  "use strict";
  const pending = new Map();
  let nextId = 1;
  // What the host takes in one request, less room for the envelope.
  const kMaxRequestBytes = 64 * 1024 * 1024 - 4096;

  window.addEventListener("message", (event) => {
    const data = event.data;
    if (event.source !== window || !data || data.source !== "dravenil-extension") return;
    const waiting = pending.get(data.id);
    if (!waiting) return;
    pending.delete(data.id);
    if (data.error !== undefined) waiting.reject(new Error(data.error));
    else waiting.resolve(data.result);
  });

  // The reason a value cannot travel as JSON to the host, or "" when it can.
  function unsendable(value) {
    const kind = typeof value;
    if (kind === "bigint" || kind === "function" || kind === "symbol") return `a ${kind}`;
    return "";
  }

  function check(args) {
    for (const [i, arg] of args.entries()) {
      const reason = unsendable(arg);
      if (reason) throw new TypeError(`argument ${i + 1} cannot be sent: it is ${reason}`);
    }
    let text;
    try {
      text = JSON.stringify(args, (key, value) => {
        const reason = unsendable(value);
        if (reason) throw new TypeError(`an argument cannot be sent: it holds ${reason}`);
        return value;
      });
    } catch (error) {
      if (error instanceof TypeError && error.message.startsWith("an argument")) throw error;
      throw new TypeError("an argument cannot be sent: it refers to itself");
    }
    if (new Blob([text]).size > kMaxRequestBytes) {
      throw new RangeError("the arguments cannot be sent: more than 64 MB");
    }
  }

  function call(method, ...args) {
    return new Promise((resolve, reject) => {
      if (typeof method !== "string" || !DRAVENIL_METHODS.includes(method)) {
        reject(new Error("exception during invocation"));
        return;
      }
      check(args);
      const id = nextId++;
      pending.set(id, { resolve, reject });
      try {
        window.postMessage({ source: "dravenil-page", id, method, args }, window.location.origin);
      } catch (error) {
        pending.delete(id);
        throw error;
      }
    });
  }

  const api = { call, parse: DravenilParse };
  for (const name of DRAVENIL_METHODS) api[name] = (...args) => call(name, ...args);
  Object.defineProperty(window, "DravenilFileAccess", { value: Object.freeze(api) });
})();
