// window.DravenilFileAccess, the same Promise API on both routes. The
// extension puts this script into every page its origin policy serves; a page
// includes it too (as npDravenilFileAccess.js) to run wherever the plug-in is
// installed instead. A page that already has the API keeps it.
//
// DravenilFileAccess.ready() finds the route once: the extension's, when its
// relay answers in this page, else the plug-in's, when the browser has a
// plug-in for the MIME type (the client writes the hidden embed itself). Every
// method returns a promise of exactly what the plug-in's method gives; a
// throw of the plug-in's object becomes a rejection. Before any route is
// used, the arguments are checked against the method's signature: a wrong
// count or type rejects with a TypeError naming the method and the argument,
// and a name that is not a method rejects with "exception during invocation:
// NAME". After its arguments a call may take {onProgress, signal}: on the
// extension's route the host reports how far a long call is, and an aborted
// signal stops it (the promise then rejects with an AbortError). The
// plug-in's calls answer at once and cannot be followed or stopped.
// DravenilFileAccess.parse reads the bracketed result texts.
(() => {
  "use strict";
  const kMimeType = "application/x-dravenilfileaccessplugin";
  // What the host takes in one request, less room for the envelope.
  const kMaxRequestBytes = 64 * 1024 * 1024 - 4096;
  // How long the plug-in may take to give its embed an object.
  const kPluginWaitMs = 10000;

  function describe(value) {
    if (value === null) return "null";
    if (Array.isArray(value)) return "an array";
    const kind = typeof value;
    return /^[aeiou]/.test(kind) ? `an ${kind}` : `a ${kind}`;
  }

  function abortError() {
    return new DOMException("the call was cancelled", "AbortError");
  }

  // The options a call may take after its arguments: {onProgress, signal}.
  function isOptions(value) {
    return value !== null && typeof value === "object" && !Array.isArray(value);
  }

  // Throws what the call's promise rejects with when `args` do not fit the
  // signature of `method`; else gives the call's options ({} when none).
  function checkCall(method, args) {
    const parameters = typeof method === "string" ? DRAVENIL_METHODS.get(method) : undefined;
    if (!parameters) {
      throw new Error(`exception during invocation: ${typeof method === "string" ? method : describe(method)}`);
    }
    let options = {};
    if (args.length === parameters.length + 1 && isOptions(args[args.length - 1])) {
      options = args[args.length - 1];
      const { onProgress, signal } = options;
      const isSignal = signal === undefined ||
        (signal !== null && typeof signal === "object" && typeof signal.aborted === "boolean" &&
         typeof signal.addEventListener === "function");
      if ((onProgress !== undefined && typeof onProgress !== "function") || !isSignal) {
        throw new TypeError(`${method}: argument ${args.length} (options) takes onProgress, a function, ` +
          "and signal, an AbortSignal");
      }
      args = args.slice(0, -1);
    }
    if (args.length !== parameters.length) {
      const names = parameters.map(([name]) => name).join(", ");
      const count = parameters.length === 1 ? "1 argument" : `${parameters.length} arguments`;
      throw new TypeError(`${method}: takes ${count}${names ? ` (${names})` : ""}, not ${args.length}`);
    }
    parameters.forEach(([name, type], i) => {
      if (typeof args[i] !== type) {
        throw new TypeError(`${method}: argument ${i + 1} (${name}) must be a ${type}, not ${describe(args[i])}`);
      }
    });
    return { args, options };
  }

  // ---- The extension's route: the relay beside the page ----------------------

  // The relay answers a hello at once, in the same turn: it runs before any
  // script of the page. Its answer is the extension's version.
  function extensionVersion() {
    if (typeof document === "undefined") return undefined;
    let version;
    const listen = (event) => { version = String(event.detail); };
    document.addEventListener("dravenil-extension-here", listen);
    try {
      document.dispatchEvent(new CustomEvent("dravenil-extension-hello"));
    } finally {
      document.removeEventListener("dravenil-extension-here", listen);
    }
    return version;
  }

  function extensionRoute(version) {
    const pending = new Map();
    let nextId = 1;
    window.addEventListener("message", (event) => {
      const data = event.data;
      if (event.source !== window || !data || data.source !== "dravenil-extension") return;
      const waiting = pending.get(data.id);
      if (!waiting) return;
      if (data.progress !== undefined) {
        try {
          waiting.onProgress(data.progress);
        } catch (error) {
          // The page's own handler: its faults are not the call's.
        }
        return;
      }
      pending.delete(data.id);
      waiting.settled();
      if (data.aborted) waiting.reject(abortError());
      else if (data.error !== undefined) waiting.reject(new Error(data.error));
      else waiting.resolve(data.result);
    });
    // A cancelled call rejects once the host has stopped it: what it has done
    // by then is done. A call that ended first keeps its answer.
    const send = (method, args, { onProgress, signal }) => new Promise((resolve, reject) => {
      const bytes = args.reduce((sum, arg) => sum + (typeof arg === "string" ? new Blob([arg]).size : 5), 0);
      if (bytes > kMaxRequestBytes) throw new RangeError("the arguments cannot be sent: more than 64 MB");
      const id = nextId++;
      const cancel = () => window.postMessage({ source: "dravenil-page", cancel: id }, window.location.origin);
      if (signal) signal.addEventListener("abort", cancel, { once: true });
      const settled = () => signal && signal.removeEventListener("abort", cancel);
      pending.set(id, { resolve, reject, settled, onProgress: onProgress || (() => {}) });
      try {
        window.postMessage({ source: "dravenil-page", id, method, args, progress: !!onProgress },
          window.location.origin);
      } catch (error) {
        pending.delete(id);
        settled();
        throw error;
      }
    });
    return { route: { route: "extension", version }, send };
  }

  // ---- The plug-in's route: a hidden embed of the MIME type ------------------

  function pluginRoute() {
    const type = typeof navigator !== "undefined" && navigator.mimeTypes ? navigator.mimeTypes[kMimeType] : undefined;
    if (!type) return undefined;
    const version = String((type.enabledPlugin && (type.enabledPlugin.version || type.enabledPlugin.description)) || "");
    const embed = document.createElement("embed");
    embed.type = kMimeType;
    // Out of sight but laid out: a browser starts no plug-in for an embed
    // that is not displayed.
    embed.style.cssText = "position:absolute;left:-10px;top:-10px;width:1px;height:1px;";
    (document.body || document.documentElement).appendChild(embed);
    const hasObject = () => embed.readCurrentReplayPos !== undefined && embed.readCurrentReplayPos !== null;
    return new Promise((resolve, reject) => {
      const started = Date.now();
      const poll = () => {
        if (hasObject()) {
          resolve({
            route: { route: "plugin", version },
            // The plug-in answers at once: nothing to follow or stop.
            send: async (method, args) => embed[method](...args),
          });
        } else if (Date.now() - started > kPluginWaitMs) {
          reject(new Error("the plug-in gave this page no object: its origin policy may not serve " +
            "this page's origin (see npDravenilFileAccessHost.exe --check)"));
        } else {
          setTimeout(poll, 50);
        }
      };
      poll();
    });
  }

  let found = null;
  function route() {
    if (!found) {
      found = Promise.resolve().then(() => {
        const version = extensionVersion();
        if (version !== undefined) return extensionRoute(version);
        const plugin = typeof document !== "undefined" ? pluginRoute() : undefined;
        if (plugin) return plugin;
        throw new Error("no route to the file access plug-in: the extension does not serve this " +
          `page's origin (${typeof location !== "undefined" ? location.origin : "none"}) or is not ` +
          `installed, and no plug-in is registered for ${kMimeType}`);
      });
    }
    return found;
  }

  async function call(method, ...given) {
    const { args, options } = checkCall(method, given);
    if (options.signal && options.signal.aborted) throw abortError();
    const { send } = await route();
    if (options.signal && options.signal.aborted) throw abortError();
    return send(method, args, options);
  }

  const api = { ready: async () => (await route()).route, call, parse: DravenilParse };
  for (const name of DRAVENIL_METHODS.keys()) api[name] = (...args) => call(name, ...args);
  if (typeof window !== "undefined" && !window.DravenilFileAccess) {
    Object.defineProperty(window, "DravenilFileAccess", { value: Object.freeze(api) });
  }
  if (typeof module === "object" && module && module.exports) module.exports = { checkCall, DravenilParse, methods: [...DRAVENIL_METHODS.keys()] };
})();
