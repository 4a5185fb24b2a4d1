// window.DravenilFileAccess, the same Promise API on both routes. The
// extension puts this script into every page its origin policy serves; a page
// includes it too (as npDravenilFileAccess.js) to run wherever the plug-in is
// installed instead. A page that already has the API keeps it.
//
// DravenilFileAccess.ready({timeout}) finds the route: the extension's, when
// its relay answers in this page and the extension can serve it now, else the
// plug-in's, when the browser has a plug-in for the MIME type (the client
// writes the hidden embed itself). A page loaded before the extension could
// serve it (the browser's first page) waits for the extension to announce
// itself, up to `timeout` ms (15 s). A rejected ready() may be called again
// and looks afresh. Every method returns a promise of exactly what the
// plug-in's method gives. Before any route is used, the arguments are checked
// against the method's signature. After its arguments a call may take
// {onProgress, signal}: on the extension's route the host reports how far a
// long call is, and an aborted signal stops it. The plug-in's calls answer at
// once and cannot be followed or stopped.
//
// Every rejection carries a name from one small set (see docs/script-api.md,
// "Errors"): TypeError and RangeError for arguments, InvocationError,
// NotInstalledError, HostMissingError, HostForbiddenError, HostEndedError,
// PolicyRefusedError, QueueFullError and AbortError.
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

  // An Error whose name a page branches on.
  function namedError(name, message) {
    const error = new Error(message);
    Object.defineProperty(error, "name", { value: name, configurable: true, writable: true });
    return error;
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
      throw namedError("InvocationError",
        `exception during invocation: ${typeof method === "string" ? method : describe(method)}`);
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

  // The extension's version once a relay put into this page after it loaded
  // announces itself; nothing after `ms`.
  function announcedVersion(ms) {
    return new Promise((resolve) => {
      const listen = (event) => done(String(event.detail));
      const timer = setTimeout(() => done(undefined), ms);
      function done(version) {
        clearTimeout(timer);
        document.removeEventListener("dravenil-extension-here", listen);
        resolve(version);
      }
      document.addEventListener("dravenil-extension-here", listen);
    });
  }

  // What the relay posts back, by id, comes over a channel of this client's
  // own: its port outlives document.open(), which removes every listener of
  // the window and the document (the relay's among them), so calls made
  // before or after it still hear their answers.
  const pending = new Map();
  let nextId = 1;
  let channel = null;
  function relayPort() {
    if (channel) return channel;
    const { port1, port2 } = new MessageChannel();
    port1.onmessage = (event) => {
      const data = event.data;
      const waiting = data && pending.get(data.id);
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
      if (data.name === "AbortError") waiting.reject(abortError());
      else if (data.error !== undefined) waiting.reject(namedError(data.name || "InvocationError", data.error));
      else waiting.resolve(data.ready !== undefined ? data.ready : data.result);
    };
    window.postMessage({ source: "dravenil-page", connect: true }, window.location.origin, [port2]);
    channel = port1;
    return channel;
  }

  // Posts `message` to the relay with a fresh id; settles with its answer.
  function post(message, { onProgress, signal } = {}) {
    const port = relayPort();
    return new Promise((resolve, reject) => {
      const id = nextId++;
      const cancel = () => port.postMessage({ cancel: id });
      if (signal) signal.addEventListener("abort", cancel, { once: true });
      const settled = () => signal && signal.removeEventListener("abort", cancel);
      pending.set(id, { resolve, reject, settled, onProgress: onProgress || (() => {}) });
      try {
        port.postMessage(message(id));
      } catch (error) {
        pending.delete(id);
        settled();
        throw error;
      }
    });
  }

  // Rejects with `error` unless `promise` settles within `ms`.
  function within(promise, ms, error) {
    let timer;
    return Promise.race([promise, new Promise((resolve, reject) => { timer = setTimeout(() => reject(error()), ms); })])
      .finally(() => clearTimeout(timer));
  }

  // The extension's route, once the extension says it can serve this page
  // (it has learned the policy, the host answers, the policy names the
  // page's origin); else its named error.
  async function extensionRoute(version, timeout) {
    await within(post((id) => ({ status: id })), timeout, () => namedError("HostEndedError",
      `the extension did not say within ${timeout} ms whether it serves this page: ` +
      "its service worker or its host may have stopped; call ready() again"));
    // A cancelled call rejects once the host has stopped it: what it has done
    // by then is done. A call that ended first keeps its answer.
    const send = (method, args, options) => {
      const bytes = args.reduce((sum, arg) => sum + (typeof arg === "string" ? new Blob([arg]).size : 5), 0);
      if (bytes > kMaxRequestBytes) throw new RangeError("the arguments cannot be sent: more than 64 MB");
      return post((id) => ({ id, method, args, progress: !!options.onProgress }), options);
    };
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
            send: async (method, args) => {
              try {
                return embed[method](...args);
              } catch (error) {
                throw namedError("InvocationError", String(error && error.message ? error.message : error));
              }
            },
          });
        } else if (Date.now() - started > kPluginWaitMs) {
          reject(namedError("PolicyRefusedError", "the plug-in gave this page no object: its origin " +
            "policy may not serve this page's origin (see npDravenilFileAccessHost.exe --check)"));
        } else {
          setTimeout(poll, 50);
        }
      };
      poll();
    });
  }

  // How long a page loaded before the extension could serve it waits.
  const kReadyWaitMs = 15000;

  function noRoute() {
    const origin = typeof location !== "undefined" ? location.origin : "none";
    return namedError("NotInstalledError", `no route to the file access plug-in for ${origin}: ` +
      "the extension is not installed, or does not serve this origin because the administrator's " +
      "origin policy does not name it or its native-messaging host is missing or does not allow it; " +
      `and no plug-in is registered for ${kMimeType}. Where the extension is installed, its toolbar ` +
      `button (Dravenil File Access) shows which; npDravenilFileAccessHost.exe --check ${origin} says ` +
      "which on the computer");
  }

  // A document whose origin is opaque (a sandboxed frame or page) has no
  // origin a policy can name, and no window message of its own reaches it.
  function opaqueOrigin() {
    return typeof window !== "undefined" && (window.origin === "null" || window.location.origin === "null");
  }

  async function findRoute(timeout) {
    if (opaqueOrigin()) {
      throw namedError("PolicyRefusedError", "this document is sandboxed (its origin is opaque): no " +
        "origin policy can name it, so the file access plug-in serves it on neither route; " +
        "call from a document that is not sandboxed, or allow it same-origin");
    }
    const version = extensionVersion();
    if (version !== undefined) return extensionRoute(version, timeout);
    const plugin = typeof document !== "undefined" ? pluginRoute() : undefined;
    if (plugin) return plugin;
    if (typeof document === "undefined") throw noRoute();
    const announced = await announcedVersion(timeout);
    if (announced !== undefined) return extensionRoute(announced, timeout);
    throw noRoute();
  }

  // The route, found once; looked for afresh after a failure.
  let found = null;
  function route(timeout = kReadyWaitMs) {
    if (!found) {
      const finding = findRoute(timeout);
      found = finding;
      finding.catch(() => {
        if (found === finding) found = null;
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

  const ready = async (options) => {
    const timeout = options && Number.isFinite(options.timeout) && options.timeout >= 0 ? options.timeout : kReadyWaitMs;
    return (await route(timeout)).route;
  };
  const api = { ready, call, parse: DravenilParse };
  for (const name of DRAVENIL_METHODS.keys()) api[name] = (...args) => call(name, ...args);
  if (typeof window !== "undefined" && !window.DravenilFileAccess) {
    Object.defineProperty(window, "DravenilFileAccess", { value: Object.freeze(api) });
  }
  if (typeof module === "object" && module && module.exports) module.exports = { checkCall, DravenilParse, methods: [...DRAVENIL_METHODS.keys()] };
})();
