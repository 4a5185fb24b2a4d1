// The client's checks under Node, swept over every method of the table: a
// call that fits its signature passes, with or without options after its
// arguments, and each wrong count, each argument of the wrong type, each
// malformed options object and each name that is not exactly a method's is
// refused with an error that names the method and the argument.
//
//   node tests/client/client_test.js
"use strict";
const { execFileSync } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");

const root = path.resolve(__dirname, "..", "..");
const out = fs.mkdtempSync(path.join(os.tmpdir(), "client-test-"));
let failures = 0;
const check = (ok, what) => {
  if (!ok) {
    failures++;
    console.error(`FAILED: ${what}`);
  }
};
const refusal = (f) => {
  try {
    f();
    return null;
  } catch (error) {
    return error;
  }
};

try {
  execFileSync(path.join(root, "scripts", "extension.sh"), ["--out", out], { cwd: root, stdio: ["ignore", "ignore", "inherit"] });
  const client = require(path.join(out, "npDravenilFileAccess.js"));
  const signatures = fs.readFileSync(path.join(root, "types", "npDravenilFileAccessPlugin.d.ts"), "utf8");
  // The Promise API's declarations name the same parameters the checks do.
  const declared = new Map([...signatures.matchAll(/^ {2}(\w+)\(([^)]*)\): Promise</gm)].map(
    ([, name, list]) => [name, list.split(", ").map((p) => p.split(": ")).filter(([p]) => p && p !== "options?")])
    .filter(([name]) => name !== "ready"));
  check(declared.size === 63, `${declared.size} methods declared in the Promise API`);
  const wrong = { string: [5, true, null, undefined, {}, ["x"], 1n], boolean: ["true", 1, null, undefined, {}] };
  let calls = 0;
  for (const [method, parameters] of declared) {
    const fitting = parameters.map(([, type]) => (type === "boolean" ? false : "x"));
    check(refusal(() => client.checkCall(method, fitting)) === null, `${method} with fitting arguments`);
    // Options may follow the arguments, and only options.
    const options = { onProgress: () => {}, signal: new AbortController().signal };
    const taken = refusal(() => check(client.checkCall(method, [...fitting, options]).options === options,
                                      `${method}'s options are not handed on`));
    check(taken === null, `${method} with options: ${taken}`);
    for (const bad of [{ onProgress: 5 }, { signal: {} }, { signal: null }]) {
      const error = refusal(() => client.checkCall(method, [...fitting, bad]));
      check(error instanceof TypeError && error.message.startsWith(`${method}: argument ${fitting.length + 1} (options)`),
            `${method} with options ${JSON.stringify(bad)}: ${error}`);
    }
    for (const count of [fitting.length - 1, fitting.length + 1].filter((n) => n >= 0)) {
      const error = refusal(() => client.checkCall(method, [...fitting, "x"].slice(0, count)));
      check(error instanceof TypeError && error.message.startsWith(`${method}: takes ${fitting.length} argument`) &&
            error.message.endsWith(`, not ${count}`), `${method} with ${count} arguments: ${error}`);
      calls++;
    }
    parameters.forEach(([name, type], i) => {
      for (const value of wrong[type]) {
        const args = [...fitting];
        args[i] = value;
        const error = refusal(() => client.checkCall(method, args));
        check(error instanceof TypeError && error.message.startsWith(`${method}: argument ${i + 1} (${name}) must be a ${type}, not `),
              `${method} with ${String(value)} as ${name}: ${error}`);
        calls++;
      }
    });
  }
  // Only a method's exact name is one.
  for (const name of ["noSuchMethod", "toString", "constructor", "__proto__", "", "FileExists", "fileExists\u0000x", "fileExists "]) {
    const error = refusal(() => client.checkCall(name, ["x"]));
    check(error && error.name === "InvocationError" && error.message === `exception during invocation: ${name}`, `${JSON.stringify(name)}: ${error}`);
  }
  check(/a symbol$/.test(String(refusal(() => client.checkCall(Symbol("s"), [])))), "a symbol as the name");
  // Every error name the client, the relay, the worker or the host can give
  // a page is one row of the reference's errors table, and every row is one
  // of them.
  const given = new Set();
  for (const file of ["extension/client.js", "extension/relay.js", "extension/service_worker.js", "messaging/host_session.h"]) {
    const text = fs.readFileSync(path.join(root, file), "utf8");
    for (const [, name] of text.matchAll(/(?:namedError\("|name: "|"|DOMException\([^)]*")([A-Z][A-Za-z]*Error)"/g)) given.add(name);
    for (const [, name] of text.matchAll(/new ([A-Z][A-Za-z]*Error)\(/g)) given.add(name);
  }
  const reference = fs.readFileSync(path.join(root, "docs", "script-api.md"), "utf8");
  const errors = reference.slice(reference.indexOf("### Errors"));
  const listed = new Set([...errors.matchAll(/^\| `([A-Za-z]+Error)`/gm)].map(([, name]) => name));
  check(given.size >= 10, `only ${[...given]} found as error names`);
  for (const name of given) check(listed.has(name), `${name} is given to pages but not in the reference's errors table`);
  for (const name of listed) check(given.has(name), `the reference lists ${name}, which nothing gives`);
  console.log(`client: ${declared.size} methods, ${calls} refused calls, ${given.size} error names`);
} finally {
  fs.rmSync(out, { recursive: true, force: true });
}
process.exitCode = failures ? 1 : 0;
