// Every call settles, whatever the host does: a stand-in host (this file,
// run by Chromium as the native-messaging host when given --host) answers
// with an id of null, with an empty error text, holds a call and then
// exits. The page's promises must reject with the host's texts, and every
// call that waited on a host that ended must reject too.
"use strict";

if (process.argv.includes("--host")) {
  // The stand-in host: framed JSON on standard input and output.
  let buffered = Buffer.alloc(0);
  const send = (message) => {
    const text = Buffer.from(JSON.stringify(message));
    const header = Buffer.alloc(4);
    header.writeUInt32LE(text.length, 0);
    process.stdout.write(Buffer.concat([header, text]));
  };
  process.stdin.on("data", (chunk) => {
    buffered = Buffer.concat([buffered, chunk]);
    while (buffered.length >= 4 && buffered.length >= 4 + buffered.readUInt32LE(0)) {
      const length = buffered.readUInt32LE(0);
      const request = JSON.parse(buffered.subarray(4, 4 + length).toString());
      buffered = buffered.subarray(4 + length);
      if (request.method === "#policy") send({ id: request.id, policy: "*" });
      else if (request.args[0] === "null id") send({ id: null, error: "bad request: unreadable" });
      else if (request.args[0] === "empty error") send({ id: request.id, error: "" });
      else if (request.args[0] === "exit") process.exit(0);
      else if (request.args[0] !== "hold") send({ id: request.id, result: true });
    }
  });
  return;
}

const fs = require("fs");
const http = require("http");
const path = require("path");
const shared = require("./browser_test.js");

async function main() {
  const scratch = shared.scratch;
  const built = path.join(scratch, "settling");
  require("child_process").execFileSync(path.join(shared.root, "scripts", "extension.sh"), ["--out", built],
    { env: shared.wineEnv, stdio: "ignore" });
  const wrapper = path.join(scratch, "stand-in-host.sh");
  fs.writeFileSync(wrapper, `#!/bin/sh\nexec "${process.execPath}" "${__filename}" --host\n`, { mode: 0o755 });
  const manifest = JSON.parse(fs.readFileSync(path.join(built, "com.dravenil.fileaccess.json"), "utf8"));
  manifest.path = wrapper;
  const profile = path.join(scratch, "settling-profile");
  fs.mkdirSync(path.join(profile, "NativeMessagingHosts"), { recursive: true });
  fs.writeFileSync(path.join(profile, "NativeMessagingHosts", "com.dravenil.fileaccess.json"), JSON.stringify(manifest));

  const server = http.createServer((request, response) => {
    response.writeHead(200, { "content-type": "text/html" });
    response.end("<!doctype html><title>settling</title>");
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  const origin = `http://127.0.0.1:${server.address().port}`;
  const extension = path.join(built, "extension");
  const { chromium, cdp } = shared.startChromium("chromium", profile, extension,
    path.join(scratch, "settling-config"), process.env);
  try {
    const evaluate = (expression) => shared.evaluateIn(cdp, origin + "/", expression);
    if (!await shared.waitServed((url) => evaluate("typeof window.DravenilFileAccess"), origin + "/")) {
      throw new Error("the page was never served");
    }
    const results = await evaluate(`(async () => {
      const settle = (p) => p.then((v) => "resolved " + v, (e) => "rejected " + JSON.stringify(e.message));
      const api = window.DravenilFileAccess;
      const out = {};
      out.plain = await settle(api.fileExists("x"));
      out.nullId = await settle(api.fileExists("null id"));
      out.emptyError = await settle(api.fileExists("empty error"));
      const held = settle(api.fileExists("hold"));
      const exiting = settle(api.fileExists("exit"));
      out.held = await held;
      out.exiting = await exiting;
      out.after = await settle(api.fileExists("x"));
      return out;
    })()`);
    const expected = {
      plain: /^resolved true$/,
      nullId: /^rejected "bad request: unreadable"$/,
      emptyError: /^rejected ""$/,
      held: /^rejected "the file access host ended/,
      exiting: /^rejected "the file access host ended/,
      after: /^resolved true$/,
    };
    for (const [name, want] of Object.entries(expected)) {
      if (!results || !want.test(results[name])) shared.fail(`${name}: ${results && results[name]}, not ${want}`);
    }
    // The host's manifest gone: the page is told what is missing and where.
    fs.rmSync(path.join(profile, "NativeMessagingHosts", "com.dravenil.fileaccess.json"));
    // A busy machine may show a fresh page before its scripts are in: it is
    // looked at again until they are, as at the start.
    await shared.waitServed((url) => evaluate("typeof window.DravenilFileAccess"), origin + "/");
    const missing = await evaluate("window.DravenilFileAccess.fileExists('x').then(() => 'resolved', (e) => e.message)");
    if (!/^the file access host is not installed for this browser: com\.dravenil\.fileaccess /.test(String(missing))) {
      shared.fail(`without a host: ${missing}`);
    }
    if (!process.exitCode) console.log("settling: every call settled with the host's own texts");
  } finally {
    await shared.stopChromium(chromium);
    server.close();
    // Chromium's helpers may still be writing to the profile as it ends.
    fs.rmSync(scratch, { recursive: true, force: true, maxRetries: 20, retryDelay: 250 });
  }
}

main().catch((error) => shared.fail(error.message));
